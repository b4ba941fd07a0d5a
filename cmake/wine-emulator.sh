#!/bin/sh
# Runs a Windows program under Wine for CTest: wine-emulator.sh PROGRAM.exe ARGS...
#
# Wine's output goes to temporary files that are printed once wine has
# returned.  Run directly, the Wine server's helpers (services.exe,
# explorer.exe, conhost.exe) would inherit CTest's output pipe, and CTest
# would wait for them to let go of it after every test.
#
# WINEPREFIX says which prefix to use (scripts/test-windows makes one of its
# own); WINEDEBUG is quiet unless set.
: "${WINEDEBUG:=-all}"
export WINEDEBUG
wine=${TESSARO_WINE:-wine}

out=$(mktemp "${TMPDIR:-/tmp}/tessaro-wine-out.XXXXXX") || exit 125
err=$(mktemp "${TMPDIR:-/tmp}/tessaro-wine-err.XXXXXX") || { rm -f "$out"; exit 125; }
trap 'rm -f "$out" "$err"' EXIT
trap 'exit 130' INT TERM

"$wine" "$@" >"$out" 2>"$err" </dev/null
status=$?
cat "$out"
cat "$err" >&2
exit $status
