#!/usr/bin/env bash
# Builds drmpi (release) and starts it in the current directory, where it
# writes its output file. Needs only g++ and cmake.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DDRMPI_TESTS=OFF >/dev/null
cmake --build "$root/build" --target drmpi -j "$(nproc)" >/dev/null
exec "$root/build/drmpi"
