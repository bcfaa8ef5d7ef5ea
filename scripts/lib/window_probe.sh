# shellcheck shell=bash
# Looks at a window of the Wine bench from outside, as the user's desktop
# does: finds it by title, reads pixels of screenshots at client
# coordinates, moves the pointer, clicks, drags and types (sourced, not run).
# Needs xdotool, xwd and ImageMagick, and the bench's display.
#
#   probe_init BUILD_DIR            uses the display of that Wine bench
#   probe_window TITLE SECONDS      waits for the window; sets probe_wid and
#                                   its client origin probe_x, probe_y
#   probe_origin                    reads the origin again (after a drag)
#   probe_gone SECONDS              true once the window is gone
#   probe_grab FILE                 a screenshot of the whole display
#   probe_pixel FILE X Y            RRGGBB at client point (X, Y) of FILE
#   probe_has_colour FILE X Y W H RRGGBB
#                                   the client area (X, Y, W x H) shows RRGGBB
#   probe_wait SECONDS X Y RRGGBB   waits until the live pixel is RRGGBB
#   probe_crop FILE OUT [W H]       the window alone (W x H, default the main
#                                   window's 720 x 620), cut out of FILE
#   probe_move X Y / probe_click X Y / probe_drag X Y DX DY / probe_key KEY
#
# The window is a popup without a frame, so its client origin is its origin.

probe_xdotool() { DISPLAY=$probe_display xdotool "$@"; }

probe_init() {
  local state="$1/wine-bench"
  [ -s "$state/display" ] || die "the Wine bench of $1 has no display"
  probe_display=$(cat "$state/display")
  probe_shot_tmp=$(mktemp --suffix=.png)
}

probe_window() {
  local wanted=$1 tenths=$(($2 * 10))
  probe_wid=""
  while [ "$tenths" -gt 0 ]; do
    probe_wid=$(probe_xdotool search --onlyvisible --name "^$wanted\$" 2>/dev/null | head -n 1) || true
    [ -z "$probe_wid" ] || break
    sleep 0.1
    tenths=$((tenths - 1))
  done
  [ -n "$probe_wid" ] || return 1
  probe_origin
}

probe_origin() {
  local X Y
  eval "$(probe_xdotool getwindowgeometry --shell "$probe_wid" | grep -E '^(X|Y)=[0-9-]+$')"
  probe_x=$X
  probe_y=$Y
}

probe_window_visible() {
  probe_xdotool search --onlyvisible --name "." 2>/dev/null | grep -qx "$probe_wid"
}

probe_gone() {
  wait_while $(($1 * 10)) probe_window_visible
}

probe_grab() {
  # Through a temporary file and a rename, so a failed capture leaves no
  # truncated picture behind.
  DISPLAY=$probe_display xwd -root -silent | /usr/bin/convert xwd:- "png:$1.tmp" && mv -f "$1.tmp" "$1"
}

probe_pixel() {
  local file=$1 x=$(($2 + probe_x)) y=$(($3 + probe_y))
  /usr/bin/convert "$file" -crop "1x1+$x+$y" +repage -depth 8 -format '%[hex:p{0,0}]' info: |
    cut -c1-6
}

probe_has_colour() {
  local file=$1 x=$(($2 + probe_x)) y=$(($3 + probe_y)) w=$4 h=$5 colour=$6
  /usr/bin/convert "$file" -crop "${w}x$h+$x+$y" +repage -depth 8 -unique-colors txt:- |
    grep -qi "#$colour"
}

probe_live_pixel() {
  probe_grab "$probe_shot_tmp" && probe_pixel "$probe_shot_tmp" "$1" "$2"
}

probe_wait() {
  local tenths=$(($1 * 10)) x=$2 y=$3 colour=$4
  while [ "$tenths" -gt 0 ]; do
    [ "$(probe_live_pixel "$x" "$y")" != "$colour" ] || return 0
    sleep 0.2
    tenths=$((tenths - 3))
  done
  return 1
}

probe_crop() {
  local width=${3:-720} height=${4:-620}
  /usr/bin/convert "$1" -crop "${width}x$height+$probe_x+$probe_y" +repage "$2"
}

probe_move() { probe_xdotool mousemove $(($1 + probe_x)) $(($2 + probe_y)); }

probe_click() {
  probe_move "$1" "$2"
  sleep 0.1
  probe_xdotool click 1
}

# Presses at (X, Y), moves by (DX, DY) in steps, releases.
probe_drag() {
  local x=$(($1 + probe_x)) y=$(($2 + probe_y)) dx=$3 dy=$4 step
  probe_xdotool mousemove "$x" "$y"
  sleep 0.1
  probe_xdotool mousedown 1
  sleep 0.2
  for step in 1 2 3 4; do
    probe_xdotool mousemove $((x + dx * step / 4)) $((y + dy * step / 4))
    sleep 0.1
  done
  probe_xdotool mouseup 1
  sleep 0.3
}

# A key sent to one window is a synthetic event, which Wine ignores: give
# the window the input focus and type for real.
probe_key() {
  probe_xdotool windowfocus --sync "$probe_wid" 2>/dev/null || true
  probe_xdotool key "$1"
}
