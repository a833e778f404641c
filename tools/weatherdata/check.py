#!/usr/bin/env python3
"""Checks the shipped weather data: the catalogue, every template set, the icons.

Usage: check.py [DATA_DIR]   (default: <repo>/data). Exit 0 when all is well,
1 with one line per fault otherwise.
"""
import os
import re
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
import stations  # noqa: E402
from gen_catalogue import render_coordinates  # noqa: E402

# Mainland China, Taiwan, Hong Kong and Macao lie inside this box; a position
# outside it has its latitude and longitude swapped or a sign lost.
LAT_RANGE, LON_RANGE = (3.0, 54.0), (73.0, 136.0)


def numbered(prefix, count):
    return [f"[{prefix}{k}]" for k in range(1, count + 1)]


# The placeholders each renderer fills, by template file.
PLACEHOLDERS = {
    "ForeCastOnline.htm": ["[path]", "[city]"] + sum((numbered(p, 3) for p in
                                                    ("date", "low", "high", "am", "pm", "night")), []) + ["[credit]"],
    "WendOnline.htm": ["[path]", "[city]", "[credit]"] + sum((numbered(p, 3) for p in ("date", "am", "pm", "night")),
                                                            []),
    "ForeCastCC.htm": ["[path]", "[city]", "[issue]"] + sum((numbered(p, 3) for p in
                                                           ("date", "low", "high", "ws", "wd", "wf")), []),
    "ForeCastCN.htm": ["[path]", "[city]"] + [f"[{p}]" for p in
                                            ("date", "wsword", "wsgif", "low", "high", "wf", "rc", "rl", "dj", "bw", "hb")],
    "WendCN.htm": ["[path]", "[city]", "[credit]"] + sum((numbered(p, 5) for p in
                                                        ("date", "wsword", "wsgif", "low", "high", "wf", "zs")), []),
}
AUTHOR_KEYS = ("author", "date", "email", "http")
ICON_NAMES = [f"{c:02d}.gif" for c in range(32)] + [f"fl{f}.gif" for f in range(13)] + ["zhong.gif"]
PICTURE_SIZES = {"zhong.gif": (40, 23), **{f"fl{f}.gif": (28, 35) for f in range(13)}}
SCRIPT = re.compile(r"<script|\son[a-z]+\s*=|javascript:", re.I)


class Faults(list):
    def add(self, where, what):
        self.append(f"{where}: {what}")


def read_gbk(path, faults):
    try:
        with open(path, "rb") as f:
            raw = f.read()
    except OSError as e:
        faults.add(path, f"cannot read ({e.strerror})")
        return None, None
    try:
        return raw, raw.decode("gbk")
    except UnicodeDecodeError as e:
        faults.add(path, f"not GBK at byte {e.start}")
        return raw, None


def parse_ini(text):
    """[(section, [(key, value), ...])] in file order; keys as written."""
    sections = []
    for line in text.splitlines():
        line = line.strip()
        if not line or line.startswith(";"):
            continue
        if line.startswith("[") and line.endswith("]"):
            sections.append((line[1:-1], []))
        elif "=" in line and sections:
            k, v = line.split("=", 1)
            sections[-1][1].append((k.strip(), v.strip()))
    return sections


