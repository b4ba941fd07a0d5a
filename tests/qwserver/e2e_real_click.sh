#!/usr/bin/env bash
# The real program, started from a directory that is not the Quake directory
# (as from a desktop menu), under a real X server, with real QuakeWorld
# servers: a click on "Port 27601" on "Other Mods" must give a server that
# answers on that port with the TeamFortress directory; a second click starts
# a second server, which gives up on the busy port, while the first answers on.
# First without a console (no xterm on the path, so the servers' output can be
# read), then in a console window, as on a desktop with xterm.
#
# usage: e2e_real_click.sh TESSARO MAKE_QUAKE_DIRECTORY
set -euo pipefail
tessaro=$1
make_quake_directory=$2

work=$(mktemp -d)
chmod 755 "$work"
pids=()

servers() {
    # Every process running in our Quake directory: the servers Tessaro started.
    for proc in /proc/[0-9]*; do
        [ "$(readlink "$proc/cwd" 2>/dev/null)" = "$work/quake" ] && echo "${proc#/proc/}"
    done
    return 0
}
cleanup() {
    for pid in $(servers) "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

answer() { quakestat -raw ';' -R -qws "127.0.0.1:$1" 2>/dev/null; }
waitForAnswer() {
    for _ in $(seq 100); do
        reply=$(answer "$1")
        case $reply in *"*gamedir="*) echo "$reply"; return 0 ;; esac
        sleep 0.1
    done
    echo "$reply"
    return 1
}

"$make_quake_directory" "$work/quake" >/dev/null
mkdir -p "$work/menu"
printf '%s,fortress,ctf,duel1,duel2,duel3,duel4,arena,requiem\r\n' "$work/quake" > "$work/menu/tessaro.cfg"

answer 27601 | grep -q DOWN || fail "port 27601 is already served on 127.0.0.1"

source "$(dirname "$0")/../support/x_session.sh"
startDesktop "$work"

# The servers' output goes where Tessaro's goes: a file, never the test's pipe.
cd "$work/menu"
PATH=/nonexistent QT_QPA_PLATFORM=xcb "$tessaro" >"$work/output.log" 2>&1 </dev/null &
tessaro_pid=$!
pids+=($tessaro_pid)

window=$(mainWindow) || fail "the main window never appeared"
click() { clickPort27601 "$window"; }

click
reply=$(waitForAnswer 27601) || fail "no server answered on 27601: $reply"
case $reply in *"*gamedir=fortress"*) ;; *) fail "the server on 27601 runs another mod: $reply" ;; esac
first=$(servers)
[ "$(echo "$first" | wc -w)" -eq 1 ] || fail "one click started: $first"

click
for _ in $(seq 100); do grep -q "allocate server socket" "$work/output.log" && break; sleep 0.05; done
grep -q "allocate server socket" "$work/output.log" || fail "the second server did not report the busy port"
sleep 0.3
[ "$(servers)" = "$first" ] || fail "the second server kept running: $(servers)"
reply=$(waitForAnswer 27601) || fail "the first server stopped answering: $reply"

# In a console window: the same click gives a server that answers, on the
# terminal that the console shows.
xdotool key --clearmodifiers alt+x
for _ in $(seq 100); do kill -0 "$tessaro_pid" 2>/dev/null || break; sleep 0.05; done
for pid in $(servers); do kill -9 "$pid"; done
for _ in $(seq 100); do answer 27601 | grep -q DOWN && break; sleep 0.05; done
if command -v xterm >/dev/null; then
    QT_QPA_PLATFORM=xcb "$tessaro" >/dev/null 2>&1 </dev/null &
    pids+=($!)
    window=$(mainWindow) || fail "the main window never came back"
    click
    reply=$(waitForAnswer 27601) || fail "no server answered from its console: $reply"
    case $reply in *"*gamedir=fortress"*) ;; *) fail "the console's server runs another mod: $reply" ;; esac
    server=$(servers | while read -r pid; do [ "$(cat /proc/$pid/comm)" = mvdsv ] && echo "$pid"; done)
    # The console's go-between started the server, in the xterm that shows it.
    console=$(awk '/^PPid:/ { print $2 }' "/proc/$server/status")
    [ "$(cat "/proc/$console/comm")" = tessaro-console ] || fail "the server was started by $(cat "/proc/$console/comm")"
    xterm=$(awk '/^PPid:/ { print $2 }' "/proc/$console/status")
    [ "$(cat "/proc/$xterm/comm")" = xterm ] || fail "the server's console runs in $(cat "/proc/$xterm/comm"), not xterm"
fi
echo "PASS: a click started a TeamFortress server that answers on 27601; a second click's server gave way"
