#!/usr/bin/env bash
# The benchmark, in one command: installs what it needs (as root; otherwise
# prints the apt-get line), builds drmpi and its peers, and times them on the
# same job: Pi to N decimal digits written to a file, one thread, whole
# processes. The peers: GMP (a Chudnovsky binary splitting with mpz), MPFR
# (mpfr_const_pi and mpfr_get_str), CLN (pi() printed in decimal) and Arb
# (arb_const_pi and arb_get_str).
#
# For every N from 10^4 to drmpi's decimal capacity 1,310,700, each program
# runs RUNS times, alternated round by round; the table gives the medians and
# drmpi / the fastest peer, with the range of that ratio over the rounds.
# Every peer's digits are compared with drmpi's at every N. Then drmpi's time
# by stage, what the product checks cost, and the rounding error at the
# capacity of bases 3, 10 (IDs 1 to 3), 26 and 62. Last, the chart of time
# against digits (gnuplot).
#
#   bench/run.sh                   results in build-bench/results/ (not tracked)
#   bench/run.sh --refresh-readme  the same, then copies the chart, its data
#                                  and this output (report.md) to bench/results/
#                                  and puts the output into README.md's Figures,
#                                  between its two bench/run.sh markers
#   RUNS=9 bench/run.sh            rounds per N (default 5)
#
# Everything it prints also goes to results/report.md. Run it on a quiet
# machine: the figures are wall-clock times. It exits with 1 when a peer's
# digits differ from drmpi's.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
refresh=0
case "${1:-}" in
  --refresh-readme) refresh=1 ;;
  "") ;;
  *)
    echo "usage: bench/run.sh [--refresh-readme]" >&2
    exit 2
    ;;
esac

. "$root/scripts/packages.sh"
need_packages "The benchmark" cmake g++ bc gnuplot-nox libgmp-dev libmpfr-dev libcln-dev libflint-arb-dev libflint-dev

runs=${RUNS:-5}
started=$SECONDS
build="$root/build-bench"
results="$build/results"
mkdir -p "$results"

log="$results/build.log"
if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDRMPI_TESTS=OFF -DDRMPI_BENCH=ON &&
  cmake --build "$build" -j "$(nproc)"; } >"$log" 2>&1; then
  cat "$log"
  echo "bench/run.sh: the build in build-bench/ failed (the output above is in $log)"
  exit 1
fi

peers=()
for p in gmp_chudnovsky mpfr_pi cln_pi arb_pi; do
  [ -x "$build/bench/$p" ] && peers+=("$p")
done
programs=(drmpi "${peers[@]}")
sizes=(10000 30000 100000 300000 1000000 1310700)
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# Runs one program on n decimal digits in $work; leaves its wall-clock
# microseconds in $elapsed. drmpi reads its answers from a file written
# before the clock starts: a pipe from printf would add a forked shell to its
# time that no peer has.
run_once() {
  local prog=$1 n=$2 start end
  [ "$prog" = drmpi ] && printf '10\n0\n1\n%s\n' "$n" >"$work/answers"
  start=${EPOCHREALTIME/./}
  if [ "$prog" = drmpi ]; then
    "$build/drmpi" <"$work/answers" >/dev/null || { echo "bench/run.sh: drmpi failed at N = $n" >&2; exit 1; }
  else
    "$build/bench/$prog" "$n" "$work/$prog.txt" || { echo "bench/run.sh: $prog failed at N = $n" >&2; exit 1; }
  fi
  end=${EPOCHREALTIME/./}
  elapsed=$((end - start))
}

# Seconds with four decimals (a tenth of a millisecond) from microseconds.
sec() { printf '%d.%04d' $(($1 / 1000000)) $(($1 % 1000000 / 100)); }
# a / b with two decimals.
ratio() { echo "scale=2; $1 / $2" | bc | sed 's/^\./0./'; }
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

# The digits after the point that a program wrote for n digits.
drmpi_digits() { sed -n '/Pi =/,$p' "$work/RamnDRM1.txt" | sed '1s/.*Pi = 3\.//; s/^ *[0-9]* //' | tr -d ' \n'; }
peer_digits() { sed 's/^3\.//; s/L0$//' "$work/$1.txt" | tr -d '\n' | cut -c "1-$2"; }

declare -A med low high
declare -A ratio_low ratio_high
differ=()

machine="$(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'), $(nproc) cores"
system="$(. /etc/os-release && echo "$PRETTY_NAME"), g++ $(g++ -dumpfullversion)"

