#!/usr/bin/env python3
"""Writes res/Skins/UserDengColor_3.userd, the template of the per-slot user
colour files: ten named per-key colour layouts, each with the painting tool,
the base and painting colours and an entry for every key of the on-screen
keyboard (the 105 ordinary keys and Fn). UTF-16LE with BOM, CRLF.

Re-run after changing a layout:  python3 tools/colour_template/make_colour_template.py
"""
import colorsys
import os

# Key positions of the on-screen keyboard's ordinary keys, then Fn (110).
# A position is row * 21 + column on the keyboard's colour matrix.
POSITIONS = [
    1, 2, 3, 4, 5, 6, 0, 7, 8, 9, 10, 11, 12, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31,
    32, 33, 55, 34, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 42, 64, 65, 66, 67, 68,
    69, 70, 71, 72, 73, 74, 63, 76, 86, 87, 88, 89, 90, 91, 92, 93, 94, 95, 97, 84, 105,
    106, 107, 109, 112, 111, 113, 108, 14, 15, 16, 35, 36, 37, 56, 57, 58, 119, 120, 121,
    99, 38, 39, 40, 41, 59, 60, 61, 62, 80, 81, 82, 101, 102, 103, 104, 124, 123, 85,
]
FN = 110
assert len(POSITIONS) == 105 and len(set(POSITIONS)) == 105

WASD = {44, 64, 65, 66, 99, 119, 120, 121}
NUMPAD = {38, 39, 40, 41, 59, 60, 61, 62, 80, 81, 82, 101, 102, 103, 104, 123, 124}
FKEYS = set(range(1, 13)) | {0}
NAV = {14, 15, 16, 35, 36, 37, 56, 57, 58}


def rc(pos):
    return divmod(pos, 21)


def hsv(h, s, v):
    r, g, b = colorsys.hsv_to_rgb(h % 1.0, s, v)
    return (round(r * 255), round(g * 255), round(b * 255))


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def gradient(stops, t):
    t = min(max(t, 0.0), 1.0) * (len(stops) - 1)
    i = min(int(t), len(stops) - 2)
    return lerp(stops[i], stops[i + 1], t - i)


def by_column(stops):
    return lambda p: (gradient(stops, rc(p)[1] / 20), 0)


def by_row(stops, bottom_up=False):
    def f(p):
        r = rc(p)[0] / 5
        return (gradient(stops, 1 - r if bottom_up else r), 0)
    return f


def highlight(keys, colour, base):
    return lambda p: (colour, 0) if p in keys else (base, 1)


# (name, tool, base colour, painting colour, key -> (colour, follows base))
LAYOUTS = [
    ("Rainbow", 0, (255, 255, 255), (255, 0, 0), lambda p: (hsv(rc(p)[1] / 21, 1, 1), 0)),
    ("WASD", 0, (40, 60, 120), (255, 32, 32), highlight(WASD, (255, 32, 32), (40, 60, 120))),
    ("Numpad", 0, (40, 40, 40), (0, 200, 255), highlight(NUMPAD, (0, 200, 255), (40, 40, 40))),
    ("Ocean", 0, (0, 40, 120), (0, 255, 200), by_row([(0, 255, 220), (0, 140, 255), (0, 30, 140)])),
    ("Fire", 0, (255, 60, 0), (255, 220, 0), by_row([(255, 0, 0), (255, 90, 0), (255, 200, 0)], True)),
    ("Forest", 0, (0, 90, 20), (160, 255, 60), by_column([(0, 80, 20), (40, 180, 40), (170, 255, 80)])),
    ("Aurora", 0, (20, 0, 60), (0, 255, 140),
     lambda p: (gradient([(0, 255, 140), (0, 160, 255), (160, 0, 255)], (rc(p)[0] / 5 + rc(p)[1] / 20) / 2), 0)),
    ("Sunset", 0, (60, 0, 80), (255, 120, 0), by_column([(120, 0, 160), (255, 0, 100), (255, 140, 0)])),
    ("Ice", 0, (200, 230, 255), (255, 255, 255), by_row([(255, 255, 255), (150, 210, 255), (60, 140, 255)])),
    ("Function keys", 0, (255, 255, 255), (255, 160, 0),
     lambda p: ((255, 160, 0), 0) if p in FKEYS else (((0, 160, 255), 0) if p in NAV else ((255, 255, 255), 1))),
]
assert len(LAYOUTS) == 10


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    lines = ["[MODENAME]"]
    lines += [f"{n}={name}" for n, (name, *_rest) in enumerate(LAYOUTS)]
    lines += ["", "[PRESENTMODE]", "mode=0"]
    for n, (name, tool, base, paint, key) in enumerate(LAYOUTS):
        lines += ["", f"[Mode{n}]", f"tool={tool}", "jcolor=%d,%d,%d" % base, "color=%d,%d,%d" % paint]
        for p in POSITIONS + [FN]:
            colour, follows = key(p)
            if follows:
                colour = base
            lines.append("%d=%d,%d,%d,%d" % (p, *colour, follows))
    text = "\r\n".join(lines) + "\r\n"
    out = os.path.join(root, "res", "Skins", "UserDengColor_3.userd")
    os.makedirs(os.path.dirname(out), exist_ok=True)
    with open(out, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))
    print(out)


if __name__ == "__main__":
    main()
