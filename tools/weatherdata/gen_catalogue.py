#!/usr/bin/env python3
"""Writes data/Weather.ini (GBK, CR LF) from stations.tsv.

Usage: gen_catalogue.py [OUTPUT]   (default: <repo>/data/Weather.ini)
"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def read_table(path):
    """[(province, [(city, code), ...]), ...] in file order."""
    provinces = []
    index = {}
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\r\n")
            if not line.strip() or line.startswith("#"):
                continue
            cols = line.split("\t")
            if len(cols) < 4:
                sys.exit(f"{path}:{number}: expected 4 or 5 columns")
            province, city, code, sure = cols[:4]
            if not re.fullmatch(r"\d{5}", code):
                sys.exit(f"{path}:{number}: station number {code!r} is not 5 digits")
            if sure not in ("S", "L", "N"):
                sys.exit(f"{path}:{number}: confidence {sure!r} is not S, L or N")
            if sure == "N" and (len(cols) < 5 or not cols[4].strip()):
                sys.exit(f"{path}:{number}: a borrowed number must name its city")
            for name in (province, city):
                if not name or any(c in name for c in "[]=-;\t ") or name != name.strip():
                    sys.exit(f"{path}:{number}: unusable name {name!r}")
                name.encode("gbk")
            if province not in index:
                index[province] = len(provinces)
                provinces.append((province, []))
            cities = provinces[index[province]][1]
            if any(c == city for c, _ in cities):
                sys.exit(f"{path}:{number}: {city} listed twice in {province}")
            cities.append((city, code))
    return provinces


def render(provinces):
    lines = ["[Province]"]
    lines += [f"{p}=" for p, _ in provinces]
    for province, cities in provinces:
        lines += ["", f"[{province}]"]
        lines += [f"{c}={code}" for c, code in cities]
    return ("\r\n".join(lines) + "\r\n").encode("gbk")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "data", "Weather.ini")
    provinces = read_table(os.path.join(HERE, "stations.tsv"))
    data = render(provinces)
    with open(out, "wb") as f:
        f.write(data)
    count = sum(len(c) for _, c in provinces)
    print(f"{out}: {len(provinces)} provinces, {count} cities")


if __name__ == "__main__":
    main()
