#!/usr/bin/python3
"""Writes the pictures the Windows test shows: one solid colour per format and
pixel layout, a half-transparent PNG, a photo stored sideways with EXIF
orientation 6 (red on the left, blue on the right as stored; red on top
upright) and a PNG cut off inside its pixels. Encoded with Pillow (Debian's python3-pil); the
files are committed, so the build does not need it.

    /usr/bin/python3 tests/demo/make_test_slides.py tests/demo/slides
"""
import sys
from pathlib import Path

from PIL import Image

SIZE = (64, 48)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_test_slides.py FOLDER")
    out = Path(sys.argv[1])
    Image.new("RGB", SIZE, (200, 30, 30)).save(out / "a-rot.png")
    Image.new("RGB", SIZE, (30, 160, 60)).save(out / "b-gruen.JPG", quality=95)
    Image.new("RGB", SIZE, (40, 70, 200)).convert("P", palette=Image.Palette.ADAPTIVE).save(out / "c-blau.gif")
    Image.new("RGB", SIZE, (230, 180, 20)).save(out / "d-gelb.tif")
    Image.new("RGB", SIZE, (120, 40, 160)).save(out / "e-lila.bmp")
    Image.new("I;16", SIZE, 0x8080).save(out / "f-grau16.png")  # 16 bits of grey
    Image.new("RGBA", SIZE, (0, 0, 255, 128)).save(out / "g-halb.png")
    stored = Image.new("RGB", (80, 40), (220, 0, 0))
    stored.paste((0, 0, 220), (40, 0, 80, 40))
    exif = Image.Exif()
    exif[274] = 6
    stored.save(out / "h-hochkant.jpg", quality=95, exif=exif.tobytes())
    # A PNG cut off after its header: the size is sane, the pixels are missing.
    red = (out / "a-rot.png").read_bytes()
    (out / "i-kaputt.png").write_bytes(red[: red.index(b"IDAT") + 12])


if __name__ == "__main__":
    main()
