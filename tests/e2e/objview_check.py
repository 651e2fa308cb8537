"""Measures objview screenshots (binary PPM) for tests/e2e/objview.sh.
  objview_check.py silhouette SHOT DIAMETER FILL   the model's silhouette is
      centred, DIAMETER pixels wide and high (within 3 %), and covers FILL of
      its bounding box (within 0.04)
  objview_check.py shading FLAT SMOOTH   smooth shading changes gradually
      where flat shading is constant per facet
  objview_check.py outline FILLED OUTLINE   the outline keeps the silhouette
      but is lines: the background shows through inside it
  objview_check.py overlay PLAIN HELP   the help text appears in the top left
  objview_check.py same A B   the pictures are identical
  objview_check.py colours SHOT X,Y=HUE...   the pixel at (X, Y) has the hue
      (red, green, blue, yellow, magenta, cyan, or grey where no channel stands out),
      or is the background (HUE background: the top left corner's colour)
  objview_check.py spread SHOT LOW HIGH   the model's pixels' brightest channels
      differ by LOW to HIGH levels: lit evenly, or unevenly, or one flat colour
  objview_check.py rectangle SHOT WIDTH HEIGHT   the model is a centred, filled
      rectangle of WIDTH x HEIGHT pixels (within 3 %)
  objview_check.py tall SHOT HEIGHT   the model is at least HEIGHT pixels high
  objview_check.py count SHOT HUE LOW HIGH   LOW to HIGH pixels have the hue
  objview_check.py wood SHOT SHARE   at least SHARE of the model's pixels are
      wood brown (red over green over blue)"""
import sys


def read(path):
    data = open(path, "rb").read()
    magic, w, h, maxval = data.split(maxsplit=4)[:4]
    assert magic == b"P6" and maxval == b"255", path
    w, h = int(w), int(h)
    pixels = data[len(data) - w * h * 3:]
    return w, h, [[tuple(pixels[3 * (y * w + x):3 * (y * w + x) + 3]) for x in range(w)] for y in range(h)]


def model_pixels(shot):
    w, h, rows = shot
    background = rows[0][0]
    return [(x, y) for y in range(h) for x in range(w) if rows[y][x] != background], background


def box(points):
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1


def check(ok, message):
    if not ok:
        sys.exit("FAIL: " + message)


def hue(p):
    low, high = min(p), max(p)
    if high - low < 40:
        return "grey"
    strong = tuple(c > low + (high - low) / 2 for c in p)
    return {(1, 0, 0): "red", (0, 1, 0): "green", (0, 0, 1): "blue", (1, 1, 0): "yellow",
            (1, 0, 1): "magenta", (0, 1, 1): "cyan"}.get(strong, str(p))


def centred_box(shot, want_w, want_h, name):
    """The model's pixels and box, checked to be centred and want_w x want_h (within 3 %)."""
    w, h, _ = shot
    points, _ = model_pixels(shot)
    x, y, bw, bh = box(points)
    print(f"{name} {bw}x{bh} at ({x}, {y}) in {w}x{h}, fill {len(points) / (bw * bh):.3f}")
    check(abs(x + bw / 2 - w / 2) <= 2 and abs(y + bh / 2 - h / 2) <= 2, "not centred")
    check(abs(bw - want_w) <= 0.03 * want_w and abs(bh - want_h) <= 0.03 * want_h, f"not {want_w}x{want_h}")
    return points, bw, bh


command, files = sys.argv[1], sys.argv[2:]
shots = [read(f) for f in files[:2] if f.endswith(".ppm")]
if command == "silhouette":
    diameter, fill = float(files[1]), float(files[2])
    points, bw, bh = centred_box(shots[0], diameter, diameter, "silhouette")
    check(abs(len(points) / (bw * bh) - fill) <= 0.04, f"does not fill {fill} of its box")