def check_catalogue(data, faults, min_cities=300, provinces_expected=34):
    path = os.path.join(data, "Weather.ini")
    raw, text = read_gbk(path, faults)
    if text is None:
        return
    if b"\n" in raw.replace(b"\r\n", b""):
        faults.add(path, "line ends must be CR LF")
    sections = parse_ini(text)
    names = [s for s, _ in sections]
    by_name = {}
    for name, keys in sections:
        if name.lower() in by_name:
            faults.add(path, f"section [{name}] appears twice")
        by_name[name.lower()] = keys
    provinces = [k for k, _ in by_name.get("province", [])]
    if not provinces:
        faults.add(path, "no [Province] section or it lists nothing")
    if len(provinces) != provinces_expected:
        faults.add(path, f"{len(provinces)} provinces, expected {provinces_expected}")
    if len({p.lower() for p in provinces}) != len(provinces):
        faults.add(path, "a province is listed twice")
    cities = 0
    for p in provinces:
        keys = by_name.get(p.lower())
        if keys is None:
            faults.add(path, f"province {p} has no section")
            continue
        if not keys:
            faults.add(path, f"section [{p}] lists no city")
        seen = set()
        for city, code in keys:
            cities += 1
            if city in seen:
                faults.add(path, f"{p}/{city} listed twice")
            seen.add(city)
            if not re.fullmatch(r"\d{5}", code):
                faults.add(path, f"{p}/{city} has station code {code!r}, not 5 digits")
    listed = {p.lower() for p in provinces} | {"province"}
    for name in names:
        if name.lower() not in listed:
            faults.add(path, f"section [{name}] is not listed under [Province]")
    if cities < min_cities:
        faults.add(path, f"{cities} cities, expected at least {min_cities}")
    return cities


def squeeze(name):
    return "".join(c for c in name.lower().replace("ü", "v") if c.isalpha())


def station_faults(rows, isd, exceptions):
    """[(province, city, text)] for every rule a row breaks without a matching
    entry in exceptions ({(kind, province, city): (code, reason, line)}), and
    for every entry that no longer matches a broken rule.

    isd is {wmo: Station} or None when the list is absent; then the ISD
    columns the table carries stand in for it."""
    faults = []
    used = set()
    owner = {}

    def excused(kind, r, text):
        entry = exceptions.get((kind, r.province, r.city))
        if entry and entry[0] == r.station:
            used.add((kind, r.province, r.city))
        else:
            faults.append((r.province, r.city, text))

    for r in rows:
        if r.lat is None or r.lon is None:
            faults.append((r.province, r.city, "has no position"))
            continue
        if not (LAT_RANGE[0] <= r.lat <= LAT_RANGE[1] and LON_RANGE[0] <= r.lon <= LON_RANGE[1]):
            faults.append((r.province, r.city, f"position {r.lat},{r.lon} lies outside China"))
        if not r.source:
            faults.append((r.province, r.city, "does not say where its position comes from"))
        if isd is not None:
            rec = isd.get(r.station)
            listed = (rec.name, rec.lat, rec.lon) if rec else ("", None, None)
            if listed != (r.station_name, r.station_lat, r.station_lon):
                faults.append((r.province, r.city, f"ISD columns of {r.station} differ from the ISD list; run locate.py"))
        if not r.station_name:
            excused("unlisted", r, f"station {r.station} is not in the ISD list")
        elif r.station_lat is None:
            excused("unplaced", r, f"station {r.station} has no position in the ISD list")
        else:
            km = stations.distance_km(r.lat, r.lon, r.station_lat, r.station_lon)
            if km > stations.FAR_KM:
                excused("far", r, f"station {r.station} lies {km:.0f} km from the city")
        first = owner.setdefault(r.station, r)
        if first is not r:
            excused("shared", r, f"station {r.station} is {first.city}'s")
            if isd is not None and r.source.startswith("GeoNames:"):
                own = squeeze(r.source.split(":", 1)[1])
                for s in isd.values():
                    if (s.wmo != r.station and s.lat is not None and squeeze(s.name).startswith(own)
                            and stations.distance_km(r.lat, r.lon, s.lat, s.lon) <= stations.FAR_KM):
                        faults.append((r.province, r.city, f"borrows {r.station} although ISD lists its own {s.wmo} {s.name}"))
    for key, (code, _, line) in exceptions.items():
        if key not in used:
            faults.append((key[1], key[2], f"exception {key[0]} for {code} (line {line}) matches nothing; remove it"))
    return faults


