#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ (FUZZ_BUILD_DIR overrides) and runs each
# for a bounded time, FUZZ_SECONDS in all (default 60), shared among the targets. Any crash or
# sanitizer report fails the run. New inputs go to a scratch folder, never into the committed seeds.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
total="${FUZZ_SECONDS:-60}"
shopt -s nullglob
sources=("$root"/fuzz/*_fuzzer.cpp)
if [ ${#sources[@]} -eq 0 ]; then
  echo "No fuzz targets."
  exit 0
fi
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORLEN_BUILD_FUZZERS=ON -DVORLEN_BUILD_TESTS=OFF -DVORLEN_BUILD_APP=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)"
each=$(( total / ${#sources[@]} ))
[ "$each" -ge 5 ] || each=5
for source in "${sources[@]}"; do
  name="$(basename "$source" .cpp)"
  seeds="$root/fuzz/corpus/${name%_fuzzer}"
  scratch="$(mktemp -d)"
  echo "Fuzzing $name for ${each}s"
  args=("$scratch")
  [ -d "$seeds" ] && args+=("$seeds")
  "$build/fuzz/$name" -max_total_time="$each" -print_final_stats=0 "${args[@]}" 2>"$scratch.log" || {
    tail -60 "$scratch.log"
    echo "FUZZ FAILURE in $name"
    exit 1
  }
  rm -rf "$scratch" "$scratch.log"
done
echo "Fuzzing finished: no crashes."
