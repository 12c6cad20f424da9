#!/usr/bin/env python3
"""Publishes Norvane content as a static tree for any web server or CDN.

    publish.py --out DIR --version TEXT --client DIR [--hd DIR]
               [--launcher EXE] [--user-files LIST] [--mirror URL ...]
               [--key RELEASE_KEY.pem]

writes, below DIR (served as the download base, e.g. https://host/download):

    client/manifest.txt     client/files/<sha256>
    hd/manifest.txt         hd/files/<sha256>            (with --hd)
    launcher/manifest.txt   launcher/Norvane-Launcher.exe (with --launcher)
    mirrors.txt                                          (with --mirror)
    <each manifest>.sig                                  (with --key)

Every manifest follows the launcher's rules exactly; anything the launcher
would reject (or could not place on a Windows disk) is refused with a message
naming the file, and nothing is published. Files already present under
files/ are not copied again. Each file is written to a temporary sibling and
renamed into place, manifests last, so a reader never sees a half-written
file, and a manifest never names a file that is not there yet.

The user-file list names files (paths as in the manifest, one per line, '#'
comments) that belong to the player once installed: the launcher downloads
them only when missing and never checks them afterwards.

With --key (an ECDSA P-256 private key in PEM, made with
`openssl ecparam -name prime256v1 -genkey -noout -out release-key.pem`), every
manifest gets a detached signature beside it, <manifest>.sig: one line of 128
lower-case hex digits, r then s (32 bytes each), of ECDSA over the SHA-256 of
the manifest's exact bytes. A launcher built with the key's public half
(printed in the summary, NV_RELEASE_KEYS) takes no manifest without it.
Without --key, a .sig left from an earlier signed run is removed: it could
never match the new manifest.

Python 3 standard library and the openssl command only.
"""

import argparse
import hashlib
import os
import re
import stat
import subprocess
import sys
import time

LAUNCHER_NAME = "Norvane-Launcher.exe"
MAX_DECIMAL = 10**18  # the launcher reads at most 18 digits
MAX_PATH_BYTES = 400
CHUNK = 4 * 1024 * 1024

# Names the launcher itself keeps in the game folder: a content file with one
# of them would be overwritten by the launcher (or overwrite its data).
RESERVED_ROOT_NAMES = {
    "launcher_state.txt", "launcher_state.txt.tmp", ".nrv_write_test", "data.ini.full",
    "norvane-launcher.exe", "norvane-launcher.exe.new", "norvane-launcher.exe.old",
}
# Partial downloads live beside their target as <name>.part and .part.tag.
RESERVED_SUFFIXES = (".part", ".part.tag")
DEVICE_NAMES = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"} | {
    f"{kind}{digit}" for kind in ("COM", "LPT") for digit in "0123456789"}


class Refused(Exception):
    """Input the launcher would reject; the message names the file."""


# --- the launcher's rules ---------------------------------------------------------

def path_problem(path_bytes):
    """Why the launcher's path rule rejects path_bytes (UTF-8), or None."""
    if not 1 <= len(path_bytes) <= MAX_PATH_BYTES:
        return f"is {len(path_bytes)} bytes long (1 to {MAX_PATH_BYTES} allowed)"
    if path_bytes.startswith(b"/"):
        return "starts with '/'"
    if path_bytes.startswith(b"#"):
        # The launcher's rule allows it, but the manifest line would begin with
        # '#' and be read as a comment: the file would silently be left out.
        return "starts with '#', which would make its manifest line a comment"
    for bad in (b"\\", b":"):
        if bad in path_bytes:
            return f"contains {bad.decode()!r}"
    for segment in path_bytes.split(b"/"):
        if segment in (b"", b".", b".."):
            return "has an empty, '.' or '..' segment"
        for byte in segment:
            if byte < 0x20:
                return f"contains the control byte 0x{byte:02x}"
            if chr(byte) in '<>"|?*':
                return f"contains {chr(byte)!r}"
        if segment.endswith((b".", b" ")):
            return f"has a name ending in '.' or a blank ({segment.decode('utf-8', 'replace')!r})"
        base = segment.split(b".", 1)[0].rstrip(b" ").upper()
        if base.decode("ascii", "replace") in DEVICE_NAMES:
            return f"uses the Windows device name {base.decode()!r}"
    return None


def ascii_lower(text):
    return "".join(chr(ord(c) + 32) if "A" <= c <= "Z" else c for c in text)


def check_version(version, what):
    if not version:
        raise Refused(f"{what}: the version is empty")
    if version != version.strip() or any(c in version for c in "|\r\n\t") or any(
            ord(c) < 0x20 for c in version):
        raise Refused(f"{what}: the version {version!r} must be one line without '|', "
                      "control characters or blanks around it")