def check_stations(data, faults, table=None, exceptions=None, coordinates=None, isd_path=None):
    """The station table against the catalogue, the ISD list, the documented
    exceptions and the server's coordinates table."""
    table = table or os.path.join(HERE, "stations.tsv")
    exceptions = exceptions or os.path.join(HERE, "exceptions.tsv")
    coordinates = coordinates or os.path.join(ROOT, "server", "coordinates.tsv")
    try:
        rows = stations.read_table(table)
        excused = stations.read_exceptions(exceptions)
    except (OSError, stations.TableError) as e:
        faults.add(table, str(e))
        return None
    isd = stations.read_isd(isd_path if isd_path is not None else stations.find_isd())
    if isd is None:
        print("ISD station list not found (set ZEL_ISD_STATIONS or lay shared/reference/ beside the "
              "repository): station numbers checked against the table's own ISD columns only")
    for province, city, text in station_faults(rows, isd, excused):
        faults.add(table, f"{province}/{city}: {text}")
    _, text = read_gbk(os.path.join(data, "Weather.ini"), Faults())
    if text is not None:
        shipped = [(p, c, code) for p, keys in parse_ini(text) if p.lower() != "province" for c, code in keys]
        if shipped != [(r.province, r.city, r.station) for r in rows]:
            faults.add(os.path.join(data, "Weather.ini"), "differs from stations.tsv; run gen_catalogue.py")
    try:
        with open(coordinates, "rb") as f:
            if f.read() != render_coordinates(rows):
                faults.add(coordinates, "differs from stations.tsv; run gen_catalogue.py")
    except OSError as e:
        faults.add(coordinates, f"cannot read ({e.strerror})")
    return isd is not None