report() {
  echo "Printed by \`bench/run.sh$([ "$refresh" = 1 ] && echo ' --refresh-readme')\` (RUNS=$runs) on $(date -u +%Y-%m-%d):" \
    "$machine, $system; load average $(cut -d' ' -f1-3 /proc/loadavg) at the start."
  echo
  echo "Pi to N decimal digits written to a file, one thread, whole processes, wall-clock"
  echo "seconds. Each N: $runs rounds, every program once per round; the medians. The last"
  echo "column is drmpi / the fastest peer's median, and in brackets the lowest and highest"
  echo "of that ratio over the rounds (drmpi against the fastest peer of the same round)."
  echo "drmpi: base 10, ID 1 (Chudnovsky); gmp_chudnovsky: GMP, mpz binary splitting;"
  echo "mpfr_pi: mpfr_const_pi and mpfr_get_str; cln_pi: CLN, pi() printed in decimal;"
  echo "arb_pi: arb_const_pi and arb_get_str."
  echo

  local n i j k prog t fastest best
  for n in "${sizes[@]}"; do
    declare -A times=()
    local round_ratios=()
    for i in $(seq "$runs"); do
      declare -A this_round=()
      # A different program starts each round.
      for j in "${!programs[@]}"; do
        k=$(((j + i) % ${#programs[@]}))
        prog=${programs[$k]}
        run_once "$prog" "$n"
        times[$prog]+="$elapsed "
        this_round[$prog]=$elapsed
      done
      best=
      for prog in "${peers[@]}"; do
        if [ -z "$best" ] || [ "${this_round[$prog]}" -lt "$best" ]; then best=${this_round[$prog]}; fi
      done
      [ -n "$best" ] && round_ratios+=("$(ratio "${this_round[drmpi]}" "$best")")
      # The programs must agree on the digits: every peer's against drmpi's.
      if [ "$i" = 1 ]; then
        local ours
        ours=$(drmpi_digits)
        [ "${#ours}" = "$n" ] || differ+=("drmpi wrote ${#ours} digits for N = $n")
        for prog in "${peers[@]}"; do
          [ "$(peer_digits "$prog" "$n")" = "$ours" ] || differ+=("$prog at N = $n")
        done
      fi
    done
    for prog in "${programs[@]}"; do
      med[$prog,$n]=$(tr ' ' '\n' <<<"${times[$prog]}" | grep . | median)
      low[$prog,$n]=$(tr ' ' '\n' <<<"${times[$prog]}" | grep . | sort -n | head -1)
      high[$prog,$n]=$(tr ' ' '\n' <<<"${times[$prog]}" | grep . | sort -n | tail -1)
    done
    if [ ${#round_ratios[@]} -gt 0 ]; then
      ratio_low[$n]=$(printf '%s\n' "${round_ratios[@]}" | sort -n | head -1)
      ratio_high[$n]=$(printf '%s\n' "${round_ratios[@]}" | sort -n | tail -1)
    fi
    unset times
  done

  printf '| N | %s | fastest peer | drmpi / fastest (lowest-highest round) |\n' "$(printf '%s | ' "${programs[@]}" | sed 's/ | $//')"
  printf '|---|%s---|---|\n' "$(printf -- '---|%.0s' "${programs[@]}")"
  for n in "${sizes[@]}"; do
    fastest=
    for prog in "${peers[@]}"; do
      if [ -z "$fastest" ] || [ "${med[$prog,$n]}" -lt "${med[$fastest,$n]}" ]; then fastest=$prog; fi
    done
    printf '| %s |' "$n"
    for prog in "${programs[@]}"; do printf ' %s |' "$(sec "${med[$prog,$n]}")"; done
    if [ -n "$fastest" ]; then
      printf ' %s | %s (%s-%s) |\n' "$fastest" "$(ratio "${med[drmpi,$n]}" "${med[$fastest,$n]}")" \
        "${ratio_low[$n]}" "${ratio_high[$n]}"
    else
      printf ' none | |\n'
    fi
  done
  echo
  echo "The lowest and the highest time of each program over the $runs rounds (seconds):"
  echo
  printf '| N | %s |\n' "$(printf '%s | ' "${programs[@]}" | sed 's/ | $//')"
  printf '|---|%s\n' "$(printf -- '---|%.0s' "${programs[@]}")"
  for n in "${sizes[@]}"; do
    printf '| %s |' "$n"
    for prog in "${programs[@]}"; do printf ' %s-%s |' "$(sec "${low[$prog,$n]}")" "$(sec "${high[$prog,$n]}")"; done
    echo
  done
  echo
  if [ ${#differ[@]} -eq 0 ]; then
    echo "Digits: at every N every peer wrote the same N digits as drmpi."
  else
    echo "DIGITS DIFFER: ${differ[*]}"
  fi
  echo

  # The chart's data: the medians in seconds, one line per N.
  {
    echo "# digits ${programs[*]} (median seconds of $runs rounds; bench/run.sh, $(date -u +%Y-%m-%d))"
    for n in "${sizes[@]}"; do
      line=$n
      for prog in "${programs[@]}"; do line+=" $(sec "${med[$prog,$n]}")"; done
      echo "$line"
    done
  } >"$results/time_vs_digits.dat"

  local m=1000000
  echo "drmpi's time by stage, base 10, ID 1, N = $m (bench/stage_bench, in one process):"
  echo
  echo '```'
  (cd "$work" && "$build/bench/stage_bench" 10 0 1 "$m")
  echo '```'
  echo

  # What the product checks cost: the same run in-process with and without them.
  local checked=() unchecked=() with without request
  for i in $(seq "$runs"); do
    checked+=("$(cd "$work" && "$build/bench/stage_bench" 10 0 1 "$m" | awk '/whole run/ {print $3}')")
    unchecked+=("$(cd "$work" && "$build/bench/stage_bench_unchecked" 10 0 1 "$m" | awk '/whole run/ {print $3}')")
  done
  with=$(printf '%s\n' "${checked[@]}" | median)
  without=$(printf '%s\n' "${unchecked[@]}" | median)
  printf 'The product checks at N = %s: %.3f s with them, %.3f s without (bench/stage_bench and\n' "$m" "$with" "$without"
  printf 'bench/stage_bench_unchecked, in-process medians of %s runs each): %+.1f%%. Products checked:\n' "$runs" \
    "$(echo "scale=4; ($with - $without) * 100 / $without" | bc)"
  echo
  echo '```'
  for request in "10 1310700" "26 1048560"; do
    set -- $request
    printf 'base %-3s N = %-8s %s\n' "$1" "$2" "$(cd "$work" && "$build/bench/stage_bench" "$1" 0 1 "$2" | grep 'products checked')"
  done
  echo '```'
  echo

  echo "drmpi at the capacity: its total-time line (the same runs, every digit compared with"
  echo "MPFR, are the large tests: scripts/test.sh -L large):"
  echo
  echo "| base | ID | N | total time (s) | rounding error |"
  echo "|---|---|---|---|---|"
  local line
  for request in "3 1 2883540" "10 1 1310700" "10 2 1310700" "10 3 1310700" "26 1 1048560" "62 1 786420"; do
    set -- $request
    line=$(cd "$work" && printf '%s\n0\n%s\n%s\n' "$1" "$2" "$3" | "$build/drmpi" | grep 'Total Time')
    printf '| %s | %s | %s | %s | %s |\n' "$1" "$2" "$3" "$(sed 's/.*Total Time= *\([0-9.]*\).*/\1/' <<<"$line")" \
      "$(sed 's/.*Rounding Error= *\([0-9.e+-]*\).*/\1/' <<<"$line")"
  done
  echo

  local colors=(dark-green blue dark-orange red dark-violet brown) col=3
  {
    echo "set terminal png size 800,500; set output '$results/time_vs_digits.png'"
    echo "set logscale xy; set grid; set key left top; set xrange [8000:1700000]"
    echo "set xlabel 'decimal digits'; set ylabel 'seconds (wall clock, median of $runs)'"
    echo "set title 'Pi to a file, one thread: bench/run.sh, $machine, $(date -u +%Y-%m-%d)' noenhanced"
    printf "plot '%s' using 1:2 with linespoints lw 3 lc rgb 'black' title 'drmpi' noenhanced" "$results/time_vs_digits.dat"
    for prog in "${peers[@]}"; do
      printf ", '%s' using 1:%d with linespoints lw 1.5 lc rgb '%s' title '%s' noenhanced" \
        "$results/time_vs_digits.dat" "$col" "${colors[$((col - 3))]}" "$prog"
      col=$((col + 1))
    done
    echo
  } | gnuplot
  echo "The chart time_vs_digits.png is drawn from time_vs_digits.dat, the medians above."
  echo "bench/run.sh took $((SECONDS - started)) s."
  [ ${#differ[@]} -eq 0 ]
}

status=0
report | tee "$results/report.md" || status=$?
if [ "$status" = 0 ] && [ "$refresh" = 1 ]; then
  mkdir -p "$root/bench/results"
  cp "$results/time_vs_digits.dat" "$results/time_vs_digits.png" "$results/report.md" "$root/bench/results/"
  # The README's copy of the report: the lines between its two markers.
  readme="$root/README.md"
  awk -v report="$results/report.md" '
    /^<!-- bench\/run.sh --refresh-readme: begin/ {
      print
      while ((getline line < report) > 0) print line
      s = 1
      next
    }
    /^<!-- bench\/run.sh --refresh-readme: end/ {s = 0; done = 1}
    !s {print}
    END {if (!done) exit 1}
  ' "$readme" >"$work/README.md" && cat "$work/README.md" >"$readme"
  echo "bench/run.sh: bench/results/ (report.md, the chart and its data) and README.md's figures now hold this run"
else
  echo "bench/run.sh: results in build-bench/results/ (report.md, time_vs_digits.dat, time_vs_digits.png)"
fi
exit "$status"
