#!/usr/bin/env bash
# The Configure dialog and the Help window under a real window manager, moved
# as a user moves them: dragged by the title bar with the mouse (and Help
# resized by its corner), hidden with their "Close", shown again with the main
# window's button: each must come back exactly where it was and as large.
# Then minimised by the window manager: the button brings it back restored,
# in front and active.
#
# usage: e2e_secondary_windows.sh TESSARO
set -euo pipefail
tessaro=$1

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
waitFor() { for _ in $(seq 100); do eval "$1" && return 0; sleep 0.05; done; return 1; }

source "$(dirname "$0")/../support/x_session.sh"
startDesktop "$work"
mkdir -p "$work/start"
cd "$work/start"
QT_QPA_PLATFORM=xcb "$tessaro" >/dev/null 2>&1 &
pids+=($!)
main=$(mainWindow) || fail "the main window never appeared"

# The client area as the X server has it: left top width height.
# (xdotool's getwindowgeometry counts the frame into the position.)
place() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
                             /Width:/ {w = $2} /Height:/ {h = $2} END {print x, y, w, h}'
}
frameExtent() {  # left right top bottom
    xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g'
}
# A press, a few steps of motion and a release, as a hand drags.
drag() {
    local x=$1 y=$2 dx=$3 dy=$4
    xdotool mousemove "$x" "$y"
    sleep 0.1
    xdotool mousedown 1
    for step in 1 2 3 4 5 6 7 8 9 10; do
        xdotool mousemove $((x + dx * step / 10)) $((y + dy * step / 10))
        sleep 0.03
    done
    sleep 0.1
    xdotool mouseup 1
    sleep 0.3
}
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

# window title | its button on the main window | its Close | dragged by | resized by
windows=(
    "Configure Tessaro|72 444|188 356|150 100|0 0"
    "Tessaro Help|216 444|216 436|-250 -200|40 30"
)
for row in "${windows[@]}"; do
    IFS='|' read -r title open close moveBy resizeBy <<<"$row"
    click "$main" $open
    id=$(timeout 10 xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1) || fail "$title never appeared"
    sleep 0.3
    shown=$(place "$id")
    read -r x y w h <<<"$shown"
    read -r _ right top bottom <<<"$(frameExtent "$id")"
    drag $((x + w / 2)) $((y - top / 2)) $moveBy
    if [ "$resizeBy" != "0 0" ]; then
        read -r x y w h <<<"$(place "$id")"
        drag $((x + w + right - 1)) $((y + h + bottom - 1)) $resizeBy
    fi
    left=$(place "$id")
    [ "$left" != "$shown" ] || fail "$title: the drag did not move it"

    click "$id" $close
    waitFor '! xdotool search --onlyvisible --name "^$title\$" >/dev/null' || fail "$title: Close did not hide it"
    click "$main" $open
    waitFor 'xdotool search --onlyvisible --name "^$title\$" >/dev/null' || fail "$title: it did not come back"
    sleep 0.3
    [ "$(place "$id")" = "$left" ] || fail "$title: left at $left, came back at $(place "$id")"

    xdotool windowminimize --sync "$id"
    xprop -id "$id" WM_STATE | grep -q 'Iconic' || fail "$title: the window manager did not minimise it"
    xdotool windowactivate --sync "$main"
    click "$main" $open
    waitFor 'xprop -id "$id" WM_STATE | grep -q Normal' || fail "$title: the button left it minimised"
    waitFor '[ "$(xdotool getactivewindow)" = "$id" ]' || fail "$title: restored, but not the active window"
    [ "$(xprop -root _NET_CLIENT_LIST_STACKING | awk '{ print $NF }')" = "$(printf '0x%x' "$id")" ] \
        || fail "$title: restored, but not in front"
    [ "$(place "$id")" = "$left" ] || fail "$title: minimised at $left, restored at $(place "$id")"
    echo "$title: kept $left through Close and a minimise"
done
echo "PASS: both windows come back where the user left them, restored and active"
