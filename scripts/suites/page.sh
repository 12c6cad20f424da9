#!/usr/bin/env bash
# Launcher page suite: node's test runner with playwright-core driving
# Debian's Chromium headless against resources/launcher.html. Screenshots of
# every preview screen land in build/page-test-output/screens/.
set -uo pipefail
cd "$(dirname "$0")/../.."
dir=tests/page

finish() { echo "page: $1 passed, $2 failed"; exit "$3"; }

if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "page: node and npm are needed (scripts/setup installs them)" >&2
  finish 0 1 1
fi
if [ ! -x /usr/bin/chromium ]; then
  echo "page: /usr/bin/chromium is missing (scripts/setup installs it)" >&2
  finish 0 1 1
fi
if ! (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error >/dev/null); then
  echo "page: npm ci failed" >&2
  finish 0 1 1
fi

# shellcheck source=../node-test-summary
. scripts/node-test-summary
# One file per group of cases, each with a Chromium of its own.
files=("$dir"/*.test.mjs)
run_node_tests "$dir" "${files[@]##*/}"
echo "page: screenshots in build/page-test-output/screens"
[ "$rc" -eq 0 ] && finish "$pass" "$fail" 0
finish "$pass" "$fail" 1
