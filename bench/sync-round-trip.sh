#!/usr/bin/env bash
# Benchmark (not a test): small files over a link with a round trip. The
# player's side runs in a network namespace of its own (Wine's wineserver,
# which makes Wine's sockets, included): there the test nginx is reached
# through bench/delay_proxy.py, which holds every block for half the round
# trip in each direction. 300 files of 8 KiB are synced by the engine
# (sync_small_bench.exe engine: its own time, the process start left out) and
# fetched by curl on one keep-alive connection and on 8 connections, in
# alternating rounds; the medians are compared. The proxy does not delay the
# TCP handshake itself (TLS's are delayed), which favours curl's 8 new
# connections a little.
#   bench/sync-round-trip.sh   (after a windows-x64 build; needs root for ip netns)
#   NV_BENCH_ROUNDS=3 NV_BENCH_FILES=300 NV_BENCH_KIB=8 NV_BENCH_RTT_MS=20
# Takes the machine's test lock and starts the test servers itself.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
rounds=${NV_BENCH_ROUNDS:-3}
files=${NV_BENCH_FILES:-300}
kib=${NV_BENCH_KIB:-8}
rtt=${NV_BENCH_RTT_MS:-20}

bench_exe="$root/build/windows-x64/tests/sync/sync_small_bench.exe"
[ -f "$bench_exe" ] || { echo "bench: build windows-x64 first (missing $bench_exe)" >&2; exit 1; }
command -v ip >/dev/null && [ "$(id -u)" = 0 ] || { echo "bench: needs root and ip (network namespaces)" >&2; exit 1; }

work="$root/build/windows-x64/bench-rtt"
netns="norvane-bench-rtt"
# shellcheck source=bench/bench-session
. "$root/bench/bench-session"
servers="$root/build/windows-x64/test-servers"
www="$servers/www/bench-rtt/download"
mirror="https://localhost:18443/bench-rtt/download"
winpath() { echo "Z:${1//\//\\}"; }
now() { date +%s.%N; }
inside() { ip netns exec "$netns" "$@"; }

shape="$files x $kib KiB"
bench_small_files "$work" "$www" "$mirror" "$files" "$kib"
mapfile -t hashes < <(grep -E '^[^#].*\|[0-9]+\|[0-9a-f]{64}' "$www/client/manifest.txt" | cut -d'|' -f3)
for h in "${hashes[@]}"; do printf 'url = "%s/client/files/%s"\noutput = "%s"\n' "$mirror" "$h" "$work/curl/$h"; done \
  >"$work/curl.cfg"

# The player's side: the namespace, the proxy, and a wineserver inside.
ip netns del "$netns" 2>/dev/null
ip netns add "$netns" && inside ip link set lo up || { echo "bench: ip netns failed" >&2; exit 1; }
bench_cleanup+=("ip netns del '$netns' 2>/dev/null")
"$WINESERVER" -k >/dev/null 2>&1
"$WINESERVER" -w >/dev/null 2>&1
python3 -u bench/delay_proxy.py "$netns" 18443 18443 "$(awk -v r="$rtt" 'BEGIN { print r / 2 }')" >"$work/proxy.log" 2>&1 &
proxy_pid=$!
bench_cleanup+=("kill $proxy_pid 2>/dev/null" "'$WINESERVER' -k >/dev/null 2>&1")
for _ in $(seq 100); do grep -q listening "$work/proxy.log" && break; sleep 0.1; done
grep -q listening "$work/proxy.log" || { echo "bench: the delay proxy did not start" >&2; cat "$work/proxy.log" >&2; exit 1; }
inside "$WINESERVER" -p </dev/null >/dev/null 2>&1 9>&-
inside "$WINE" wineboot </dev/null >/dev/null 2>&1

run_engine() {
  rm -rf "$work/game"
  local line
  line=$(inside "$WINE" "$bench_exe" engine "$(winpath "$work/game")" "$mirror" </dev/null 2>/dev/null | tr -d '\r')
  case "$line" in
    "ok "*) read -r _ engine_s engine_files _ <<<"$line" ;;
    *) echo "bench: the engine failed ($line)" >&2; exit 1 ;;
  esac
  [ "$engine_files" = "$files" ] || { echo "bench: the engine placed $engine_files files" >&2; exit 1; }
}
run_curl() {  # run_curl <connections>
  rm -rf "$work/curl"
  mkdir -p "$work/curl"
  local t0 t1 parallel=()
  [ "$1" -gt 1 ] && parallel=(--parallel --parallel-max "$1")
  t0=$(now)
  inside curl -s --no-progress-meter "${parallel[@]}" --cacert "$servers/certs/ca.pem" -K "$work/curl.cfg" ||
    { echo "bench: curl failed" >&2; exit 1; }
  t1=$(now)
  [ "$(find "$work/curl" -type f | wc -l)" = "$files" ] || { echo "bench: curl fetched too few files" >&2; exit 1; }
  curl_s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
}

# Wine's first connection after the prefix starts is sometimes slow: warm up.
inside "$WINE" "$bench_exe" winhttp "$mirror" </dev/null >/dev/null 2>&1

declare -a engine_all=() one_all=() eight_all=()
echo "$shape over a ${rtt} ms round trip, $rounds round(s)"
for ((round = 1; round <= rounds; round++)); do
  run_engine
  engine_all+=("$engine_s")
  run_curl 1
  one_all+=("$curl_s")
  run_curl 8
  eight_all+=("$curl_s")
  echo "round $round: engine ${engine_s} s  curl 1 connection ${one_all[-1]} s  curl 8 connections ${eight_all[-1]} s  load $(bench_load)"
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
e=$(median "${engine_all[@]}"); one=$(median "${one_all[@]}"); eight=$(median "${eight_all[@]}")
awk -v e="$e" -v o="$one" -v g="$eight" 'BEGIN {
  printf "sync engine: %.2f s, curl 1 connection: %.2f s, curl 8 connections: %.2f s (medians)\n", e, o, g
  printf "engine / curl 8 connections %.2f (target <= 1.5), engine / curl 1 connection %.2f\n", e / g, e / o
}'
echo "load average (1, 5, 15 min): $(bench_load)"
bench_row "$files files of $kib KiB over a ${rtt} ms round trip vs curl, 8 connections" "${e} s" "${eight} s" \
  "$(awk -v e="$e" -v g="$eight" 'BEGIN { printf "%.2f", e / g }')" "<= 1.5"
bench_row "$files files of $kib KiB over a ${rtt} ms round trip vs curl, 1 connection" "${e} s" "${one} s" \
  "$(awk -v e="$e" -v o="$one" 'BEGIN { printf "%.2f", e / o }')" "-"
