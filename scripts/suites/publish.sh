#!/usr/bin/env bash
# The publisher's tests (tools/publish): what it writes is read back with the
# launcher's own manifest parser from the host build.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
if [ -d build/host ]; then
  cmake --build build/host --target manifest_check >/dev/null || true
fi
python3 tests/publish/test_publish.py
