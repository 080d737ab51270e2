#!/usr/bin/env python3
"""Writes the menu pictures (assets/menu/*.svg and manifest.txt).

The SVGs are the sources the build uses; this script is how they were drawn.
Re-run it after changing the look, or after the race art changes: the boat
cards and the help pages embed copies of the race pictures so both match.
"""
import os, re, sys
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.normpath(os.path.join(HERE, '..', '..', 'assets', 'menu'))
RACE = os.path.normpath(os.path.join(HERE, '..', '..', 'assets', 'race'))
os.makedirs(OUT, exist_ok=True)

NAVY = '#0a1630'; NAVY2 = '#14305e'; NAVY3 = '#1d3b70'; EDGE = '#2c56a0'
SKY = '#59b8f0'; GOLD = '#ffd23f'; ORANGE = '#ff8a1f'; WHITE = '#ffffff'
SAND = '#ecd9a0'; GRASS = '#6cbf3f'; WATER = '#2787d0'
BG_WATER = '#2f93d6'      # menu background where buttons and captions sit
PANEL = '#152f5c'         # inside of sub-screen frames (matte for things on them)
FONT = 'Liberation Sans'

manifest = []

def svg(w, h, body, defs=''):
    d = f'<defs>{defs}</defs>' if defs else ''
    return (f'<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" '
            f'width="{w}" height="{h}" viewBox="0 0 {w} {h}">\n{d}\n{body}\n</svg>\n')

def write(fname, content):
    with open(os.path.join(OUT, fname), 'w') as f:
        f.write(content)

def item(name, fname, pw=0, ph=0, sw=0, sh=0, opts=''):
    manifest.append(f'{name:<16} {fname:<22} {pw:>3} {ph:>3} {sw} {sh}' + (f'  {opts}' if opts else ''))

def text(x, y, s, size, fill, weight='normal', anchor='start', style='normal', extra=''):
    return (f'<text x="{x}" y="{y}" font-family="{FONT}" font-size="{size}" font-weight="{weight}" '
            f'font-style="{style}" text-anchor="{anchor}" fill="{fill}" {extra}>{escape(s)}</text>')

def otext(x, y, s, size, fill, outline=NAVY, width=4, weight='bold', anchor='start', style='normal'):
    return (text(x, y, s, size, outline, weight, anchor, style,
                 f'stroke="{outline}" stroke-width="{width}" stroke-linejoin="round"') +
            text(x, y, s, size, fill, weight, anchor, style))

def grad(id_, c1, c2, vertical=True):
    xy = 'x1="0" y1="0" x2="0" y2="1"' if vertical else 'x1="0" y1="0" x2="1" y2="0"'
    return f'<linearGradient id="{id_}" {xy}><stop offset="0" stop-color="{c1}"/><stop offset="1" stop-color="{c2}"/></linearGradient>'

# ---------------------------------------------------------------- inlining race art
def inline_race(fname, x, y, w, h, prefix):
    """Nests a race SVG (scaled into the box) so menu pictures show the very same drawing."""
    path = os.path.join(RACE, fname)
    if not os.path.exists(path):
        return None
    src = open(path).read()
    m = re.search(r'<svg\b([^>]*)>(.*)</svg>', src, re.S)
    if not m:
        return None
    attrs, inner = m.group(1), m.group(2)
    vb = re.search(r'viewBox="([^"]+)"', attrs)
    inner = re.sub(r'<!--.*?-->', '', inner, flags=re.S)
    inner = re.sub(r'\bid="([^"]+)"', lambda mm: f'id="{prefix}{mm.group(1)}"', inner)
    inner = re.sub(r'url\(#([^)]+)\)', lambda mm: f'url(#{prefix}{mm.group(1)})', inner)
    inner = re.sub(r'href="#([^"]+)"', lambda mm: f'href="#{prefix}{mm.group(1)}"', inner)
    return (f'<svg x="{x}" y="{y}" width="{w}" height="{h}" viewBox="{vb.group(1)}" '
            f'preserveAspectRatio="xMidYMid meet">{inner}</svg>')

def race_size(fname):
    path = os.path.join(RACE, fname)
    if not os.path.exists(path):
        return None
    src = open(path).read()
    m = re.search(r'<svg\b[^>]*\bwidth="(\d+)"[^>]*\bheight="(\d+)"', src)
    return (int(m.group(1)), int(m.group(2))) if m else None

def race_pattern(name):
    """Pattern size of a race item from its manifest, for strips."""
    path = os.path.join(RACE, 'manifest.txt')
    if not os.path.exists(path):
        return None
    for line in open(path):
        f = line.split('#')[0].split()
        if len(f) >= 6 and f[0] == name:
            return f[1], int(f[2]), int(f[3])
    return None

def race_icon(name, x, y, box, prefix, fallback, maxscale=1.6):
    """The race picture `name` fitted into a box×box square at (x, y), first pattern only."""
    info = race_pattern(name)
    if info:
        fname, pw, ph = info
        size = race_size(fname)
        if size:
            w, h = size
            if pw == 0:
                pw, ph = w, h
            scale = min(box / pw, box / ph, maxscale)
            dw, dh = pw * scale, ph * scale
            ox, oy = x + (box - dw) / 2, y + (box - dh) / 2
            nested = inline_race(fname, 0, 0, w, h, prefix)
            if nested:
                return (f'<g transform="translate({ox:.1f},{oy:.1f}) scale({scale:.4f})">'
                        f'<svg x="0" y="0" width="{pw}" height="{ph}" viewBox="0 0 {pw} {ph}" overflow="hidden">'
                        f'{nested}</svg></g>')
    return fallback(x, y, box)

