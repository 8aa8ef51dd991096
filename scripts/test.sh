#!/usr/bin/env bash
# Installs what the tests need (as root; otherwise prints the apt-get line),
# builds drmpi and its tests, and runs every test but the long "large" ones.
# Extra arguments go to ctest instead of the default selection, for example
#   scripts/test.sh -L large      the long runs (up to the capacity)
#   scripts/test.sh -R Dialogue   one group
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(cmake g++ libgtest-dev libgmp-dev libmpfr-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" = 0 ]; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
  else
    echo "The tests need these Debian packages. Install them with:"
    echo "  sudo apt-get install -y ${missing[*]}"
    exit 1
  fi
fi

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DDRMPI_TESTS=ON
cmake --build "$root/build" -j "$(nproc)"
if [ $# -eq 0 ]; then
  set -- -LE large
fi
ctest --test-dir "$root/build" --output-on-failure -j "$(nproc)" "$@"
