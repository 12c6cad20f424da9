#!/usr/bin/env python3
"""HTTPS server that misbehaves on purpose, for the transfer tests.

Python standard library only. Listens on 127.0.0.1 (and ::1 when available)
and serves two kinds of body under /f/<options>/<rest>:

  * <rest> = "tree/<path>": the file <root>/<path> of the static tree that
    nginx serves too;
  * anything else: a synthetic body of `size` bytes whose byte i is
    PATTERN[i % 65521] (the tests rebuild the same bytes).

<options> is a comma-separated list of key=value pairs (the query string is
read too). Each request is logged under its `id`; GET /log?id=X returns one
line per request: path, Range, If-Range, Cache-Control, Pragma, User-Agent,
tab-separated. Options:

  id=X         log and count requests under X
  times=K      the faults below apply only to the first K requests of the id
  size=N       synthetic body size (default 4000)
  status=C     answer status C with a short body
  drop=N       close the connection after N body bytes
  stall=MS     after `stallat` body bytes (default 0) sleep MS, then close
  slow=MS      sleep MS between 16 KiB blocks
  norange=1    ignore Range: 200 with the whole body
  shift=D      206 whose Content-Range starts D bytes after the asked start
  r416=1       a ranged request gets 416 with "bytes */<size>"
  clen=TEXT    send TEXT as Content-Length (the body follows in full, then close)
  nolen=1      no Content-Length, the body ends at close
  extra=K      K bytes more than the size, no Content-Length
  weak=1       weak ETag W/"..." (Last-Modified is always sent)
  noetag=1     no ETag;   nolm=1  no Last-Modified
  etag=V       ETag value V (quotes included)
  bom=1        synthetic body starts with EF BB BF
"""
import argparse
import os
import socket
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PERIOD = 65521
PATTERN = bytes(((i * 131) + (i >> 8)) & 0xFF for i in range(PERIOD))
LAST_MODIFIED = "Tue, 01 Dec 2026 10:00:00 GMT"
BLOCK = 16384

lock = threading.Lock()
request_log = {}    # id -> list of lines
request_count = {}  # id -> number of requests seen


def pattern_bytes(offset, length):
    out = bytearray()
    pos = offset % PERIOD
    while len(out) < length:
        take = min(PERIOD - pos, length - len(out))
        out += PATTERN[pos:pos + take]
        pos = 0
    return bytes(out)


class Body:
    """Bytes of a synthetic body or a file, read by offset."""

    def __init__(self, size, prefix=b"", path=None):
        self.prefix = prefix
        self.path = path
        self.size = size + len(prefix) if path is None else os.path.getsize(path)
        self.file = open(path, "rb") if path else None

    def read(self, offset, length):
        if self.file:
            self.file.seek(offset)
            return self.file.read(length)
        out = b""
        if offset < len(self.prefix):
            out = self.prefix[offset:offset + length]
            length -= len(out)
            offset = len(self.prefix)
        return out + pattern_bytes(offset - len(self.prefix), length)

    def close(self):
        if self.file:
            self.file.close()