# ---------------------------------------------------------------- shared shapes
def water_ripples(seed, w, h, count, colour='#7cc8f2', opacity=0.35):
    import random
    r = random.Random(seed)
    out = []
    for _ in range(count):
        x = r.uniform(0, w); y = r.uniform(0, h); l = r.uniform(18, 46)
        out.append(f'<path d="M{x:.0f} {y:.0f} q{l/4:.1f} -4 {l/2:.1f} 0 t{l/2:.1f} 0" fill="none" '
                   f'stroke="{colour}" stroke-opacity="{opacity}" stroke-width="2" stroke-linecap="round"/>')
    return ''.join(out)

def frame_panel(w, h, title, subtitle=None, header=46):
    """A sub-screen frame: navy panel, sky-blue rim, gold title."""
    defs = grad('fp', '#1b3a6e', '#102548') + grad('tb', '#244b8a', '#1b3a6e')
    body = (f'<rect x="1" y="1" width="{w-2}" height="{h-2}" rx="18" fill="{NAVY}"/>'
            f'<rect x="3.5" y="3.5" width="{w-7}" height="{h-7}" rx="16" fill="url(#fp)" stroke="{SKY}" stroke-width="3"/>'
            f'<path d="M6 {header} H{w-6}" stroke="{EDGE}" stroke-width="2"/>'
            + otext(22, header - 10, title, 27, GOLD, style='italic'))
    if subtitle:
        body += text(w - 22, header - 12, subtitle, 15, SKY, anchor='end', style='italic')
    return defs, body

def keycap(x, y, label, w=None, size=16):
    w = w or max(34, 12 + len(label) * 10)
    return (f'<rect x="{x}" y="{y+3}" width="{w}" height="30" rx="6" fill="#091228"/>'
            f'<rect x="{x}" y="{y}" width="{w}" height="30" rx="6" fill="#eef6ff" stroke="#9cc6ea" stroke-width="1.5"/>'
            + text(x + w / 2, y + 21, label, size, NAVY, 'bold', 'middle')), w

# ---------------------------------------------------------------- background
def background():
    w, h = 800, 600
    defs = ('<linearGradient id="bg" x1="0" y1="0" x2="0.35" y2="1">'
            '<stop offset="0" stop-color="#3aa5e2"/><stop offset="0.55" stop-color="#2f93d6"/>'
            '<stop offset="1" stop-color="#2580c8"/></linearGradient>'
            '<radialGradient id="glint" cx="0.78" cy="0.1" r="0.55">'
            '<stop offset="0" stop-color="#bfe6ff" stop-opacity="0.35"/><stop offset="1" stop-color="#bfe6ff" stop-opacity="0"/>'
            '</radialGradient>')
    body = f'<rect width="{w}" height="{h}" fill="url(#bg)"/><rect width="{w}" height="{h}" fill="url(#glint)"/>'
    body += water_ripples(7, w, h, 70)
    body += water_ripples(11, w, h, 30, '#1c6fb4', 0.3)
    # a sandy point with grass at the lower left, where the sub-screens leave it visible at the edges
    body += (f'<path d="M0 470 C60 480 120 520 170 600 L0 600 Z" fill="#f4e3ae"/>'
             f'<path d="M0 486 C52 496 100 530 140 600 L0 600 Z" fill="{SAND}"/>'
             f'<path d="M0 540 C30 548 58 570 76 600 L0 600 Z" fill="{GRASS}"/>'
             f'<path d="M0 470 C60 480 120 520 170 600" fill="none" stroke="#bfe6ff" stroke-width="3" stroke-opacity="0.6"/>')
    # lily pads near the top right, under the title's edge
    for (x, y, r) in [(40, 140, 11), (62, 160, 8), (520, 130, 10), (236, 560, 12), (258, 578, 8)]:
        body += (f'<circle cx="{x}" cy="{y}" r="{r}" fill="#4caf50"/>'
                 f'<path d="M{x} {y} L{x + r} {y - 3} L{x + r} {y + 3} Z" fill="#2f93d6"/>')
    # a line of swimming-area floats and a moored rowing boat, seen only around the main menu's caption
    import math
    for i in range(13):
        t = i / 12
        x = 200 + t * 320; y = 470 + math.sin(t * math.pi) * -34 + t * 40
        body += (f'<circle cx="{x:.0f}" cy="{y + 2:.0f}" r="6" fill="#1c6fb4" fill-opacity="0.5"/>'
                 f'<circle cx="{x:.0f}" cy="{y:.0f}" r="5.5" fill="{"#e83a3a" if i % 2 else "#ffffff"}" stroke="{NAVY}" stroke-width="1"/>')
    body += ('<g transform="translate(150 520) rotate(-28)">'
             '<path d="M-8 -2 Q-30 -40 -46 -60" stroke="#f3e9d2" stroke-width="1.5" fill="none"/>'
             '<path d="M0 -26 Q14 -20 14 2 Q14 22 0 28 Q-14 22 -14 2 Q-14 -20 0 -26 Z" fill="#c8874a" stroke="#6b4423" stroke-width="2"/>'
             '<path d="M0 -20 Q9 -15 9 2 Q9 17 0 22 Q-9 17 -9 2 Q-9 -15 0 -20 Z" fill="#e3b27a"/>'
             '<rect x="-10" y="-6" width="20" height="4" fill="#8a5a2f"/><rect x="-10" y="8" width="20" height="4" fill="#8a5a2f"/>'
             '<path d="M-22 -2 H22" stroke="#f3e9d2" stroke-width="2.5" stroke-linecap="round"/></g>')
    write('background.svg', svg(w, h, body, defs))
    item('MMBackground', 'background.svg', opts='opaque')

