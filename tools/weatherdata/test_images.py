#!/usr/bin/env python3
"""The wind-force columns: their digits are as tall as the pages' body text,
and the shipped pictures are what the generator draws now."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gen_images  # noqa: E402

BODY_TEXT_PX = 12  # td { font-size: 12px } in both template sets
INK = (40, 56, 90)


def ink_rows(px):
    """Rows holding a pixel at least half digit ink."""
    def dark(p):
        return p[3] >= 128 and all(abs(a - b) < 60 for a, b in zip(p[:3], INK))
    return [y for y, row in enumerate(px) if any(dark(p) for p in row)]


class ForceColumns(unittest.TestCase):
    def test_digits_as_tall_as_body_text_and_shipped(self):
        for force in range(13):
            with self.subTest(force=force):
                canvas = gen_images.draw_force(force)
                rows = ink_rows(canvas.pixels())
                self.assertTrue(rows)
                self.assertGreaterEqual(rows[-1] - rows[0] + 1, BODY_TEXT_PX)
                with tempfile.TemporaryDirectory() as tmp:
                    fresh = os.path.join(tmp, "fl.gif")
                    gen_images.save(canvas, fresh)
                    shipped = os.path.join(gen_images.IMAGES, "fl%d.gif" % force)
                    with open(fresh, "rb") as a, open(shipped, "rb") as b:
                        self.assertEqual(a.read(), b.read(), "run tools/weatherdata/gen_images.py")


if __name__ == "__main__":
    unittest.main()
