#!/usr/bin/env bash
# Benchmark (not a test): a 1 GiB file over loopback from the test nginx,
# downloaded by the launcher's DownloadManifestEntry (SHA-256 check included,
# under wine64) and by curl -o followed by sha256sum, in the same run.
# Prints both throughputs and the ratio launcher / curl.
#   bench/net-download.sh [--steps]   (after a windows-x64 build)
#   NV_BENCH_ROUNDS=2 NV_BENCH_MIB=1024
# --steps also reads, writes and hashes the file with each step timed apart.
# Takes the machine's test lock and starts the test servers itself.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bench_exe="$root/build/windows-x64/tests/net/net_download_bench.exe"
[ -f "$bench_exe" ] || { echo "bench: build windows-x64 first (missing $bench_exe)" >&2; exit 1; }

out="$root/build/windows-x64/bench"
# shellcheck source=bench/bench-session
. "$root/bench/bench-session"
bench_cleanup+=("rm -rf '$out'")

www="$root/build/windows-x64/test-servers/www/download"
mib=${NV_BENCH_MIB:-1024}
size=$((mib * 1048576))
# Random once and kept between runs.
name=big1g.bin
[ "$mib" = 1024 ] || name="bench${mib}m.bin"
if [ ! -s "$www/$name" ] || [ "$(stat -c %s "$www/$name")" != "$size" ]; then
  head -c "$size" /dev/urandom >"$www/$name"
fi
sha=$(sha256sum "$www/$name" | cut -c1-64)
mkdir -p "$out"
sync

now() { date +%s.%N; }

# curl + sha256sum
rm -f "$out/curl.bin"
t0=$(now)
curl -s -o "$out/curl.bin" --cacert "$root/build/windows-x64/test-servers/certs/ca.pem" \
  https://localhost:18443/download/$name || { echo "bench: curl failed" >&2; exit 1; }
got=$(sha256sum "$out/curl.bin" | cut -c1-64)
t1=$(now)
[ "$got" = "$sha" ] || { echo "bench: curl's copy has the wrong hash" >&2; exit 1; }
rm -f "$out/curl.bin"
curl_s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')

# The launcher (time measured inside the program, without Wine's start-up),
# and the platform's bound: WinHTTP alone, reading and discarding the same
# file. Rounds alternate the two (NV_BENCH_ROUNDS, 2 by default) so that a
# change in the machine's load hits both; each round prints its own ratio.
rounds=${NV_BENCH_ROUNDS:-2}
best_l=0; best_r=0
for ((round = 1; round <= rounds; round++)); do
  load_before=$(bench_load)
  rm -f "$out/launcher.bin"
  result=$("$WINE" "$bench_exe" "$name" "$size" "$sha" "Z:${out//\//\\}\\launcher.bin" </dev/null 2>/dev/null | tr -d '\r')
  case "$result" in
    ok\ *) launcher_s=${result#ok } ;;
    *) echo "bench: the launcher's download failed ($result)" >&2; exit 1 ;;
  esac
  raw=$("$WINE" "$bench_exe" --raw "$name" </dev/null 2>/dev/null | tr -d '\r')
  raw_s=${raw#ok }
  [ "$raw_s" = "$raw" ] && raw_s=0
  awk -v r="$round" -v l="$launcher_s" -v w="$raw_s" -v mib="$mib" -v a="$load_before" -v b="$(bench_load)" 'BEGIN {
    printf "round %d: DownloadManifestEntry %6.1f MiB/s (%.2f s), WinHTTP read only %6.1f MiB/s (%.2f s), ratio %.2f, load %s -> %s\n",
      r, mib / l, l, (w > 0 ? mib / w : 0), w, (w > 0 ? w / l : 0), a, b
  }'
  best_l=$(awk -v a="$best_l" -v b="$launcher_s" 'BEGIN { print (a == 0 || b < a) ? b : a }')
  best_r=$(awk -v a="$best_r" -v b="$raw_s" 'BEGIN { print (a == 0 || (b > 0 && b < a)) ? b : a }')
done
rm -f "$out/launcher.bin"
launcher_s=$best_l
raw_s=$best_r

if [ "${1:-}" = --steps ]; then
  echo "steps: $("$WINE" "$bench_exe" --steps "$name" "Z:${out//\//\\}\\steps.bin" </dev/null 2>/dev/null | tr -d '\r')"
  rm -f "$out/steps.bin"
fi
echo "load average (1, 5, 15 min): $(bench_load)"
awk -v c="$curl_s" -v l="$launcher_s" -v r="$raw_s" -v mib="$mib" 'BEGIN {
  printf "curl -o + sha256sum:   %7.1f MiB/s (%.2f s)\n", mib / c, c
  printf "DownloadManifestEntry: %7.1f MiB/s (%.2f s, best round)\n", mib / l, l
  if (r > 0) printf "WinHTTP read only:     %7.1f MiB/s (%.2f s, best round), launcher / WinHTTP %.2f (target >= 0.75)\n", mib / r, r, r / l
  printf "ratio launcher / curl: %.2f (target >= 0.90)\n", c / l
}'
what="$mib MiB download + SHA-256"
[ "$mib" = 1024 ] && what="1 GiB download + SHA-256"
rate() { awk -v m="$mib" -v s="$1" 'BEGIN { if (s > 0) printf "%.1f MiB/s", m / s; else printf "failed" }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a > 0 && b > 0) printf "%.2f", a / b; else printf "-" }'; }
bench_row "$what vs curl -o + sha256sum" "$(rate "$launcher_s")" "$(rate "$curl_s")" "$(ratio "$curl_s" "$launcher_s")" ">= 0.90"
bench_row "$what vs WinHTTP reading alone" "$(rate "$launcher_s")" "$(rate "$raw_s")" "$(ratio "$raw_s" "$launcher_s")" ">= 0.75"
