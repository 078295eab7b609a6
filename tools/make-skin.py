#!/usr/bin/env python3
"""Draws the default skin "orvane" (theme.ini and its images) into skin/orvane/.

Run from anywhere: python3 tools/make-skin.py. The output is deterministic, so the committed
images are exactly what this script makes.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, '..', 'skin', 'orvane')

MAGENTA = (255, 0, 255)

# Frame geometry (pixels): caption height, side and bottom borders, corner radius.
T, L, R, B = 28, 5, 5, 5
RADIUS = 8
TOP_W, SIDE_H, BOTTOM_W = 96, 48, 48
TOP_START, TOP_END = 8, 8

STATES = {
    'active': dict(cap_top=(82, 120, 182), cap_bottom=(34, 60, 110), highlight=(140, 172, 222),
                   outline=(18, 30, 58), border=(38, 66, 118), inner=(24, 42, 80), title=(255, 255, 255)),
    'inactive': dict(cap_top=(186, 190, 198), cap_bottom=(140, 144, 154), highlight=(214, 217, 222),
                     outline=(96, 100, 108), border=(150, 154, 164), inner=(116, 120, 130), title=(44, 46, 52)),
}


def write_bmp(name, pixels):
    """pixels: rows top first, each a list of (r, g, b)."""
    height, width = len(pixels), len(pixels[0])
    stride = (width * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b'\0' * (stride - width * 3)
        body += line
    header = struct.pack('<2sIHHI', b'BM', 54 + len(body), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    with open(os.path.join(OUT, name), 'wb') as f:
        f.write(header + info + body)


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def outside_corner(dist_edge, y):
    """True where a top corner is cut away; dist_edge counts from the nearer side edge."""
    if dist_edge >= RADIUS or y >= RADIUS:
        return False
    dx = RADIUS - dist_edge - 0.5
    dy = RADIUS - y - 0.5
    return dx * dx + dy * dy > RADIUS * RADIUS


def caption_pixel(state, dist_edge, y):
    """A caption pixel at dist_edge from the nearer side of the window and row y."""
    s = STATES[state]
    if outside_corner(dist_edge, y):
        return MAGENTA
    on_rim = dist_edge == 0 or y == 0 or outside_corner(dist_edge - 1, y) or outside_corner(dist_edge, y - 1)
    if on_rim:
        return s['outline']
    if y == T - 1:
        return s['inner']
    if y == 1 or outside_corner(dist_edge - 2, y) or outside_corner(dist_edge, y - 2):
        return s['highlight']
    return mix(s['cap_top'], s['cap_bottom'], (y - 1) / (T - 3))


def side_pixel(state, dist_edge, y, length, width):
    """A pixel of a side image below the caption: outline outside, inner line at the client."""
    s = STATES[state]
    if y < T:
        return caption_pixel(state, dist_edge, y)
    if dist_edge == 0 or y == length - 1:
        return s['outline']
    if dist_edge == width - 1 and y < length - B:
        return s['inner']
    if y == length - B and dist_edge >= width - 1:
        return s['inner']
    return s['border']


def make_top():
    rows = []
    for state in ('active', 'inactive'):
        for y in range(T):
            row = []
            for c in range(TOP_W):
                if c < TOP_START:
                    dist = L + c
                elif c >= TOP_W - TOP_END:
                    # The end slice lands with its source column c at W - R - TOP_W + c + 2.
                    dist = R + TOP_W - c - 3
                else:
                    dist = RADIUS
                row.append(caption_pixel(state, dist, y))
            rows.append(row)
    write_bmp('top.bmp', rows)


def make_side(name, mirrored):
    width = L if not mirrored else R
    rows = [[None] * (2 * width) for _ in range(SIDE_H)]
    for half, state in enumerate(('active', 'inactive')):
        for y in range(SIDE_H):
            for c in range(width):
                dist = c if not mirrored else width - 1 - c
                rows[y][half * width + c] = side_pixel(state, dist, y, SIDE_H, width)
    write_bmp(name, rows)


def make_bottom():
    rows = []
    for state in ('active', 'inactive'):
        s = STATES[state]
        for y in range(B):
            colour = s['inner'] if y == 0 else s['outline'] if y == B - 1 else s['border']
            rows.append([colour] * BOTTOM_W)
    write_bmp('bottom.bmp', rows)


def rounded_rect(width, height, radius, fill, outline, x_mark=None):
    """One cell: a rounded rectangle on magenta; fill(y) gives the colour of row y."""
    def outside(x, y):
        cx = min(x, width - 1 - x)
        cy = min(y, height - 1 - y)
        if cx >= radius or cy >= radius:
            return False
        dx, dy = radius - cx - 0.5, radius - cy - 0.5
        return dx * dx + dy * dy > radius * radius

    cell = []
    for y in range(height):
        row = []
        for x in range(width):
            if outside(x, y):
                row.append(MAGENTA)
            elif x in (0, width - 1) or y in (0, height - 1) or outside(x - 1, y) or outside(x + 1, y) \
                    or outside(x, y - 1) or outside(x, y + 1):
                row.append(outline)
            else:
                row.append(fill(y))
        cell.append(row)
    if x_mark:
        colour, shift = x_mark
        size = 8
        x0 = (width - size) // 2 + shift
        y0 = (height - size) // 2 + shift
        for i in range(size):
            for dx in (0, 1):
                for px, py in ((x0 + i + dx, y0 + i), (x0 + size - 1 - i + dx, y0 + i)):
                    cell[py][px] = colour
    return cell


def join_cells(cells):
    return [sum((cell[y] for cell in cells), []) for y in range(len(cells[0]))]


def make_close():
    w, h = 24, 18
    looks = [
        ((214, 86, 72), (168, 46, 38), (110, 24, 20), 0),   # normal
        ((150, 40, 34), (186, 64, 54), (90, 16, 14), 1),    # pressed
        ((244, 122, 104), (204, 70, 58), (120, 30, 24), 0),  # mouse over
    ]
    cells = [rounded_rect(w, h, 4, lambda y, a=a, b=b: mix(a, b, y / (h - 1)), o, ((255, 255, 255), shift))
             for a, b, o, shift in looks]
    write_bmp('close.bmp', join_cells(cells))


def make_buttons():
    w, h = 32, 24
    looks = [
        ((246, 248, 252), (206, 215, 230), (92, 110, 142)),   # normal
        ((170, 186, 212), (204, 215, 232), (48, 68, 108)),    # pressed
        ((228, 228, 228), (214, 214, 214), (168, 168, 168)),  # disabled
        ((236, 245, 255), (178, 204, 242), (52, 96, 170)),    # mouse over and focus
        ((246, 248, 252), (206, 215, 230), (92, 110, 142)),   # not shown
    ]
    cells = [rounded_rect(w, h, 5, lambda y, a=a, b=b: mix(a, b, y / (h - 1)), o) for a, b, o in looks]
    write_bmp('button.bmp', join_cells(cells))


THEME = """\
; Orvane, the recorder's default skin. Made by tools/make-skin.py; edit the script, not the images.
[Personality]
Top=top.bmp
Left=left.bmp
Right=right.bmp
Bottom=bottom.bmp
TopTopHeight={top_start}
TopBotHeight={top_end}
LeftTopHeight={T}
LeftBotHeight={B}
RightTopHeight={T}
RightBotHeight={B}
BottomTopHeight=4
BottomBotHeight=4
ButtonCount=1
ButtonImgCount=3
TextShift={text_shift}
TextShiftVert=0
UsesTran=1

[Button0]
ButtonImage=close.bmp
Action=0
XCoord={close_x}
YCoord=5

[Colours]
TitleText={title}
InactiveTitleText={inactive_title}
TransColor=255 0 255
BarColor=207 207 207
MenuColor=207 207 207
ButtonFace=236 239 244
ButtonText=0 0 0
ButtonHilight=236 239 244
ButtonFocus=236 239 244

[Buttons]
Bitmap=button.bmp
TopHeight=6
BottomHeight=6
LeftWidth=6
RightWidth=6
Trans=1
"""


def main():
    os.makedirs(OUT, exist_ok=True)
    make_top()
    make_side('left.bmp', mirrored=False)
    make_side('right.bmp', mirrored=True)
    make_bottom()
    make_close()
    make_buttons()
    colour = lambda c: ' '.join(str(v) for v in c)
    with open(os.path.join(OUT, 'theme.ini'), 'w', newline='\r\n') as f:
        f.write(THEME.format(top_start=TOP_START, top_end=TOP_END, T=T, B=B, text_shift=L + 16 + 6,
                             close_x=R + 4 + 24, title=colour(STATES['active']['title']),
                             inactive_title=colour(STATES['inactive']['title'])))


if __name__ == '__main__':
    main()
