#!/usr/bin/env bash
# Installs what the tests need (as root; otherwise prints the apt-get line),
# builds drmpi and its tests, and runs every test but the long "large" ones,
# twice: first the release build (build/), then a build with AddressSanitizer
# and UndefinedBehaviorSanitizer (build-asan/), where the end-to-end tests run
# the sanitized drmpi. Any sanitizer report fails the test that met it, and a
# failure in either run fails the script.
# Extra arguments go to ctest, in both runs, instead of the default selection:
#   scripts/test.sh -L large      the long runs (up to the capacity)
#   scripts/test.sh -R Dialogue   one group
# DRMPI_SANITIZE=0 scripts/test.sh skips the sanitized run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

. "$root/scripts/packages.sh"
need_packages "The test command" cmake g++ libgtest-dev libgmp-dev libmpfr-dev

if [ $# -eq 0 ]; then
  set -- -LE large
fi

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DDRMPI_TESTS=ON
cmake --build "$root/build" -j "$(nproc)"
release=0
ctest --test-dir "$root/build" --output-on-failure -j "$(nproc)" "$@" || release=$?

sanitized=0
if [ "${DRMPI_SANITIZE:-1}" != 0 ]; then
  # -O1 keeps the sanitized run short; Debug keeps the assertions.
  sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all"
  cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DDRMPI_TESTS=ON \
    -DCMAKE_CXX_FLAGS="-O1 -fno-omit-frame-pointer $sanitize" -DCMAKE_EXE_LINKER_FLAGS="$sanitize"
  cmake --build "$root/build-asan" -j "$(nproc)"
  # A sanitizer stop exits with 86, which no test takes for one of drmpi's own statuses.
  export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:check_initialization_order=1:strict_init_order=1:exitcode=86}"
  export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:exitcode=86}"
  ctest --test-dir "$root/build-asan" --output-on-failure -j "$(nproc)" "$@" || sanitized=$?
fi

if [ "$release" != 0 ]; then
  echo "scripts/test.sh: the release tests failed (build/)"
fi
if [ "$sanitized" != 0 ]; then
  echo "scripts/test.sh: the sanitized tests failed (build-asan/)"
fi
if [ "$release" != 0 ] || [ "$sanitized" != 0 ]; then
  exit 1
fi
