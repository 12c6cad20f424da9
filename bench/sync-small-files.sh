#!/usr/bin/env bash
# Benchmark (not a test): the cost of one small file. 5,000 files of 8 KiB,
# published into the test nginx, are installed by the sync engine
# (sync_small_bench.exe under wine64: manifest, scan, downloads, second scan,
# file state; the process's TLS set up before the clock starts, as the WinHTTP
# loop's is) and read by two bounds in the same run:
#   - a bare WinHTTP loop over the same URLs on one connection (same Wine);
#   - one curl process (one keep-alive connection) writing the files, then
#     sha256sum over them.
# Rounds alternate (engine, WinHTTP, curl) so that a change in the machine's
# load hits all three; the median of each is compared. A fourth line is the
# bound for an engine that keeps its rules: the WinHTTP loop placing each body
# as a new file (create the partial file, write, close, write-through move).
#   bench/sync-small-files.sh [--steps]   (after a windows-x64 build)
#   NV_BENCH_ROUNDS=3 NV_BENCH_FILES=5000 NV_BENCH_KIB=8
# --steps also times the engine's per-file steps one by one.
# Takes the machine's test lock and starts the test servers itself.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

steps=0
for arg in "$@"; do
  case "$arg" in
    --steps) steps=1 ;;
    *) echo "bench: unknown argument $arg" >&2; exit 2 ;;
  esac
done
rounds=${NV_BENCH_ROUNDS:-3}
files=${NV_BENCH_FILES:-5000}
kib=${NV_BENCH_KIB:-8}

bench_exe="$root/build/windows-x64/tests/sync/sync_small_bench.exe"
[ -f "$bench_exe" ] || { echo "bench: build windows-x64 first (missing $bench_exe)" >&2; exit 1; }

work="$root/build/windows-x64/bench-small"
# shellcheck source=bench/bench-session
. "$root/bench/bench-session"
bench_cleanup+=("rm -rf '$work/game' '$work/curl' '$work/placed'")

servers="$root/build/windows-x64/test-servers"
www="$servers/www/bench-small/download"
mirror="https://localhost:18443/bench-small/download"
winpath() { echo "Z:${1//\//\\}"; }
now() { date +%s.%N; }

shape="$files x $kib KiB"
bench_small_files "$work" "$www" "$mirror" "$files" "$kib"
mapfile -t hashes < <(grep -E '^[^#].*\|[0-9]+\|[0-9a-f]{64}' "$www/client/manifest.txt" | cut -d'|' -f3)
[ "${#hashes[@]}" = "$files" ] || { echo "bench: the manifest lists ${#hashes[@]} files, not $files" >&2; exit 1; }
{
  for h in "${hashes[@]}"; do printf 'url = "%s/client/files/%s"\noutput = "%s"\n' "$mirror" "$h" "$work/curl/$h"; done
} >"$work/curl.cfg"
sync

run_engine() {
  rm -rf "$work/game"
  local t0 t1 line
  t0=$(now)
  line=$("$WINE" "$bench_exe" engine "$(winpath "$work/game")" "$mirror" warm </dev/null 2>"$work/spread-engine" | tr -d '\r')
  t1=$(now)
  case "$line" in
    "ok "*) ;;
    *) echo "bench: the engine failed ($line)" >&2; exit 1 ;;
  esac
  read -r _ engine_s engine_files engine_dl_s <<<"$line"
  [ "$engine_files" = "$files" ] || { echo "bench: the engine downloaded $engine_files files" >&2; exit 1; }
  diff -r -q "$work/client" "$work/game" -x launcher_state.txt >/dev/null ||
    { echo "bench: the installed files differ from the published ones" >&2; exit 1; }
  engine_process_s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
}
run_winhttp() {
  local line
  line=$("$WINE" "$bench_exe" winhttp "$mirror" </dev/null 2>"$work/spread-winhttp" | tr -d '\r')
  case "$line" in
    "ok "*) read -r _ winhttp_s _ <<<"$line" ;;
    *) echo "bench: the WinHTTP loop failed ($line)" >&2; exit 1 ;;
  esac
}
run_place() {
  rm -rf "$work/placed"
  local line
  line=$("$WINE" "$bench_exe" winhttp "$mirror" place "$(winpath "$work/placed")" </dev/null 2>"$work/spread-place" | tr -d '\r')
  case "$line" in
    "ok "*) read -r _ place_s _ <<<"$line" ;;
    *) echo "bench: the WinHTTP loop placing files failed ($line)" >&2; exit 1 ;;
  esac
}
run_curl() {
  rm -rf "$work/curl"
  mkdir -p "$work/curl"
  local t0 t1 bad
  t0=$(now)
  curl -s --cacert "$servers/certs/ca.pem" -K "$work/curl.cfg" || { echo "bench: curl failed" >&2; exit 1; }
  bad=$(cd "$work/curl" && sha256sum -- * | awk '$1 != $2 { n++ } END { print n + 0 }')
  t1=$(now)
  [ "$bad" = 0 ] || { echo "bench: $bad of curl's files have the wrong hash" >&2; exit 1; }
  curl_s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
}

