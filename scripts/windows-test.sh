#!/usr/bin/env bash
# Runs the Windows test suite (build/windows) under Wine: ctest runs each test program through
# build/windows/wine-run (the private Wine prefix). Around it this script starts what the
# programs need and stops it again, also when a test fails or the run is interrupted:
#  - an Xvfb on a free display, because Wine creates windows (the window finder's test) only
#    on an X display;
#  - one wineserver for the prefix, kept alive for the whole run so that each test program does
#    not start its own; `wineserver -k` ends it and every Wine process still running at the end.
# Extra arguments go to ctest (for example -R Profile or -L integration).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/windows
wine_run="$build/wine-run"
[[ -x "$wine_run" ]] || { echo "windows-test: build first (make windows)" >&2; exit 2; }
export WINEPREFIX="$PWD/$build/wine-prefix" WINEDEBUG=-all
# Wine turns Windows file names into Unix ones in the locale's character set; without a UTF-8
# locale (a bare system has none set) names such as "new üñï.txt" cannot be written. C.UTF-8 is
# on every Debian system, whatever the user's own locale.
export LC_ALL=C.UTF-8
wineserver=/usr/lib/wine/wineserver

xvfb_pid=""
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    true
}
trap cleanup EXIT INT TERM

# Xvfb writes the display number it chose to the file descriptor given to -displayfd.
display_file=$(mktemp)
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x768x24 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s "$display_file" ]] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
display=$(tr -d '[:space:]' <"$display_file")
rm -f "$display_file"
[[ -n "$display" ]] || { echo "windows-test: cannot start Xvfb (package xvfb)" >&2; exit 1; }
export DISPLAY=":$display"

# The prefix exists after the build (test discovery ran the programs); make sure of it, then
# keep one server running until cleanup.
"$wine_run" cmd /c exit >/dev/null 2>&1 || true
"$wineserver" -p 2>/dev/null || true  # already running: it stays, now persistent
ctest --preset windows "$@"