def parse_options(text):
    options = {}
    for item in text.split(","):
        if "=" in item:
            key, value = item.split("=", 1)
            options[key] = urllib.parse.unquote(value)
    return options


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "fault"
    sys_version = ""
    root = "."

    def log_message(self, *args):
        pass

    def do_GET(self):
        try:
            self.handle_get()
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError, OSError):
            self.close_connection = True

    def handle_get(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        if url.path == "/log":
            with lock:
                lines = list(request_log.get(query.get("id", ""), []))
            self.send_text(200, "".join(line + "\n" for line in lines))
            return
        parts = url.path.split("/", 3)
        if len(parts) < 3 or parts[1] != "f":
            self.record("*")
            self.send_text(404, "not found\n")
            return
        options = parse_options(urllib.parse.unquote(parts[2]))
        options.update(query)
        rest = parts[3] if len(parts) > 3 else ""
        key = options.get("id", "")
        number = self.record(key)
        faulty = "times" not in options or number <= int(options["times"])
        if not faulty:
            options = {k: v for k, v in options.items()
                       if k in ("id", "size", "etag", "weak", "noetag", "nolm", "bom")}

        if "status" in options:
            self.send_text(int(options["status"]), "status %s\n" % options["status"])
            return

        if rest.startswith("tree/"):
            path = os.path.normpath(os.path.join(self.root, urllib.parse.unquote(rest[5:])))
            if not path.startswith(os.path.abspath(self.root) + os.sep) or not os.path.isfile(path):
                self.send_text(404, "no such file\n")
                return
            body = Body(0, path=path)
        else:
            body = Body(int(options.get("size", "4000")),
                        prefix=b"\xef\xbb\xbf" if options.get("bom") == "1" else b"")
        try:
            self.send_body(body, options)
        finally:
            body.close()

    def record(self, key):
        """Logs this request under key and under "*"; its number under key."""
        line = "\t".join([
            self.path,
            self.headers.get("Range", ""),
            self.headers.get("If-Range", ""),
            self.headers.get("Cache-Control", ""),
            self.headers.get("Pragma", ""),
            self.headers.get("User-Agent", ""),
        ])
        with lock:
            number = request_count.get(key, 0) + 1
            request_count[key] = number
            request_log.setdefault(key, []).append(line)
            if key != "*":
                request_log.setdefault("*", []).append(line)
        return number

    def send_text(self, status, text):
        data = text.encode()
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)
        self.close_connection = True

    def send_body(self, body, options):
        size = body.size
        etag = options.get("etag", '"v%d"' % size)
        if options.get("weak") == "1":
            etag = "W/" + etag
        start = 0
        ranged = False
        range_header = self.headers.get("Range", "")
        if range_header.startswith("bytes=") and range_header.endswith("-"):
            try:
                start = int(range_header[6:-1])
                ranged = True
            except ValueError:
                start = 0
        if_range = self.headers.get("If-Range")
        if ranged and if_range is not None and if_range not in (etag, LAST_MODIFIED):
            ranged = False
            start = 0
        if ranged and options.get("norange") == "1":
            ranged = False
            start = 0
        if ranged and (options.get("r416") == "1" or start >= size):
            self.send_response(416)
            self.send_header("Content-Range", "bytes */%d" % size)
            self.send_header("Content-Length", "0")
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True
            return

        if ranged:
            start += int(options.get("shift", "0"))
            start = max(0, min(start, size))
            self.send_response(206)
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, size - 1, size))
        else:
            self.send_response(200)
        length = size - start
        extra = int(options.get("extra", "0"))
        if "clen" in options:
            self.send_header("Content-Length", options["clen"])
        elif options.get("nolen") != "1" and extra == 0:
            self.send_header("Content-Length", str(length))
        if options.get("noetag") != "1":
            self.send_header("ETag", etag)
        if options.get("nolm") != "1":
            self.send_header("Last-Modified", LAST_MODIFIED)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True

        limit = length + extra
        if "drop" in options:
            limit = min(limit, int(options["drop"]))
        stall_at = int(options.get("stallat", "0")) if "stall" in options else None
        slow = int(options.get("slow", "0")) / 1000.0
        sent = 0
        while True:
            if stall_at is not None and sent >= stall_at:
                self.wfile.flush()
                time.sleep(int(options["stall"]) / 1000.0)
                break
            if sent >= limit:
                break
            step = min(BLOCK, limit - sent)
            if stall_at is not None:
                step = min(step, stall_at - sent)
            data = body.read(start + sent, max(0, min(step, size - start - sent)))
            data += b"\x00" * (step - len(data))
            self.wfile.write(data)
            sent += step
            if slow:
                self.wfile.flush()
                time.sleep(slow)
        self.wfile.flush()
        # A hard close: the client sees the connection end, not a clean TLS shutdown.
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    context = None

    def finish_request(self, request, client_address):
        # The TLS handshake runs on the request's own thread, so a slow or
        # broken client never holds up the accept loop.
        try:
            request = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        self.RequestHandlerClass(request, client_address, self)

    def handle_error(self, request, client_address):
        pass


class Server6(Server):
    address_family = socket.AF_INET6


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--root", required=True)
    args = parser.parse_args()
    Handler.root = os.path.abspath(args.root)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(args.cert, args.key)
    Server.context = context
    servers = [Server(("127.0.0.1", args.port), Handler)]
    try:
        servers.append(Server6(("::1", args.port), Handler))
    except OSError:
        pass
    for server in servers[1:]:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    print("fault server on port %d" % args.port, flush=True)
    servers[0].serve_forever()


if __name__ == "__main__":
    sys.exit(main())