# Wine's first connection after the prefix starts is sometimes slow: warm up.
"$WINE" "$bench_exe" winhttp "$mirror" </dev/null >/dev/null 2>&1

declare -a engine_all=() winhttp_all=() place_all=() curl_all=()
echo "$shape, $rounds round(s); files/s (seconds)"
for ((round = 1; round <= rounds; round++)); do
  load_before=$(bench_load)
  run_engine
  run_winhttp
  run_place
  run_curl
  engine_all+=("$engine_s"); winhttp_all+=("$winhttp_s"); place_all+=("$place_s"); curl_all+=("$curl_s")
  awk -v n="$files" -v r="$round" -v e="$engine_s" -v p="$engine_process_s" -v d="$engine_dl_s" -v w="$winhttp_s" \
    -v q="$place_s" -v c="$curl_s" -v l="$load_before" -v l2="$(bench_load)" 'BEGIN {
    printf "round %d: engine %6.1f (%.2f s; process %.2f s)  WinHTTP %6.1f (%.2f s)  WinHTTP+placing %6.1f (%.2f s)  curl+sha256sum %6.1f (%.2f s)  load %s -> %s\n",
      r, n / e, e, p, n / w, w, n / q, q, n / c, c, l, l2
  }'
  for kind in winhttp place; do
    grep -h " per file:" "$work/spread-$kind" | tr -d "\r" | sed "s/^/  /"
  done
done

if ((rounds > 0)); then
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
e=$(median "${engine_all[@]}"); w=$(median "${winhttp_all[@]}"); q=$(median "${place_all[@]}")
c=$(median "${curl_all[@]}")
awk -v n="$files" -v e="$e" -v w="$w" -v q="$q" -v c="$c" 'BEGIN {
  printf "sync engine (SyncContentSets):      %7.1f files/s (%.2f s, median)\n", n / e, e
  printf "bare WinHTTP loop, 1 connection:    %7.1f files/s (%.2f s, median)\n", n / w, w
  printf "the same loop placing every file:   %7.1f files/s (%.2f s, median)\n", n / q, q
  printf "curl keep-alive + sha256sum:        %7.1f files/s (%.2f s, median)\n", n / c, c
  printf "engine / WinHTTP %.2f (target >= 0.80), engine / WinHTTP+placing %.2f, engine / curl %.2f\n",
    w / e, q / e, c / e
}'
echo "load average (1, 5, 15 min): $(bench_load)"
what="$files files of $kib KiB synced"
rate() { awk -v n="$files" -v s="$1" 'BEGIN { printf "%.0f files/s", n / s }'; }
bench_row "$what vs curl keep-alive + sha256sum" "$(rate "$e")" "$(rate "$c")" \
  "$(awk -v e="$e" -v c="$c" 'BEGIN { printf "%.2f", c / e }')" "-"
bench_row "$what vs WinHTTP alone, 1 connection" "$(rate "$e")" "$(rate "$w")" \
  "$(awk -v e="$e" -v w="$w" 'BEGIN { printf "%.2f", w / e }')" ">= 0.80"
bench_row "$what vs WinHTTP placing every file (partial file, write, close, write-through move)" "$(rate "$e")" \
  "$(rate "$q")" "$(awk -v e="$e" -v q="$q" 'BEGIN { printf "%.2f", q / e }')" "-"
fi

if ((steps)); then
  rm -rf "$work/game"
  echo "per-file steps of the engine's path (one pass, $files files), load $(bench_load):"
  "$WINE" "$bench_exe" steps "$(winpath "$work/game")" "$mirror" </dev/null 2>/dev/null | tr -d '\r'
fi
