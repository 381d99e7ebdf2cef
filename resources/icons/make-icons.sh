#!/bin/sh
# Regenerates the program's .ico files in this folder.
#
# Requires ImageMagick 6 ("convert"). Every 16x16 image is hand-drawn pixel
# art (the XPM grids below); the 32x32 and 48x48 images are drawn with
# pixel-aligned primitives at their own size. Everything is 32-bit with
# alpha, packed into a standard ICO container: 16x16 and 32x32 entries are
# BMP (DIB) encoded, 48x48 entries are PNG encoded to keep the files small.
#
# Usage: sh make-icons.sh        (writes *.ico next to this script)

set -eu

here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
trap 'exit 1' INT TERM

# ---------------------------------------------------------------------------
# Shared palette (one character per colour).
# ---------------------------------------------------------------------------
PALETTE='. c None
K c #1B3C73
L c #6FA8F2
b c #2A6BD1
w c #FFFFFF
s c #B9C6D8
c c #DDE8F8
m c #9DB9E3
n c #7C9BC9
G c #5E6A79
h c #FFFFFF
A c #2E9B48
o c #F58A1F
y c #FFB54D
O c #DD6E0C
D c #9A4A07
I c #6B3305'

# xpm NAME < grid   -- turns a square grid of palette characters into
# $tmp/NAME.png (32-bit RGBA).
xpm() {
    name=$1
    grid=$(cat)
    size=$(printf '%s\n' "$grid" | head -n 1 | tr -d '\n' | wc -c)
    ncol=$(printf '%s\n' "$PALETTE" | wc -l)
    rows=$(printf '%s\n' "$grid" | wc -l)
    if [ "$rows" -ne "$size" ] ||
        printf '%s\n' "$grid" | awk -v n="$size" 'length($0) != n { bad = 1 } END { exit !bad }'; then
        echo "make-icons.sh: grid '$name' is not ${size}x${size}" >&2
        exit 1
    fi
    {
        printf '/* XPM */\nstatic char *%s[] = {\n' "$name"
        printf '"%s %s %s 1",\n' "$size" "$size" "$ncol"
        printf '%s\n' "$PALETTE" | sed 's/.*/"&",/'
        printf '%s\n' "$grid" | sed 's/.*/"&",/'
        printf '};\n'
    } > "$tmp/$name.xpm"
    convert "$tmp/$name.xpm" -alpha set -type TrueColorAlpha "PNG32:$tmp/$name.png"
}

# Little-endian integer output for the ICO header.
u8() { printf "\\$(printf '%03o' $(($1 & 255)))"; }
le16() { u8 "$1"; u8 $(($1 >> 8)); }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16)); }

# entry IMAGE.png OUT   -- the ICO payload for one image: a 32-bit BMP (DIB
# with AND mask, as written by ImageMagick's ICO coder) below 48 pixels, a
# plain RGBA PNG from 48 pixels up (keeps the files small).
entry() {
    w=$(identify -format '%w' "$1")
    if [ "$w" -lt 48 ]; then
        convert "$1" -alpha set -type TrueColorAlpha -compress None "ico:$tmp/one.ico"
        # Single-image ICO: 6-byte header + 16-byte directory, then the DIB.
        off=$(od -An -tu4 -j18 -N4 "$tmp/one.ico" | tr -d ' ')
        tail -c +$((off + 1)) "$tmp/one.ico" > "$2"
    else
        convert "$1" -alpha set -strip -define png:exclude-chunks=date,time \
            "PNG32:$2"
    fi
}

