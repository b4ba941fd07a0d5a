#!/usr/bin/env bash
# Each server in a console window of its own, under a real X server with a
# window manager: one launch opens exactly one new window, iconified, titled
# with the command line as it runs here and with a short icon name, and
# Tessaro stays the active window; what is typed in that console reaches the
# server, and nothing else does; closing the console ends the server, also
# where Tessaro has no descriptor to spare; servers and their consoles
# outlive Tessaro; a console whose server ended says so in its title, its
# icon name and its last line, until closed, whether or not Tessaro still
# runs, and only such consoles answer to `pkill -x tessaro-ended`.  Tessaro
# killed while a console opens leaves neither console nor server.
# Tessaro runs without standard input and output, as a desktop may start it.
#
# usage: e2e_console.sh TESSARO FAKE_QWSV
set -euo pipefail
tessaro=$1
fake_qwsv=$2

work=$(mktemp -d)
pids=()
consoles=()
recorded() { sed -n 's/^pid=//p' "$work"/records/*.record 2>/dev/null; }
cleanup() {
    # The consoles first (their servers go with them), then the servers themselves.
    for pid in "${consoles[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    for pid in $(recorded); do kill -9 "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
waitFor() { for _ in $(seq 100); do eval "$1" && return 0; sleep 0.05; done; return 1; }
# Running: neither gone nor a zombie that nobody has reaped yet.
alive() { case $(ps -o stat= -p "$1" 2>/dev/null) in '' | Z*) return 1 ;; esac; }

command -v xterm >/dev/null || fail "xterm is not installed"

source "$(dirname "$0")/../support/x_session.sh"
startDesktop "$work"
# Ctrl+P has xterm print what its window shows, for lastLine below.
xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "XTerm*printerCommand: cat >$work/screen.part && mv $work/screen.part $work/screen
XTerm*printAttributes: 0
XTerm*printerAutoClose: true
XTerm*VT100.translations: #override Ctrl<Key>p: print-everything()"

mkdir -p "$work/quake" "$work/records" "$work/start"
cp "$fake_qwsv" "$work/quake/qwsv"
printf '%s,fortress,ctf,duel1,duel2,duel3,duel4,arena,requiem\r\n' "$work/quake" > "$work/start/tessaro.cfg"
cd "$work/start"
# startTessaro [COMMAND...]: Tessaro, run through COMMAND, as tessaro_pid.
startTessaro() {
    FAKE_QWSV_RECORD_DIR="$work/records" FAKE_QWSV_MODE=read QT_QPA_PLATFORM=xcb "$@" "$tessaro" <&- >&- 2>&- &
    tessaro_pid=$!
    pids+=($tessaro_pid)
}
# newServer COMMAND...: runs the command that launches a server, prints the server's pid.
newServer() {
    local before
    before=$(recorded | sort)
    "$@"
    waitFor '[ "$(recorded | wc -l)" -gt "$(echo "$before" | grep -c .)" ]' || fail "no server was started"
    recorded | sort | comm -13 <(echo "$before") -
}
consoleOf() { awk '/^PPid:/ { print $2 }' "/proc/$1/status"; }
# windowOf SERVER: the window of the xterm that runs the server's console.
windowOf() {
    local xterm
    xterm=$(consoleOf "$(consoleOf "$1")")
    waitFor '[ -n "$(wmctrl -lp | awk -v p="$xterm" '\''$3 == p'\'')" ]' || fail "server $1 has no console window"
    printf '%d\n' "$(wmctrl -lp | awk -v p="$xterm" '$3 == p { print $1 }')"
}
# lastLine WINDOW: the last line that the console shows.
lastLine() {
    rm -f "$work/screen"
    activate "$1"
    xdotool key --clearmodifiers ctrl+p
    waitFor '[ -e "$work/screen" ]' || fail "xterm printed nothing"
    grep -v '^[[:space:]]*$' "$work/screen" | tail -n 1
}
# endedAs WINDOW PORT HOW: the console of an ended server says so.
endedAs() {
    local ended_window=$1 ended="$2 fortress (ended)" last
    waitFor 'xprop -id "$ended_window" WM_NAME | grep -qF "\"$ended\""' ||
        fail "the console is named $(xprop -id "$ended_window" WM_NAME)"
    xprop -id "$ended_window" WM_ICON_NAME | grep -qF "\"$ended\"" ||
        fail "the console's icon is $(xprop -id "$ended_window" WM_ICON_NAME)"
    last=$(lastLine "$ended_window")
    [ "$last" = "The server on port $2 ended $3." ] || fail "the console's last line is $last"
}

startTessaro
window=$(mainWindow) || fail "the main window never appeared"
for fd in 0 1 2; do
    [ "$(readlink "/proc/$tessaro_pid/fd/$fd")" = /dev/null ] || fail "Tessaro's descriptor $fd is not /dev/null"
done
waitFor 'wmctrl -l >/dev/null 2>&1' || fail "no window manager"
before=$(wmctrl -l | awk '{ print $1 }' | sort)
server=$(newServer clickPort27601 "$window")
record="$work/records/$server.record"
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
# In its console's session, not Tessaro's, with the console's terminal
# controlling it, in the terminal's foreground process group.
go_between=$(consoleOf "$server")
consoles+=("$go_between")
[ "$(cat "/proc/$go_between/comm")" = tessaro-console ] || fail "the server runs under $(cat "/proc/$go_between/comm")"
grep -qx "sid=$go_between" "$record" || fail "the server is not in its console's session"
read -r -a stat <<<"$(sed 's/.*) //' "/proc/$server/stat")"
[ "${stat[2]}" = "${stat[5]}" ] || fail "the server is not in its terminal's foreground process group"
[ "/dev/$(ps -o tty= -p "$server")" = "$(sed -n 's/^stdin=//p' "$record")" ] || fail "its console's terminal does not control the server"

# A command typed into the console reaches the server.
activate "$console"
xdotool type --delay 30 "status"
xdotool key Return
waitFor 'grep -qx status "$work/records/$server.input" 2>/dev/null' || fail "the typed command never reached the server"
[ "$(cat "$work/records/$server.input")" = status ] || fail "the server read $(cat "$work/records/$server.input")"

# Closing the console ends its server, and the console.
wmctrl -i -c "$console"
waitFor '! alive "$server"' || fail "the server outlived its closed console"
waitFor '! alive "$go_between"' || fail "the console outlived its window"

# Four more servers: two end while Tessaro runs, two after it has ended.
servers=() windows=()
for _ in 1 2 3 4; do
    activate "$window"
    server=$(newServer xdotool mousemove --window "$window" 300 92 click 1)   # "Port 27602"
    servers+=("$server")
    consoles+=("$(consoleOf "$server")")
    windows+=("$(windowOf "$server")")
done
line="$work/quake/qwsv +gamedir fortress -port 27602"
kill -SEGV "${servers[0]}"
endedAs "${windows[0]}" 27602 "by signal 11 (Segmentation fault)"
activate "${windows[1]}"
xdotool key --clearmodifiers ctrl+d   # the end of the server's input, on which it exits
endedAs "${windows[1]}" 27602 "with exit status 0"

# A server and its console outlive Tessaro.
activate "$window"
xdotool key --clearmodifiers alt+x
waitFor '! kill -0 "$tessaro_pid" 2>/dev/null' || fail "Exit did not end Tessaro"
sleep 0.5
for i in 2 3; do
    alive "${servers[i]}" || fail "the server ended with Tessaro"
    xprop -id "${windows[i]}" WM_NAME | grep -qF "\"$line\"" || fail "the console ended with Tessaro"
done
kill -SEGV "${servers[2]}"
endedAs "${windows[2]}" 27602 "by signal 11 (Segmentation fault)"

# Every console of an ended server closes by that name, and nothing else:
# pkill as a host runs it, kept to this test's consoles' sessions.
sessions=$(IFS=,; echo "${consoles[*]}")
pkill -x -s "$sessions" tessaro-ended || fail "pkill -x tessaro-ended found no console"
for i in 0 1 2; do
    waitFor '! xprop -id "${windows[i]}" WM_NAME >/dev/null 2>&1' || fail "an ended server's console stayed"
done
alive "${servers[3]}" || fail "pkill -x tessaro-ended ended a running server"
xprop -id "${windows[3]}" WM_NAME | grep -qF "\"$line\"" || fail "pkill -x tessaro-ended closed a running server's console"
# ^C in the console reaches the server, and leaves the console be.
activate "${windows[3]}"
xdotool key --clearmodifiers ctrl+c
endedAs "${windows[3]}" 27602 "by signal 2 (Interrupt)"
wmctrl -i -c "${windows[3]}"
waitFor '! xprop -id "${windows[3]}" WM_NAME >/dev/null 2>&1' || fail "the ended server's console did not close"

# A Tessaro that cannot open another display connection (as few descriptors
# as a red team left it) still gives a console that closes, and ends its server.
# A sanitizer's run-time keeps a pipe of its own for its checks.
files=12
if ldd "$tessaro" | grep -q libasan; then files=14; fi
startTessaro prlimit --nofile=$files
window=$(mainWindow) || fail "the main window never appeared with $files descriptors"
server=$(newServer clickPort27601 "$window")
consoles+=("$(consoleOf "$server")")
console=$(windowOf "$server")
wmctrl -i -c "$console"
waitFor '! alive "$server"' || fail "with $files descriptors, the server outlived its closed console"
waitFor '! xprop -id "$console" WM_NAME >/dev/null 2>&1' || fail "with $files descriptors, the console did not close"
kill "$tessaro_pid"
waitFor '! alive "$tessaro_pid"' || fail "Tessaro did not end"

# Tessaro killed while a slow xterm opens the console: no console, no server.
mkdir "$work/slow"
printf '#!/bin/sh\necho $$ >%s\nsleep 2\nexec %s "$@"\n' "$work/slow/xterm.pid" "$(command -v xterm)" >"$work/slow/xterm"
chmod +x "$work/slow/xterm"
for signal in TERM KILL; do
    rm -f "$work/slow/xterm.pid"
    before=$(recorded | wc -l)
    startTessaro env PATH="$work/slow:$PATH"
    window=$(mainWindow) || fail "the main window never appeared"
    clickPort27601 "$window"
    waitFor '[ -s "$work/slow/xterm.pid" ]' || fail "no console was being opened"
    kill -"$signal" "$tessaro_pid"
    waitFor '! alive "$tessaro_pid"' || fail "SIG$signal did not end Tessaro"
    xterm=$(cat "$work/slow/xterm.pid")
    pids+=("$xterm")
    for _ in 1 2; do waitFor '! alive "$xterm"' && break; done
    ! alive "$xterm" || fail "the console stayed after Tessaro was killed (SIG$signal)"
    [ "$(recorded | wc -l)" -eq "$before" ] || fail "a server started after Tessaro was killed (SIG$signal)"
done
echo "PASS: one iconified console per server, named with its line; typing reaches it, closing ends it; it says how its server ended"
