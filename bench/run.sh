#!/usr/bin/env bash
# The benchmark, in one command: builds drmpi and the peers (GMP Chudnovsky
# binary splitting, MPFR's mpfr_const_pi, CLN's pi() where libcln is
# installed), times them side by side on the same job (decimal digits of Pi
# to a file, one thread), and prints medians, ratios, drmpi's time by stage and
# the rounding error at the capacity of three bases. Then it times every
# program from 10^4 digits to drmpi's capacity and draws the chart
# bench/results/time_vs_digits.png (with gnuplot, where installed).
#
#   bench/run.sh            # 5 runs per program at 10^6 digits, 3 per chart point
#   RUNS=9 bench/run.sh     # more runs
# Run it on a quiet machine: the figures are wall-clock times.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs=${RUNS:-5}
build="$root/build-bench"
results="$root/bench/results"
mkdir -p "$results"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDRMPI_TESTS=OFF -DDRMPI_BENCH=ON >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

peers=()
for p in gmp_chudnovsky mpfr_pi cln_pi; do
  [ -x "$build/bench/$p" ] && peers+=("$p")
done

# Wall-clock seconds of one run of a program on n decimal digits.
run_once() {
  local prog=$1 n=$2 start end
  start=$(date +%s%N)
  if [ "$prog" = drmpi ]; then
    printf '10\n0\n1\n%s\n' "$n" | "$build/drmpi" >/dev/null
  else
    "$build/bench/$prog" "$n" "$work/$prog.txt"
  fi
  end=$(date +%s%N)
  echo "scale=4; ($end - $start) / 1000000000" | bc
}

median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

# Times every program k times on n digits, interleaved; leaves medians in med[].
declare -A med
measure() {
  local n=$1 k=$2 prog i
  declare -A all
  for i in $(seq "$k"); do
    for prog in drmpi "${peers[@]}"; do all[$prog]+="$(run_once "$prog" "$n") "; done
  done
  for prog in drmpi "${peers[@]}"; do med[$prog]=$(echo "${all[$prog]}" | tr ' ' '\n' | grep . | median); done
}

echo "drmpi benchmark, $(date -u +%Y-%m-%d), $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'), $(nproc) cores"
echo
n=1000000
measure "$n" "$runs"
# The programs must agree on the digits: drmpi's file against GMP's.
if [ -f "$work/gmp_chudnovsky.txt" ]; then
  ours=$(sed -n '/Pi =/,$p' "$work/RamnDRM1.txt" | sed '1s/.*Pi = 3\.//; s/^ *[0-9]* //' | tr -d ' \n')
  theirs=$(sed 's/^3\.//' "$work/gmp_chudnovsky.txt" | tr -d '\n' | cut -c "1-$n")
  [ "$ours" = "$theirs" ] && agree="the same $n digits as GMP" || agree="DIGITS DIFFER FROM GMP"
else
  agree="no GMP peer to compare digits with"
fi
printf '%s decimal digits of Pi to a file, median of %s runs (drmpi: %s)\n\n' "$n" "$runs" "$agree"
printf '| program | median time (s) | drmpi / program |\n|---|---|---|\n'
for prog in drmpi "${peers[@]}"; do
  printf '| %s | %.3f | %.2f |\n' "$prog" "${med[$prog]}" "$(echo "scale=4; ${med[drmpi]} / ${med[$prog]}" | bc)"
done
echo

echo "drmpi by stage, base 10, ID 1, N = $n:"
"$build/bench/stage_bench" 10 0 1 "$n"
echo

# What the product checks cost: the same run in-process with and without them.
checked=() unchecked=()
for i in $(seq "$runs"); do
  checked+=("$("$build/bench/stage_bench" 10 0 1 "$n" | awk '/whole run/ {print $3}')")
  unchecked+=("$("$build/bench/stage_bench_unchecked" 10 0 1 "$n" | awk '/whole run/ {print $3}')")
done
with=$(printf '%s\n' "${checked[@]}" | median)
without=$(printf '%s\n' "${unchecked[@]}" | median)
printf 'Product checks at N = %s: %.3f s with, %.3f s without (median of %s): %+.1f%%\n' "$n" "$with" "$without" \
  "$runs" "$(echo "scale=4; ($with - $without) * 100 / $without" | bc)"
for request in "10 1310700" "26 1048560"; do
  set -- $request
  printf '  base %-3s N = %-8s %s\n' "$1" "$2" "$("$build/bench/stage_bench" "$1" 0 1 "$2" | grep 'products checked')"
done
echo

echo "Rounding error at the capacity (ID 1):"
for request in "10 1310700" "26 1048560" "62 786420"; do
  set -- $request
  line=$(printf '%s\n0\n1\n%s\n' "$1" "$2" | "$build/drmpi" | grep 'Total Time')
  printf '  base %-3s N = %-8s %s\n' "$1" "$2" "$(echo "$line" | sed 's/^ *//')"
done
echo

echo "Time against digits (median of 3 runs each):"
data="$results/time_vs_digits.dat"
printf '# digits drmpi %s\n' "${peers[*]}" > "$data"
for n in 10000 30000 100000 300000 1000000 1310700; do
  measure "$n" 3
  line="$n ${med[drmpi]}"
  for prog in "${peers[@]}"; do line+=" ${med[$prog]}"; done
  echo "$line" >> "$data"
  echo "  $line"
done
if command -v gnuplot >/dev/null; then
  {
    echo "set terminal png size 800,500; set output '$results/time_vs_digits.png'"
    echo "set logscale xy; set grid; set key left top"
    echo "set xlabel 'decimal digits'; set ylabel 'seconds (wall clock)'"
    echo "set title 'Pi to a file, one thread'"
    printf "plot '%s' using 1:2 with linespoints lw 2 title 'drmpi' noenhanced" "$data"
    col=3
    for prog in "${peers[@]}"; do
      printf ", '%s' using 1:%d with linespoints title '%s' noenhanced" "$data" "$col" "$prog"
      col=$((col + 1))
    done
    echo
  } | gnuplot
  echo "Chart: $results/time_vs_digits.png"
else
  echo "(gnuplot not installed: no chart; the figures are in $data)"
fi
