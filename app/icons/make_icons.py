# Draws the window icon: a heart on an LCD dot matrix, in 16 and 32 pixels.
heart = [".#.#.", "#####", "#####", ".###.", "..#.."]
palette = {" ": "None", "b": "#2F3B4A", "p": "#C0D786", "d": "#AFC47A", "o": "#4A4A4A"}

def draw(size, cell, gap, margin):
    img = [["b"] * size for _ in range(size)]
    for y in range(1, size - 1):
        for x in range(1, size - 1):
            img[y][x] = "p"
    span = 5 * cell + 4 * gap
    start = (size - span) // 2
    for r, line in enumerate(heart):
        for c, ch in enumerate(line):
            for dy in range(cell):
                for dx in range(cell):
                    img[start + r * (cell + gap) + dy][start + c * (cell + gap) + dx] = "o" if ch == "#" else "d"
    # rounded corners
    for (x, y) in [(0, 0), (size - 1, 0), (0, size - 1), (size - 1, size - 1)]:
        img[y][x] = " "
    return ["".join(row) for row in img]

def xpm(name, rows):
    size = len(rows)
    used = [k for k in palette if any(k in r for r in rows)]
    out = [f"static const char *const {name}[] = {{", f'    "{size} {size} {len(used)} 1",']
    out += [f'    "{k} c {palette[k]}",' for k in used]
    out += [f'    "{r}",' for r in rows]
    out[-1] = out[-1].rstrip(",")
    out.append("};")
    return "\n".join(out)

small = draw(16, 2, 1, 1)
large = draw(32, 4, 1, 3)
# The arrays go into app/window_icon.cpp; the PNGs are made from the XPMs with
#   convert glimmerset-16.xpm -colors 16 PNG8:glimmerset-16.png
for name, rows in (("glimmerset_16", small), ("glimmerset_32", large)):
    file = name.replace("_", "-") + ".xpm"
    open(file, "w").write("/* XPM */\n" + xpm(name, rows) + "\n")

# The scalable icon for launchers: the same heart, drawn in vector form.
def svg(size=128, cell=16, gap=4):
    span = 5 * cell + 4 * gap
    start = (size - span) / 2
    parts = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}" viewBox="0 0 {size} {size}">',
             f'  <rect x="2" y="2" width="{size - 4}" height="{size - 4}" rx="10" fill="#C0D786" stroke="#2F3B4A" stroke-width="4"/>']
    for r, line in enumerate(heart):
        for c, ch in enumerate(line):
            x = start + c * (cell + gap)
            y = start + r * (cell + gap)
            fill = "#4A4A4A" if ch == "#" else "#AFC47A"
            parts.append(f'  <rect x="{x:g}" y="{y:g}" width="{cell}" height="{cell}" fill="{fill}"/>')
    parts.append("</svg>")
    return "\n".join(parts) + "\n"

open("glimmerset.svg", "w").write(svg())