# ---------------------------------------------------------------- panels
def boat_glyph(x, y, scale=1.0, hull='#e83a3a', deck='#ffffff'):
    """A small top-view speedboat with spray, bow to the right, for the title."""
    return (f'<g transform="translate({x},{y}) scale({scale})">'
            f'<path d="M-46 -9 q-10 -8 -22 -6 M-46 9 q-10 8 -22 6 M-44 0 h-30" stroke="#ffffff" stroke-width="3" '
            f'stroke-linecap="round" fill="none" stroke-opacity="0.9"/>'
            f'<path d="M-40 -12 L20 -12 Q44 -10 52 0 Q44 10 20 12 L-40 12 Q-44 0 -40 -12 Z" fill="{hull}" stroke="{NAVY}" stroke-width="2.5"/>'
            f'<path d="M-30 -7 L14 -7 Q30 -5 36 0 Q30 5 14 7 L-30 7 Z" fill="{deck}"/>'
            f'<path d="M0 -7 Q10 0 0 7" fill="none" stroke="#59b8f0" stroke-width="3"/>'
            f'<rect x="-24" y="-5" width="12" height="10" rx="2" fill="{NAVY3}"/></g>')

def up_panel():
    w, h = 800, 96
    defs = grad('up', '#1f4180', '#0f2550')
    body = (f'<path d="M0 0 H800 V70 q-25 10 -50 0 t-50 0 t-50 0 t-50 0 t-50 0 t-50 0 t-50 0 t-50 0 t-50 0 '
            f't-50 0 t-50 0 t-50 0 t-50 0 t-50 0 t-50 0 t-50 0 Z" fill="url(#up)"/>'
            f'<path d="M0 70 q25 10 50 0 t50 0 t50 0 t50 0 t50 0 t50 0 t50 0 t50 0 t50 0 t50 0 t50 0 t50 0 t50 0 '
            f't50 0 t50 0 t50 0" fill="none" stroke="{SKY}" stroke-width="4"/>'
            f'<path d="M0 78 q25 10 50 0 t50 0 t50 0 t50 0 t50 0 t50 0 t50 0 t50 0 t50 0 t50 0 t50 0 t50 0 t50 0 '
            f't50 0 t50 0 t50 0" fill="none" stroke="#ffffff" stroke-width="2" stroke-opacity="0.7"/>')
    # sun
    body += (f'<circle cx="742" cy="38" r="20" fill="{GOLD}" stroke="{ORANGE}" stroke-width="3"/>'
             + ''.join(f'<path d="M742 38 m{dx} {dy} l{dx/2:.1f} {dy/2:.1f}" stroke="{GOLD}" stroke-width="3" stroke-linecap="round"/>'
                       for dx, dy in [(24, 0), (-24, 0), (0, 24), (0, -24), (17, 17), (-17, 17), (17, -17), (-17, -17)]))
    body += boat_glyph(118, 38, 1.0)
    title = (f'<tspan fill="{GOLD}">SPRAY</tspan><tspan fill="{ORANGE}">DASH</tspan>')
    body += (f'<text x="188" y="58" font-family="{FONT}" font-size="52" font-weight="bold" font-style="italic" '
             f'fill="{NAVY}" stroke="{NAVY}" stroke-width="9" stroke-linejoin="round">SPRAYDASH</text>'
             f'<text x="188" y="58" font-family="{FONT}" font-size="52" font-weight="bold" font-style="italic">{title}</text>')
    body += text(524, 40, 'summer river race', 20, '#bfe6ff', 'bold', style='italic')
    body += text(526, 60, 'boats · spray · high scores', 14, SKY, style='italic')
    write('up_panel.svg', svg(w, h, body, defs))
    item('UpPanel', 'up_panel.svg', opts=f'matte={BG_WATER}')

def down_panel():
    w, h = 232, 100
    defs = grad('dp', '#1f4180', '#0f2550')
    body = (f'<path d="M232 0 H40 Q14 0 14 26 V100 H232 Z" fill="url(#dp)" stroke="{SKY}" stroke-width="3"/>'
            f'<path d="M232 3 H40 Q17 3 17 26 V100" fill="none" stroke="{NAVY}" stroke-width="1"/>')
    # life ring
    cx, cy = 66, 50
    body += (f'<circle cx="{cx}" cy="{cy}" r="28" fill="#ffffff" stroke="{NAVY}" stroke-width="2"/>'
             f'<circle cx="{cx}" cy="{cy}" r="13" fill="#1a3a70" stroke="{NAVY}" stroke-width="2"/>')
    for a in range(4):
        body += (f'<path d="M{cx} {cy} m0 -28 a28 28 0 0 1 19.8 8.2 l-10.6 10.6 a13 13 0 0 0 -9.2 -3.8 Z" '
                 f'fill="#e83a3a" transform="rotate({a*90} {cx} {cy})"/>')
    body += f'<path d="M{cx-36} {cy+34} q12 -6 24 0 t24 0 t24 0" fill="none" stroke="{SKY}" stroke-width="3"/>'
    body += otext(108, 44, 'Ride', 22, GOLD, style='italic', width=4)
    body += otext(120, 72, 'the spray!', 22, ORANGE, style='italic', width=4)
    write('down_panel.svg', svg(w, h, body, defs))
    item('DownPanel', 'down_panel.svg', opts=f'matte={BG_WATER}')

# ---------------------------------------------------------------- main-menu buttons
MM_LABELS = ['Start game', 'Options', 'High scores', 'Help', 'Visit web site']
MM_ICONS = ['flag', 'gear', 'cup', 'help', 'globe']

