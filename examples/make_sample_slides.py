#!/usr/bin/python3
"""Draws the sample presentation's picture slides as a presentation program
exports them: 1280 x 720 PNG slides with a title, a JPEG slide, and a photo
stored sideways with the EXIF orientation a phone writes (6: turn 90 degrees
clockwise to see it upright). Encoded with Pillow (Debian's python3-pil) and
the DejaVu fonts (fonts-dejavu-core). It also writes the show's settings
(show.ini beside the slides' folder: the speaker's notes for every slide, a
narration on the first) and that narration, German speech by espeak-ng made a
small MP3 by ffmpeg. The files are committed, so none of these is needed to
build.

    apt-get install python3-pil fonts-dejavu-core espeak-ng ffmpeg
    /usr/bin/python3 examples/make_sample_slides.py examples/sample/slides
"""
import math
import subprocess
import sys
import tempfile
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont

W, H = 1280, 720
FONTS = Path("/usr/share/fonts/truetype/dejavu")
INK = (40, 44, 52)
ACCENT = (33, 99, 170)


def font(size, bold=False):
    return ImageFont.truetype(str(FONTS / ("DejaVuSans-Bold.ttf" if bold else "DejaVuSans.ttf")), size)


def slide(title):
    """A white slide with its title and the accent line below it."""
    image = Image.new("RGB", (W, H), (255, 255, 255))
    draw = ImageDraw.Draw(image)
    draw.text((64, 40), title, font=font(48, True), fill=INK)
    draw.rectangle((64, 112, W - 64, 116), fill=ACCENT)
    draw.text((64, H - 44), "Farben und Formen", font=font(18), fill=(130, 130, 130))
    return image, draw


def hue(h):
    """The colour of hue h (0..1) at full saturation."""
    r, g, b = (max(0.0, min(1.0, abs((h * 6 + k) % 6 - 3) - 1)) for k in (0, 4, 2))
    return int(r * 255 + 0.5), int(g * 255 + 0.5), int(b * 255 + 0.5)


def colour_wheel():
    image, draw = slide("Der Farbkreis")
    cx, cy, outer, inner = W // 2, H // 2 + 40, 250, 90
    for k in range(12):
        start = k * 30 - 90 - 15
        draw.pieslice((cx - outer, cy - outer, cx + outer, cy + outer), start, start + 30,
                      fill=hue(k / 12), outline=(255, 255, 255), width=4)
    draw.ellipse((cx - inner, cy - inner, cx + inner, cy + inner), fill=(128, 128, 128))
    draw.text((64, 160), "Zwölf Töne,\ngegenüber:\nGegenfarben", font=font(30), fill=INK,
              spacing=10)
    return image


def bar_chart():
    image, draw = slide("Ergebnisse im Überblick")
    values = [("Rot", 62, (200, 40, 40)), ("Gelb", 81, (230, 180, 20)),
              ("Grün", 74, (40, 150, 70)), ("Blau", 93, (33, 99, 170))]
    base, top = H - 110, 190
    draw.line((140, base, W - 140, base), fill=INK, width=3)
    for i, (name, value, colour) in enumerate(values):
        x = 220 + i * 230
        y = base - (base - top) * value // 100
        draw.rectangle((x, y, x + 140, base), fill=colour)
        draw.text((x + 70, y - 12), f"{value} %", font=font(30, True), fill=INK, anchor="md")
        draw.text((x + 70, base + 12), name, font=font(28), fill=INK, anchor="ma")
    return image


def gradient():
    """A full-bleed gradient slide, as a JPEG export has it."""
    image = Image.new("RGB", (W, H))
    pixels = image.load()
    for x in range(W):
        t = x / (W - 1)
        colour = (int(30 * (1 - t) + 20 * t), int(170 * (1 - t) + 80 * t), int(90 * (1 - t) + 200 * t))
        for y in range(H):
            pixels[x, y] = colour
    draw = ImageDraw.Draw(image)
    draw.text((64, 40), "Farbverläufe: von Grün nach Blau", font=font(48, True), fill=(255, 255, 255))
    draw.text((64, H - 80), "Ohne harte Kante: jeder Ton geht in den nächsten über.", font=font(30),
              fill=(255, 255, 255))
    return image


