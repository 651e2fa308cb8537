# Screenshots of the real program: the free view and each preset viewpoint
# show the scene's fixed parts in their colours where they belong, and "z"
# swings the red ball over the court. Only parts that never move are looked
# at for colours (the tower, the plinth, the ground lines, the court).
# Set E2E_KEEP_SHOTS=<dir> to keep the screenshots.
source "$(dirname "$0")/lib.sh"

# expect_share SHOT WxH+X+Y COLOUR least|most BOUND WHAT: the share of the
# region in COLOUR is at least (or at most) BOUND.
expect_share() {
  local s
  s=$(share "$1" "$2" "$3")
  awk -v s="$s" -v m="$5" -v bound="$4" 'BEGIN { exit !(bound == "least" ? s >= m : s <= m) }' ||
    fail "$1: $6: $s of region $2 is $3 (want at $4 $5)"
  pass "$1: $6 ($s of $2 is $3)"
}

# expect_colour SHOT WxH+X+Y COLOUR MIN WHAT
expect_colour() { expect_share "$1" "$2" "$3" least "$4" "$5"; }

# expect_little SHOT WxH+X+Y COLOUR MAX WHAT
expect_little() { expect_share "$1" "$2" "$3" most "$4" "$5"; }

keep() { [[ -n "${E2E_KEEP_SHOTS:-}" ]] && mkdir -p "$E2E_KEEP_SHOTS" && cp "$E2E_WORK/$1.png" "$E2E_KEEP_SHOTS/" || true; }

# settled NAME REF: shoots NAME once it differs widely from REF.
settled() { shot "$1"; (($(differing "$2" "$1") > BIG_CHANGE)); }

YELLOW="rgb(255,255,0)"
MAGENTA="rgb(255,0,255)"
CYAN="rgb(0,255,255)"
BLUE="rgb(0,0,255)"
COURT="rgb(0,204,0)"
RED="rgb(255,0,0)"
BLACK="rgb(0,0,0)"
ORANGE="rgb(250,159,31)"

start_scene
shot free
keep free

# Free view: the tower stands in the middle, tiers yellow, magenta and cyan
# from the bottom up, on the blue plinth; the court's green surface at the
# lower right; nothing below the ground line but black.
expect_colour free 220x90+390+365 "$YELLOW" 0.08 "yellow tier in the middle"
expect_colour free 200x70+400+265 "$MAGENTA" 0.08 "magenta tier above it"
expect_colour free 170x60+415+170 "$CYAN" 0.08 "cyan tier above that"
expect_colour free 500x20+240+670 "$BLUE" 0.5 "the blue plinth under the tower"
expect_colour free 100x30+899+660 "$COURT" 0.5 "the court's green surface at the right"
expect_colour free 500x200+250+780 "$BLACK" 0.99 "black under the ground"

# Each view is shot once the picture has left the one before it: a slow
# machine may still show the previous preset for a while after the choice.
previous=free
for entry in 1 2 3 4; do
  choose "$entry"
  poll 20 settled "preset$entry" "$previous" || fail "menu entry $entry did not change the view"
  keep "preset$entry"
  previous="preset$entry"
done

# "PT체조하는 사람들": from (15, 0, 1) towards the PT block: the orange block
# fills the right half, the corner of the blue plinth shows at the left.
expect_colour preset1 600x250+380+530 "$ORANGE" 0.1 "the orange PT block at the right"
expect_colour preset1 70x50+0+640 "$BLUE" 0.3 "the plinth's corner at the left"
expect_little preset1 300x300+650+100 "$ORANGE" 0.0 "nothing orange in the sky"
# "족구장": from (15, -15, 5) down over the court: its green surface fills
# the lower middle, the tower's yellow tier stands above it.
expect_colour preset2 300x150+350+700 "$COURT" 0.5 "court surface in the lower middle"
expect_colour preset2 150x60+300+200 "$YELLOW" 0.1 "the tower's yellow tier above the court"
# "개": from (-20, -20, 10) towards the centre: the tower in the middle, the
# court small at the right.
expect_colour preset3 120x50+440+380 "$MAGENTA" 0.1 "the magenta tier in the middle"
expect_colour preset3 200x40+700+540 "$COURT" 0.3 "the court at the right"
# From above, looking down at the centre: the blue plinth around the tower,
# the court at the lower left.
expect_colour preset4 60x120+400+380 "$BLUE" 0.3 "the plinth's left side from above"
expect_colour preset4 200x120+200+660 "$COURT" 0.5 "the court at the lower left"

# "z" swings the red ball over the net, from beside the first kicker (cyan,
# far side) to beside the second (white, near side).
choose 2
poll 20 settled court preset4 || fail "back to the court view"
keep court
BALL_AT_A=60x60+620+490
BALL_AT_B=90x90+290+730
expect_colour court $BALL_AT_A "$RED" 0.05 "the ball waits beside the first kicker"
expect_little court $BALL_AT_B "$RED" 0.0 "no ball beside the second kicker yet"
xdotool key z
ball_over() {
  shot kicked
  awk -v s="$(share kicked $BALL_AT_B "$RED")" 'BEGIN { exit !(s >= 0.05) }'
}
poll 10 ball_over || fail "\"z\" did not bring the ball to the second kicker"
keep kicked
expect_colour kicked $BALL_AT_B "$RED" 0.05 "after \"z\" the ball is beside the second kicker"
expect_little kicked $BALL_AT_A "$RED" 0.0 "and gone from the first"

scene_alive || fail "the scene died"