def icon(kind, cx, cy, colour):
    c = colour
    if kind == 'flag':
        return (f'<path d="M{cx-6} {cy+11} V{cy-11}" stroke="{c}" stroke-width="3" stroke-linecap="round"/>'
                f'<path d="M{cx-5} {cy-11} h13 l-3 5 l3 5 h-13 Z" fill="{c}"/>')
    if kind == 'gear':
        teeth = ''.join(f'<rect x="{cx-2.5}" y="{cy-12}" width="5" height="6" fill="{c}" transform="rotate({a} {cx} {cy})"/>'
                        for a in range(0, 360, 45))
        return teeth + f'<circle cx="{cx}" cy="{cy}" r="8" fill="{c}"/><circle cx="{cx}" cy="{cy}" r="3.5" fill="{NAVY}"/>'
    if kind == 'cup':
        return (f'<path d="M{cx-8} {cy-10} h16 v5 q0 9 -8 10 q-8 -1 -8 -10 Z" fill="{c}"/>'
                f'<path d="M{cx-8} {cy-7} h-4 q0 6 5 7 M{cx+8} {cy-7} h4 q0 6 -5 7" stroke="{c}" stroke-width="2" fill="none"/>'
                f'<rect x="{cx-2}" y="{cy+4}" width="4" height="5" fill="{c}"/><rect x="{cx-7}" y="{cy+9}" width="14" height="3" rx="1" fill="{c}"/>')
    if kind == 'help':
        return (f'<circle cx="{cx}" cy="{cy}" r="11" fill="none" stroke="{c}" stroke-width="3"/>'
                + text(cx, cy + 6, '?', 17, c, 'bold', 'middle'))
    if kind == 'globe':
        return (f'<circle cx="{cx}" cy="{cy}" r="11" fill="none" stroke="{c}" stroke-width="2.5"/>'
                f'<ellipse cx="{cx}" cy="{cy}" rx="5" ry="11" fill="none" stroke="{c}" stroke-width="2"/>'
                f'<path d="M{cx-11} {cy} h22 M{cx-9} {cy-6} h18 M{cx-9} {cy+6} h18" stroke="{c}" stroke-width="1.5"/>')
    if kind == 'exit':
        return (f'<path d="M{cx-4} {cy-11} h-7 v22 h7" fill="none" stroke="{c}" stroke-width="3" stroke-linejoin="round"/>'
                f'<path d="M{cx-4} {cy} h14 m-5 -6 l6 6 l-6 6" fill="none" stroke="{c}" stroke-width="3" '
                f'stroke-linecap="round" stroke-linejoin="round"/>')
    return ''

def menu_button(y, label, icon_kind, active, w=230, h=52):
    if active:
        fill, rim, ink, icol = 'url(#act)', WHITE, NAVY, NAVY
    else:
        fill, rim, ink, icol = 'url(#ina)', SKY, WHITE, GOLD
    out = (f'<rect x="3" y="{y+5}" width="{w-6}" height="{h-7}" rx="14" fill="{NAVY}"/>'
           f'<rect x="2" y="{y+2}" width="{w-6}" height="{h-8}" rx="13" fill="{fill}" stroke="{rim}" stroke-width="{3 if active else 2}"/>')
    if active:
        out += f'<rect x="10" y="{y+7}" width="{w-22}" height="10" rx="5" fill="#ffffff" fill-opacity="0.35"/>'
    out += f'<circle cx="28" cy="{y+25}" r="17" fill="{GOLD if active else NAVY}" fill-opacity="{0.0 if active else 0.6}"/>'
    out += icon(icon_kind, 28, y + 25, icol)
    out += text(52, y + 33, label, 22, ink, 'bold', style='italic')
    if active:
        out += f'<path d="M{w-26} {y+16} l10 10 l-10 10" fill="none" stroke="{NAVY}" stroke-width="4" stroke-linecap="round" stroke-linejoin="round"/>'
    return out

BUTTON_DEFS = grad('act', '#ffe15a', '#ff9a1f') + grad('ina', '#24508f', '#132c5a')

def main_buttons():
    for active in (True, False):
        body = ''.join(menu_button(i * 52, MM_LABELS[i], MM_ICONS[i], active) for i in range(5))
        fname = 'mm_buttons_active.svg' if active else 'mm_buttons_inactive.svg'
        write(fname, svg(230, 260, body, BUTTON_DEFS))
        item('MMB_Active' if active else 'MMB_Inactive', fname, 230, 52, opts=f'matte={BG_WATER}')
    for active in (True, False):
        fname = 'mm_exit_active.svg' if active else 'mm_exit_inactive.svg'
        write(fname, svg(230, 52, menu_button(0, 'Exit', 'exit', active), BUTTON_DEFS))
        item('MM_ExitActive' if active else 'MM_ExitInactive', fname, opts=f'matte={BG_WATER}')

# ---------------------------------------------------------------- captions
CAPTIONS = [
    ('StartC', 'Start game', ['Pick your boat and race up the summer river.',
                              'Dodge trunks, weeds and traffic, grab the',
                              'boxes and cross the finish line in time.']),
    ('OptionsC', 'Options', ['Full screen or window, music and sound,',
                             'and a short line of text that is sent',
                             'along with your online scores.']),
    ('HSC', 'High scores', ['The ten best runs on this computer.',
                            'From there you can also open the world',
                            'high-score list in your browser.']),
    ('HelpC', 'Help', ['How to steer, shoot and jump, what the',
                       'floating boxes give you and what to keep',
                       'well clear of. Three short pages.']),
    ('VisitWWWC', 'Visit web site', ['Opens the Spraydash home page in your',
                                     'web browser: news, tips and the world',
                                     'high-score list.']),
    ('ExitC', 'Exit', ['Leave the river for today.',
                       'Your options and high scores are kept',
                       'for the next time.']),
]