def check_mirror(url):
    # The launcher uses https mirrors only, without user-info: anything else
    # would be a line it silently skips.
    lowered = url.lower()
    if not lowered.startswith("https://"):
        raise Refused(f"mirror {url!r}: must start with https://")
    if any(c.isspace() or ord(c) < 0x20 for c in url) or "#" in url:
        raise Refused(f"mirror {url!r}: must not contain blanks, control characters or '#'")
    trimmed = url.rstrip("/")
    host = trimmed.split("://", 1)[1]
    if not host or host.startswith("/"):
        raise Refused(f"mirror {url!r}: has no host")
    if "@" in re.split(r"[/?#\\]", host, maxsplit=1)[0]:
        raise Refused(f"mirror {url!r}: must not carry user-info")
    return trimmed


# --- the source tree ---------------------------------------------------------------

def list_tree(root, what):
    """Every file below root as (relative path text, full path), sorted by the
    path's UTF-8 bytes. Refuses what the launcher could not place."""
    if not os.path.isdir(root):
        raise Refused(f"{what}: {root} is not a folder")
    found = []
    for folder, dirs, files in os.walk(os.fsencode(root)):
        dirs.sort()
        for name in dirs + files:
            full = os.path.join(folder, name)
            relative = os.path.relpath(full, os.fsencode(root)).replace(os.sep.encode(), b"/")
            try:
                text = relative.decode("utf-8")
            except UnicodeDecodeError:
                raise Refused(f"{what}: {relative!r} is not a UTF-8 name") from None
            mode = os.lstat(full).st_mode
            if stat.S_ISLNK(mode) and (name in dirs or not os.path.isfile(full)):
                raise Refused(f"{what}: {text} is a link to a folder or to nothing")
            if name in files and not stat.S_ISREG(os.stat(full).st_mode):
                raise Refused(f"{what}: {text} is not a regular file")
            problem = path_problem(relative)
            if problem:
                raise Refused(f"{what}: {text} {problem}")
            if name in files:
                found.append((text, full))
    found.sort(key=lambda item: item[0].encode("utf-8"))
    if not found:
        raise Refused(f"{what}: {root} holds no files")
    return found


def check_names(files, what, taken):
    """Case duplicates (the launcher folds A-Z; Windows folds every letter, so
    both are refused), a file whose name is also a folder in another case, and
    names the launcher keeps for itself. taken maps the folded paths of sets
    published earlier in this run to their set name."""
    seen = {}
    folders = set()
    for path, _ in files:
        parts = path.split("/")
        for depth in range(1, len(parts)):
            folders.add("/".join(parts[:depth]).upper())
        for key in (ascii_lower(path), path.upper()):
            if key in seen:
                raise Refused(f"{what}: {path} and {seen[key]} differ only in letter case")
            seen[key] = path
        if path.upper() in taken:
            raise Refused(f"{what}: {path} is also in the {taken[path.upper()]} set")
        lowered = ascii_lower(path)
        if ("/" not in lowered and lowered in RESERVED_ROOT_NAMES) or lowered.endswith(
                RESERVED_SUFFIXES):
            raise Refused(f"{what}: {path} is a name the launcher keeps for its own files")
    for path, _ in files:
        if path.upper() in folders:
            raise Refused(f"{what}: {path} is a file and, in another letter case, a folder")
    for path, _ in files:
        taken[path.upper()] = what


