# The right button opens the pop-up menu; its entries switch to a preset
# viewpoint and back to the free view.
source "$(dirname "$0")/lib.sh"

start_scene
check_animation_noise

shot free
choose 4
pass "right click opens the menu"
expect_change free "the entry 'from above' switches the view"
cp "$E2E_WORK/now.png" "$E2E_WORK/above.png"

choose 2
expect_change above "the entry 'court' replaces the viewpoint"

# Back to the free view: close to the picture before the presets again, far
# from the preset.
choose 5
shot back
((preset = $(differing free above))) || true
back_diff() { shot back; (($(differing free back) < preset / 3)); }
poll 20 back_diff || fail "the entry 'normal view' did not return to the free view ($(differing free back) vs $preset pixels)"
pass "the entry 'normal view' returns to the free view ($(differing free back) pixels from the start, $preset for the preset)"

scene_alive || fail "the scene died"
