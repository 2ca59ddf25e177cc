#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests, the benchmarks and the fuzzers need.
# Idempotent: asks apt only for what is missing, so a second run is quick and changes nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev make pkg-config
  libboost-dev libgtest-dev libgmock-dev libbenchmark-dev
  libssl-dev libspdlog-dev libicu-dev libx11-dev
  xvfb x11-utils iproute2 clang-format
  nlohmann-json3-dev help2man dpkg-dev file lintian binutils jq bash-completion
  python3 gnuplot-nox
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine64 googletest
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get -o DPkg::Lock::Timeout=900 update -qq
$sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
