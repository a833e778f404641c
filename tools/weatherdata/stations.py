"""The station table (stations.tsv), the ISD station list and the documented
exceptions: reading, writing and the distance between two positions.
Shared by gen_catalogue.py, locate.py and check.py."""
import math
import os
import re

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))

# A station farther than this from its city's centre needs a documented reason.
FAR_KM = 60.0

HEADER = """\
# The city catalogue: one city a line, provinces in order of first appearance,
# cities in file order (favourites and caches name them: keep names and order).
# Columns: province, city, WMO station number, latitude and longitude of the
# city centre (degrees, north and east), where that position comes from
# (GeoNames:<place name>, ISD:<station>, hand), the station's name, latitude
# and longitude in the ISD station history (empty when ISD lacks it), note.
# Regenerate the position columns with locate.py; see SOURCES.md.
"""
COLUMNS = ["province", "city", "station", "lat", "lon", "source", "isd_name", "isd_lat", "isd_lon", "note"]


class Row:
    def __init__(self, province, city, station, note=""):
        self.province, self.city, self.station, self.note = province, city, station, note
        self.lat = self.lon = None
        self.source = ""
        self.station_name, self.station_lat, self.station_lon = "", None, None
        self.line = 0


class TableError(Exception):
    pass


def _number(text, where):
    if text == "":
        return None
    if not re.fullmatch(r"-?\d{1,3}(\.\d{1,4})?", text):
        raise TableError(f"{where}: {text!r} is not degrees with at most 4 decimals")
    return float(text)


def tsv_rows(path):
    """(line number, columns) of each line of a tab-separated file that is
    neither blank nor a # comment."""
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\r\n")
            if line.strip() and not line.startswith("#"):
                yield number, line.split("\t")


def read_table(path):
    """The rows of stations.tsv in file order; raises TableError on a bad line."""
    rows = []
    for number, cols in tsv_rows(path):
        where = f"{path}:{number}"
        if len(cols) != len(COLUMNS):
            raise TableError(f"{where}: {len(cols)} columns, expected {len(COLUMNS)}")
        r = Row(cols[0], cols[1], cols[2], cols[9])
        r.line = number
        r.lat, r.lon = _number(cols[3], where), _number(cols[4], where)
        r.source = cols[5]
        r.station_name = cols[6]
        r.station_lat, r.station_lon = _number(cols[7], where), _number(cols[8], where)
        rows.append(r)
    return rows


def degrees(value):
    return "" if value is None else f"{value:.4f}".rstrip("0").rstrip(".")


def write_table(path, rows):
    lines = [HEADER.rstrip("\n")]
    for r in rows:
        lines.append("\t".join([r.province, r.city, r.station, degrees(r.lat), degrees(r.lon), r.source,
                                r.station_name, degrees(r.station_lat), degrees(r.station_lon), r.note]))
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(tmp, path)


def short_province(full):
    for s in ("维吾尔自治区", "壮族自治区", "回族自治区", "特别行政区", "自治区", "省", "市"):
        if full.endswith(s):
            return full[: -len(s)]
    return full


class Station:
    def __init__(self, wmo, name, lat, lon, begin, end):
        self.wmo, self.name, self.lat, self.lon, self.begin, self.end = wmo, name, lat, lon, begin, end


def find_isd():
    """Path of the ISD station list: $ZEL_ISD_STATIONS when set (a path that
    does not exist then means no list), else shared/reference/ beside the
    repository (or beside its worktree folder); None when there is none."""
    chosen = os.environ.get("ZEL_ISD_STATIONS")
    if chosen:
        return chosen if os.path.isfile(chosen) else None
    candidates = [os.path.join(ROOT, "..", "shared", "reference", "isd-stations-china.tsv"),
                  os.path.join(ROOT, "..", "..", "shared", "reference", "isd-stations-china.tsv")]
    return next((c for c in candidates if os.path.isfile(c)), None)


def read_isd(path):
    """{wmo: Station}; None when path is None."""
    if path is None:
        return None
    table = {}
    with open(path, encoding="utf-8") as f:
        header = f.readline().rstrip("\n").split("\t")
        for line in f:
            rec = dict(zip(header, line.rstrip("\n").split("\t")))
            lat = float(rec["lat"]) if rec.get("lat") else None
            lon = float(rec["lon"]) if rec.get("lon") else None
            table[rec["wmo"]] = Station(rec["wmo"], rec["name"], lat, lon, rec.get("begin", ""), rec.get("end", ""))
    return table


def distance_km(lat1, lon1, lat2, lon2):
    """Great-circle distance on a sphere of the earth's mean radius."""
    p1, p2 = math.radians(lat1), math.radians(lat2)
    dp, dl = p2 - p1, math.radians(lon2 - lon1)
    h = math.sin(dp / 2) ** 2 + math.cos(p1) * math.cos(p2) * math.sin(dl / 2) ** 2
    return 6371.0088 * 2 * math.asin(min(1.0, math.sqrt(h)))


def read_exceptions(path):
    """{(kind, province, city): reason} from a tab-separated list of kind,
    province, city, code, reason; the code is kept to catch a stale entry."""
    table = {}
    if not os.path.isfile(path):
        return table
    for number, cols in tsv_rows(path):
        if len(cols) != 5 or not cols[4].strip():
            raise TableError(f"{path}:{number}: expected kind, province, city, code and a reason")
        table[(cols[0], cols[1], cols[2])] = (cols[3], cols[4], number)
    return table