def photo():
    """A portrait photo of a meadow under the sky, as a phone stores it: the
    sensor's landscape picture, turned upright by EXIF orientation 6."""
    upright = Image.new("RGB", (540, 720))
    pixels = upright.load()
    for y in range(720):
        for x in range(540):
            if y < 430:  # sky, lighter towards the horizon
                t = y / 430
                pixels[x, y] = (int(70 + 110 * t), int(130 + 90 * t), int(210 + 30 * t))
            else:  # meadow, with a gentle wave
                wave = 10 * math.sin(x / 40 + y / 25)
                pixels[x, y] = (int(60 + wave), int(140 + wave), int(50 + wave / 2))
    draw = ImageDraw.Draw(upright)
    draw.ellipse((380, 70, 480, 170), fill=(255, 220, 80))  # the sun, top right
    draw.polygon([(0, 430), (140, 300), (300, 430)], fill=(90, 110, 140))  # a hill, left
    stored = upright.transpose(Image.Transpose.ROTATE_90)  # what the sensor saw
    exif = Image.Exif()
    exif[274] = 6
    return stored, exif.tobytes()


NARRATION = "09-begruessung.mp3"
SPOKEN = ("Willkommen zum Kurs Farben und Formen. "
          "Heute lernen wir den Farbkreis kennen und malen unsere ersten Verläufe.")

# The speaker's notes, a few lines for every slide; the first slide speaks.
SHOW = """# Die Einstellungen der Präsentation „Farben und Formen“ (show.ini).
# Die Folien wechseln von Hand; die erste spricht ihre Begrüßung.
[Show]
Advance=0

[01-willkommen.txt]
Sound={narration}
Note=Alle begrüßen, Namen reihum nennen lassen.
Note=Ablauf kurz zeigen: Farbkreis, Übung, Ausflug.

[02-farbkreis.png]
Note=Grundfarben zuerst zeigen, dann die Mischfarben dazwischen.
Note=Frage: Welche Farbe liegt Rot gegenüber?

[03-tagesablauf.txt]
Note=Pausen ansagen: 10:30 und 12:00 Uhr.
Note=Die Übung beginnt nach der ersten Pause.

[04-ergebnisse.png]
Note=Die Balken sind die Ergebnisse der letzten Gruppe.
Note=Nicht werten, nur vergleichen.

[05-uebung.html]
Note=Das Übungsblatt liegt ausgedruckt bereit.
Note=Zwanzig Minuten Zeit geben.

[06-verlauf.jpg]
Note=Verlauf von Grün nach Blau: nass in nass malen.
Note=Pinsel zwischendurch auswaschen.

[07-ausflug.jpg]
Note=Das Foto vom Ausflug an den Fluss, Treffpunkt an der Brücke.
Note=Wetterfeste Kleidung mitbringen.

[08-zusammenfassung.txt]
Note=Die drei wichtigsten Punkte wiederholen.
Note=Fragen sammeln, Termin für das nächste Treffen nennen.
"""


def narration(path):
    """The first slide's greeting: German speech, a mono MP3 of a few KB per second."""
    with tempfile.TemporaryDirectory() as work:
        wav = Path(work) / "speech.wav"
        subprocess.run(["espeak-ng", "-v", "de", "-s", "150", "-w", str(wav), SPOKEN], check=True)
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", str(wav), "-ac", "1", "-ar", "16000",
                        "-b:a", "24k", "-map_metadata", "-1", "-fflags", "+bitexact",
                        "-flags:a", "+bitexact", str(path)], check=True)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_sample_slides.py FOLDER")
    folder = Path(sys.argv[1])
    colour_wheel().save(folder / "02-farbkreis.png", optimize=True)
    bar_chart().save(folder / "04-ergebnisse.png", optimize=True)
    gradient().save(folder / "06-verlauf.jpg", quality=88, progressive=True)
    stored, exif = photo()
    stored.save(folder / "07-ausflug.jpg", quality=85, exif=exif)
    narration(folder / NARRATION)
    (folder.parent / "show.ini").write_text(SHOW.format(narration=NARRATION), encoding="utf-8")


if __name__ == "__main__":
    main()