def captions():
    w, h = 500, 168
    write('caption_null.svg', svg(w, h, '<!-- intentionally empty: shown when no menu entry is highlighted -->'))
    item('NullCaption', 'caption_null.svg', opts=f'matte={BG_WATER}')
    defs = grad('cp', '#1f4180', '#10284f')
    for name, title, lines in CAPTIONS:
        body = (f'<rect x="4" y="6" width="{w-6}" height="{h-8}" rx="18" fill="{NAVY}"/>'
                f'<rect x="1" y="1" width="{w-6}" height="{h-8}" rx="18" fill="url(#cp)" stroke="{SKY}" stroke-width="2.5"/>'
                + otext(24, 42, title, 30, GOLD, style='italic')
                + f'<path d="M24 54 q10 -5 20 0 t20 0 t20 0 t20 0" fill="none" stroke="{SKY}" stroke-width="2.5" stroke-linecap="round"/>')
        for i, line in enumerate(lines):
            body += text(24, 86 + i * 26, line, 19, WHITE)
        fname = f'caption_{name.lower()}.svg'
        write(fname, svg(w, h, body, defs))
        item(name, fname, opts=f'matte={BG_WATER}')

# ---------------------------------------------------------------- small buttons (2 patterns)
def pill(y, w, h, label, lit, arrow=None, x=0):
    """A rounded button of width w drawn from picture X x."""
    fill = 'url(#act)' if lit else 'url(#ina)'
    rim = WHITE if lit else SKY
    ink = NAVY if lit else WHITE
    out = (f'<rect x="{x+2}" y="{y+4}" width="{w-4}" height="{h-5}" rx="{(h-6)//2}" fill="{NAVY}"/>'
           f'<rect x="{x+1.5}" y="{y+1.5}" width="{w-4}" height="{h-6}" rx="{(h-6)//2}" fill="{fill}" stroke="{rim}" stroke-width="{2.5 if lit else 2}"/>')
    tx = x + w / 2
    if arrow == 'left':
        out += f'<path d="M{x+16} {y+h/2-1} l9 -8 v16 Z" fill="{ink}"/>'
        tx += 8
    elif arrow == 'right':
        out += f'<path d="M{x+w-16} {y+h/2-1} l-9 -8 v16 Z" fill="{ink}"/>'
        tx -= 8
    out += text(tx, y + h / 2 + 5, label, 17, ink, 'bold', 'middle', 'italic')
    return out

def two_state(name, fname, w, h, label, first_lit, arrow=None, inset=0):
    """inset: the button is drawn that much narrower, leaving transparent room on its
    right (the picture keeps its full size)."""
    bw = w - inset
    body = pill(0, bw, h, label, first_lit, arrow) + pill(h, bw, h, label, not first_lit, arrow)
    write(fname, svg(w, 2 * h, body, BUTTON_DEFS))
    item(name, fname, w, h, opts=f'matte={PANEL}')

def small_buttons():
    # ClearHS, ViewHS, Previous, Next: pattern 0 plain, 1 lit.
    two_state('ClearHS', 'button_clear_hs.svg', 130, 36, 'Clear table', False)
    two_state('ViewHS', 'button_view_hs.svg', 250, 36, 'World high scores', False)
    # The help frame ends just right of Next, so both page buttons are drawn narrower, which
    # leaves Next as much room from the frame's right edge as the page dots have on the left.
    two_state('Previous', 'button_previous.svg', 100, 36, 'Back', False, 'left', HELP_BUTTON_INSET)
    two_state('Next', 'button_next.svg', 100, 36, 'Next', False, 'right', HELP_BUTTON_INSET)

def yes_no():
    # Pattern 0 lit, 1 plain: the order the question overlays use.
    for name, fname, label in [('YesButton', 'button_yes.svg', 'Yes'), ('NoButton', 'button_no.svg', 'No')]:
        w, h = 90, 42
        body = pill(0, w, h, label, True) + pill(h, w, h, label, False)
        write(fname, svg(w, 2 * h, body, BUTTON_DEFS))
        item(name, fname, w, h, opts=f'matte={NAVY2}')

def window():
    # Room around the longest texts ("Please, enter your name:" in bold), so the gold rim runs all
    # the way round; the game dims what lies behind it.
    w, h = 470, 236
    defs = grad('wn', '#1a3566', '#0c1d40')
    body = (f'<rect x="0" y="0" width="{w}" height="{h}" rx="20" fill="{NAVY}"/>'
            f'<rect x="2" y="2" width="{w-4}" height="{h-4}" rx="18" fill="url(#wn)" stroke="{NAVY3}" stroke-width="1.5"/>'
            f'<rect x="2.5" y="2.5" width="{w-5}" height="{h-5}" rx="18" fill="none" stroke="{GOLD}" stroke-width="3"/>'
            f'<path d="M{w/2 - 40:g} 20 q10 -6 20 0 t20 0 t20 0 t20 0" fill="none" stroke="{SKY}" stroke-width="2.5" stroke-linecap="round"/>')
    write('window.svg', svg(w, h, body, defs))
    item('Window', 'window.svg', opts=f'matte={WATER}')

def cursor():
    write('cursor.svg', svg(12, 3, f'<rect width="12" height="3" fill="{GOLD}"/>'))
    item('Cursor', 'cursor.svg')

# ---------------------------------------------------------------- options rows
# Wide enough that ten of the widest letters and the cursor after them stay inside the Info field.
ROW_W, ROW_H = 532, 46
ROW_X0, ROW_X1 = 8, ROW_W - 4  # the row's rounded box
# The game writes the Info text from screen (265, 357), above the Info row's picture (14, 360),
# so that row, and its text field, reach up into the options frame, which draws their tops.
INFO_RISE = 12                                   # the row's box starts this far above its picture
INFO_FIELD_X, INFO_FIELD_TOP, INFO_FIELD_BOTTOM = 246, -7, 38  # picture coordinates
INFO_FIELD = '#060d1f'

