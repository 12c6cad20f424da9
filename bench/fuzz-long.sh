#!/usr/bin/env bash
# Long fuzzing: every libFuzzer entry point (tests/<folder>/<name>_fuzz.cpp)
# runs until NV_FUZZ_RUNS executions (10,000,000 by default) or
# NV_FUZZ_SECONDS (1800) have passed, whichever comes first, one after the
# other, at low priority. NV_FUZZ_ONLY (a regular expression) picks entry
# points. Prints one line per entry point: executions, seconds, corpus size
# and findings; a finding's input stays in build/fuzz-long/.
#   nice -n 10 bash bench/fuzz-long.sh
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
runs="${NV_FUZZ_RUNS:-10000000}"
seconds="${NV_FUZZ_SECONDS:-1800}"
out="build/fuzz-long"
mkdir -p "$out"

cmake -S tests/fuzz -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null &&
  cmake --build build/fuzz >/dev/null || { echo "fuzz-long: build failed"; exit 1; }

status=0
for source in $(find tests -name "*_fuzz.cpp" | sort); do
  name="$(basename "$source" _fuzz.cpp)"
  if [ -n "${NV_FUZZ_ONLY:-}" ] && ! [[ "$name" =~ $NV_FUZZ_ONLY ]]; then continue; fi
  corpus="$out/corpus/$name"
  mkdir -p "$corpus"
  cp -n tests/fuzz/corpus/"$name"/* "$corpus"/ 2>/dev/null
  log="$out/$name.log"
  start=$(date +%s)
  build/fuzz/"${name}_fuzz" -runs="$runs" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=1024 -print_final_stats=1 -artifact_prefix="$out/${name}-" "$corpus" \
    >"$log" 2>&1
  rc=$?
  took=$(( $(date +%s) - start ))
  done_runs=$(grep -aoE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' | tail -1)
  found=$(ls "$out/${name}-"* 2>/dev/null | wc -l)
  echo "fuzz-long $name: ${done_runs:-?} executions in ${took} s, corpus $(ls "$corpus" | wc -l)," \
       "findings $found (exit $rc)"
  [ "$rc" = 0 ] || status=1
done
exit $status
