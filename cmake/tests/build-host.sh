#!/usr/bin/env bash
# Builds examples/host against an installed Util in PREFIX, once through the CMake package and
# once through pkg-config, runs both builds and checks that they answer the same, correctly,
# from the library in PREFIX.
#
#   build-host.sh PREFIX WORK_DIR      (UTIL_SOURCE_DIR names the repository)
set -euo pipefail
prefix=$1 work=$2
source_dir=${UTIL_SOURCE_DIR:?}
generator=${UTIL_CMAKE_GENERATOR:-Ninja}
settings=$source_dir/examples/sample-install/Tessmar.ini
# fe80::1 is completed from this machine's adapters, so only its agreement between the two
# builds is checked; the other answers are the same everywhere.
addresses=(192.168.0.10 fe80::1%4 fe80::1)
expected="default language: en-US
192.168.0.10: valid IPv4; with scope ID: 192.168.0.10 (status 1)
fe80::1%4: IPv6; with scope ID: fe80::1%4 (status 2)"

fail() { echo "build-host: $*" >&2; exit 1; }

run_host() {  # PROGRAM: runs it, checks it uses PREFIX's library, prints its answer
    local loaded
    loaded=$(ldd "$1" | sed -n 's/^\s*libUtil\.so\.[0-9]* => \(.*\) (0x.*/\1/p')
    [[ -n $loaded && $(realpath "$loaded") == "$(realpath "$prefix")/lib/libUtil.so."* ]] ||
        fail "$1 does not load libUtil from $prefix: $(ldd "$1" | grep libUtil)"
    "$1" "$settings" "${addresses[@]}" || [[ $? -eq 1 ]] || fail "$1 failed"
}

# 1. CMake: find_package(Util 1 CONFIG REQUIRED) + Tessmar::Util.
cmake -S "$source_dir/examples/host" -B "$work/cmake" -G "$generator" \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_PACKAGE_NO_SYSTEM_PACKAGE_REGISTRY=ON \
    -DCMAKE_CXX_FLAGS="-Wall -Wextra -Wpedantic -Werror" >"$work/cmake.log" 2>&1 ||
    { cat "$work/cmake.log"; fail "configuring the host with the CMake package failed"; }
grep -q "Util_DIR:PATH=$prefix/lib/cmake/Util" "$work/cmake/CMakeCache.txt" ||
    fail "find_package(Util) did not find the package in $prefix"
cmake --build "$work/cmake" >"$work/cmake-build.log" 2>&1 ||
    { cat "$work/cmake-build.log"; fail "building the host with the CMake package failed"; }
with_cmake=$(run_host "$work/cmake/util-host")

# 2. pkg-config: the flags of tessmar-util.pc and nothing else.
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
flags=$(pkg-config --cflags --libs tessmar-util) || fail "pkg-config does not know tessmar-util"
libdir=$(pkg-config --variable=libdir tessmar-util)
mkdir -p "$work/pkgconfig"
# shellcheck disable=SC2086  # the flags are words
c++ -std=c++17 -Wall -Wextra -Wpedantic -Werror "$source_dir/examples/host/host.cpp" \
    -o "$work/pkgconfig/util-host" $flags -Wl,-rpath,"$libdir" ||
    fail "building the host with pkg-config ($flags) failed"
with_pkgconfig=$(run_host "$work/pkgconfig/util-host")

echo "== CMake package build:"
echo "$with_cmake"
echo "== pkg-config build:"
echo "$with_pkgconfig"
[[ $with_cmake == "$with_pkgconfig" ]] || fail "the two builds answer differently"
[[ $with_cmake == "$expected"$'\n'"fe80::1: IPv6; with scope ID: "* ]] ||
    fail "unexpected answer; expected it to begin with:"$'\n'"$expected"
