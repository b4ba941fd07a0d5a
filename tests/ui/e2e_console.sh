#!/usr/bin/env bash
# Each server in a console window of its own, under a real X server with a
# window manager: one launch opens exactly one new window, iconified, titled
# with the command line as it runs here and with a short icon name, and
# Tessaro stays the active window; what is typed
# in that console reaches the server, and nothing else does; closing the
# console ends the server; servers and their consoles outlive Tessaro; a
# console stays with its last lines when its server ends, until closed.
# Tessaro runs without standard input and output, as a desktop may start it.
#
# usage: e2e_console.sh TESSARO FAKE_QWSV
set -euo pipefail
tessaro=$1
fake_qwsv=$2

work=$(mktemp -d)
pids=()
recorded() { sed -n 's/^pid=//p' "$work"/records/*.record 2>/dev/null; }
cleanup() {
    for pid in $(recorded); do
        # The console first (its server goes with it), then the server itself.
        console=$(awk '/^PPid:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
        [ -n "$console" ] && [ "$console" -gt 1 ] && kill -9 "$console" 2>/dev/null
        kill -9 "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
waitFor() { for _ in $(seq 100); do eval "$1" && return 0; sleep 0.05; done; return 1; }

command -v xterm >/dev/null || fail "xterm is not installed"

source "$(dirname "$0")/../support/x_session.sh"
startDesktop "$work"

mkdir -p "$work/quake" "$work/records" "$work/start"
cp "$fake_qwsv" "$work/quake/qwsv"
printf '%s,fortress,ctf,duel1,duel2,duel3,duel4,arena,requiem\r\n' "$work/quake" > "$work/start/tessaro.cfg"
cd "$work/start"
FAKE_QWSV_RECORD_DIR="$work/records" FAKE_QWSV_MODE=read QT_QPA_PLATFORM=xcb "$tessaro" <&- >&- 2>&- &
tessaro_pid=$!
pids+=($tessaro_pid)

window=$(mainWindow) || fail "the main window never appeared"
for fd in 0 1 2; do
    [ "$(readlink "/proc/$tessaro_pid/fd/$fd")" = /dev/null ] || fail "Tessaro's descriptor $fd is not /dev/null"
done
waitFor 'wmctrl -l >/dev/null 2>&1' || fail "no window manager"
before=$(wmctrl -l | awk '{ print $1 }' | sort)
clickPort27601 "$window"

waitFor 'ls "$work"/records/*.record >/dev/null 2>&1' || fail "no server was started"
record=$(ls "$work"/records/*.record)
server=$(sed -n 's/^pid=//p' "$record")
line="$work/quake/qwsv +gamedir fortress -port 27601"
waitFor '[ "$(wmctrl -l | awk "{ print \$1 }" | sort | comm -13 <(echo "$before") - | wc -l)" -ge 1 ]' \
    || fail "no console window appeared"
sleep 0.3
new=$(wmctrl -l | awk '{ print $1 }' | sort | comm -13 <(echo "$before") -)
[ "$(echo "$new" | wc -l)" -eq 1 ] || fail "one launch opened $(echo "$new" | wc -l) windows"
console=$((new))
xprop -id "$console" WM_NAME | grep -qF "\"$line\"" || fail "the console is named $(xprop -id "$console" WM_NAME)"
xprop -id "$console" WM_ICON_NAME | grep -qF '"27601 fortress"' || fail "the console's icon is $(xprop -id "$console" WM_ICON_NAME)"
xprop -id "$console" WM_STATE | grep -q 'window state: Iconic' || fail "the console did not open iconified"
[ "$(xdotool getactivewindow)" = "$window" ] || fail "the console took the focus from Tessaro"

expected=$(printf 'arg=%s\n' "$work/quake/qwsv" +gamedir fortress -port 27601)
[ "$(grep '^arg=' "$record")" = "$expected" ] || fail "the server got $(grep '^arg=' "$record")"
grep -qx "cwd=$work/quake" "$record" || fail "the server did not run in the Quake directory"
grep -q '^stdin=/dev/pts/' "$record" || fail "the server's input is $(grep '^stdin=' "$record"), not its console"
grep -q '^fds=0,1,2$' "$record" || fail "the server holds $(grep '^fds=' "$record")"
grep -qx "sid=$server" "$record" || fail "the server does not lead a session of its own"

# A command typed into the console reaches the server.
xdotool windowactivate --sync "$console"
xdotool type --delay 30 "status"
xdotool key Return
waitFor 'grep -qx status "$work/records/$server.input" 2>/dev/null' || fail "the typed command never reached the server"
[ "$(cat "$work/records/$server.input")" = status ] || fail "the server read $(cat "$work/records/$server.input")"

# Closing the console ends its server.
wmctrl -i -c "$console"
waitFor '! kill -0 "$server" 2>/dev/null' || fail "the server outlived its closed console"

# A server and its console outlive Tessaro.
xdotool windowactivate --sync "$window"
xdotool mousemove --window "$window" 300 92 click 1   # "Port 27602"
waitFor '[ "$(ls "$work"/records/*.record | wc -l)" -eq 2 ]' || fail "the second server never started"
second=$(recorded | grep -vx "$server")
xdotool windowactivate --sync "$window"
xdotool key --clearmodifiers alt+x
waitFor '! kill -0 "$tessaro_pid" 2>/dev/null' || fail "Exit did not end Tessaro"
sleep 0.5
kill -0 "$second" 2>/dev/null || fail "the server ended with Tessaro"
wmctrl -l | grep -qF "qwsv +gamedir fortress -port 27602" || fail "the console ended with Tessaro"

# A server that ends leaves its console, with what it said last, until closed.
kill "$second"
waitFor '! kill -0 "$second" 2>/dev/null' || fail "the second server did not end"
sleep 0.5
wmctrl -l | grep -qF "qwsv +gamedir fortress -port 27602" || fail "the console closed with its server"
wmctrl -c "qwsv +gamedir fortress -port 27602"
waitFor '! wmctrl -l | grep -qF "qwsv +gamedir fortress -port 27602"' || fail "the held console did not close"
echo "PASS: one iconified console per server, named with its line; typing reaches it, closing ends it, it outlives its server"
