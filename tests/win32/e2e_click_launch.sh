#!/usr/bin/env bash
# Tessaro.exe under Wine, on an X server of its own with a window manager:
# Alt+O, then a real mouse click on "Port 27601" where the layout puts it.
# The stand-in qwsv.exe must receive exactly the TeamFortress line in the
# Quake directory while Tessaro's window stays the active one; Exit then ends
# Tessaro and leaves the server running.
#
# usage: e2e_click_launch.sh TESSARO_EXE STAND_IN_EXE
# Runs in the caller's WINEPREFIX and ends its Wine server when done, so
# nothing else may run in that prefix meanwhile (CTest: RUN_SERIAL).
set -euo pipefail
tessaro=$1
stand_in=$2

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    wineserver -k 2>/dev/null || true  # the stand-in, its console, and Wine's own helpers
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

source "$(dirname "$0")/../support/x_session.sh"
startDesktop "$work"
# Wine's helpers belong to the display they were started on: start afresh here.
wineserver -k 2>/dev/null || true

mkdir -p "$work/quake" "$work/records" "$work/start"
cp "$stand_in" "$work/quake/qwsv.exe"
windows() { printf 'Z:%s' "${1//\//\\}"; }
printf '%s,fortress,ctf,duel1,duel2,duel3,duel4,arena,requiem\r\n' "$(windows "$work/quake")" > "$work/start/tessaro.cfg"

cd "$work/start"
TESSARO_RECORD_DIR=$(windows "$work/records") wine "$tessaro" >"$work/wine.log" 2>&1 &
tessaro_pid=$!
pids+=($tessaro_pid)

window=$(mainWindow) || fail "the main window never appeared"
clickPort27601 "$window"

record=$(onlyRecord "$work/records") || exit 1

quake=$(windows "$work/quake")
expected=$(printf 'arg=%s\n' "${quake//\\/\\\\}\\\\qwsv" +gamedir fortress -port 27601)
actual=$(grep '^arg=' "$record" | tr -d '\r')
[ "$actual" = "$expected" ] || fail "the server got"$'\n'"$actual"$'\n'"instead of"$'\n'"$expected"
grep -qxF "cwd=${quake//\\/\\\\}" "$record" || fail "the server did not run in the Quake directory: $(grep '^cwd=' "$record")"
grep -qx "show_window=7" "$record" || fail "the server's window was not opened minimised without activation"
[ "$(xdotool getactivewindow)" = "$window" ] || fail "the launch took the focus away from Tessaro"

# Exit ends the program; the server keeps running.
xdotool key --clearmodifiers alt+x
for _ in $(seq 100); do kill -0 "$tessaro_pid" 2>/dev/null || break; sleep 0.05; done
kill -0 "$tessaro_pid" 2>/dev/null && fail "Exit did not end the program"
pgrep -f "${work##*/}.quake.qwsv " >/dev/null || fail "the server ended with the program"
echo "PASS: Alt+O and a click on Port 27601 started exactly the TeamFortress server"