def option_row(fname, name, label, value, on, field=False):
    defs = grad('rw', '#24508f', '#17386d')
    x0, x1 = ROW_X0, ROW_X1
    top = -INFO_RISE if field else 2  # the field row's top lies in the frame
    body = (f'<rect x="{x0}" y="{top + 3}" width="{x1-x0}" height="{ROW_H - 4 - top}" rx="12" fill="{NAVY}"/>'
            f'<rect x="{x0}" y="{top}" width="{x1-x0}" height="{ROW_H - 4 - top}" rx="12" fill="url(#rw)" stroke="{EDGE}" stroke-width="2"/>')
    body += text(28, 31, label, 21, WHITE, 'bold', style='italic')
    if field:
        body += (f'<rect x="{INFO_FIELD_X}" y="{INFO_FIELD_TOP}" width="{x1 - INFO_FIELD_X - 8}" '
                 f'height="{INFO_FIELD_BOTTOM - INFO_FIELD_TOP}" rx="7" fill="{INFO_FIELD}" stroke="{SKY}" stroke-width="1.5"/>')
    else:
        # a switch: knob right and gold when on
        sx = 380
        body += (f'<rect x="{sx}" y="10" width="62" height="26" rx="13" fill="{GOLD if on else "#0b1a38"}" stroke="{WHITE if on else SKY}" stroke-width="2"/>'
                 f'<circle cx="{sx + (49 if on else 13)}" cy="23" r="9.5" fill="{WHITE if on else SKY}"/>')
        body += text(sx + 76, 31, value, 21, GOLD if on else '#9cc6ea', 'bold')
    write(fname, svg(ROW_W, ROW_H, body, defs))
    item(name, fname, opts=f'matte={PANEL}')

def info_row_top(frame_x, frame_y):
    """The part of the Info row above its picture, in the options frame at (frame_x, frame_y)."""
    ox, oy = 14 - frame_x, 360 - frame_y  # the row picture in frame coordinates
    # the whole box, shaded as in the row picture, which covers all but its top
    out = (f'<rect x="{ox + ROW_X0}" y="{oy - INFO_RISE}" width="{ROW_X1 - ROW_X0}" height="{ROW_H - 4 + INFO_RISE}" rx="12" '
           f'fill="url(#irw)" stroke="{EDGE}" stroke-width="2"/>')
    out += (f'<rect x="{ox + INFO_FIELD_X}" y="{oy + INFO_FIELD_TOP}" width="{ROW_X1 - INFO_FIELD_X - 8}" '
            f'height="{INFO_FIELD_BOTTOM - INFO_FIELD_TOP}" rx="7" fill="{INFO_FIELD}" stroke="{SKY}" stroke-width="1.5"/>')
    return grad('irw', '#24508f', '#17386d'), out

def option_rows():
    option_row('options_fullscreen_off.svg', 'Options1_1', 'Full screen', 'off', False)
    option_row('options_fullscreen_on.svg', 'Options1_2', 'Full screen', 'on', True)
    option_row('options_music_on.svg', 'Options2_1', 'Music', 'on', True)
    option_row('options_music_off.svg', 'Options2_2', 'Music', 'off', False)
    option_row('options_sound_on.svg', 'Options3_1', 'Sound', 'on', True)
    option_row('options_sound_off.svg', 'Options3_2', 'Sound', 'off', False)
    option_row('options_info.svg', 'Options4', 'Info:', '', False, field=True)
    # The highlight lies over a row: a pointer and a bright bar under the row, transparent
    # inside; nothing along the top, where the Info text reaches above its row.
    a = (f'<rect x="{ROW_X0 + 2}" y="{ROW_H - 5}" width="{ROW_X1 - ROW_X0 - 4}" height="4" rx="2" fill="{GOLD}"/>'
         f'<path d="M11 14 l8 9 l-8 9 Z" fill="{GOLD}"/>')
    write('option_highlight.svg', svg(ROW_W, ROW_H, a))
    item('OptButton_A', 'option_highlight.svg', opts=f'matte={NAVY3}')
    write('option_plain.svg', svg(ROW_W, ROW_H, '<!-- rows without the highlight show nothing extra -->'))
    item('OptButton_I', 'option_plain.svg', opts=f'matte={NAVY3}')

# ---------------------------------------------------------------- sub-screen frames
FRAME_W = 540

def options_frame():
    h = 392
    defs, body = frame_panel(FRAME_W, h, 'Options', 'click a row or press Enter')
    row_defs, row_top = info_row_top(12, 106)
    defs += row_defs
    body += row_top
    body += text(26, 324, 'Info is a short line of letters and spaces (up to ten)', 16, '#bfe6ff', style='italic')
    body += text(26, 346, 'that is sent along with your online high scores.', 16, '#bfe6ff', style='italic')
    body += text(26, 374, 'Alt+Enter switches full screen at any time.', 16, SKY, style='italic')
    write('frame_options.svg', svg(FRAME_W, h, body, defs))
    item('OptionsB', 'frame_options.svg', opts=f'matte={BG_WATER}')

def hs_frame():
    h = 470
    defs, body = frame_panel(FRAME_W, h, 'High scores', 'the ten best on this computer', header=38)
    # light, plain table area: rows of text at screen Y 152..440, 21 px tall (picture Y 46..355)
    body += f'<rect x="14" y="42" width="{FRAME_W-28}" height="326" rx="10" fill="#eaf5ff" stroke="{SKY}" stroke-width="2"/>'
    for i in range(10):
        y = 44 + i * 32
        if i % 2 == 1:
            body += f'<rect x="18" y="{y}" width="{FRAME_W-36}" height="30" rx="6" fill="#d8ecfb"/>'
    body += f'<path d="M356 48 V362" stroke="#b9d7f0" stroke-width="2"/>'
    write('frame_highscores.svg', svg(FRAME_W, h, body, defs))
    item('HSB', 'frame_highscores.svg', opts=f'matte={BG_WATER}')