def decode_gif(data):
    """(width, height) of a one-frame GIF whose picture decodes whole; raises
    ValueError naming the fault otherwise."""
    if len(data) < 13 or data[:6] not in (b"GIF87a", b"GIF89a"):
        raise ValueError("not a GIF")
    width, height, flags = struct.unpack("<HHB", data[6:11])
    pos = 13
    colors = 2 << (flags & 7) if flags & 0x80 else 0
    pos += 3 * colors
    while pos < len(data) and data[pos] == 0x21:  # extensions
        pos += 2
        while pos < len(data) and data[pos]:
            pos += data[pos] + 1
        pos += 1
    if pos >= len(data) or data[pos] != 0x2C:
        raise ValueError("no picture")
    x, y, w, h, iflags = struct.unpack("<HHHHB", data[pos + 1:pos + 10])
    pos += 10
    if iflags & 0x80:
        colors = 2 << (iflags & 7)
        pos += 3 * colors
    if (x, y, w, h) != (0, 0, width, height):
        raise ValueError("picture does not cover the screen")
    min_size = data[pos]
    pos += 1
    stream = bytearray()
    while pos < len(data) and data[pos]:
        stream += data[pos + 1:pos + 1 + data[pos]]
        pos += data[pos] + 1
    if pos + 1 >= len(data) or data[pos + 1] != 0x3B:
        raise ValueError("no trailer")
    clear, end = 1 << min_size, (1 << min_size) + 1
    size, table, prev, count, bit = min_size + 1, None, None, 0, 0
    total = len(stream) * 8
    while True:
        if bit + size > total:
            raise ValueError("data ends without an end code")
        code = int.from_bytes(stream[bit // 8:bit // 8 + 3].ljust(3, b"\0"), "little") >> (bit % 8) & ((1 << size) - 1)
        bit += size
        if code == clear:
            table = [(i,) for i in range(clear)] + [(), ()]
            size, prev = min_size + 1, None
            continue
        if code == end:
            break
        if table is None:
            raise ValueError("no clear code first")
        if code < len(table) and table[code]:
            entry = table[code]
        elif code == len(table) and prev is not None:
            entry = prev + prev[:1]
        else:
            raise ValueError(f"bad code {code}")
        if prev is not None and len(table) < 4096:
            table.append(prev + entry[:1])
            if len(table) == 1 << size and size < 12:
                size += 1
        if max(entry) >= colors:
            raise ValueError("pixel outside the colour table")
        count += len(entry)
        prev = entry
    if count != width * height:
        raise ValueError(f"{count} pixels for {width}x{height}")
    return width, height


def gif_size(path):
    with open(path, "rb") as f:
        return decode_gif(f.read())


def check_page(path, text, faults, folder):
    if 'charset=gb2312' not in text.lower():
        faults.add(path, "no charset=gb2312 declaration")
    if SCRIPT.search(text):
        faults.add(path, "has script (the forecast browser runs none)")
    for ref in re.findall(r"\[path\]([^\"')\s>]+)", text):
        picture = os.path.join(folder, ref)
        if not os.path.isfile(picture):
            faults.add(path, f"refers to [path]{ref}, which the set lacks")
        elif ref.lower().endswith(".gif"):
            try:
                gif_size(picture)
            except ValueError as e:
                faults.add(picture, str(e))


def check_template_sets(data, faults, required=("default",), min_sets=2):
    root = os.path.join(data, "Template")
    try:
        sets = sorted(d for d in os.listdir(root) if os.path.isdir(os.path.join(root, d)) and not d.startswith("."))
    except OSError:
        faults.add(root, "no template folder")
        return []
    for name in required:
        if name not in sets:
            faults.add(root, f"set {name!r} is missing")
    if len(sets) < min_sets:
        faults.add(root, f"{len(sets)} template sets, expected at least {min_sets}")
    for name in sets:
        folder = os.path.join(root, name)
        for file, placeholders in PLACEHOLDERS.items():
            path = os.path.join(folder, file)
            _, text = read_gbk(path, faults)
            if text is None:
                continue
            missing = [p for p in placeholders if p not in text]
            if missing:
                faults.add(path, "lacks " + " ".join(missing))
            check_page(path, text, faults, folder)
        path = os.path.join(folder, "author.ini")
        _, text = read_gbk(path, faults)
        if text is not None:
            main = dict(next((keys for s, keys in parse_ini(text) if s.lower() == "main"), []))
            for key in AUTHOR_KEYS:
                if not main.get(key):
                    faults.add(path, f"[main] {key} is missing or empty")
    return sets


def check_images(data, faults):
    folder = os.path.join(data, "images")
    for name in ICON_NAMES:
        path = os.path.join(folder, name)
        if not os.path.isfile(path):
            faults.add(path, "missing")
            continue
        try:
            size = gif_size(path)
        except ValueError as e:
            faults.add(path, str(e))
            continue
        if name in PICTURE_SIZES and size != PICTURE_SIZES[name]:
            faults.add(path, f"is {size[0]}x{size[1]}, expected {PICTURE_SIZES[name][0]}x{PICTURE_SIZES[name][1]}")


def check_start_pages(data, faults):
    for name in ("Hello.htm", "AD.htm"):
        path = os.path.join(data, name)
        _, text = read_gbk(path, faults)
        if text is None:
            continue
        check_page(path, text, faults, data)
        for ref in re.findall(r'src="([^":]+)"', text):
            if not os.path.isfile(os.path.join(data, ref)):
                faults.add(path, f"refers to {ref}, which is not shipped")


def main():
    data = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "data")
    faults = Faults()
    cities = check_catalogue(data, faults)
    with_isd = check_stations(data, faults)
    sets = check_template_sets(data, faults)
    check_images(data, faults)
    check_start_pages(data, faults)
    for f in faults:
        print(f)
    print(f"stations: checked {'against the ISD list' if with_isd else 'without the ISD list'}")
    print(f"catalogue: {cities} cities; template sets: {', '.join(sets)}; icons: {len(ICON_NAMES)}")
    print(f"{'FAILED' if faults else 'OK'}: {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
