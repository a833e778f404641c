#!/usr/bin/env python3
"""Checks data/mailtel.ini: its shape, every mainland area code against the
Chinese geocoding of python3-phonenumbers, every postal code against the
postal service's allocation of first digits to provinces. A code either
passes or has a reason in exceptions.tsv beside this script.

Usage: check.py [MAILTEL_INI]. Exit 0 when all is well, 1 with one line per
fault otherwise.
"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))

try:
    import phonenumbers
    from phonenumbers import geocoder
except ImportError:  # a Python of its own beside Debian's, which has the package
    sys.path.append("/usr/lib/python3/dist-packages")
    try:
        import phonenumbers
        from phonenumbers import geocoder
    except ImportError:
        phonenumbers = geocoder = None

# First two digits of the postal codes of each province (China Post's zones).
POSTAL_PREFIXES = {
    "北京": "10", "上海": "20", "天津": "30", "重庆": "40", "内蒙古": "01 02", "山西": "03 04",
    "河北": "05 06 07", "辽宁": "11 12", "吉林": "13", "黑龙江": "15 16", "江苏": "21 22",
    "安徽": "23 24", "山东": "25 26 27", "浙江": "31 32", "江西": "33 34", "福建": "35 36",
    "湖南": "41 42", "湖北": "43 44", "河南": "45 46 47", "广东": "51 52", "广西": "53 54",
    "贵州": "55 56", "海南": "57", "四川": "61 62 63 64", "云南": "65 66 67", "陕西": "71 72",
    "甘肃": "73 74", "宁夏": "75", "青海": "81", "新疆": "83 84", "西藏": "85 86",
    "香港": "99", "澳门": "99",
}
ABROAD = {"香港": "HK", "澳门": "MO", "台湾": "TW"}
# Former names the geocoding still uses, and its spellings of current ones.
GEOCODED_AS = {"襄阳": ["襄樊"], "株洲": ["株州"]}
SUFFIXES = ["土家族苗族自治州", "朝鲜族自治州", "林区", "自治州", "地区", "市", "盟", "县"]


def core_name(place):
    """A place's name without its kind: 延边朝鲜族自治州 -> 延边, 广州市 -> 广州."""
    for s in SUFFIXES:
        if place.endswith(s) and len(place) > len(s) + 1:
            return place[: -len(s)]
    return place


def read_places(path):
    """([province names], {province: [(place, postal, area)]}, [shape faults])."""
    with open(path, "rb") as f:
        raw = f.read()
    text = raw.decode("gbk")
    faults = []
    if b"\n" in raw.replace(b"\r\n", b""):
        faults.append("line ends must be CR LF")
    sections = {}
    order = []
    current = None
    for line in text.split("\r\n"):
        line = line.strip()
        if not line or line.startswith(";"):
            continue
        if line.startswith("[") and line.endswith("]"):
            current = line[1:-1]
            order.append(current)
            sections[current] = []
        elif "=" in line and current is not None:
            key, value = line.split("=", 1)
            sections[current].append((key, value))
    provinces = [k for k, _ in sections.get("Province", [])]
    places = {}
    for p in provinces:
        keys = sections.get(p)
        if not keys:
            faults.append(f"{p}: no section or no places")
            continue
        rows = []
        if len(keys) % 2:
            faults.append(f"{p}: odd number of keys")
        for (mk, mv), (tk, tv) in zip(keys[0::2], keys[1::2]):
            if not mk.endswith("mail") or tk != mk[:-4] + "tel":
                faults.append(f"{p}: keys {mk}, {tk} are not a mail and tel pair of one place")
                continue
            rows.append((mk[:-4], mv.strip(), tv.strip()))
        places[p] = rows
    return provinces, places, faults


def geocode(area):
    """phonenumbers' Chinese name of the area of a mainland code such as 0755,
    or None when no landline number of that code is valid."""
    for subscriber in ("23456789", "2345678"):
        number = phonenumbers.parse("+86" + area[1:] + subscriber)
        if phonenumbers.is_valid_number(number):
            return geocoder.description_for_number(number, "zh")
    return None


def dialled_abroad(code, region):
    """Whether 00852, 00853 or 00886-N dials the region's numbers."""
    m = re.fullmatch(r"00(\d{3})(?:-(\d))?", code)
    return bool(m) and phonenumbers.region_code_for_country_code(int(m.group(1))) == region


def code_faults(provinces, places, geocode, dialled_abroad, exceptions):
    """[(province, place, text)] for every code that fails its check without a
    matching exception ({(kind, province, place): (code, reason, line)}), and
    for every exception that no longer matches a failing code."""
    faults = []
    used = set()

    def excused(kind, province, place, code, text):
        entry = exceptions.get((kind, province, place))
        if entry and entry[0] == code:
            used.add((kind, province, place))
        else:
            faults.append((province, place, text))

    for p in provinces:
        for place, postal, area in places.get(p, []):
            if p == "台湾":
                postal_ok = re.fullmatch(r"\d{3}", postal)
            else:
                postal_ok = re.fullmatch(r"\d{6}", postal) and postal[:2] in POSTAL_PREFIXES.get(p, "").split()
            if not postal_ok:
                excused("mail", p, place, postal, f"postal code {postal!r} is not one of {p}'s")
            if p in ABROAD:
                if not dialled_abroad(area, ABROAD[p]):
                    excused("tel", p, place, area, f"area code {area!r} does not dial {ABROAD[p]}")
                continue
            if not re.fullmatch(r"0\d{2,3}", area):
                excused("tel", p, place, area, f"area code {area!r} is not 0 and two or three digits")
                continue
            where = geocode(area)
            names = [core_name(place)] + GEOCODED_AS.get(core_name(place), [])
            if where is None:
                excused("tel", p, place, area, f"area code {area} dials no landline")
            elif not any(n in where for n in names):
                excused("tel", p, place, area, f"area code {area} is {where}'s")
    for key, (code, _, line) in exceptions.items():
        if key not in used:
            faults.append((key[1], key[2], f"exception {key[0]} for {code} (line {line}) matches nothing; remove it"))
    return faults


def read_exceptions(path):
    table = {}
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\r\n")
            if not line.strip() or line.startswith("#"):
                continue
            cols = line.split("\t")
            if len(cols) != 5 or cols[0] not in ("mail", "tel") or not cols[4].strip():
                raise ValueError(f"{path}:{number}: expected mail or tel, province, place, code and a reason")
            table[(cols[0], cols[1], cols[2])] = (cols[3], cols[4], number)
    return table


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "data", "mailtel.ini")
    if phonenumbers is None:
        print("FAILED: python3-phonenumbers is not installed (scripts/setup.sh installs it)")
        return 1
    try:
        provinces, places, faults = read_places(path)
        exceptions = read_exceptions(os.path.join(HERE, "exceptions.tsv"))
    except (OSError, UnicodeDecodeError, ValueError) as e:
        print(f"FAILED: {e}")
        return 1
    if len(provinces) != 34:
        faults.append(f"{len(provinces)} provinces, expected 34")
    faults += [f"{p}/{place}: {text}" for p, place, text in
               code_faults(provinces, places, geocode, dialled_abroad, exceptions)]
    for f in faults:
        print(f"{path}: {f}")
    count = sum(len(r) for r in places.values())
    print(f"mailtel: {len(provinces)} provinces, {count} places, {len(exceptions)} documented exceptions")
    print(f"{'FAILED' if faults else 'OK'}: {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