def medals():
    # Gold, silver and bronze beside the first three ranks. The game draws them with the rows'
    # text, so that what hides the rows (the clear question) hides the medals too.
    body = ''
    for i, c in enumerate(['#ffc928', '#c9d3dc', '#d98a45']):
        body += f'<circle cx="{9 + 18 * i}" cy="9" r="7" fill="{c}" stroke="{NAVY}" stroke-width="1.5"/>'
    write('medals.svg', svg(54, 18, body))
    item('Medals', 'medals.svg', 18, 18, opts='matte=#eaf5ff')

def boat_frame():
    h = 450
    defs, body = frame_panel(FRAME_W, h, 'Choose your boat')
    body += text(FRAME_W / 2, 420, 'Click a boat, or pick one with \u2190 \u2192 and press Enter.', 17, '#bfe6ff',
                 anchor='middle', style='italic')
    write('frame_boats.svg', svg(FRAME_W, h, body, defs))
    item('StartGameB', 'frame_boats.svg', opts=f'matte={BG_WATER}')

# ---------------------------------------------------------------- help pages
HELP_H = 460
HELP_BUTTON_INSET = 14

def help_page(n, title, content):
    defs, body = frame_panel(FRAME_W, HELP_H, title, f'help  {n} / 3')
    body += content
    # The footer: page dots at its left end, then Back (picture X 148..234) and Next
    # (434..520); the dots and Next keep the same distance from the frame's edges.
    for i in range(3):
        cx = 26 + i * 22
        body += f'<circle cx="{cx}" cy="{422}" r="6" fill="{GOLD if i + 1 == n else NAVY3}" stroke="{SKY}" stroke-width="1.5"/>'
    fname = f'help_{n}.svg'
    write(fname, svg(FRAME_W, HELP_H, body, defs))
    item(f'Help{n}', fname, opts=f'matte={BG_WATER}')

def arrow_keys(x, y):
    out = ''
    k, _ = keycap(x + 38, y, '\u2191', 34, 18); out += k
    for i, s in enumerate(['\u2190', '\u2193', '\u2192']):
        k, _ = keycap(x + i * 38, y + 36, s, 34, 18); out += k
    return out

def help1():
    c = text(26, 76, 'Race up the river and cross the finish line before', 17, WHITE)
    c += text(26, 98, 'the clock runs out. Time left over turns into points.', 17, WHITE)
    c += arrow_keys(26, 116)
    c += text(152, 134, '\u2191 throttle    \u2193 brake', 17, GOLD, 'bold')
    c += text(152, 168, '\u2190 \u2192 steer', 17, GOLD, 'bold')
    rows = [(['Space'], ['Ctrl'], 'fire, when you carry the gun'),
            (['P'], None, 'pause (P or Esc goes on)'),
            (['Esc'], None, 'finish the race'),
            (['Alt', 'Enter'], None, 'full screen on or off')]
    y = 200
    for keys, alt, what in rows:
        x = 26
        for i, kname in enumerate(keys):
            k, kw = keycap(x, y, kname); c += k; x += kw + 4
            if i + 1 < len(keys):
                c += text(x + 2, y + 21, '+', 18, WHITE, 'bold'); x += 16
        if alt:
            c += text(x + 2, y + 21, '/', 18, WHITE, 'bold'); x += 14
            for kname in alt:
                k, kw = keycap(x, y, kname); c += k; x += kw + 4
        c += text(176, y + 21, what, 17, WHITE)
        y += 40
    c += text(26, 382, 'You have three lives. Every level is longer and busier.', 16, '#bfe6ff', style='italic')
    return c

def fallback_box(label, colour):
    def draw(x, y, box):
        return (f'<rect x="{x+4}" y="{y+4}" width="{box-8}" height="{box-8}" rx="6" fill="{colour}" stroke="{NAVY}" stroke-width="2"/>'
                + text(x + box / 2, y + box / 2 + 6, label, 15, WHITE, 'bold', 'middle'))
    return draw

