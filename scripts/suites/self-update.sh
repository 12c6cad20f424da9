#!/usr/bin/env bash
# The launcher's self-update for real under wine64: a stand-in launcher
# (self_update_probe) finds a second build offered in launcher/manifest.txt
# on the test nginx, downloads it as ".new" and starts it with the same
# command line; the new build takes the name once the first has ended. Then a
# failed start, a stop raised before the start, --no-self-update and signed
# launcher manifests.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
servers="$root/build/windows-x64/test-servers"
work="$root/build/windows-x64/self-update"
www="$servers/www/self-update/download"
mirror="https://localhost:18443/self-update/download/"  # the trailing '/' is part of the case
first="build/windows-x64/tests/system/self_update_probe.exe"
next="build/windows-x64/tests/system/self_update_probe_next.exe"
suite=self-update
# shellcheck source=/dev/null
. scripts/suite-checks

if [ ! -f "$first" ] || [ ! -f "$next" ] ||
   ! curl -s -o /dev/null --cacert "$servers/certs/ca.pem" https://localhost:18443/; then
  echo "self-update: needs the windows-x64 build and the test servers (run through scripts/test)"
  failed=1
  finish
fi

rm -rf "$work" "$www"
mkdir -p "$work/a" "$work/client" "$www"
printf 'x\n' >"$work/client/norvane.exe"
python3 tools/publish/publish.py --quiet --out "$www" --version 1 --client "$work/client" \
  --launcher "$next" >/dev/null || { failed=1; finish; }
exe="$work/a/Norvane-Launcher.exe"
win="Z:${exe//\//\\}"

fresh() { rm -rf "$work/a"; mkdir -p "$work/a"; cp "$first" "$exe"; }
probe() { scripts/wine-exec "$win" "$mirror" "$@" 2>/dev/null | tr -d '\r'; }
expect() {  # expect <text> <pattern>
  [[ "$1" == $2 ]] || { echo "  got: $1"; return 1; }
}
same() { [ "$1" = "$2" ] || { echo "  got: $1"; echo "  not: $2"; return 1; }; }
wait_started() { for _ in $(seq 100); do [ -s "$exe.started" ] && return 0; sleep 0.1; done; return 1; }

fresh
out=$(probe mode-none "a b")
check "the update reports the new build started" expect "$(head -1 <<<"$out")" "result=1"
check "the new build was started" wait_started
command=$(sed -n 's/^command=//p' <<<"$out")
check "with the same command line" same "$(cat "$exe.started" 2>/dev/null)" "$command"
check "the new build has the name" cmp -s "$exe" "$next"
check "no .new and no .old are left" test ! -e "$exe.new" -a ! -e "$exe.old"

# Closed after the download: nothing starts, the verified ".new" stays and
# the next start takes it.
fresh
cp "$next" "$exe.new"
out=$(probe stopped)
check "a stop reports no update" expect "$(head -1 <<<"$out")" "result=0"
check "a stop keeps the running build" cmp -s "$exe" "$first"
check "a stop keeps the complete .new" cmp -s "$exe.new" "$next"
check "a stop starts nothing" test ! -e "$exe.started"
out=$(probe mode-none)
check "the next start starts the kept build" wait_started
check "which then has the name" cmp -s "$exe" "$next"

fresh
out=$(probe fail-start)
check "a failed start reports no update" expect "$(head -1 <<<"$out")" "result=0"
check "the running build has its name back after a failed start" cmp -s "$exe" "$first"
check "no .new and no .old after the failed start" test ! -e "$exe.new" -a ! -e "$exe.old"
check "nothing was started" test ! -e "$exe.started"

# Stale siblings of an earlier update, and the player asks to keep this build.
fresh
printf 'old' >"$exe.old"
printf 'new' >"$exe.new"
out=$(probe mode-none --no-self-update)
check "--no-self-update keeps the build" expect "$(head -1 <<<"$out")" "result=0"
check "--no-self-update still removes stale .old and .new" test ! -e "$exe.old" -a ! -e "$exe.new"
check "--no-self-update fetched nothing" cmp -s "$exe" "$first"

# Signed releases: the probe pins the per-build test release key, and the
# launcher manifest is signed with it, with another key, for an older
# version, or not at all.
keys="$root/build/windows-x64/test-release-key"
offer() {  # offer <version> [<key>]: prints the key's public half
  python3 tools/publish/publish.py --quiet --out "$www" --version "$1" --client "$work/client" \
    --launcher "$next" ${2:+--key "$keys/$2.pem"} | sed -n 's/^signed with release key //p'
}
untouched() { test ! -e "$exe.new" -a ! -e "$exe.new.part" -a ! -e "$exe.started" && cmp -s "$exe" "$first"; }
release=$(offer 1 release)
fresh
out=$(probe keyed "$release")
check "a launcher manifest signed with the pinned key updates" expect "$(head -1 <<<"$out")" "result=1"
check "to the offered build" wait_started
offer 1 other >/dev/null
fresh
out=$(probe keyed "$release")
check "a launcher manifest signed with another key means no update" expect "$(head -1 <<<"$out")" "result=0"
# Any request for the executable would leave a ".new.part" or a ".new".
check "build A keeps running and nothing was fetched for B" untouched
offer 0.9 release >/dev/null
fresh
out=$(probe keyed "$release")
check "an older launcher, correctly signed, is refused" expect "$(head -1 <<<"$out")" "result=0"
check "and nothing was fetched for it" untouched
offer 1 >/dev/null
fresh
out=$(probe keyed "$release")
check "an unsigned launcher manifest is refused when a key is pinned" expect "$(head -1 <<<"$out")" "result=0"
check "and nothing was fetched for it" untouched

# A hostile launcher manifest: 16 MiB of binary noise around near-matches.
python3 - "$www/launcher/manifest.txt" <<'PY'
import os, sys
near = b"Norvane-Launcher.exe|0|" + b"a" * 64 + b"\nNorvane-Launcher.exe|5|" + b"a" * 63 + b"\n"
with open(sys.argv[1], "wb") as f:
    for _ in range(256):
        f.write(os.urandom(60000).replace(b"\n", b"|") + b"\n" + near)
PY
fresh
out=$(probe mode-none)
check "a hostile launcher manifest means no update" expect "$(head -1 <<<"$out")" "result=0"
check "and nothing beside the launcher" test ! -e "$exe.old" -a ! -e "$exe.new"

# The same build on offer: up to date, nothing downloaded.
python3 tools/publish/publish.py --quiet --out "$www" --version 2 --client "$work/client" \
  --launcher "$first" >/dev/null
fresh
out=$(probe mode-none)
check "an equal hash means up to date" expect "$(head -1 <<<"$out")" "result=0"
check "nothing was replaced" test ! -e "$exe.old" -a ! -e "$exe.new"
finish
