#!/usr/bin/env python3
"""Tests of the station checks, the coordinates table and the table reader."""
import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check  # noqa: E402
import stations  # noqa: E402
from gen_catalogue import render_coordinates  # noqa: E402


def row(city, station, lat=30.0, lon=110.0, isd=("X", 30.0, 110.0), source="GeoNames:X", province="P"):
    r = stations.Row(province, city, station)
    r.lat, r.lon, r.source = lat, lon, source
    r.station_name, r.station_lat, r.station_lon = isd
    return r


def listed(*entries):
    return {wmo: stations.Station(wmo, name, lat, lon, "19560101", "20180101") for wmo, name, lat, lon in entries}


class StationFaults(unittest.TestCase):
    def test_rules_and_their_exceptions(self):
        far = (30.0, 111.0)  # one degree of longitude at 30 N is about 96 km
        Case = tuple  # (why, rows, isd, exceptions, expected fault texts)
        cases = [
            Case(("station beside its city", [row("A", "50001")], listed(("50001", "X", 30.0, 110.0)), {}, [])),
            Case(("number ISD lacks", [row("A", "50001", isd=("", None, None))], listed(), {},
                  ["not in the ISD list"])),
            Case(("number ISD lacks, documented", [row("A", "50001", isd=("", None, None))], listed(),
                  {("unlisted", "P", "A"): ("50001", "why", 1)}, [])),
            Case(("documented for another number", [row("A", "50002", isd=("", None, None))], listed(),
                  {("unlisted", "P", "A"): ("50001", "why", 1)}, ["not in the ISD list", "matches nothing"])),
            Case(("listed without a position", [row("A", "50001", isd=("X", None, None))],
                  listed(("50001", "X", None, None)), {}, ["no position in the ISD list"])),
            Case(("station 96 km away", [row("A", "50001", isd=("X",) + far)], listed(("50001", "X") + far), {},
                  ["lies 96 km"])),
            Case(("station 96 km away, documented", [row("A", "50001", isd=("X",) + far)],
                  listed(("50001", "X") + far), {("far", "P", "A"): ("50001", "why", 1)}, [])),
            Case(("exception for a city now in order", [row("A", "50001")], listed(("50001", "X", 30.0, 110.0)),
                  {("far", "P", "A"): ("50001", "why", 7)}, ["line 7) matches nothing"])),
            Case(("city without a position", [row("A", "50001", lat=None, lon=None)],
                  listed(("50001", "X", 30.0, 110.0)), {}, ["has no position"])),
            Case(("latitude and longitude swapped", [row("A", "50001", lat=110.0, lon=30.0)],
                  listed(("50001", "X", 30.0, 110.0)), {}, ["outside China", "lies"])),
            Case(("table's ISD columns out of date", [row("A", "50001", isd=("OLD", 30.0, 110.0))],
                  listed(("50001", "X", 30.0, 110.0)), {}, ["differ from the ISD list"])),
            Case(("second city on one station", [row("A", "50001"), row("B", "50001", lat=30.1)],
                  listed(("50001", "X", 30.0, 110.0)), {}, ["is A's"])),
            Case(("borrowing although its own station is listed",
                  [row("A", "50001"), row("B", "50001", lat=30.1, source="GeoNames:Bcity")],
                  listed(("50001", "X", 30.0, 110.0), ("50009", "BCITY EAST", 30.1, 110.1)),
                  {("shared", "P", "B"): ("50001", "why", 1)}, ["its own 50009"])),
            Case(("no ISD list: the table's own columns decide", [row("A", "50001", isd=("", None, None))], None,
                  {}, ["not in the ISD list"])),
        ]
        for why, rows, isd, excused, expected in cases:
            with self.subTest(why):
                texts = [t for _, _, t in check.station_faults(rows, isd, excused)]
                self.assertEqual(len(texts), len(expected), f"{why}: {texts}")
                for want, got in zip(expected, texts):
                    self.assertIn(want, got, why)


class CoordinatesTable(unittest.TestCase):
    def test_one_row_per_station_sorted_first_city_wins(self):
        rows = [row("Later", "59000", 22.12346, 113.5), row("First", "50001", 45.0, 126.0),
                row("Second", "50001", 46.0, 127.0)]
        text = render_coordinates(rows).decode("utf-8")
        self.assertEqual(text, "#station\tlatitude\tlongitude\tprovince\tcity\n"
                               "50001\t45\t126\tP\tFirst\n"
                               "59000\t22.1235\t113.5\tP\tLater\n")


class TableFile(unittest.TestCase):
    def read(self, line):
        with tempfile.NamedTemporaryFile("w", suffix=".tsv", delete=False, encoding="utf-8") as f:
            f.write("# comment\n" + line + "\n")
        try:
            return stations.read_table(f.name)
        finally:
            os.unlink(f.name)

    def test_reads_back_what_it_writes(self):
        r = row("广州", "59287", 23.1167, 113.25, ("BAIYUN INTL", 23.392, 113.299))
        r.note = "白云"
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "t.tsv")
            stations.write_table(path, [r])
            back = stations.read_table(path)[0]
        self.assertEqual((back.city, back.station, back.lat, back.lon, back.station_name, back.station_lat, back.note),
                         ("广州", "59287", 23.1167, 113.25, "BAIYUN INTL", 23.392, "白云"))

    def test_rejects_bad_lines(self):
        for why, line in [("five decimals", "P\tA\t50001\t30.12345\t110\tGeoNames:A\t\t\t\t"),
                          ("column missing", "P\tA\t50001\t30\t110\tGeoNames:A\t\t\t"),
                          ("degrees as words", "P\tA\t50001\tthirty\t110\tGeoNames:A\t\t\t\t")]:
            with self.subTest(why), self.assertRaises(stations.TableError):
                self.read(line)

    def test_distance_matches_known_pairs(self):
        for why, a, b, km in [("Beijing to Shanghai", (39.9075, 116.3972), (31.2222, 121.4581), 1067),
                              ("one degree of latitude", (30.0, 110.0), (31.0, 110.0), 111),
                              ("across the date line stays short", (0.0, 179.5), (0.0, -179.5), 111)]:
            with self.subTest(why):
                self.assertAlmostEqual(stations.distance_km(*a, *b), km, delta=2)


if __name__ == "__main__":
    unittest.main()
