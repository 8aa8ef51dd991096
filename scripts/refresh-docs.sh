#!/usr/bin/env bash
# Writes the sample session of README.md ("A sample run") and the example of
# docs/drmpi.1 (OUTPUT FILE) anew from the program itself: builds drmpi
# (release, in build/), runs the README's sample command in a temporary
# directory and puts its console and the first lines of its file into both.
#
#   scripts/refresh-docs.sh
#
# The commands stay as the README's block has them: its "$ printf '...' |
# build/drmpi" line gives the answers and its "$ head -n K RamnDRM?.txt" line
# the number of file lines shown. The test docs_sample_test runs the same
# commands and fails when a block differs from the program in anything but
# the times; this script is how to bring the blocks back in line.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
readme="$root/README.md"
man="$root/docs/drmpi.1"

# The README's sample block: the fenced block after the "## A sample run" heading.
block="$(awk '/^## A sample run/ {s = 1; next} s && /^```/ {if (f) exit; f = 1; next} f' "$readme")"
run_line="$(grep -m1 '^\$ printf ' <<<"$block" || true)"
head_line="$(grep -m1 '^\$ head -n ' <<<"$block" || true)"
if ! [[ "$run_line" =~ ^\$\ printf\ \'([^\']*)\'\ \|\ build/drmpi$ ]]; then
  echo "scripts/refresh-docs.sh: no \"\$ printf '...' | build/drmpi\" line in README.md's sample block" >&2
  exit 1
fi
answers="${BASH_REMATCH[1]}"
if ! [[ "$head_line" =~ ^\$\ head\ -n\ ([0-9]+)\ (RamnDRM[1-3]\.txt)$ ]]; then
  echo "scripts/refresh-docs.sh: no \"\$ head -n K RamnDRM?.txt\" line in README.md's sample block" >&2
  exit 1
fi
lines="${BASH_REMATCH[1]}"
file="${BASH_REMATCH[2]}"

# Build drmpi if needed; keep the build directory's test option as it is.
if [ ! -f "$root/build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DDRMPI_TESTS=OFF >/dev/null
fi
cmake --build "$root/build" --target drmpi -j "$(nproc)" >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# shellcheck disable=SC2059  # the answers are printf's format, as in the README
(cd "$work" && printf "$answers" | "$root/build/drmpi" >console.out)
head -n "$lines" "$work/$file" >"$work/head.out"

# README: the block's two commands, each followed by what it printed.
{
  echo "$run_line"
  cat "$work/console.out"
  echo "$head_line"
  cat "$work/head.out"
} >"$work/readme_block"

# The times are the only part of a run that changes from one run to the next:
# when nothing else differs, both files stay as they are.
mask() { sed 's/Time= *[0-9]*\.[0-9]*/Time=<t>/g'; }
man_now="$(awk '/^\.SH / {s = ($0 == ".SH OUTPUT FILE")} s && /^\.fi$/ {f = 0} f; s && /^\.nf$/ {f = 1}' "$man" |
  sed 's/\\-/-/g; s/\\e/\\/g')"
if [ "$(mask <"$work/readme_block")" = "$(mask <<<"$block")" ] &&
  [ "$(mask <"$work/head.out")" = "$(mask <<<"$man_now")" ]; then
  echo "README.md and docs/drmpi.1 already show what the program prints (times aside): left as they are"
  exit 0
fi
awk -v blockfile="$work/readme_block" '
  /^## A sample run/ {s = 1}
  s == 1 && /^```/ {
    print
    while ((getline line < blockfile) > 0) print line
    s = 2
    next
  }
  s == 2 && /^```/ {s = 3}
  s == 2 {next}
  {print}
  END {if (s != 3) exit 1}
' "$readme" >"$work/README.md"
cat "$work/README.md" >"$readme"

# Man page: the lines between .nf and .fi in OUTPUT FILE, with roff escapes
# for the backslash and the minus sign.
sed 's/\\/\\e/g; s/-/\\-/g' "$work/head.out" >"$work/man_block"
awk -v blockfile="$work/man_block" '
  /^\.SH / {s = ($0 == ".SH OUTPUT FILE") ? 1 : (s == 1 ? 3 : s)}
  s == 1 && /^\.nf$/ {
    print
    while ((getline line < blockfile) > 0) print line
    s = 2
    next
  }
  s == 2 && /^\.fi$/ {s = 3}
  s == 2 {next}
  {print}
  END {if (s != 3) exit 1}
' "$man" >"$work/drmpi.1"
cat "$work/drmpi.1" >"$man"

echo "README.md and docs/drmpi.1: sample of \"printf '$answers' | build/drmpi\" and the first $lines lines of $file"
git -C "$root" --no-pager diff --stat -- README.md docs/drmpi.1 || true
