#!/usr/bin/env bash
# The real program under a real X server: Alt+O, then a mouse click on
# "Port 27601", and the stand-in qwsv must receive exactly the TeamFortress
# line in the Quake directory, while Tessaro's window stays the active one.
#
# usage: e2e_click_launch.sh TESSARO FAKE_QWSV
set -euo pipefail
tessaro=$1
fake_qwsv=$2

work=$(mktemp -d)
pids=()
cleanup() {
    # Servers first, by the pids they wrote down, then the program and the X server.
    for record in "$work"/records/*.record; do
        [ -e "$record" ] && kill -9 "$(sed -n 's/^pid=//p' "$record")" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

source "$(dirname "$0")/../support/x_session.sh"
startDesktop "$work"

mkdir -p "$work/quake" "$work/records" "$work/start"
cp "$fake_qwsv" "$work/quake/qwsv"
printf '%s,fortress,ctf,duel1,duel2,duel3,duel4,arena,requiem\r\n' "$work/quake" > "$work/start/tessaro.cfg"

cd "$work/start"
FAKE_QWSV_RECORD_DIR="$work/records" QT_QPA_PLATFORM=xcb "$tessaro" >/dev/null 2>&1 &
tessaro_pid=$!
pids+=($tessaro_pid)

window=$(mainWindow) || fail "the main window never appeared"
clickPort27601 "$window"

record=$(onlyRecord "$work/records") || exit 1

expected=$(printf 'arg=%s\n' "$work/quake/qwsv" +gamedir fortress -port 27601)
actual=$(grep '^arg=' "$record")
[ "$actual" = "$expected" ] || fail "the server got"$'\n'"$actual"$'\n'"instead of"$'\n'"$expected"
grep -qx "cwd=$work/quake" "$record" || fail "the server did not run in the Quake directory"
# Tessaro holds an X connection (and read tessaro.cfg a moment ago): none of it may reach the server.
grep -qx "fds=0,1,2" "$record" || fail "the server inherited $(grep '^fds=' "$record")"
[ "$(xdotool getactivewindow)" = "$window" ] || fail "the launch took the focus away from Tessaro"

# Exit ends the program; the server keeps running.
xdotool key --clearmodifiers alt+x
for _ in $(seq 100); do kill -0 "$tessaro_pid" 2>/dev/null || break; sleep 0.05; done
kill -0 "$tessaro_pid" 2>/dev/null && fail "Exit did not end the program"
kill -0 "$(sed -n 's/^pid=//p' "$record")" || fail "the server ended with the program"
# With no thread to be had (as nobody, for the limit binds root not), Tessaro
# says why and ends, instead of aborting or showing a window that never draws.
mkdir -p "$work/bin" && cp "$tessaro" "$work/bin/" && chmod -R a+rX "$work"
as_user=()
[ "$(id -u)" -eq 0 ] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
status=0
(cd / && QT_QPA_PLATFORM=xcb timeout 20 "${as_user[@]}" prlimit --nproc=1 "$work/bin/tessaro" 2>"$work/stderr") || status=$?
[ "$status" -eq 1 ] || fail "with no thread to spare Tessaro ended with status $status: $(cat "$work/stderr")"
grep -q "the system lets it start no thread" "$work/stderr" || fail "with no thread to spare it said: $(cat "$work/stderr")"
echo "PASS: Alt+O and a click on Port 27601 started exactly the TeamFortress server; no thread to spare is said"
