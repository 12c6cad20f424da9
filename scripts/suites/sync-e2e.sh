#!/usr/bin/env bash
# End to end: tools/publish writes a generated client and HD pack into the
# test nginx's tree (scripts/test-services), the launcher's sync engine
# (sync_e2e.exe under wine64) installs them into an empty folder, every file
# is compared, and after two files change and are published again the next
# sync downloads exactly those two. Then: a reduced data list is restored
# before the check, a file an "antivirus" removes right after its download
# is reported, and a pause mid-file leaves the row waiting and the partial
# file, which the next sync resumes.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
servers="$root/build/windows-x64/test-servers"
work="$root/build/windows-x64/sync-e2e"
www="$servers/www/sync-e2e/download"
mirror="https://localhost:18443/sync-e2e/download"
driver="build/windows-x64/tests/sync/sync_e2e.exe"
suite=sync-e2e
# shellcheck source=/dev/null
. scripts/suite-checks

if [ ! -f "$driver" ] || ! curl -s -o /dev/null --cacert "$servers/certs/ca.pem" https://localhost:18443/; then
  echo "sync-e2e: needs the windows-x64 build and the test servers (run through scripts/test)"
  failed=1
  finish
fi

rm -rf "$work" "$www"
mkdir -p "$work/game" "$www"

