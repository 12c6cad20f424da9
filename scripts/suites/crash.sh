#!/usr/bin/env bash
# Kill matrix: the real launcher under wine64 (stand-in runtime, driver mode)
# killed with kill -9 at random moments during install, update, repair, the
# HD pack and self-update, then started again and left to finish; the disk is
# checked after every point (tests/shell/crash.test.mjs). NV_KILL_POINTS sets
# the number of points (5 by default), NV_KILL_SEED replays a run. Runs in a
# Wine prefix of its own inside the scripts/test session (Xvfb, test servers,
# the lock).
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"

finish() { echo "crash: $1 passed, $2 failed"; exit "$3"; }

if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ] ||
  ! curl -s -o /dev/null --cacert build/windows-x64/test-servers/certs/ca.pem https://localhost:18443/; then
  echo "crash: run inside scripts/test (it provides Xvfb, the test servers and the lock)" >&2
  finish 0 1 1
fi

# shellcheck source=../private-prefix
. scripts/private-prefix
nv_private_prefix crash || { echo "crash: the Wine prefix could not be made" >&2; finish 0 1 1; }

# shellcheck source=../node-test-summary
. scripts/node-test-summary
run_node_tests . --test-concurrency=1 tests/shell/crash.test.mjs
[ "$rc" -eq 0 ] && finish "$pass" "$fail" 0
finish "$pass" "$fail" 1
