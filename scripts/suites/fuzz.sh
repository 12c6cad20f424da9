#!/usr/bin/env bash
# Builds every libFuzzer entry point (tests/<folder>/<name>_fuzz.cpp) with
# clang and runs each for a short while (NV_FUZZ_SECONDS, 15 by default) from
# its seeds in tests/fuzz/corpus/<name>. A crash leaves its input in build/fuzz/.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
seconds="${NV_FUZZ_SECONDS:-15}"
out="build/fuzz"
passed=0
failed=0

if ! cmake -S tests/fuzz -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null ||
   ! cmake --build "$out"; then
  echo "fuzz: build failed"
  echo "fuzz: 0 passed, 1 failed"
  exit 1
fi

for source in $(find tests -name "*_fuzz.cpp" | sort); do
  name="$(basename "$source" _fuzz.cpp)"
  corpus="$out/corpus/$name"
  mkdir -p "$corpus"
  cp -n tests/fuzz/corpus/"$name"/* "$corpus"/ 2>/dev/null
  log="$out/$name.log"
  if "$out/${name}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
      -artifact_prefix="$out/${name}-" "$corpus" >"$log" 2>&1; then
    runs=$(grep -aoE 'Done [0-9]+ runs' "$log" | tail -1)
    echo "fuzz $name: ok ($runs in ${seconds} s)"
    passed=$((passed + 1))
  else
    echo "fuzz $name: FAILED"
    tail -40 "$log"
    failed=$((failed + 1))
  fi
done

echo "fuzz: $passed passed, $failed failed"
[ "$failed" = 0 ]
