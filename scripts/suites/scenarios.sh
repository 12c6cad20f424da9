#!/usr/bin/env bash
# Player scenarios: the real Norvane-Launcher.exe (x86_64 test build) under
# wine64, its page in Chromium through the stand-in's browser mode, the test
# servers serving content published with tools/publish at the launcher's
# built-in download base. Each scenario checks the page, the game folder and
# the registry (tests/scenarios). Needs the scripts/test session.
#   NV_SCENARIOS="a b"  only tests/scenarios/a.test.mjs and b.test.mjs
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
build="$root/build/windows-x64"
www="$build/test-servers/www/download"
work="$build/scenarios"

finish() { echo "scenarios: $1 passed, $2 failed"; exit "$3"; }

if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "scenarios: run inside scripts/test (it provides Xvfb, the servers and the Wine prefix)" >&2
  finish 0 1 1
fi
for file in "$build/src/shell/Norvane-Launcher.exe" "$build/src/shell/Norvane-Launcher-B.exe" \
            "$build/webview2-standin/EBWebView/x64/EmbeddedBrowserWebView.dll"; do
  [ -f "$file" ] || { echo "scenarios: $file is missing (build the windows-x64 preset)" >&2; finish 0 1 1; }
done
if [ ! -d tests/page/node_modules/playwright-core ] &&
  ! (cd tests/page && npm ci --no-audit --no-fund --loglevel=error >/dev/null); then
  echo "scenarios: npm ci in tests/page failed" >&2
  finish 0 1 1
fi

# The download tree belongs to the test servers: what the scenarios publish
# there is taken out again, and the mirror list put back.
mkdir -p "$www"
before="$(mktemp)"
(cd "$www" && find . -type f | sort) >"$before"
cp "$www/mirrors.txt" "$work.mirrors-saved" 2>/dev/null || rm -f "$work.mirrors-saved"
cleanup() {
  local code=$?
  # A small disk a scenario could not unmount.
  grep -o " $work/[^ ]*" /proc/mounts | while read -r mounted; do umount "$mounted" 2>/dev/null; done
  (cd "$www" && find . -type f | sort) | comm -13 "$before" - | (cd "$www" && xargs -r -d '\n' rm -f)
  find "$www" -mindepth 1 -type d -empty -delete 2>/dev/null
  [ -f "$work.mirrors-saved" ] && mv "$work.mirrors-saved" "$www/mirrors.txt"
  rm -f "$before"
  exit "$code"
}
trap cleanup EXIT

rm -rf "$work"
mkdir -p "$work"
# shellcheck source=../node-test-summary
. scripts/node-test-summary
files=(tests/scenarios/*.test.mjs)
if [ -n "${NV_SCENARIOS:-}" ]; then
  files=()
  for name in $NV_SCENARIOS; do files+=("tests/scenarios/$name.test.mjs"); done
fi
run_node_tests . --test-concurrency=1 "${files[@]}"
echo "scenarios: screenshots in build/windows-x64/scenarios-output"
[ "$rc" -eq 0 ] && finish "$pass" "$fail" 0
finish "$pass" "$fail" 1
