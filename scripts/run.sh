#!/usr/bin/env bash
# Builds drmpi (release, in build/) and starts it in the current directory,
# where it writes its output file. Needs only g++ and cmake.
#
# The first run says that it builds, then shows the build's progress; a run
# that finds drmpi up to date shows nothing of the build, and one that finds
# changed sources says so before the build's progress. Its own lines go to
# standard error, so that drmpi's console alone is on standard output.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
log="$(mktemp)"
trap 'rm -f "$log"' EXIT

announced=0
if [ ! -x "$build/drmpi" ]; then
  echo "scripts/run.sh: building drmpi in build/ first; later runs start at once" >&2
  announced=1
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  if ! cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDRMPI_TESTS=OFF >"$log" 2>&1; then
    cat "$log" >&2
    echo "scripts/run.sh: cmake could not configure build/" >&2
    exit 1
  fi
fi

# The build's lines are shown from the first one that compiles or links.
set +e
cmake --build "$build" --target drmpi -j "$(nproc)" 2>&1 | tee "$log" | awk -v shown="$announced" '
  !shown && /Building|Linking/ {
    print "scripts/run.sh: sources changed since the last build: building drmpi in build/"
    shown = 1
  }
  shown {print; fflush()}
' >&2
status=${PIPESTATUS[0]}
set -e
if [ "$status" != 0 ]; then
  grep -qE 'Building|Linking' "$log" || [ "$announced" = 1 ] || cat "$log" >&2
  echo "scripts/run.sh: the build of drmpi failed" >&2
  exit "$status"
fi

rm -f "$log"
trap - EXIT
exec "$build/drmpi"