# The source trees: nested folders, a blank and UTF-8 in names, an empty
# file, a 3 MiB file, a user file.
python3 - "$work" <<'PY'
import os, random, sys
work = sys.argv[1]
rng = random.Random(4)
def put(root, path, data):
    full = os.path.join(work, root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(data)
put("client", "norvane.exe", b"MZ" + bytes(rng.randrange(256) for _ in range(20000)))
put("client", "DATA.INI", b"data.grf\n")
put("client", "data/empty.bin", b"")
put("client", "data/big.grf", os.urandom(3 * 1024 * 1024))
put("client", "data/huge.grf", os.urandom(48 * 1024 * 1024))
put("client", "data/with blank/caf\u00e9 \u65e5\u672c.txt", "caf\u00e9".encode())
put("client", "config/options.ini", b"volume=5\n")
for i in range(30):
    put("client", f"data/sub{i % 4}/file{i}.dat", os.urandom(rng.randrange(1, 70000)))
put("hd", "textures/hd1.pak", os.urandom(200000))
put("hd", "textures/hd2.pak", os.urandom(5000))
with open(os.path.join(work, "users.txt"), "w") as f:
    f.write("config/options.ini\n")
PY

publish() {
  python3 tools/publish/publish.py --quiet --out "$www" --version "$1" --client "$work/client" \
    --hd "$work/hd" --user-files "$work/users.txt" --mirror "$mirror" >/dev/null
}
sync() {  # sync [mode]
  scripts/wine-exec "$driver" "Z:${work//\//\\}\\game" "$mirror" client+hd "$@" 2>/dev/null |
    tr -d '\r' | tail -1
}
same_files() {
  local tree ok=0
  for tree in client hd; do
    (cd "$work/$tree" && find . -type f) | while read -r f; do
      cmp -s "$work/$tree/$f" "$work/game/$f" || { echo "  differs: $tree/$f"; exit 1; }
    done || ok=1
  done
  return $ok
}
expect() {  # expect <line> <pattern>
  [[ "$1" == $2 ]] || { echo "  got: $1"; return 1; }
}

check "publish version 1" publish 1
files=$(( $(find "$work/client" "$work/hd" -type f | wc -l) ))
line=$(sync)
check "first sync installs all $files files" expect "$line" "result=0 started=1 downloaded=$files row=- error="
check "every file equals its source" same_files
check "the file state records version 1" grep -qx 'version|1' "$work/game/launcher_state.txt"

line=$(sync)
check "second sync downloads nothing" expect "$line" "result=0 started=0 downloaded=0 row=- error="

# Two files change (one keeps its size), and the player edits a user file.
head -c 200000 /dev/urandom >"$work/hd/textures/hd1.pak"
printf 'data.grf\nhd.grf\n' >"$work/client/DATA.INI"
printf 'volume=9\n' >"$work/game/config/options.ini"
check "publish version 2" publish 2
line=$(sync)
check "the next sync downloads exactly the two changed files" expect "$line" "result=0 started=1 downloaded=2 row=- error="
check "the player's own file is left alone" grep -qx 'volume=9' "$work/game/config/options.ini"
printf 'volume=5\n' >"$work/game/config/options.ini"
check "every file equals its source after the update" same_files

rm "$work/game/data/sub1/file1.dat"
line=$(sync)
check "a deleted file is downloaded again" expect "$line" "result=0 started=1 downloaded=1 row=- error="

# The HD pack is missing an archive: DATA.INI was reduced and the shipped list
# kept as DATA.INI.full. The sync puts it back before checking, so nothing
# is downloaded for it.
mv "$work/game/DATA.INI" "$work/game/DATA.INI.full"
printf 'data.grf\n' >"$work/game/DATA.INI"
line=$(sync)
check "the full data list is restored before the check" expect "$line" "result=0 started=0 downloaded=0 row=- error="
check "DATA.INI is the shipped list again" cmp -s "$work/client/DATA.INI" "$work/game/DATA.INI"

rm "$work/game/data/sub2/file2.dat"
line=$(sync antivirus:data/sub2/file2.dat)
check "a file removed right after its download is reported" expect "$line" \
  "result=2 started=1 downloaded=1 row=done error=1 file(s) were changed or removed right after downloading - usually an antivirus. Add the game folder as an exception, then use Repair."

rm "$work/game/data/huge.grf"
line=$(sync pause:data/huge.grf)
check "a pause mid-file ends the sync as stopped with the row waiting" expect "$line" "result=1 started=1 downloaded=1 row=wait error="
part_size=$(stat -c %s "$work/game/data/huge.grf.part" 2>/dev/null || echo 0)
check "the partial file stays ($part_size bytes)" test "$part_size" -gt 0 -a "$part_size" -lt $((48 * 1024 * 1024))
line=$(sync)
check "the next sync finishes both files" expect "$line" "result=0 started=1 downloaded=2 row=- error="
check "every file equals its source at the end" same_files

# Failure patterns over five missing files in manifest order: the server
# lacks files 1, 2 and 3 (the set ends at the third), then 1, 2, 4 and 5
# (every file is tried).
mapfile -t five < <(grep '^data/sub0/' "$www/client/manifest.txt" | head -5)
hide() { local i; for i in "$@"; do mv "$www/client/files/$(cut -d'|' -f3 <<<"${five[$i]}")" "$work/hidden-$i"; done; }
unhide() { local f; for f in "$work"/hidden-*; do [ -e "$f" ] || continue; mv "$f" "$www/client/files/$(cut -d'|' -f3 <<<"${five[${f##*-}]}")"; done; }
for entry in "${five[@]}"; do rm -f "$work/game/${entry%%|*}"; done
failed_text="Some files could not be downloaded. Check your internet connection (and that your antivirus is not blocking the launcher), then try again."
hide 0 1 2
line=$(sync "row:${five[4]%%|*}")
unhide
check "three failures in a row end the set at the third file" expect "$line" "result=2 started=1 downloaded=3 row=wait error=$failed_text"
hide 0 1 3 4
line=$(sync "row:${five[4]%%|*}")
unhide
check "failures on files 1, 2, 4 and 5 around a good third try all five" expect "$line" "result=2 started=1 downloaded=5 row=fail error=$failed_text"
line=$(sync)
check "the four missing files come with the next sync" expect "$line" "result=0 started=1 downloaded=4 row=- error="
check "every file equals its source after the failures" same_files

# A set of 500 small files: the file card shows 300 rows, all 500 come.
many="$work/many"
many_www="$servers/www/sync-e2e-many/download"
many_mirror="https://localhost:18443/sync-e2e-many/download"
rm -rf "$many" "$many_www"
mkdir -p "$many/client" "$many/game" "$many_www"
python3 - "$many/client" <<'PY'
import os, sys
for i in range(500):
    d = os.path.join(sys.argv[1], f"pack{i // 100}")
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, f"item{i:03}.bin"), "wb") as f:
        f.write(os.urandom(100 + i))
PY
python3 tools/publish/publish.py --quiet --out "$many_www" --version 7 --client "$many/client" \
  --mirror "$many_mirror" >/dev/null
sync_many() {
  scripts/wine-exec "$driver" "Z:${many//\//\\}\\game" "$many_mirror" client "$@" 2>/dev/null |
    tr -d '\r' | tail -1
}
# The disk test wants the bytes to download plus a 64 MiB margin free.
need=$(( $(find "$many/client" -type f -printf '%s\n' | awk '{s+=$1} END {print s}') ))
line=$(sync_many "free:$((need + 64 * 1024 * 1024 - 1))")
check "one byte short of need + 64 MiB refuses the download" expect "$line" "result=2 started=* downloaded=0 row=- error=Not enough disk space: *"
line=$(sync_many rows)
check "500 files: 300 rows on the card, all 500 downloaded" expect "$line" "result=0 started=1 downloaded=500 row=300 error="
check "the 500 files equal their sources" diff -r -q "$many/client" "$many/game" -x launcher_state.txt
finish
