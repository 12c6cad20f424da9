#!/usr/bin/env bash
# Servers we did not write: the real launcher under wine64 installs (with the
# HD pack) and updates the same published tree served on 18443 by lighttpd,
# then by Python's http.server behind TLS (no Range support: the install is
# interrupted once so that a resume meets a 200), each with the run's
# certificate (tests/shell/servers.test.mjs). The test nginx lends port 18443
# meanwhile and gets it back at the end. Runs in a Wine prefix of its own
# inside the scripts/test session.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
dir="$root/build/windows-x64/test-servers"

total_pass=0
total_fail=0
finish() { echo "servers: $total_pass passed, $total_fail failed"; [ "$total_fail" = 0 ]; exit; }

if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ] ||
  ! curl -s -o /dev/null --cacert "$dir/certs/ca.pem" https://localhost:18443/; then
  echo "servers: run inside scripts/test (it provides Xvfb, the test servers and the lock)" >&2
  total_fail=1
  finish
fi
if ! command -v lighttpd >/dev/null; then
  echo "servers: lighttpd is needed (scripts/setup installs it)" >&2
  total_fail=1
  finish
fi

# shellcheck source=../private-prefix
. scripts/private-prefix
nv_private_prefix servers || { echo "servers: the Wine prefix could not be made" >&2; total_fail=1; finish; }

other_pid=""
give_back() {
  [ -n "$other_pid" ] && kill "$other_pid" 2>/dev/null && wait "$other_pid" 2>/dev/null
  other_pid=""
  bash scripts/test-services download-back || echo "servers: nginx did not take 18443 back" >&2
}
trap 'give_back; /usr/lib/wine/wineserver -k >/dev/null 2>&1' EXIT

listening() {
  for _ in $(seq 100); do
    curl -s -o /dev/null --cacert "$dir/certs/ca.pem" https://localhost:18443/download/mirrors.txt && return 0
    sleep 0.1
  done
  return 1
}

# shellcheck source=../node-test-summary
. scripts/node-test-summary
for name in lighttpd python; do
  echo "-- $name on 18443"
  bash scripts/test-services download-aside || { total_fail=$((total_fail + 1)); continue; }
  log=""
  if [ "$name" = lighttpd ]; then
    listen6=""
    grep -q '^00000000000000000000000000000001 ' /proc/net/if_inet6 2>/dev/null &&
      listen6="\$SERVER[\"socket\"] == \"[::1]:18443\" { ssl.engine = \"enable\" }"
    sed -e "s|@DIR@|$dir|g" -e "s|@LISTEN6@|$listen6|" tests/servers/lighttpd.conf.in >"$dir/lighttpd.conf"
    lighttpd -D -f "$dir/lighttpd.conf" </dev/null >>"$dir/lighttpd-error.log" 2>&1 &
  else
    log="$dir/plain-https-requests.log"
    : >"$log"
    python3 tests/servers/plain_https_server.py --port 18443 --root "$dir/www" --cert "$dir/certs/server.pem" \
      --key "$dir/certs/server.key" --log "$log" </dev/null >"$dir/plain-https-server.log" 2>&1 &
  fi
  other_pid=$!
  if listening; then
    NV_SERVER="$name" NV_SERVER_LOG="$log" run_node_tests . --test-concurrency=1 tests/shell/servers.test.mjs
    total_pass=$((total_pass + pass))
    total_fail=$((total_fail + fail))
  else
    echo "servers: $name does not answer on 18443" >&2
    total_fail=$((total_fail + 1))
  fi
  give_back
done
finish
