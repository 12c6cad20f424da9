#!/usr/bin/env bash
# Shell suite: the real Norvane-Launcher.exe (x86_64 test build) under wine64
# with the WebView2 stand-in runtime, driven by node's test runner. Needs the
# scripts/test session (Xvfb, wineserver, prefix, test servers).
set -uo pipefail
cd "$(dirname "$0")/../.."

finish() { echo "shell: $1 passed, $2 failed"; exit "$3"; }

if ! command -v node >/dev/null; then
  echo "shell: node is needed (scripts/setup installs it)" >&2
  finish 0 1 1
fi
if ! command -v wrestool >/dev/null; then
  echo "shell: wrestool is needed (scripts/setup installs icoutils)" >&2
  finish 0 1 1
fi
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "shell: run inside scripts/test (it provides Xvfb and the Wine prefix)" >&2
  finish 0 1 1
fi

# shellcheck source=../node-test-summary
. scripts/node-test-summary
run_node_tests . --test-concurrency=1 tests/shell/resources.test.mjs tests/shell/launcher.test.mjs
[ "$rc" -eq 0 ] && finish "$pass" "$fail" 0
finish "$pass" "$fail" 1
