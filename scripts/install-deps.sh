#!/usr/bin/env bash
# Installs the Debian packages of the named groups (default: base). Each make target asks only
# for its own groups, so `make demo` does not bring in Wine, mingw-w64 or clang.
#
#   scripts/install-deps.sh [GROUP...]
#     GROUP: base test package windows windows-x86 fuzz bench format all
#
#   base     the Linux build and the demo: compiler, CMake, Ninja, GoogleTest, Boost, the
#            libraries the build uses, help2man for the man page made with the program
#   test     what the test suite runs beside the build: Xvfb (window finder), iproute2 (network
#            namespaces)
#   package  the Debian packages and their checks: dpkg-dev, file, lintian
#   windows  the mingw-w64 cross compiler, GoogleTest's sources, Wine, Xvfb
#   windows-x86  the same for 32-bit Windows: the i686 cross compiler and 32-bit Wine (wine32,
#            an i386 package: dpkg's i386 architecture is added first when it is missing)
#   fuzz     clang with its sanitizer and libFuzzer runtimes
#   bench    Google Benchmark, the anchors (OpenSSL, spdlog, ICU), Python and gnuplot for reports
#   format   clang-format
#
# Idempotent: asks apt only for what is missing, so a second run is quick and changes nothing.
# apt's own progress and errors are shown.
set -euo pipefail

group_packages() {
  case $1 in
    base) echo cmake ninja-build g++ make pkg-config libboost-dev libgtest-dev libgmock-dev \
               nlohmann-json3-dev libx11-dev help2man ;;
    test) echo xvfb iproute2 ;;
    package) echo dpkg-dev file lintian ;;
    windows) echo g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix googletest libboost-dev \
                  wine64 xvfb ;;
    windows-x86) echo g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix googletest libboost-dev \
                      wine32:i386 xvfb ;;
    fuzz) echo clang libclang-rt-14-dev ;;
    bench) echo libbenchmark-dev libssl-dev libspdlog-dev libicu-dev python3 gnuplot-nox ;;
    format) echo clang-format ;;
    all) for g in base test package windows windows-x86 fuzz bench format; do group_packages "$g"; done ;;
    *) return 1 ;;
  esac
}

[[ $# -gt 0 ]] || set -- base
packages=()
for group in "$@"; do
  words=$(group_packages "$group") || {
    echo "install-deps: unknown group '$group' (base test package windows windows-x86 fuzz bench format all)" >&2
    exit 2
  }
  read -r -a more <<<"$(tr '\n' ' ' <<<"$words")"
  packages+=("${more[@]}")
done

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" || " ${missing[*]} " == *" $p "* ]] || missing+=("$p")
done

[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "install-deps ($*): installing ${missing[*]}" >&2
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
# Packages of another architecture (wine32:i386) need that architecture in dpkg, and apt's lists
# for it; both are done once, the first time such a package is missing.
for p in "${missing[@]}"; do
  [[ $p == *:* ]] || continue
  arch=${p##*:}
  if ! dpkg --print-foreign-architectures | grep -qx "$arch" &&
     [[ $(dpkg --print-architecture) != "$arch" ]]; then
    echo "install-deps: adding dpkg architecture $arch" >&2
    $sudo dpkg --add-architecture "$arch"
    $sudo apt-get -o DPkg::Lock::Timeout=900 update -q >/dev/null ||
      { echo "install-deps: apt-get update failed" >&2; exit 1; }
  fi
done
# Progress: one line per package apt unpacks and sets up; apt's warnings and errors (standard
# error) come through as they are.
set +e
$sudo apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends "${missing[@]}" |
  grep --line-buffered -E '^(Unpacking|Setting up)|newly installed'
status=${PIPESTATUS[0]}
set -e
[[ $status -eq 0 ]] || { echo "install-deps: apt-get install failed (exit $status)" >&2; exit 1; }
