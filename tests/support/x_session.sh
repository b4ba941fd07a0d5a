# Sourced by the scripts that drive the real program: an X server of their
# own, on whatever display number is free, with a window manager on it.
#
# startDesktop WORK: exports DISPLAY and appends the X server's and the
# window manager's pids to the caller's array `pids`, for it to kill.
startDesktop() {
    local work=$1
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    pids+=($!)
    exec 3>&-  # nothing started later may hold it
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
    if [ ! -s "$work/display" ]; then
        echo "FAIL: Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=:$(cat "$work/display")
    openbox >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        # The check window comes before the list of what the manager supports.
        xprop -root _NET_SUPPORTED 2>/dev/null | grep -q _NET_ACTIVE_WINDOW && break
        sleep 0.05
    done
}

# mainWindow: waits up to 20 s for Tessaro's main window and prints its id.
mainWindow() {
    local window
    window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tessaro - ' | head -n 1) || return 1
    [ -n "$window" ] && echo "$window"
}

# activate WINDOW: brings WINDOW to the front and waits until it has the
# keyboard.  windowactivate --sync alone is not enough: it gives up waiting
# when the window manager has not yet named any window active, and a client
# that takes the focus itself (Wine) has it only once it answers the manager.
activate() {
    xdotool windowactivate "$1" 2>/dev/null || true  # the wait below says what went wrong
    for _ in $(seq 200); do
        [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ] && [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && return 0
        sleep 0.05
    done
    echo "FAIL: window $1 never took the keyboard" >&2
    return 1
}

# clickPort27601 WINDOW: brings the main window to the front, shows "Other
# Mods" with Alt+O and clicks "Port 27601", placed as the layout places it:
# the tab control's corner, its frame, its place in the frame, half its size.
clickPort27601() {
    activate "$1" || return 1
    xdotool key --clearmodifiers alt+o
    sleep 0.3
    xdotool mousemove --window "$1" 124 124 click 1
}

# onlyRecord DIR: waits up to 10 s for the stand-in server's record in DIR,
# and half a second more for any second one; prints the record's path, or
# says what went wrong and fails unless exactly one server was started.
onlyRecord() {
    local records
    for _ in $(seq 200); do
        ls "$1"/*.record >/dev/null 2>&1 && break
        sleep 0.05
    done
    sleep 0.5
    records=("$1"/*.record)
    [ -e "${records[0]}" ] || { echo "FAIL: no server was started" >&2; return 1; }
    [ ${#records[@]} -eq 1 ] || { echo "FAIL: ${#records[@]} servers were started for one click" >&2; return 1; }
    echo "${records[0]}"
}
