#!/usr/bin/env python3
"""Writes data/Weather.ini (GBK, CR LF) and the server's table of station
positions, server/coordinates.tsv (UTF-8, LF), from stations.tsv.

Usage: gen_catalogue.py [CATALOGUE [COORDINATES]]
"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
import stations  # noqa: E402


def read_table(path):
    """(rows, [(province, [(city, code), ...]), ...]) in file order."""
    try:
        rows = stations.read_table(path)
    except stations.TableError as e:
        sys.exit(str(e))
    provinces = []
    index = {}
    for r in rows:
        where = f"{path}:{r.line}"
        if not re.fullmatch(r"\d{5}", r.station):
            sys.exit(f"{where}: station number {r.station!r} is not 5 digits")
        if r.lat is None or r.lon is None:
            sys.exit(f"{where}: {r.city} has no position; run locate.py")
        for name in (r.province, r.city):
            if not name or any(c in name for c in "[]=-;\t ") or name != name.strip():
                sys.exit(f"{where}: unusable name {name!r}")
            name.encode("gbk")
        if r.province not in index:
            index[r.province] = len(provinces)
            provinces.append((r.province, []))
        cities = provinces[index[r.province]][1]
        if any(c == r.city for c, _ in cities):
            sys.exit(f"{where}: {r.city} listed twice in {r.province}")
        cities.append((r.city, r.station))
    return rows, provinces


def render_coordinates(rows):
    """One row per station number, sorted; a station shared by two cities
    takes the position of the first of them in catalogue order."""
    first = {}
    for r in rows:
        first.setdefault(r.station, r)
    lines = ["#station\tlatitude\tlongitude\tprovince\tcity"]
    for code in sorted(first):
        r = first[code]
        lines.append("\t".join([code, stations.degrees(r.lat), stations.degrees(r.lon), r.province, r.city]))
    return ("\n".join(lines) + "\n").encode("utf-8")


def write(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def render(provinces):
    lines = ["[Province]"]
    lines += [f"{p}=" for p, _ in provinces]
    for province, cities in provinces:
        lines += ["", f"[{province}]"]
        lines += [f"{c}={code}" for c, code in cities]
    return ("\r\n".join(lines) + "\r\n").encode("gbk")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "data", "Weather.ini")
    coords = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "server", "coordinates.tsv")
    rows, provinces = read_table(os.path.join(HERE, "stations.tsv"))
    write(out, render(provinces))
    write(coords, render_coordinates(rows))
    count = sum(len(c) for _, c in provinces)
    print(f"{out}: {len(provinces)} provinces, {count} cities; {coords}: {len({r.station for r in rows})} stations")


if __name__ == "__main__":
    main()