elif command == "shading":
    def gradual(shot):  # neighbours inside the model that differ by a level or two
        w, h, rows = shot
        bg = rows[0][0]
        return sum(1 for r in rows for a, b in zip(r, r[1:])
                   if bg not in (a, b) and 0 < abs(a[0] - b[0]) < 3)
    flat, smooth = gradual(shots[0]), gradual(shots[1])
    print(f"gradual steps: flat {flat}, smooth {smooth}")
    check(smooth > 10 * flat, "flat and smooth shading look alike")
elif command == "outline":
    (filled, bg), (lines, _) = model_pixels(shots[0]), model_pixels(shots[1])
    x, y, bw, bh = box(filled)
    lx, ly, lw, lh = box(lines)
    print(f"filled {len(filled)} pixels in {bw}x{bh}, outline {len(lines)} in {lw}x{lh}")
    check(abs(lw - bw) <= 3 and abs(lh - bh) <= 3, "the outline has another silhouette")
    w, h, rows = shots[1]
    centre = [rows[cy][cx] for cy in range(y + bh // 3, y + 2 * bh // 3) for cx in range(x + bw // 3, x + 2 * bw // 3)]
    open_share = centre.count(bg) / len(centre)
    print(f"background inside the outline's middle: {open_share:.2f}")
    check(open_share > 0.3 and len(lines) < 0.6 * len(filled), "the outline is filled")
elif command == "overlay":
    def text(shot):  # light yellow pixels in the top left quarter
        w, h, rows = shot
        return sum(1 for r in rows[:h // 2] for p in r[:w // 2] if p[0] > 150 and p[1] > 150 and p[2] < p[0] - 40)
    plain, help_ = text(shots[0]), text(shots[1])
    print(f"help text pixels: {plain} without, {help_} with")
    check(plain == 0 and help_ > 300 and shots[1][2][15][15] == (0, 0, 0), "no help overlay")
elif command == "same":
    check(shots[0][2] == shots[1][2], "the pictures differ")
elif command == "colours":
    rows = shots[0][2]
    for sample in files[1:]:
        at, want = sample.split("=")
        x, y = map(int, at.split(","))
        got = "background" if want == "background" and rows[y][x] == rows[0][0] else hue(rows[y][x])
        print(f"({x}, {y}): {rows[y][x]} is {got}")
        check(got == want, f"({x}, {y}) is not {want}")
elif command == "wood":
    points, _ = model_pixels(shots[0])
    rows = shots[0][2]
    brown = sum(1 for x, y in points if rows[y][x][0] > rows[y][x][1] > rows[y][x][2] and rows[y][x][0] - rows[y][x][2] > 30)
    print(f"wood brown: {brown} of {len(points)} pixels")
    check(brown >= float(files[1]) * len(points), f"less than {files[1]} of the model is wood brown")
elif command == "spread":
    points, _ = model_pixels(shots[0])
    rows = shots[0][2]
    levels = [max(rows[y][x]) for x, y in points]
    spread = max(levels) - min(levels)
    print(f"brightness {min(levels)}..{max(levels)} over {len(points)} pixels")
    check(float(files[1]) <= spread <= float(files[2]), f"a spread of {spread}, not {files[1]} to {files[2]}")
elif command == "rectangle":
    points, bw, bh = centred_box(shots[0], float(files[1]), float(files[2]), "rectangle")
    check(len(points) >= 0.95 * bw * bh, "not a filled rectangle")
elif command == "tall":
    points, _ = model_pixels(shots[0])
    _, _, bw, bh = box(points)
    print(f"{bw}x{bh}")
    check(bh >= float(files[1]), f"less than {files[1]} pixels high")
elif command == "count":
    n = sum(1 for r in shots[0][2] for p in r if hue(p) == files[1])
    print(f"{n} {files[1]} pixels")
    check(float(files[2]) <= n <= float(files[3]), f"not {files[2]} to {files[3]} {files[1]} pixels")
