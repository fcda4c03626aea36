#!/usr/bin/env bash
# Makes sure every Debian package the build and the tests need is installed.
# As root it installs what is missing with apt-get; otherwise it prints the
# exact install line and fails.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libboost-context-dev libtinyxml2-dev
  clang-format binutils
  # The Windows build: the mingw-w64 cross compiler (posix threads variant),
  # GoogleTest's sources to build for it, and Wine to run what it makes.
  g++-mingw-w64-x86-64-posix googletest wine wine64
  # The replay page is tested in a real browser, driven by a Python script.
  chromium chromium-driver python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "setup: missing packages; install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