# ico OUT.ico IMAGE.png...   -- writes a standard ICO container holding the
# given square images (pass them small to large).
ico() {
    out=$1
    shift
    i=0
    for img in "$@"; do
        entry "$img" "$tmp/entry$i"
        i=$((i + 1))
    done
    {
        le16 0
        le16 1
        le16 $#
        off=$((6 + 16 * $#))
        i=0
        for img in "$@"; do
            w=$(identify -format '%w' "$img")
            len=$(($(wc -c < "$tmp/entry$i")))
            u8 $((w % 256)); u8 $((w % 256)); u8 0; u8 0
            le16 1; le16 32; le32 "$len"; le32 "$off"
            off=$((off + len))
            i=$((i + 1))
        done
        i=0
        for img in "$@"; do
            cat "$tmp/entry$i"
            i=$((i + 1))
        done
    } > "$here/$out"
}

# Colours used by the drawn (non-grid) sizes.
NAVY='#1B3C73'
TITLE_TOP='#7DB2F5'
TITLE_BOTTOM='#2462C8'
CLOSE='#DDE8F8'
ORANGE_TOP='#FFB54D'
ORANGE_BOTTOM='#E7700F'
ORANGE='#F58A1F'
ORANGE_EDGE='#9A4A07'
ORANGE_INSIDE='#6B3305'
HANDLE='#B3560A'

# window SIZE X0 Y0 X1 Y1 TITLE_ROWS CLOSE_SIZE OUT
# Draws a generic application window (1-pixel navy frame with clipped top
# corners, gradient title bar, white client area) on a transparent canvas.
window() {
    sz=$1 x0=$2 y0=$3 x1=$4 y1=$5 tr=$6 cs=$7 out=$8
    tw=$((x1 - x0 - 1))
    ty1=$((y0 + tr))
    cx1=$((x1 - 2 - (tr - cs) / 2))
    cx0=$((cx1 - cs + 1))
    cy0=$((y0 + 1 + (tr - cs) / 2))
    cy1=$((cy0 + cs - 1))
    convert -size "${sz}x${sz}" xc:none \
        -fill "$NAVY" \
        -draw "rectangle $((x0 + 1)),$y0 $((x1 - 1)),$y0" \
        -draw "rectangle $x0,$((y0 + 1)) $x1,$y1" \
        \( -size "${tw}x${tr}" "gradient:$TITLE_TOP-$TITLE_BOTTOM" \) \
        -geometry "+$((x0 + 1))+$((y0 + 1))" -composite \
        -fill white -draw "rectangle $((x0 + 1)),$((ty1 + 1)) $((x1 - 1)),$((y1 - 1))" \
        -fill "$CLOSE" -draw "rectangle $cx0,$cy0 $cx1,$cy1" \
        "PNG32:$out"
}

# ---------------------------------------------------------------------------
# Default.ico -- a plain application window.
# ---------------------------------------------------------------------------
xpm default16 <<'EOF'
................
.KKKKKKKKKKKKKK.
KLLLLLLLLLLccLLK
KbbbbbbbbbbccbbK
KbbbbbbbbbbbbbbK
KwwwwwwwwwwwwwwK
KwwwwwwwwwwwwwwK
KwwwwwwwwwwwwwwK
KwwwwwwwwwwwwwwK
KwwwwwwwwwwwwwwK
KwwwwwwwwwwwwwwK
KwwwwwwwwwwwwwwK
KwwwwwwwwwwwwwwK
KwwwwwwwwwwwwwwK
KKKKKKKKKKKKKKKK
................
EOF
window 32 1 3 30 28 6 4 "$tmp/default32.png"
window 48 2 4 45 43 8 6 "$tmp/default48.png"
ico Default.ico "$tmp/default16.png" "$tmp/default32.png" "$tmp/default48.png"

# ---------------------------------------------------------------------------
# Windows.ico -- two overlapping application windows.
# ---------------------------------------------------------------------------
xpm windows16 <<'EOF'
.KKKKKKKKK......
KmmmmmmmmmK.....
KnnnnnnnnnK.....
KwwwwwwwwwK.....
KwwwwwwwwwK.....
KwwwwwwwwwK.....
KwwwwKKKKKKKKKK.
KwwwwKLLLLLLLLLK
KwwwwKbbbbbbbbbK
KKKKKKwwwwwwwwwK
.....KwwwwwwwwwK
.....KwwwwwwwwwK
.....KwwwwwwwwwK
.....KwwwwwwwwwK
.....KwwwwwwwwwK
.....KKKKKKKKKKK
EOF
ico Windows.ico "$tmp/windows16.png"

# ---------------------------------------------------------------------------
# Setup.ico -- a window with settings lines and a gear badge.
# ---------------------------------------------------------------------------
xpm setup16 <<'EOF'
................
.KKKKKKKKKKK....
KLLLLLLLLLLLK...
KbbbbbbbbbbbK...
Kwwwwwww........
Kwssw....GGG....
Kwwww.GG.GGG.GG.
Kwssw.GGGGGGGGG.
Kwww...GGGhGGG..
Kwss.GGGGhhhGGGG
Kwww.GGGhhhhhGGG
Kwww.GGGGhhhGGGG
KKKK...GGGhGGG..
......GGGGGGGGG.
......GG.GGG.GG.
.........GGG....
EOF
ico Setup.ico "$tmp/setup16.png"

# ---------------------------------------------------------------------------
# Refresh.ico -- a clockwise circular arrow.
# ---------------------------------------------------------------------------
xpm refresh16 <<'EOF'
.......A........
.......AA.......
....AAAAAA......
...AAAAAAAA.....
..AAAA.AAAAA....
..AAA..AAAA.....
.AAA...AAA......
.AAA...AA.......
.AAA...A........
.AAA........AAA.
.AAA........AAA.
..AAA......AAA..
..AAAA....AAAA..
...AAAAAAAAAA...
....AAAAAAAA....
................
EOF
ico Refresh.ico "$tmp/refresh16.png"

# ---------------------------------------------------------------------------
# PKSmall.ico / PKSmallDisabled.ico -- the program's mark: a window with a
# down arrow sinking into an orange tray.
# ---------------------------------------------------------------------------
xpm pk16 <<'EOF'
....KKKKKKKK....
...KLLLLLLLLK...
...KbbbbbbbbK...
...KwwwoowwwK...
...KwwwoowwwK...
...KwwwoowwwK...
...KwoooooowK...
...KwwoooowwK...
.DDKwwwoowwwKDD.
.IIKwwwwwwwwKII.
DDDDDDDDDDDDDDDD
DyyyyyyyyyyyyyyD
DooooooooooooooD
DoooooDDDDoooooD
DOOOOOOOOOOOOOOD
.DDDDDDDDDDDDDD.
EOF

# pk_large SIZE OUT  -- the 32x32 or 48x48 rendition of the mark.
pk_large() {
    sz=$1 out=$2
    # Geometry per size: box opening, window, arrow, tray front, handle.
    if [ "$sz" -eq 48 ]; then
        ix0=4 iy0=25 ix1=43 iy1=30            # inside of the tray
        wx0=11 wy0=3 wx1=36 wy1=36 tr=7       # window frame, title rows
        sx0=21 sy0=13 sx1=26 sy1=20           # arrow shaft
        hy0=21 hx0=16 hx1=31                  # arrow head first row
        fx0=3 fy0=30 fx1=44 fy1=45            # tray front
        gx0=17 gy0=36 gx1=30 gy1=38           # handle slot
    else
        ix0=3 iy0=17 ix1=28 iy1=20
        wx0=7 wy0=2 wx1=24 wy1=24 tr=5
        sx0=14 sy0=9 sx1=17 sy1=13
        hy0=14 hx0=10 hx1=21
        fx0=2 fy0=20 fx1=29 fy1=30
        gx0=11 gy0=24 gx1=20 gy1=25
    fi
    head=""
    y=$hy0 a=$hx0 z=$hx1
    while [ "$a" -lt "$z" ]; do
        head="$head rectangle $a,$y $z,$y"
        y=$((y + 1)) a=$((a + 1)) z=$((z - 1))
    done
    fw=$((fx1 - fx0 - 1))
    fh=$((fy1 - fy0 - 1))
    convert -size "${sz}x${sz}" xc:none \
        -fill "$ORANGE_EDGE" -draw "rectangle $ix0,$iy0 $ix1,$iy1" \
        -fill "$ORANGE_INSIDE" -draw "rectangle $((ix0 + 1)),$((iy0 + 1)) $((ix1 - 1)),$iy1" \
        -fill "$NAVY" \
        -draw "rectangle $((wx0 + 1)),$wy0 $((wx1 - 1)),$wy0" \
        -draw "rectangle $wx0,$((wy0 + 1)) $wx1,$wy1" \
        \( -size "$((wx1 - wx0 - 1))x$tr" "gradient:$TITLE_TOP-$TITLE_BOTTOM" \) \
        -geometry "+$((wx0 + 1))+$((wy0 + 1))" -composite \
        -fill white -draw "rectangle $((wx0 + 1)),$((wy0 + tr + 1)) $((wx1 - 1)),$((wy1 - 1))" \
        -fill "$ORANGE" -draw "rectangle $sx0,$sy0 $sx1,$sy1" -draw "$head" \
        -fill "$ORANGE_EDGE" \
        -draw "rectangle $fx0,$fy0 $fx1,$((fy1 - 1))" \
        -draw "rectangle $((fx0 + 1)),$fy1 $((fx1 - 1)),$fy1" \
        \( -size "${fw}x${fh}" "gradient:$ORANGE_TOP-$ORANGE_BOTTOM" \) \
        -geometry "+$((fx0 + 1))+$((fy0 + 1))" -composite \
        -fill "$HANDLE" -draw "rectangle $gx0,$gy0 $gx1,$gy1" \
        "PNG32:$out"
}
pk_large 32 "$tmp/pk32.png"
pk_large 48 "$tmp/pk48.png"
ico PKSmall.ico "$tmp/pk16.png" "$tmp/pk32.png" "$tmp/pk48.png"

# Disabled: the same pictures, desaturated and lifted towards white.
for s in 16 32 48; do
    convert "$tmp/pk$s.png" -modulate 100,0 +level 38%,100% \
        "PNG32:$tmp/pkoff$s.png"
done
ico PKSmallDisabled.ico "$tmp/pkoff16.png" "$tmp/pkoff32.png" "$tmp/pkoff48.png"
