#!/usr/bin/env python3
"""Tests of the postal and area code checks."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check  # noqa: E402

AREAS = {"020": "广东省广州市", "0710": "湖北省襄樊市", "0728": "湖北省仙桃市"}


def fake_geocode(area):
    return AREAS.get(area)


def fake_abroad(code, region):
    return {"HK": "00852", "TW": "00886-2"}.get(region) == code


class CodeFaults(unittest.TestCase):
    def test_codes_and_their_exceptions(self):
        shared = {("tel", "湖北", "天门市"): ("0728", "shares 0728", 3)}
        cases = [
            ("place its code names", "广东", ("广州市", "510000", "020"), {}, []),
            ("code under a former name", "湖北", ("襄阳市", "441000", "0710"), {}, []),
            ("code of another place", "湖北", ("天门市", "431700", "0728"), {}, ["仙桃"]),
            ("shared code documented", "湖北", ("天门市", "431700", "0728"), shared, []),
            ("documented code changed since", "湖北", ("天门市", "431700", "020"), shared,
             ["广州", "matches nothing"]),
            ("code that dials nothing", "广东", ("广州市", "510000", "0567"), {}, ["dials no landline"]),
            ("code without its 0", "广东", ("广州市", "510000", "20"), {}, ["not 0 and"]),
            ("postal code of another province", "广东", ("广州市", "410000", "020"), {}, ["not one of 广东's"]),
            ("postal code too short", "广东", ("广州市", "51000", "020"), {}, ["not one of 广东's"]),
            ("empty postal code", "广东", ("广州市", "", "020"), {}, ["not one of 广东's"]),
            ("Hong Kong dialled from the mainland", "香港", ("香港", "999077", "00852"), {}, []),
            ("Hong Kong with a mainland code", "香港", ("香港", "999077", "0852"), {}, ["does not dial HK"]),
            ("Taiwan's three-digit postal code", "台湾", ("台北市", "100", "00886-2"), {}, []),
            ("Taiwan with a mainland postal code", "台湾", ("台北市", "100000", "00886-2"), {}, ["not one of"]),
        ]
        for why, province, place, excused, expected in cases:
            with self.subTest(why):
                texts = [t for _, _, t in check.code_faults([province], {province: [place]}, fake_geocode,
                                                            fake_abroad, excused)]
                self.assertEqual(len(texts), len(expected), f"{why}: {texts}")
                for want, got in zip(expected, texts):
                    self.assertIn(want, got, why)

    @unittest.skipIf(check.phonenumbers is None, "python3-phonenumbers missing")
    def test_geocoding_of_real_codes(self):
        for why, area, want in [("three-digit code, eight-digit numbers", "010", "北京"),
                                ("four-digit code", "0755", "深圳"),
                                ("four-digit code with seven-digit numbers", "0391", "焦作"),
                                ("retired code", "0567", None)]:
            with self.subTest(why):
                got = check.geocode(area)
                if want is None:
                    self.assertIsNone(got)
                else:
                    self.assertIn(want, got or "")


class FileShape(unittest.TestCase):
    def read(self, text, newline="\r\n"):
        with tempfile.NamedTemporaryFile("wb", suffix=".ini", delete=False) as f:
            f.write(newline.join(text).encode("gbk") + newline.encode())
        try:
            return check.read_places(f.name)
        finally:
            os.unlink(f.name)

    def test_pairs_and_line_ends(self):
        good = ["[Province]", "甲=甲省", "[甲]", "乙市mail=100000", "乙市tel=010"]
        for why, lines, newline, places, fault in [
            ("whole pairs", good, "\r\n", [("乙市", "100000", "010")], None),
            ("LF line ends", good, "\n", None, "CR LF"),
            ("tel before mail", good[:3] + [good[4], good[3]], "\r\n", [], "not a mail and tel pair"),
            ("lone mail key", good[:4], "\r\n", [], "odd number"),
            ("province without a section", good[:2], "\r\n", None, "no section"),
        ]:
            with self.subTest(why):
                _, got, faults = self.read(lines, newline)
                if places is not None:
                    self.assertEqual(got.get("甲"), places)
                if fault is None:
                    self.assertEqual(faults, [])
                else:
                    self.assertTrue(any(fault in f for f in faults), faults)


if __name__ == "__main__":
    unittest.main()
