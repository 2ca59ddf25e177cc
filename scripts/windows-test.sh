#!/usr/bin/env bash
# Runs the Windows test suite (build/windows, or build/windows-x86) under Wine: ctest runs each
# test program through the build's wine-run (its private Wine prefix). Around it this script starts what the
# programs need and stops it again, also when a test fails or the run is interrupted:
#  - an Xvfb on a free display, because Wine creates windows (the window finder's test) only
#    on an X display;
#  - one wineserver for the prefix, kept alive for the whole run so that each test program does
#    not start its own; `wineserver -k` ends it and every Wine process still running at the end.
# Extra arguments go to ctest (for example -R Profile or -L integration).
#
#   scripts/windows-test.sh [--preset windows-x86] [CTEST ARGUMENTS...]
#
# --preset picks the build: windows (x64, build/windows, the default) or windows-x86 (32-bit,
# build/windows-x86, whose prefix is a 32-bit one).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=windows
if [[ ${1:-} == --preset ]]; then
    preset=${2:?windows-test: --preset needs a name}
    shift 2
fi
case $preset in
    windows) build=build/windows ;;
    windows-x86) build=build/windows-x86 ;;
    *) echo "windows-test: unknown preset '$preset' (windows, windows-x86)" >&2; exit 2 ;;
esac
wine_run="$build/wine-run"
[[ -f "$build/CTestTestfile.cmake" ]] || { echo "windows-test: build first (make $preset)" >&2; exit 2; }
if [[ ! -x "$wine_run" ]]; then
    # The configure step found that Wine cannot start this build's programs (a kernel without
    # IA-32 emulation cannot run 32-bit Wine): only the checks that need no Wine are registered.
    echo "windows-test: Wine cannot run the programs of $build on this machine;" \
        "only the checks without Wine run (the export list, the zip and a host built from it)" >&2
    ctest --preset "$preset" "$@"
    exit
fi
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
ctest --preset "$preset" "$@"
