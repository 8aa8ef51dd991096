#!/usr/bin/env bash
# Fuzzes the run dialogue with libFuzzer (clang, with AddressSanitizer and
# UndefinedBehaviorSanitizer): arbitrary bytes as the answers on standard input.
#
#   scripts/fuzz.sh            fuzz for 60 seconds
#   scripts/fuzz.sh 600        fuzz for 600 seconds
#   scripts/fuzz.sh merge      shrink tests/fuzz/corpus to the inputs that add coverage
#
# Installs clang and its libFuzzer runtime as root (otherwise prints the
# apt-get line), builds the target tests/fuzz/dialogue_fuzz.cpp in build-fuzz
# (cmake -DDRMPI_FUZZ=ON with clang++, apart from the normal build), then runs
# it on the corpus tests/fuzz/corpus, which seeds the run and receives the new
# inputs that reach new code. A violated check or a sanitizer report stops the
# run with the input saved as build-fuzz/artifacts/crash-*; replay one with
#   build-fuzz/tests/fuzz/dialogue_fuzz build-fuzz/artifacts/crash-...
# The corpus is replayed by the ordinary test dialogue_corpus_test; after
# fuzzing, "scripts/fuzz.sh merge" keeps it small before it is committed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
mode="${1:-60}"
if [ "$mode" != merge ] && ! [[ "$mode" =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh [SECONDS | merge]" >&2
  exit 2
fi

# libclang-rt-dev brings libFuzzer and the sanitizer runtimes of the default
# clang (libclang-rt-14-dev on Debian 12); clang only recommends it.
. "$root/scripts/packages.sh"
need_packages "The fuzzer" cmake clang libclang-rt-dev

build="$root/build-fuzz"
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release \
  -DDRMPI_FUZZ=ON -DDRMPI_TESTS=OFF >/dev/null
cmake --build "$build" --target dialogue_fuzz -j "$(nproc)"

# The target works in its own temporary directory, so every path is absolute.
fuzzer="$build/tests/fuzz/dialogue_fuzz"
corpus="$root/tests/fuzz/corpus"
mkdir -p "$corpus" "$build/artifacts"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

if [ "$mode" = merge ]; then
  fresh="$(mktemp -d "$build/corpus.XXXXXX")"
  "$fuzzer" -merge=1 -artifact_prefix="$build/artifacts/" "$fresh" "$corpus"
  rm -f "$corpus"/*
  cp "$fresh"/* "$corpus"/
  rm -rf "$fresh"
  echo "tests/fuzz/corpus: $(ls "$corpus" | wc -l) inputs"
else
  "$fuzzer" -max_total_time="$mode" -max_len=512 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/" "$corpus"
fi
