#!/usr/bin/env bash
# Fuzzes the game data-list rules (DATA.INI) with libFuzzer under ASan/UBSan
# for a short, fixed time, from the seeds in tests/fuzz/corpus/data_ini.
# Ends with "system-fuzz: N passed, N failed".
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$root/build/host/system-fuzz"
mkdir -p "$out/corpus"
if ! clang++-14 -std=c++20 -O1 -g -Wall -Wextra -Werror -fsanitize=fuzzer,address,undefined \
    -fno-sanitize-recover=all -I"$root/src" "$root/tests/fuzz/data_ini_fuzz.cpp" \
    "$root/src/system/data_ini.cpp" "$root/src/sync/path_text.cpp" \
    -o "$out/data_ini_fuzz" 2>"$out/build.log"; then
  cat "$out/build.log"
  echo "system-fuzz: 0 passed, 1 failed"
  exit 1
fi
cp -n "$root"/tests/fuzz/corpus/data_ini/* "$out/corpus/" 2>/dev/null
if (cd "$out" && ./data_ini_fuzz -max_total_time="${NV_FUZZ_SECONDS:-15}" -max_len=4096 \
      -artifact_prefix="$out/" corpus >"$out/run.log" 2>&1); then
  echo "system-fuzz data_ini: ok ($(grep -aoE 'Done [0-9]+ runs' "$out/run.log" | tail -1))"
  echo "system-fuzz: 1 passed, 0 failed"
else
  tail -40 "$out/run.log"
  echo "system-fuzz: 0 passed, 1 failed"
  exit 1
fi
