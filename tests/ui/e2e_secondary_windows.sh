#!/usr/bin/env bash
# The Configure dialog and the Help window under a real window manager: each
# dragged by its title bar with the mouse (Help also resized by its corner),
# hidden with its "Close" and shown again with the main window's button must
# come back exactly where and as large as it was; minimised by the window
# manager, the button must bring it back restored, in front and active.
#
# usage: e2e_secondary_windows.sh TESSARO
set -euo pipefail
tessaro=$1

work=$(mktemp -d)
pids=()
trap 'for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
waitFor() { for _ in $(seq 100); do eval "$1" && return 0; sleep 0.05; done; return 1; }

source "$(dirname "$0")/../support/x_session.sh"
startDesktop "$work"
cd "$work"
QT_QPA_PLATFORM=xcb "$tessaro" >/dev/null 2>&1 &
pids+=($!)
main=$(mainWindow) || fail "the main window never appeared"

# The client area, "left top width height" (xdotool's getwindowgeometry
# counts the title bar into the position).
place() { xwininfo -id "$1" | awk '/Absolute upper-left|Width:|Height:/ {v = v $NF " "} END {print v}'; }
# X Y DX DY: a press, ten steps of motion and a release, as a hand drags.
drag() {
    local steps=()
    for i in $(seq 10); do steps+=(mousemove $(($1 + $3 * i / 10)) $(($2 + $4 * i / 10)) sleep 0.03); done
    xdotool mousemove "$1" "$2" sleep 0.1 mousedown 1 "${steps[@]}" sleep 0.1 mouseup 1 sleep 0.3
}
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

# title | its button on the main window | its Close | dragged by | resized by
for row in "Configure Tessaro|72 444|188 356|150 100|" "Tessaro Help|216 444|216 436|-250 -200|40 30"; do
    IFS='|' read -r title open close moveBy resizeBy <<<"$row"
    visible() { xdotool search --onlyvisible --name "^$title\$" >/dev/null; }
    click "$main" $open
    id=$(timeout 10 xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1) || fail "$title never appeared"
    sleep 0.3
    shown=$(place "$id")
    read -r _ right top bottom <<<"$(xprop -id "$id" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
    read -r x y w h <<<"$shown"
    drag $((x + w / 2)) $((y - top / 2)) $moveBy
    if [ -n "$resizeBy" ]; then
        read -r x y w h <<<"$(place "$id")"
        drag $((x + w + right - 1)) $((y + h + bottom - 1)) $resizeBy
    fi
    left=$(place "$id")
    [ "$left" != "$shown" ] || fail "$title: the drag did not move it"

    click "$id" $close
    waitFor '! visible' || fail "$title: Close did not hide it"
    click "$main" $open
    waitFor visible || fail "$title: it did not come back"
    sleep 0.3
    [ "$(place "$id")" = "$left" ] || fail "$title: left at $left, came back at $(place "$id")"

    xdotool windowminimize --sync "$id" windowactivate --sync "$main"
    xprop -id "$id" WM_STATE | grep -q Iconic || fail "$title: the window manager did not minimise it"
    click "$main" $open
    waitFor 'xprop -id "$id" WM_STATE | grep -q Normal' || fail "$title: the button left it minimised"
    waitFor '[ "$(xdotool getactivewindow)" = "$id" ]' || fail "$title: restored, but not the active window"
    [ "$(xprop -root _NET_CLIENT_LIST_STACKING | awk '{ print $NF }')" = "$(printf '0x%x' "$id")" ] \
        || fail "$title: restored, but not in front"
    [ "$(place "$id")" = "$left" ] || fail "$title: minimised at $left, restored at $(place "$id")"
    echo "$title: kept $left through Close and a minimise"
done
echo "PASS: both windows come back where the user left them, restored and active"
