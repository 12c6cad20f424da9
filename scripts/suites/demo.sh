#!/usr/bin/env bash
# Demo suite: the stand-in's browser mode (the real launcher under wine64 with
# its page in Chromium) and the headless `make demo` run, whose report and
# screenshots land in build/windows-x64/demo-output. Needs the scripts/test
# session (Xvfb, test servers, the lock).
set -uo pipefail
cd "$(dirname "$0")/../.."

finish() { echo "demo: $1 passed, $2 failed"; exit "$3"; }

if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "demo: run inside scripts/test (it provides Xvfb, the servers and the Wine prefix)" >&2
  finish 0 1 1
fi
if [ ! -d tests/page/node_modules/playwright-core ] &&
  ! (cd tests/page && npm ci --no-audit --no-fund --loglevel=error >/dev/null); then
  echo "demo: npm ci in tests/page failed" >&2
  finish 0 1 1
fi

# shellcheck source=../node-test-summary
. scripts/node-test-summary
run_node_tests . --test-concurrency=1 tests/shell/browser.test.mjs
browser_rc=$rc

if NV_DEMO_IN_SESSION=1 bash scripts/demo --headless --no-setup; then
  pass=$((pass + 1))
else
  fail=$((fail + 1))
fi
[ "$browser_rc" -eq 0 ] && [ "$fail" -eq 0 ] && finish "$pass" "$fail" 0
finish "$pass" "$fail" 1
