#!/usr/bin/env bash
# Builds the Windows zip from the Windows build (cpack), checks its layout, unpacks it and builds
# examples/host with the cross compiler against the unpacked tree through the CMake package,
# then runs the host and the program under Wine.
#
# Environment (set by the ctest registration): UTIL_BUILD_DIR, UTIL_SOURCE_DIR, UTIL_VERSION,
# UTIL_CMAKE_GENERATOR, UTIL_TOOLCHAIN_FILE (the mingw-w64 toolchain), UTIL_WINE_RUN (runs a
# Windows program under Wine; empty where Wine cannot run the build's programs: then the host is
# built but not run, and the script exits 77, skipped), UTIL_PACKAGE_FILE_NAME (the zip's name without .zip: -win64 or
# -win32 for the build's architecture).
set -euo pipefail
build=${UTIL_BUILD_DIR:?} source_dir=${UTIL_SOURCE_DIR:?} version=${UTIL_VERSION:?}
toolchain=${UTIL_TOOLCHAIN_FILE:?} wine_run=${UTIL_WINE_RUN:-} zip_name=${UTIL_PACKAGE_FILE_NAME:?}
generator=${UTIL_CMAKE_GENERATOR:-Ninja}
work=$(mktemp -d "${TMPDIR:-/tmp}/util-zip-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "check-zip: $*" >&2; failures=$((failures + 1)); }

cpack --config "$build/CPackConfig.cmake" -G ZIP -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
zip=$work/out/$zip_name.zip
[[ -f $zip ]] || { ls "$work/out" >&2; echo "check-zip: no $zip" >&2; exit 1; }
root=$work/root
mkdir -p "$root"
(cd "$root" && cmake -E tar xf "$zip")
for f in bin/Util.dll bin/tessmar-util.exe lib/libUtil.dll.a \
    include/tessmar-util/util/ipformat/ip_format.h lib/cmake/Util/UtilConfig.cmake \
    lib/cmake/Util/UtilConfigVersion.cmake lib/pkgconfig/tessmar-util.pc; do
    [[ -f $root/$f ]] || fail "the zip lacks $f"
done
leaked=$(cd "$root" && find . -name '*_internal.h' -o -path '*/util/platform*' -o -path '*/util/testing*')
[[ -z $leaked ]] || fail "internal files in the zip: $leaked"
[[ $failures -eq 0 ]] || exit 1

# A MinGW host brings Boost's headers as Boost::boost, seeing only the boost/ folder (the build
# machine's /usr/include would shadow the Windows headers).
mkdir -p "$work/boost-include"
ln -s /usr/include/boost "$work/boost-include/boost"
cat >"$work/boost.cmake" <<SCRIPT
add_library(Boost::boost INTERFACE IMPORTED)
set_target_properties(Boost::boost PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "$work/boost-include" INTERFACE_COMPILE_DEFINITIONS BOOST_ALL_NO_LIB)
SCRIPT
cmake -S "$source_dir/examples/host" -B "$work/host" -G "$generator" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DUtil_DIR="$root/lib/cmake/Util" -DCMAKE_PROJECT_INCLUDE="$work/boost.cmake" \
    -DCMAKE_EXE_LINKER_FLAGS="-static" \
    -DCMAKE_CXX_FLAGS="-Wall -Wextra -Wpedantic -Werror" >"$work/host.log" 2>&1 ||
    { cat "$work/host.log"; echo "check-zip: configuring the host failed" >&2; exit 1; }
cmake --build "$work/host" >"$work/host-build.log" 2>&1 ||
    { cat "$work/host-build.log"; echo "check-zip: building the host failed" >&2; exit 1; }
# Windows finds a DLL beside the program that loads it.
cp "$root/bin/Util.dll" "$work/host/"
if [[ -z $wine_run ]]; then
    echo "check-zip: $zip_name.zip and the host built against it are fine; Wine cannot run" \
        "this build's programs here, so the host is not run (skipped)"
    exit 77
fi

windows_path() { echo "Z:${1//\//\\}"; }
answer=$("$wine_run" "$work/host/util-host.exe" \
    "$(windows_path "$source_dir/examples/sample-install/Tessmar.ini")" 192.168.0.10 fe80::1%4 |
    tr -d '\r')
echo "== host built with the cross compiler against the zip, run under Wine:"
echo "$answer"
expected="default language: en-US
192.168.0.10: valid IPv4; with scope ID: 192.168.0.10 (status 1)
fe80::1%4: IPv6; with scope ID: fe80::1%4 (status 2)"
[[ $answer == "$expected" ]] || fail "the host answers differently; expected:"$'\n'"$expected"
program_version=$("$wine_run" "$root/bin/tessmar-util.exe" --version | tr -d '\r')
[[ $program_version == "tessmar-util $version" ]] ||
    fail "tessmar-util.exe --version says '$program_version'"
[[ $failures -eq 0 ]]