def icon_list(entries, prefix, y0=60, step=40, box=36, col_x=(22, 282)):
    out = ''
    for i, (name, label, colour, line1, line2) in enumerate(entries):
        col, row = divmod(i, (len(entries) + 1) // 2)
        x = col_x[col]; y = y0 + row * step
        out += f'<rect x="{x}" y="{y}" width="{box}" height="{box}" rx="7" fill="#2a5fa8" fill-opacity="0.55"/>'
        out += race_icon(name, x, y, box, f'{prefix}{i}_', fallback_box(label, colour))
        out += text(x + box + 10, y + 16, line1, 16, GOLD, 'bold')
        out += text(x + box + 10, y + 34, line2, 14, WHITE)
    return out

def help2():
    c = text(26, 74, 'Floating boxes hold a prize: touch one to take it.', 17, WHITE)
    entries = [
        ('Bonus10', '10', '#2f9e44', 'Points', '10, 20, 50 or 100'),
        ('Gun', 'G', '#c92a2a', 'Gun', 'Space or Ctrl fires'),
        ('Shield', 'S', '#1971c2', 'Shield', 'no crash can hurt you'),
        ('Engine', 'E', '#e8590c', 'Engine', 'more speed, faster'),
        ('Life', '+1', '#d6336c', 'Extra life', 'one more boat'),
        ('Tramplin', 'R', '#8d6e63', 'Ramps', 'jump over trouble'),
    ]
    c += icon_list(entries, 'h2', y0=92, step=62, box=48)
    c += text(26, 306, 'Gun, shield and engine last ten seconds; the panel', 16, '#bfe6ff')
    c += text(26, 326, 'on the right shows the one running out first.', 16, '#bfe6ff')
    c += text(26, 354, 'Hit a ramp head on to jump. Shooting things scores', 16, '#bfe6ff')
    c += text(26, 374, 'points too, but a shot box is lost.', 16, '#bfe6ff')
    return c

def help3():
    c = text(26, 74, 'Keep clear of these:', 17, WHITE)
    entries = [
        ('Tree', 'T', '#6d4c41', 'Tree trunks', 'slow you right down'),
        ('Weed', 'W', '#2b8a3e', 'Weeds', 'slow you, spin you'),
        ('Flag', 'F', '#e03131', 'Flag buoys', 'cost you speed'),
        ('Duck', 'D', '#f08c00', 'Ducks', '100 points off: spare them!'),
        ('Fisher', 'F', '#5f3dc4', 'Fishers', 'wreck your boat'),
        ('BridgeBigLeft', 'B', '#868e96', 'Bridges', 'only slowly, or crash'),
        ('ShipRight', 'S', '#343a40', 'The ship', 'crosses the river: crash'),
        ('Boat4', 'B', '#1864ab', 'Traffic', 'ram it fast and you sink'),
    ]
    c += icon_list(entries, 'h3', y0=88, step=58, box=46)
    c += text(26, 336, 'A wreck costs a life. The shield lets you ram anything;', 16, '#bfe6ff')
    c += text(26, 356, 'the gun clears flags, ducks, fishers, boats and ships', 16, '#bfe6ff')
    c += text(26, 376, '(but not trees or weeds).', 16, '#bfe6ff')
    return c

# ---------------------------------------------------------------- boat cards
BOATS = [
    # race picture, name, tagline, fallback hull colour
    ('Boat1_Normal', 'Firefly', 'red runabout', '#e03131'),
    ('Boat2_Normal', 'Hornet', 'yellow catamaran', '#fab005'),
    ('Boat3_Normal', 'Viper', 'purple jet boat', '#7048e8'),
]

def fallback_boat(colour):
    def draw(x, y, box):
        s = box / 100
        return (f'<g transform="translate({x + box/2},{y + box/2}) scale({s*1.2})">'
                f'<path d="M0 -44 Q18 -20 18 10 L16 40 L-16 40 L-18 10 Q-18 -20 0 -44 Z" fill="{colour}" stroke="{NAVY}" stroke-width="3"/>'
                f'<path d="M0 -30 Q10 -12 10 8 L-10 8 Q-10 -12 0 -30 Z" fill="#ffffff"/></g>')
    return draw

# The cards lie at fixed places (screen X 28, 195 and 370, 160 wide each), 167 and 175 apart;
# drawing each card a little narrower and shifting the middle one evens out the gaps.
CARD_SHIFT = (0, 4, 0)

def boat_cards():
    w, h = 160, 300
    cw = w - 2  # the card as drawn, shadow included
    defs = (grad('ca', '#ffe15a', '#ff9a1f') + grad('ci', '#24508f', '#132c5a') + grad('wa', '#49aee8', '#2279c4') +
            f'<clipPath id="wclip"><rect x="12" y="12" width="{cw-28}" height="196" rx="10"/></clipPath>')
    for idx, (pic, bname, tag, colour) in enumerate(BOATS, start=1):
        for active in (True, False):
            body = (f'<g transform="translate({CARD_SHIFT[idx - 1]} 0)">'
                    f'<rect x="4" y="6" width="{cw-6}" height="{h-8}" rx="16" fill="{NAVY}"/>'
                    f'<rect x="1.5" y="1.5" width="{cw-6}" height="{h-8}" rx="16" fill="{"url(#ca)" if active else "url(#ci)"}" '
                    f'stroke="{WHITE if active else SKY}" stroke-width="{3 if active else 2}"/>'
                    f'<rect x="12" y="12" width="{cw-28}" height="196" rx="10" fill="url(#wa)"/>')
            body += ('<g clip-path="url(#wclip)">' +
                     water_ripples(idx * 5, cw - 40, 176, 9, '#bfe6ff', 0.45).replace('<path d="M', '<path transform="translate(16,20)" d="M') +
                     '</g>')
            # the race's own boat picture, a little over twice its size
            body += race_icon(pic, 12 + (cw - 28 - 184) / 2, 18, 184, f'b{idx}{int(active)}_', fallback_boat(colour), 2.2)
            ink = NAVY if active else WHITE
            body += text((cw - 4) / 2, 240, bname, 24, ink, 'bold', 'middle', 'italic')
            body += text((cw - 4) / 2, 262, tag, 15, NAVY2 if active else '#bfe6ff', anchor='middle', style='italic')
            if active:
                body += text((cw - 4) / 2, 284, '\u25b6 GO!', 16, NAVY, 'bold', 'middle')
            body += '</g>'
            fname = f'menu_boat{idx}_{"active" if active else "inactive"}.svg'
            write(fname, svg(w, h, body, defs))
            item(f'MenuBoat{idx}_{"A" if active else "I"}', fname, opts=f'matte={PANEL}')

# ---------------------------------------------------------------- run
background(); up_panel(); down_panel(); main_buttons(); captions()
options_frame(); option_rows(); hs_frame(); medals(); small_buttons()
help_page(1, 'Controls', help1()); help_page(2, 'Pickups', help2()); help_page(3, 'Hazards', help3())
boat_frame(); boat_cards(); window(); yes_no(); cursor()

header = ('# Menu pictures (Data/Res/Res1.dxg).\n'
          '# Name  file.svg  patternWidth patternHeight skipWidth skipHeight  [opaque] [matte=#rrggbb]\n'
          '# Strips are one SVG whose size is the pattern grid, patterns row-major.\n')
with open(os.path.join(OUT, 'manifest.txt'), 'w') as f:
    f.write(header + '\n'.join(manifest) + '\n')
print(len(manifest), 'items')
