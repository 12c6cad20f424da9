#!/usr/bin/env bash
# Fuzzes the transfer text rules (URL encoding, Content-Range, Content-Length,
# mirrors.txt, speed meter) with libFuzzer under ASan/UBSan for a short,
# fixed time. Ends with "net-fuzz: N passed, N failed".
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$root/build/host/net-fuzz"
mkdir -p "$out/corpus"
if ! clang++-14 -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root/src" "$root/tests/net/net_text_fuzz.cpp" "$root/src/net/url_text.cpp" \
    "$root/src/net/speed_meter.cpp" -o "$out/net_text_fuzz" 2>"$out/build.log"; then
  cat "$out/build.log"
  echo "net-fuzz: 0 passed, 1 failed"
  exit 1
fi
printf 'bytes 100-199/1000' >"$out/corpus/range"
printf '# m\r\nHTTPS://a/download/ \nftp://b\n' >"$out/corpus/mirrors"
printf 'client\\data\\a b.pak' >"$out/corpus/path"
if (cd "$out" && ./net_text_fuzz -max_total_time="${NV_FUZZ_SECONDS:-15}" -max_len=4096 corpus \
      >"$out/run.log" 2>&1); then
  echo "net-fuzz: 1 passed, 0 failed"
else
  tail -40 "$out/run.log"
  echo "net-fuzz: 0 passed, 1 failed"
  exit 1
fi
