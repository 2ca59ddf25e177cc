#!/usr/bin/env bash
# Builds the three Debian packages from the build (cpack), checks their names, contents and
# dependencies, runs lintian on them (no error allowed), unpacks them with dpkg-deb into a
# temporary root and builds and runs examples/host against that root (build-host.sh).
#
# Environment: UTIL_BUILD_DIR, UTIL_SOURCE_DIR, UTIL_VERSION (set by the ctest registration).
set -euo pipefail
build=${UTIL_BUILD_DIR:?} version=${UTIL_VERSION:?}

# The packaging tools are not part of the base build: without them the test is skipped (exit
# 77, which ctest reports as skipped) and says what to install.
for tool in dpkg-shlibdeps file lintian; do
    command -v "$tool" >/dev/null ||
        { echo "check-deb: skipped: $tool is missing (scripts/install-deps.sh package)"; exit 77; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/util-deb-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "check-deb: $*" >&2; failures=$((failures + 1)); }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
arch=$(dpkg --print-architecture)
declare -A deb
for package in libtessmar-util1 libtessmar-util-dev tessmar-util; do
    deb[$package]=$work/out/${package}_${version}_$arch.deb
    [[ -f ${deb[$package]} ]] || { fail "no package $package"; continue; }
    dpkg-deb -x "${deb[$package]}" "$work/root"
done
[[ $failures -eq 0 ]] || { ls "$work/out" >&2; exit 1; }

# Where each file went, and the dependencies between the packages and on the system.
contents() { dpkg-deb -c "${deb[$1]}" | awk '{print $6}'; }
contains() { contents "$1" | grep -qx "\./$2" || fail "$1 lacks /$2"; }
contains libtessmar-util1 "usr/lib/libUtil.so.$version"
contains libtessmar-util1 "usr/lib/libUtil.so.${version%%.*}"
contains libtessmar-util-dev usr/lib/libUtil.so
contains libtessmar-util-dev usr/include/tessmar-util/util/ipformat/ip_format.h
contains libtessmar-util-dev usr/lib/cmake/Util/UtilConfig.cmake
contains libtessmar-util-dev usr/lib/pkgconfig/tessmar-util.pc
contains tessmar-util usr/bin/tessmar-util
contains tessmar-util usr/share/man/man1/tessmar-util.1.gz
contains tessmar-util usr/share/bash-completion/completions/tessmar-util
contains tessmar-util usr/lib/tessmar-util/sample-install/tessmar-util
contains tessmar-util usr/lib/tessmar-util/sample-install/Tessmar.ini
contents libtessmar-util1 | grep -q 'include/\|bin/' && fail "libtessmar-util1 holds more than the library"
depends() { dpkg-deb -f "${deb[$1]}" Depends; }
depends libtessmar-util-dev | grep -q "libtessmar-util1 (= $version)" ||
    fail "libtessmar-util-dev does not depend on libtessmar-util1 (= $version): $(depends libtessmar-util-dev)"
depends tessmar-util | grep -q "libtessmar-util1 (= $version)" ||
    fail "tessmar-util does not depend on libtessmar-util1 (= $version): $(depends tessmar-util)"
for package in libtessmar-util1 tessmar-util; do
    depends $package | grep -q 'libc6 (>=' || fail "$package: no computed libc6 dependency"
    depends $package | grep -q 'libstdc++6 (>=' || fail "$package: no computed libstdc++6 dependency"
done

# lintian: errors fail the test; warnings are shown.
lintian --tag-display-limit 0 "${deb[@]}" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
grep -q '^E: ' "$work/lintian.log" && fail "lintian reports errors"

[[ $failures -eq 0 ]] || exit 1
"$(dirname "$0")/check-installed-program.sh" "$work/root/usr"
"$(dirname "$0")/build-host.sh" "$work/root/usr" "$work"
