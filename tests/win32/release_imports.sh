#!/usr/bin/env bash
# The release Tessaro.exe may import only libraries that Windows takes from
# the system itself, whatever lies beside the program: the known system
# libraries, and Common Controls 6, which the manifest binds to the system's
# side-by-side copy.  Any other one it loads from the system folder at run
# time, once it has narrowed every library search to that folder with
# SetDefaultDllDirectories, whose name is in the file whether imported or
# looked up.
#
# usage: release_imports.sh TESSARO_EXE
set -euo pipefail
exe=$1

libraries=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ -n "$libraries" ] || { echo "FAIL: no import table in $exe" >&2; exit 1; }
status=0
if others=$(grep -vixE '(comctl32|gdi32|kernel32|msvcrt|user32)\.dll' <<<"$libraries"); then
    echo "FAIL: $exe imports" $others "which Windows would look for beside the program first" >&2
    status=1
fi
if ! x86_64-w64-mingw32-strings -a "$exe" | grep -x SetDefaultDllDirectories >/dev/null; then
    echo "FAIL: $exe neither imports nor looks up SetDefaultDllDirectories" >&2
    status=1
fi
[ $status = 0 ] && echo "PASS: $exe imports only" $libraries
exit $status