def read_user_files(list_path, files, what):
    if not list_path:
        return set()
    names = {path for path, _ in files}
    marked = set()
    with open(list_path, encoding="utf-8") as handle:
        for number, line in enumerate(handle, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line not in names:
                raise Refused(f"user-file list {list_path} line {number}: {line} is not a file "
                              f"of the {what} set")
            marked.add(line)
    return marked


# --- writing -----------------------------------------------------------------------

class Progress:
    """A line on stderr at most every half second, for trees that take a while."""

    def __init__(self, quiet):
        self.quiet = quiet
        self.last = 0.0

    def show(self, text, force=False):
        if self.quiet:
            return
        now = time.monotonic()
        if force or now - self.last >= 0.5:
            self.last = now
            print(text, file=sys.stderr, flush=True)


def sha256_of(path, tally, label):
    digest = hashlib.sha256()
    with open(path, "rb") as handle:
        while True:
            block = handle.read(CHUNK)
            if not block:
                break
            digest.update(block)
            tally.advance(len(block), label)
    return digest.hexdigest()


def write_atomically(target, data):
    temporary = f"{target}.tmp-{os.getpid()}"
    try:
        with open(temporary, "wb") as handle:
            handle.write(data)
            handle.flush()
            os.fsync(handle.fileno())
        os.replace(temporary, target)
    finally:
        if os.path.exists(temporary):
            os.remove(temporary)


def copy_verified(source, target, sha256):
    """Copies source to target through a temporary sibling, checking that the
    bytes copied still have the hash the manifest will name."""
    temporary = f"{target}.tmp-{os.getpid()}"
    digest = hashlib.sha256()
    try:
        with open(source, "rb") as src, open(temporary, "wb") as dst:
            while True:
                block = src.read(CHUNK)
                if not block:
                    break
                digest.update(block)
                dst.write(block)
            dst.flush()
            os.fsync(dst.fileno())
        if digest.hexdigest() != sha256:
            raise Refused(f"{source.decode('utf-8', 'replace')} changed while it was published")
        os.replace(temporary, target)
    finally:
        if os.path.exists(temporary):
            os.remove(temporary)


# --- signing ----------------------------------------------------------------------

# SubjectPublicKeyInfo of a P-256 key up to its point: what openssl writes for
# any such key, so the point is the 65 bytes that follow.
P256_SPKI_PREFIX = bytes.fromhex("3059301306072a8648ce3d020106082a8648ce3d030107034200")


def openssl(arguments, data=b""):
    try:
        done = subprocess.run(["openssl"] + arguments, input=data, capture_output=True, check=False)
    except FileNotFoundError:
        raise Refused("signing needs the openssl command") from None
    if done.returncode != 0:
        raise Refused(f"openssl {arguments[0]} failed: {done.stderr.decode(errors='replace').strip()}")
    return done.stdout


def release_public_key(key_path):
    """The key's public point as NV_RELEASE_KEYS takes it (hex, 04 + X + Y);
    refuses a key that is not ECDSA P-256, the only kind the launcher checks."""
    if not os.path.isfile(key_path):
        raise Refused(f"release key {key_path} does not exist")
    spki = openssl(["pkey", "-in", key_path, "-pubout", "-outform", "DER"])
    if len(spki) != len(P256_SPKI_PREFIX) + 65 or not spki.startswith(P256_SPKI_PREFIX):
        raise Refused(f"release key {key_path} is not an ECDSA P-256 key")
    return spki[len(P256_SPKI_PREFIX):].hex()


def der_integer(data, at):
    if data[at] != 0x02 or data[at + 1] > 33:
        raise Refused("openssl wrote a signature this tool cannot read")
    length = data[at + 1]
    value = data[at + 2:at + 2 + length].lstrip(b"\0")
    if len(value) > 32:
        raise Refused("openssl wrote a signature this tool cannot read")
    return value.rjust(32, b"\0"), at + 2 + length


def sign(key_path, data):
    """The .sig text for data: r and s as hex. openssl writes the DER form
    (a SEQUENCE of two INTEGERs); the launcher's CNG takes r and s as they are."""
    der = openssl(["dgst", "-sha256", "-sign", key_path], data)
    if len(der) < 8 or der[0] != 0x30 or der[1] != len(der) - 2:
        raise Refused("openssl wrote a signature this tool cannot read")
    r, at = der_integer(der, 2)
    s, at = der_integer(der, at)
    if at != len(der):
        raise Refused("openssl wrote a signature this tool cannot read")
    return ((r + s).hex() + "\n").encode("ascii")


def write_manifest(target, text, key_path):
    """The signature first, then the manifest: a reader between the two sees
    a pair that does not match and tries again, never a manifest passed as
    signed that was not."""
    signature_path = target + ".sig"
    if key_path:
        write_atomically(signature_path, sign(key_path, text))
    elif os.path.exists(signature_path):
        os.remove(signature_path)
    write_atomically(target, text)


class Tally:
    def __init__(self, total_bytes, progress):
        self.total = total_bytes
        self.done = 0
        self.progress = progress

    def advance(self, count, label):
        self.done += count
        self.progress.show(f"{label}: {self.done * 100 // max(self.total, 1)}% "
                           f"({self.done // 1048576} of {self.total // 1048576} MiB)")


def manifest_text(version, entries):
    total = sum(size for _, size, _, _ in entries)
    if total >= MAX_DECIMAL:
        raise Refused(f"the set is too large ({total} bytes)")
    lines = [f"# Norvane content manifest: path|size|sha256|flags",
             f"version|{version}", f"count|{len(entries)}", f"total|{total}"]
    for path, size, sha256, user in entries:
        lines.append(f"{path}|{size}|{sha256}" + ("|u" if user else ""))
    return ("\n".join(lines) + "\n").encode("utf-8")


def prepare_set(what, root, user_list, taken, progress):
    files = list_tree(root, what)
    check_names(files, what, taken)
    user = read_user_files(user_list, files, what)
    sized = []
    for path, full in files:
        size = os.stat(full).st_size
        if size >= MAX_DECIMAL:
            raise Refused(f"{what}: {path} is too large ({size} bytes)")
        sized.append((path, full, size))
    tally = Tally(sum(size for _, _, size in sized), progress)
    entries = []
    for index, (path, full, size) in enumerate(sized, 1):
        sha256 = sha256_of(full, tally, f"{what}: hashing file {index} of {len(sized)}")
        entries.append((path, full, size, sha256, path in user))
    return entries


def store_files(out, what, entries, progress):
    """Copies the files whose hash is not stored yet; returns how many."""
    folder = os.path.join(out, what, "files")
    os.makedirs(folder, exist_ok=True)
    missing = {}
    for path, full, size, sha256, _ in entries:
        target = os.path.join(folder, sha256)
        if not (os.path.isfile(target) and os.path.getsize(target) == size):
            missing.setdefault(sha256, (path, full))  # equal files are stored once
    if missing:
        progress.show(f"{what}: storing {len(missing)} new files", force=True)
    for index, (sha256, (path, full)) in enumerate(missing.items(), 1):
        progress.show(f"{what}: storing {path} ({index} of {len(missing)})")
        copy_verified(full, os.path.join(folder, sha256), sha256)
    return len(missing)


def publish(args):
    progress = Progress(args.quiet)
    client_version = args.client_version or args.version
    hd_version = args.hd_version or args.version
    launcher_version = args.launcher_version or args.version
    check_version(client_version, "client")
    check_version(hd_version, "hd")
    check_version(launcher_version, "launcher")
    mirrors = []
    for url in args.mirror or []:
        trimmed = check_mirror(url)
        if trimmed not in mirrors:
            mirrors.append(trimmed)
    if args.user_files and not os.path.isfile(args.user_files):
        raise Refused(f"user-file list {args.user_files} does not exist")
    public_key = release_public_key(args.key) if args.key else None

    # Everything is checked and hashed before anything is written.
    taken = {}
    sets = [("client", args.client, client_version)]
    if args.hd:
        sets.append(("hd", args.hd, hd_version))
    prepared = []
    for what, root, version in sets:
        entries = prepare_set(what, root, args.user_files if what == "client" else args.hd_user_files,
                              taken, progress)
        prepared.append((what, version, entries, manifest_text(
            version, [(p, s, h, u) for p, _, s, h, u in entries])))
    launcher = None
    if args.launcher:
        if not os.path.isfile(args.launcher) or os.path.getsize(args.launcher) == 0:
            raise Refused(f"launcher {args.launcher}: missing or empty")
        size = os.path.getsize(args.launcher)
        sha256 = sha256_of(args.launcher, Tally(size, progress), "launcher: hashing")
        launcher = (size, sha256, manifest_text(launcher_version, [(LAUNCHER_NAME, size, sha256, False)]))

    os.makedirs(args.out, exist_ok=True)
    summary = []
    for what, version, entries, text in prepared:
        new = store_files(args.out, what, entries, progress)
        write_manifest(os.path.join(args.out, what, "manifest.txt"), text, args.key)
        total = sum(size for _, _, size, _, _ in entries)
        summary.append(f"{what}: version {version}, {len(entries)} files, {total} bytes, "
                       f"{new} new in files/")
    if launcher:
        size, sha256, text = launcher
        folder = os.path.join(args.out, "launcher")
        os.makedirs(folder, exist_ok=True)
        copy_verified(os.fsencode(args.launcher), os.path.join(folder, LAUNCHER_NAME), sha256)
        write_manifest(os.path.join(folder, "manifest.txt"), text, args.key)
        summary.append(f"launcher: {size} bytes, sha256 {sha256}")
    if mirrors:
        write_atomically(os.path.join(args.out, "mirrors.txt"),
                         ("# Norvane download mirrors, one base URL per line\n" +
                          "".join(url + "\n" for url in mirrors)).encode("utf-8"))
        summary.append(f"mirrors: {len(mirrors)}")
    if public_key:
        summary.append(f"signed with release key {public_key}")
    for line in summary:
        print(line)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", required=True, help="the download folder to write")
    parser.add_argument("--version", required=True, help="content version (all sets by default)")
    parser.add_argument("--client", required=True, help="folder of the game client")
    parser.add_argument("--client-version")
    parser.add_argument("--hd", help="folder of the HD pack")
    parser.add_argument("--hd-version")
    parser.add_argument("--launcher", help="the launcher executable to offer as self-update")
    parser.add_argument("--launcher-version")
    parser.add_argument("--user-files", help="list of client paths that are user files")
    parser.add_argument("--hd-user-files", help="list of HD paths that are user files")
    parser.add_argument("--mirror", action="append", help="a download base URL for mirrors.txt")
    parser.add_argument("--key", help="ECDSA P-256 private key (PEM) that signs every manifest")
    parser.add_argument("--quiet", action="store_true", help="no progress lines")
    args = parser.parse_args(argv)
    try:
        publish(args)
    except Refused as refusal:
        print(f"publish: refused: {refusal}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"publish: {error}", file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
