"""Tests of tools/publish/publish.py. Manifests it writes are read back with
the launcher's own parser (manifest_check from the host build).

    python3 tests/publish/test_publish.py   (prints "publish: N passed, N failed")
"""

import hashlib
import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
PUBLISH = os.path.join(ROOT, "tools", "publish", "publish.py")
MANIFEST_CHECK = os.environ.get(
    "NV_MANIFEST_CHECK", os.path.join(ROOT, "build", "host", "tests", "sync", "manifest_check"))
sys.path.insert(0, os.path.dirname(PUBLISH))
import publish  # noqa: E402


def sha(data):
    return hashlib.sha256(data).hexdigest()


def write(root, relative, data):
    """relative may be bytes (names that are not UTF-8)."""
    if isinstance(relative, str):
        relative = relative.encode("utf-8")
    path = os.path.join(os.fsencode(root), relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as handle:
        handle.write(data)
    return path


def remove_with_folders(root, path):
    """Removes the file at path and the folders above it that become empty."""
    os.remove(path)
    folder = os.path.dirname(path)
    while os.path.abspath(folder) != os.path.abspath(os.fsencode(root)) and not os.listdir(folder):
        os.rmdir(folder)
        folder = os.path.dirname(folder)


def run_publish(*args):
    return subprocess.run([sys.executable, PUBLISH, "--quiet", *args], capture_output=True,
                          text=True)


def launcher_reads(path, launcher_manifest=False):
    """(valid, {path: (size, sha256, user)}) as the launcher parses the file:
    a content manifest, or launcher/manifest.txt as the self-update reads it."""
    result = subprocess.run([MANIFEST_CHECK, *(["--launcher"] if launcher_manifest else []), path],
                            capture_output=True)
    lines = result.stdout.decode("utf-8").splitlines()
    entries = {}
    for line in lines[3:]:
        fields = line.split("|")
        entries[fields[0]] = (int(fields[1]), fields[2], len(fields) == 4)
    return result.returncode == 0, entries


def snapshot(folder):
    """Every file below folder with its bytes."""
    found = {}
    for dirpath, _, files in os.walk(folder):
        for name in files:
            full = os.path.join(dirpath, name)
            with open(full, "rb") as handle:
                found[os.path.relpath(full, folder)] = handle.read()
    return found


def openssl_verifies(public_hex, data, signature_path):
    """openssl's own verdict on a .sig (r and s in hex) made for the key
    whose point is public_hex."""
    with open(signature_path) as handle:
        raw = bytes.fromhex(handle.read().strip())

    def integer(value):
        value = value.lstrip(b"\0") or b"\0"
        value = b"\0" + value if value[0] & 0x80 else value
        return b"\x02" + bytes([len(value)]) + value
    body = integer(raw[:32]) + integer(raw[32:])
    with tempfile.TemporaryDirectory() as temp:
        der = os.path.join(temp, "sig.der")
        key = os.path.join(temp, "key.der")
        with open(der, "wb") as handle:
            handle.write(b"\x30" + bytes([len(body)]) + body)
        with open(key, "wb") as handle:
            handle.write(publish.P256_SPKI_PREFIX + bytes.fromhex(public_hex))
        return subprocess.run(["openssl", "dgst", "-sha256", "-verify", key, "-keyform", "DER",
                               "-signature", der], input=data, capture_output=True).returncode == 0


class PublishTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.dir = self.temp.name
        self.client = os.path.join(self.dir, "client")
        self.hd = os.path.join(self.dir, "hd")
        self.out = os.path.join(self.dir, "out")

    def tearDown(self):
        self.temp.cleanup()

    def make_client(self):
        files = {
            "norvane.exe": b"MZ" + b"\0" * 5000,
            "DATA.INI": b"data.grf\n",
            "data/Big.grf": os.urandom(300000),
            "data/empty.bin": b"",
            "Caf\u00e9/\u65e5\u672c.dat": b"utf-8 names",
            "config/options.ini": b"volume=7\n",
        }
        for path, data in files.items():
            write(self.client, path, data)
        return files

    def test_publishes_what_the_launcher_accepts(self):
        files = self.make_client()
        write(self.hd, "textures/4k.pak", b"hd" * 1000)
        launcher = write(self.dir, "build/launcher.exe", b"MZlauncher")
        users = write(self.dir, "users.txt", b"# player files\n\nconfig/options.ini\n")
        result = run_publish("--out", self.out, "--version", "2024.2", "--client", self.client,
                             "--hd", self.hd, "--hd-version", "hd-7", "--launcher", launcher,
                             "--user-files", users, "--mirror", "https://a.example/download/",
                             "--mirror", "HTTPS://b.example/download", "--mirror",
                             "https://a.example/download")
        self.assertEqual(result.returncode, 0, result.stderr)

        valid, entries = launcher_reads(os.path.join(self.out, "client", "manifest.txt"))
        self.assertTrue(valid)
        self.assertEqual(set(entries), set(files))
        for path, data in files.items():
            self.assertEqual(entries[path], (len(data), sha(data), path == "config/options.ini"))
            with open(os.path.join(self.out, "client", "files", sha(data)), "rb") as handle:
                self.assertEqual(handle.read(), data)
        with open(os.path.join(self.out, "client", "manifest.txt"), encoding="utf-8") as handle:
            text = handle.read()
        self.assertIn("\nversion|2024.2\ncount|6\n", text)
        self.assertIn(f"\ntotal|{sum(len(d) for d in files.values())}\n", text)
        # Sorted by the UTF-8 bytes of the path: the same input gives the same text.
        paths = [line.split("|")[0] for line in text.splitlines()[4:]]
        self.assertEqual(paths, sorted(paths, key=lambda p: p.encode("utf-8")))

        valid, entries = launcher_reads(os.path.join(self.out, "hd", "manifest.txt"))
        self.assertTrue(valid)
        self.assertEqual(entries, {"textures/4k.pak": (2000, sha(b"hd" * 1000), False)})
        with open(os.path.join(self.out, "hd", "manifest.txt"), encoding="utf-8") as handle:
            self.assertIn("\nversion|hd-7\n", handle.read())

        valid, entries = launcher_reads(os.path.join(self.out, "launcher", "manifest.txt"),
                                        launcher_manifest=True)
        self.assertTrue(valid)
        self.assertEqual(entries, {"Norvane-Launcher.exe": (10, sha(b"MZlauncher"), False)})
        with open(os.path.join(self.out, "launcher", "Norvane-Launcher.exe"), "rb") as handle:
            self.assertEqual(handle.read(), b"MZlauncher")

        with open(os.path.join(self.out, "mirrors.txt"), encoding="utf-8") as handle:
            lines = [l for l in handle.read().splitlines() if not l.startswith("#")]
        self.assertEqual(lines, ["https://a.example/download", "HTTPS://b.example/download"])
        self.assertFalse([p for p in snapshot(self.out) if ".tmp" in p])

    def test_republishing_copies_only_what_changed(self):
        files = self.make_client()
        self.assertEqual(run_publish("--out", self.out, "--version", "1", "--client",
                                     self.client).returncode, 0)
        store = os.path.join(self.out, "client", "files")
        before = {name: os.stat(os.path.join(store, name)).st_mtime_ns for name in os.listdir(store)}
        with open(os.path.join(self.out, "client", "manifest.txt")) as handle:
            old_lines = handle.read().splitlines()

        again = run_publish("--out", self.out, "--version", "1", "--client", self.client)
        self.assertIn("0 new in files/", again.stdout)

        write(self.client, "DATA.INI", b"data.grf\nhd.grf\n")   # new size
        write(self.client, "data/Big.grf", os.urandom(300000))  # same size, new bytes
        result = run_publish("--out", self.out, "--version", "2", "--client", self.client)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("6 files", result.stdout)
        self.assertIn("2 new in files/", result.stdout)
        after = set(os.listdir(store))
        self.assertEqual(len(after - set(before)), 2)
        for name, mtime in before.items():  # old content stays for launchers mid-update
            self.assertEqual(os.stat(os.path.join(store, name)).st_mtime_ns, mtime)
        with open(os.path.join(self.out, "client", "manifest.txt")) as handle:
            new_lines = handle.read().splitlines()
        changed = {line.split("|")[0] for line in set(new_lines) - set(old_lines)}
        self.assertEqual(changed, {"version", "total", "DATA.INI", "data/Big.grf"})
        self.assertTrue(launcher_reads(os.path.join(self.out, "client", "manifest.txt"))[0])

    def test_signs_every_manifest_it_writes(self):
        self.make_client()
        write(self.hd, "hd.grf", b"hd")
        launcher = write(self.dir, "launcher.exe", b"MZ launcher")
        key = os.path.join(self.dir, "release.pem")
        subprocess.run(["openssl", "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", key],
                       check=True)
        result = run_publish("--out", self.out, "--version", "1", "--client", self.client, "--hd",
                             self.hd, "--launcher", launcher, "--key", key)
        self.assertEqual(result.returncode, 0, result.stderr)
        public = result.stdout.split("signed with release key ")[1].strip()
        self.assertRegex(public, "^04[0-9a-f]{128}$")
        manifests = [os.path.join(self.out, what, "manifest.txt") for what in ("client", "hd", "launcher")]
        for manifest in manifests:
            with self.subTest(manifest=manifest):
                with open(manifest, "rb") as handle:
                    data = handle.read()
                self.assertTrue(openssl_verifies(public, data, manifest + ".sig"))
                self.assertFalse(openssl_verifies(public, data + b"\n", manifest + ".sig"))
        # Unsigned again: a signature left from before could never match.
        self.assertEqual(run_publish("--out", self.out, "--version", "2", "--client", self.client,
                                     "--hd", self.hd, "--launcher", launcher).returncode, 0)
        self.assertFalse(any(os.path.exists(manifest + ".sig") for manifest in manifests))
        # Only P-256 keys: the launcher checks nothing else. Nothing is published.
        published = snapshot(self.out)
        rsa = os.path.join(self.dir, "rsa.pem")
        subprocess.run(["openssl", "genpkey", "-algorithm", "RSA", "-out", rsa], check=True,
                       capture_output=True)
        result = run_publish("--out", self.out, "--version", "3", "--client", self.client, "--key", rsa)
        self.assertIn("not an ECDSA P-256 key", result.stderr)
        self.assertEqual(snapshot(self.out), published)

    def test_refusals_name_the_file_and_publish_nothing(self):
        self.make_client()
        self.assertEqual(run_publish("--out", self.out, "--version", "1", "--client",
                                     self.client).returncode, 0)
        published = snapshot(self.out)
        deep = "/".join(["d" * 100] * 4) + "/x"  # 402 bytes
        cases = [
            ("a.", "a."), ("trailing blank ", "trailing blank "), ("dir./f", "dir."),
            ("c:d", "c:d"), ("back\\slash", "back\\slash"), ("p|q", "p|q"), ("what?", "what?"),
            ("st*r", "st*r"), ("lt<", "lt<"), ("gt>", "gt>"), ('q"', 'q"'),
            ("ctl\x01", "ctl\x01"), ("CON.txt", "CON.txt"), ("sub/nul", "sub/nul"),
            ("data/big.GRF", "data/big.GRF"), ("caf\u00c9/\u65e5\u672c.dat", "caf\u00c9"),
            (deep, deep[:50]), (b"bad\xff.dat", "bad"), ("launcher_state.txt", "launcher_state.txt"),
            ("Norvane-Launcher.exe", "Norvane-Launcher.exe"), ("data/a.grf.part", "a.grf.part"),
            ("#notes.txt", "#notes.txt"),  # the line would read as a comment
        ]
        for name, expected in cases:
            with self.subTest(name=name):
                extra = write(self.client, name, b"x")
                result = run_publish("--out", self.out, "--version", "2", "--client", self.client)
                remove_with_folders(self.client, extra)
                self.assertEqual(result.returncode, 1)
                self.assertIn("refused", result.stderr)
                self.assertIn(expected, result.stderr)
                self.assertEqual(snapshot(self.out), published)

        # A file whose name is a folder's name in another case.
        write(self.client, "Config", b"x")
        result = run_publish("--out", self.out, "--version", "2", "--client", self.client)
        os.remove(os.path.join(self.client, "Config"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("Config", result.stderr)

        other = [
            (["--version", "1|2"], "1|2"),
            (["--version", " 1"], "version"),
            (["--mirror", "ftp://x.example/download"], "ftp://x.example"),
            (["--mirror", "https:///download"], "https:///download"),
            (["--mirror", "http://x.example/download"], "http://x.example"),
            (["--mirror", "https://u:p@x.example/download"], "user-info"),
            (["--user-files", write(self.dir, "u.txt", b"missing.ini\n")], "missing.ini"),
            (["--launcher", write(self.dir, "empty.exe", b"")], "empty.exe"),
            (["--hd", self.client], "also in the client set"),
        ]
        for extra, expected in other:
            with self.subTest(extra=extra):
                args = ["--out", self.out, "--version", "2", "--client", self.client]
                if extra[0] == "--version":
                    args[3] = extra[1]
                else:
                    args += extra
                result = run_publish(*args)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(expected, result.stderr)
                self.assertEqual(snapshot(self.out), published)

        empty = os.path.join(self.dir, "empty")
        os.makedirs(os.path.join(empty, "only-folders"))
        result = run_publish("--out", self.out, "--version", "2", "--client", empty)
        self.assertEqual(result.returncode, 1)
        self.assertIn("holds no files", result.stderr)

    def test_path_rule_agrees_with_the_launcher(self):
        # Names a Linux folder cannot hold ('/' rules) are checked on the rule
        # directly: accepted by the publisher exactly when the launcher's parser
        # accepts a manifest naming them.
        names = ["a", "a/b", "/a", "a//b", "a/", "./a", "a/../b", "..", "a\\b", "C:a", "a.",
                 "a ", " a", ".a", "a..b", "a\tb", "a\x7f", "a<b", "a|b", "Caf\u00e9",
                 "com1.log", "com10", "nul", "x/aux.txt", "conout$", "a" * 400, "a" * 401,
                 "x#", "x/#y", "a?b"]
        folder = os.path.join(self.dir, "rule")
        os.makedirs(folder)
        for index, name in enumerate(names):
            with self.subTest(name=name):
                path = write(folder, f"m{index}", f"version|1\n{name}|1|{'a' * 64}\n".encode())
                publisher = publish.path_problem(name.encode("utf-8")) is None
                launcher = launcher_reads(path)[0]
                self.assertEqual(publisher, launcher)

    def test_progress_lines_for_large_sets(self):
        self.make_client()
        result = subprocess.run([sys.executable, PUBLISH, "--out", self.out, "--version", "1",
                                 "--client", self.client], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0)
        self.assertIn("client: hashing file", result.stderr)
        self.assertIn("client: storing", result.stderr)


if __name__ == "__main__":
    if not os.access(MANIFEST_CHECK, os.X_OK):
        print(f"publish: {MANIFEST_CHECK} is missing (build the host flavour first)")
        print("publish: 0 passed, 1 failed")
        sys.exit(1)
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(PublishTest)
    outcome = unittest.TextTestRunner(verbosity=2).run(suite)
    # A test counts once, however many of its subtests failed.
    failed = len({getattr(test, "test_case", test).id()
                  for test, _ in outcome.failures + outcome.errors})
    print(f"publish: {outcome.testsRun - failed} passed, {failed} failed")
    sys.exit(0 if outcome.wasSuccessful() else 1)
