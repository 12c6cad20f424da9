#!/usr/bin/env bash
# End to end: the jobs as the page starts them (jobs_e2e.exe under wine64)
# against the test nginx serving two versions written by tools/publish: a
# client of a few files (one large enough to pause in), an HD pack holding
# custom_hd1.grf and custom_hd2.grf, and the driver itself as the launcher
# build on offer (so the self-update finds itself up to date).
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
servers="$root/build/windows-x64/test-servers"
work="$root/build/windows-x64/jobs-e2e"
www="$servers/www/jobs-e2e"
base="https://localhost:18443/jobs-e2e"
driver="build/windows-x64/tests/jobs/jobs_e2e.exe"

if [ ! -f "$driver" ] || ! curl -s -o /dev/null --cacert "$servers/certs/ca.pem" https://localhost:18443/; then
  echo "jobs-e2e: needs the windows-x64 build and the test servers (run through scripts/test)"
  echo "jobs-e2e: 0 passed, 1 failed"
  exit 1
fi

rm -rf "$work" "$www"
mkdir -p "$work/client" "$work/hd" "$work/run" "$www"
python3 - "$work" <<'PY'
import os, sys
work = sys.argv[1]
def put(root, path, data):
    full = os.path.join(work, root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(data)
put("client", "norvane.exe", b"MZ" + os.urandom(30000))
put("client", "DATA.INI", b"[data]\r\n0=data.grf\r\n1=custom_hd1.grf\r\n2=custom_hd2.grf\r\n")
put("client", "config/options.ini", b"volume=5\n")
put("client", "data/big.grf", os.urandom(32 * 1024 * 1024))
put("client", "data/small.dat", os.urandom(5000))
put("client", "data/zz.dat", os.urandom(700))
put("hd", "custom_hd1.grf", os.urandom(32 * 1024 * 1024))
put("hd", "custom_hd2.grf", os.urandom(9000))
PY
publish() {  # publish <version> <folder>
  python3 tools/publish/publish.py --quiet --out "$www/$2/download" --version "$1" --client "$work/client" \
    --hd "$work/hd" --launcher "$driver" --mirror "$base/$2/download" >/dev/null
}
publish 1 v1 || { echo "jobs-e2e: publishing version 1 failed"; echo "jobs-e2e: 0 passed, 1 failed"; exit 1; }
# Version 2: the large file and one small one change.
head -c $((32 * 1024 * 1024)) /dev/urandom >"$work/client/data/big.grf"
head -c 700 /dev/urandom >"$work/client/data/zz.dat"
publish 2 v2 || { echo "jobs-e2e: publishing version 2 failed"; echo "jobs-e2e: 0 passed, 1 failed"; exit 1; }

total() { grep '^total|' "$www/v1/download/$1/manifest.txt" | cut -d'|' -f2; }
export NV_E2E_MIRROR1="$base/v1/download" NV_E2E_MIRROR2="$base/v2/download"
export NV_E2E_WORK="Z:${work//\//\\}\\run"
export NV_E2E_CLIENT_TOTAL="$(total client)" NV_E2E_HD_TOTAL="$(total hd)"
export NV_E2E_CLIENT_FILES="$(find "$work/client" -type f | wc -l)"
export WINEDEBUG=-all
# Wine passes the environment on to the Windows process.
out="$(mktemp)"
scripts/wine-exec "$driver" 2>&1 | tr -d '\r' | tee "$out" | grep -E '^\[( +OK|  FAILED|  PASSED) |Failure|Expected|Which is|  Actual|value of|^tests/' 
passed=$(grep -cE '^\[       OK \]' "$out")
failed=$(grep -cE '^\[  FAILED  \] .* \([0-9]+ ms\)$' "$out")
if [ "$passed" = 0 ] && [ "$failed" = 0 ]; then failed=1; tail -20 "$out"; fi
rm -f "$out"
echo "jobs-e2e: $passed passed, $failed failed"
[ "$failed" = 0 ]
