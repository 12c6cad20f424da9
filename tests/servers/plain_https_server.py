#!/usr/bin/env python3
"""Python's own http.server behind TLS, as a download server we did not write.

SimpleHTTPRequestHandler serves the static tree as it is: it ignores Range
and answers 200 with the whole body. Listens on 127.0.0.1 (and ::1 when
available) and writes one line per request to --log: path, the Range header
("-" when none) and the status, tab-separated.
"""
import argparse
import functools
import socket
import ssl
import sys
import threading
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer

log_lock = threading.Lock()


class LoggingHandler(SimpleHTTPRequestHandler):
    log_path = None

    def log_request(self, code="-", size="-"):
        line = "\t".join([self.path, self.headers.get("Range", "-"), str(getattr(code, "value", code))])
        with log_lock, open(self.log_path, "a", encoding="utf-8") as log:
            log.write(line + "\n")

    def log_message(self, format, *args):  # noqa: A002 - the base class names it so
        pass


class Server6(ThreadingHTTPServer):
    address_family = socket.AF_INET6


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--root", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()
    LoggingHandler.log_path = args.log
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(args.cert, args.key)
    handler = functools.partial(LoggingHandler, directory=args.root)
    servers = [ThreadingHTTPServer(("127.0.0.1", args.port), handler)]
    if socket.has_ipv6:
        try:
            servers.append(Server6(("::1", args.port), handler))
        except OSError:
            pass
    for server in servers:
        server.socket = context.wrap_socket(server.socket, server_side=True)
    for server in servers[1:]:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    try:
        servers[0].serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
