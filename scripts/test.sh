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
#
# What it prints: a few lines per build when all is well (what was built, any
# compiler warning, ctest's totals); a failing build's whole output; every
# failing test's whole output (ctest --output-on-failure) with ctest's list of
# failures. The full logs stay in each build directory: configure.log,
# build.log and ctest.log. The last line gives the totals of both runs.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
started=$SECONDS

. "$root/scripts/packages.sh"
need_packages "The test command" cmake g++ libgtest-dev libgmp-dev libmpfr-dev

if [ $# -eq 0 ]; then
  set -- -LE large
fi

passed_total=0
failed_total=0

# build_and_test TITLE DIR CMAKE_ARGUMENT... -- CTEST_ARGUMENT...
# Configures and builds DIR, then runs ctest there. Returns 1 when a test
# failed; a configure or build failure ends the script.
build_and_test() {
  local title=$1 dir=$2
  shift 2
  local cmake_args=()
  while [ "$1" != -- ]; do
    cmake_args+=("$1")
    shift
  done
  shift
  local t0=$SECONDS
  echo "scripts/test.sh: $title in ${dir#"$root"/}/"
  mkdir -p "$dir"
  if ! cmake -S "$root" -B "$dir" "${cmake_args[@]}" >"$dir/configure.log" 2>&1; then
    cat "$dir/configure.log"
    echo "scripts/test.sh: cmake could not configure ${dir#"$root"/}/ (the output above is in configure.log)"
    exit 1
  fi
  if ! cmake --build "$dir" -j "$(nproc)" >"$dir/build.log" 2>&1; then
    cat "$dir/build.log"
    echo "scripts/test.sh: the build in ${dir#"$root"/}/ failed (the output above is in build.log)"
    exit 1
  fi
  local compiled warnings
  compiled=$(grep -c 'Building CXX object' "$dir/build.log" || true)
  warnings=$(grep -c 'warning:' "$dir/build.log" || true)
  if [ "$compiled" = 0 ]; then
    echo "  build: up to date"
  else
    echo "  build: $compiled files compiled in $((SECONDS - t0)) s, $warnings compiler warnings"
  fi
  if [ "$warnings" != 0 ]; then
    grep 'warning:' "$dir/build.log" | sed 's/^/    /'
    echo "    (the whole build output is in ${dir#"$root"/}/build.log)"
  fi

  t0=$SECONDS
  echo "  tests: ctest --output-on-failure -j $(nproc) $*"
  local status=0
  ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" "$@" >"$dir/ctest.log" 2>&1 || status=$?
  # Everything but the lines of the tests that passed or were skipped (ctest
  # lists the skipped ones again at the end): on success ctest's totals,
  # otherwise also each failing test with its whole output.
  grep -vE '^ *Start +[0-9]+: |^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*( Passed +|\*\*\*Skipped +)[0-9.]+ sec$|^Test project |^Internal ctest changing into directory|^$' \
    "$dir/ctest.log" || true
  echo "  ($((SECONDS - t0)) s; the whole ctest output is in ${dir#"$root"/}/ctest.log)"

  local summary total failed
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$dir/ctest.log" | tail -1 || true)
  if [ -n "$summary" ]; then
    failed=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    passed_total=$((passed_total + total - failed))
    failed_total=$((failed_total + failed))
  elif [ "$status" != 0 ]; then
    failed_total=$((failed_total + 1))   # ctest itself failed (no test matched, a crash)
  fi
  return "$status"
}

release=0
build_and_test "release build" "$root/build" -DCMAKE_BUILD_TYPE=Release -DDRMPI_TESTS=ON -- "$@" || release=$?

sanitized=0
if [ "${DRMPI_SANITIZE:-1}" != 0 ]; then
  # -O1 keeps the sanitized run short; Debug keeps the assertions.
  sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all"
  # A sanitizer stop exits with 86, which no test takes for one of drmpi's own statuses.
  export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:check_initialization_order=1:strict_init_order=1:exitcode=86}"
  export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:exitcode=86}"
  build_and_test "build with AddressSanitizer and UBSan" "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DDRMPI_TESTS=ON \
    -DCMAKE_CXX_FLAGS="-O1 -fno-omit-frame-pointer $sanitize" -DCMAKE_EXE_LINKER_FLAGS="$sanitize" -- "$@" ||
    sanitized=$?
fi

elapsed=$((SECONDS - started))
if [ "$release" != 0 ]; then
  echo "scripts/test.sh: the release tests failed (build/)"
fi
if [ "$sanitized" != 0 ]; then
  echo "scripts/test.sh: the sanitized tests failed (build-asan/)"
fi
echo "scripts/test.sh: $((elapsed / 60)) min $((elapsed % 60)) s"
echo "total: $passed_total passed, $failed_total failed"
if [ "$release" != 0 ] || [ "$sanitized" != 0 ]; then
  exit 1
fi
