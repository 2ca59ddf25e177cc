#!/usr/bin/env bash
# Installs the build into a temporary prefix (what `make install PREFIX=P` does) and checks what
# a host developer finds there: the versioned library, only the public headers (and that they
# compile on their own), the CMake package and its version rule, the pkg-config file, the
# program with its man page and bash completion; runs the installed program's demo and paths
# (check-installed-program.sh) and the README's pkg-config example as written. Then builds and
# runs examples/host against the prefix both ways (build-host.sh).
#
# Environment: UTIL_BUILD_DIR, UTIL_SOURCE_DIR, UTIL_VERSION (set by the ctest registration).
set -euo pipefail
build=${UTIL_BUILD_DIR:?} source_dir=${UTIL_SOURCE_DIR:?} version=${UTIL_VERSION:?}
work=$(mktemp -d "${TMPDIR:-/tmp}/util-install-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Where the README installs it, with HOME standing for the reader's home.
home=$work/home
prefix=$home/opt/tessmar
failures=0
fail() { echo "check-install: $*" >&2; failures=$((failures + 1)); }
expect_file() { [[ -f $prefix/$1 ]] || fail "missing $1"; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
    { cat "$work/install.log"; exit 1; }

# The library: real file, SONAME link, development link.
major=${version%%.*}
expect_file "lib/libUtil.so.$version"
[[ $(readlink "$prefix/lib/libUtil.so.$major") == "libUtil.so.$version" ]] ||
    fail "lib/libUtil.so.$major does not link to libUtil.so.$version"
[[ $(readlink "$prefix/lib/libUtil.so") == "libUtil.so.$major" ]] ||
    fail "lib/libUtil.so does not link to libUtil.so.$major"
readelf -d "$prefix/lib/libUtil.so.$version" | grep -q "SONAME.*\[libUtil.so.$major\]" ||
    fail "the SONAME is not libUtil.so.$major"

# Headers: in their own folder, public ones only, and complete (they compile together with the
# prefix as the only include folder of ours).
include=$prefix/include/tessmar-util
expect_file include/tessmar-util/util/ipformat/ip_format.h
leaked=$(cd "$include" && find . -name '*_internal.h' -o -path './util/platform*' \
    -o -path './util/testing*' -o -name '*.cpp')
[[ -z $leaked ]] || fail "internal files installed: $leaked"
[[ $(find "$prefix/include" -mindepth 1 -maxdepth 1) == "$include" ]] ||
    fail "include/ holds more than tessmar-util/"
(cd "$include" && find util -name '*.h' | sort | sed 's/.*/#include "&"/') >"$work/all.cpp"
c++ -std=c++17 -Wall -Wextra -Wpedantic -Werror -fsyntax-only -I"$include" "$work/all.cpp" ||
    fail "the installed headers do not compile on their own"

# CMake package: files, and the version rule (same major version only).
for f in UtilConfig.cmake UtilConfigVersion.cmake UtilTargets.cmake; do
    expect_file "lib/cmake/Util/$f"
done
version_rule() {  # REQUESTED: prints the answer of UtilConfigVersion.cmake
    cat >"$work/version.cmake" <<SCRIPT
set(PACKAGE_FIND_VERSION $1)
string(REGEX MATCH "^[0-9]+" PACKAGE_FIND_VERSION_MAJOR $1)
set(CMAKE_SIZEOF_VOID_P 8)
include("$prefix/lib/cmake/Util/UtilConfigVersion.cmake")
message("\${PACKAGE_VERSION_COMPATIBLE}")
SCRIPT
    cmake -P "$work/version.cmake" 2>&1
}
[[ $(version_rule "$major.0") == TRUE ]] || fail "version $major.0 is not accepted"
[[ $(version_rule "$((major + 1)).0") == FALSE ]] || fail "version $((major + 1)).0 is accepted"
[[ $major -eq 0 || $(version_rule "$((major - 1)).0") == FALSE ]] ||
    fail "version $((major - 1)).0 is accepted"
grep -q "^Version: $version\$" "$prefix/lib/pkgconfig/tessmar-util.pc" ||
    fail "tessmar-util.pc does not give version $version"

# The program reports the library's version and runs from the prefix.
[[ $("$prefix/bin/tessmar-util" --version) == "tessmar-util $version" ]] ||
    fail "tessmar-util --version does not say $version"

# Man page and completion know every subcommand the program lists.
commands=$("$prefix/bin/tessmar-util" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z0-9]*\) .*/\1/p')
[[ $(wc -w <<<"$commands") -ge 10 ]] || fail "too few commands read from --help: $commands"
man=$prefix/share/man/man1/tessmar-util.1
expect_file share/man/man1/tessmar-util.1
completion=$prefix/share/bash-completion/completions/tessmar-util
expect_file share/bash-completion/completions/tessmar-util
completed=$(bash -c '
    source "$1"
    complete() { :; }
    COMP_WORDS=("$2" ""); COMP_CWORD=1; _tessmar_util; echo "${COMPREPLY[*]}"
    COMP_WORDS=("$2" ip ""); COMP_CWORD=2; _tessmar_util; echo "${COMPREPLY[*]}"
    COMP_WORDS=("$2" ip check --j); COMP_CWORD=3; _tessmar_util; echo "${COMPREPLY[*]}"
' - "$completion" "$prefix/bin/tessmar-util")
for command in $commands; do
    grep -qF "tessmar\-util $command" "$man" || fail "the man page does not show '$command'"
    grep -qw -- "$command" <<<"$(head -1 <<<"$completed")" ||
        fail "bash completion does not offer '$command'"
done
[[ $(sed -n 2p <<<"$completed") == "bond check cut same scope" ]] ||
    fail "bash completion of 'ip' offers: $(sed -n 2p <<<"$completed")"
[[ $(sed -n 3p <<<"$completed") == "--json" ]] ||
    fail "bash completion of 'ip check --j' offers: $(sed -n 3p <<<"$completed")"

[[ $failures -eq 0 ]] || exit 1
"$(dirname "$0")/check-installed-program.sh" "$prefix"

# The README's pkg-config example, its commands run as written from a folder that has the
# repository's examples/: the host must start without LD_LIBRARY_PATH and print what the README
# shows (its last line depends on the machine's adapters).
readme_block() {  # N: the Nth fenced block after the heading "Building a host with pkg-config"
    awk -v want="$1" '/^### Building a host with pkg-config/ {found = 1; next}
        found && /^```/ { if (inside) { inside = 0; if (n == want) exit } else { inside = 1; n++ }
                          next }
        found && inside && n == want' "$source_dir/README.md"
}
commands=$(readme_block 1) shown=$(readme_block 2)
[[ $commands == *pkg-config* && -n $shown ]] || { echo "check-install: no pkg-config example in the README" >&2; exit 1; }
mkdir -p "$work/reader" && ln -s "$source_dir/examples" "$work/reader/examples"
printed=$(cd "$work/reader" && env -u LD_LIBRARY_PATH HOME="$home" bash -euo pipefail -c "$commands" 2>&1) ||
    { echo "check-install: the README's pkg-config example fails:"$'\n'"$printed" >&2; exit 1; }
[[ $(head -3 <<<"$printed") == "$(head -3 <<<"$shown")" && $(wc -l <<<"$printed") -eq $(wc -l <<<"$shown") &&
   $(tail -1 <<<"$printed") == "fe80::1: IPv6; with scope ID: fe80::1%"* ]] ||
    { echo "check-install: the README's pkg-config example printed:"$'\n'"$printed"$'\n'"the README shows:"$'\n'"$shown" >&2; exit 1; }

"$(dirname "$0")/build-host.sh" "$prefix" "$work"
