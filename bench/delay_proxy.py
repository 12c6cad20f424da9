#!/usr/bin/env python3
"""A TCP proxy that delays every byte by a fixed time in each direction.

Benchmark tool (not a test), for a link with a round trip the kernel cannot
give (no netem here). It listens inside a network namespace and connects
out from the namespace it was started in:

  delay_proxy.py <netns name> <listen port> <upstream port> <one-way delay ms>

Both ends are on 127.0.0.1 of their namespace. The listening socket is made
after entering the named namespace (setns through libc), the upstream
connections after coming back, so the programs inside the namespace see the
server at their own loopback address with the delay added. Blocks keep
their order; each leaves at its arrival time plus the delay.
"""
import asyncio
import ctypes
import os
import socket
import sys
import time

CLONE_NEWNET = 0x40000000


def listen_in(netns, port):
    libc = ctypes.CDLL(None, use_errno=True)
    home = os.open("/proc/self/ns/net", os.O_RDONLY)
    target = os.open(f"/var/run/netns/{netns}", os.O_RDONLY)
    try:
        if libc.setns(target, CLONE_NEWNET) != 0:
            raise OSError(ctypes.get_errno(), "setns into " + netns)
        server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        server.bind(("127.0.0.1", port))
        server.listen(128)
        server.setblocking(False)
        if libc.setns(home, CLONE_NEWNET) != 0:
            raise OSError(ctypes.get_errno(), "setns back")
    finally:
        os.close(home)
        os.close(target)
    return server


async def pump(reader, writer, delay):
    queue = asyncio.Queue()

    async def deliver():
        while True:
            due, block = await queue.get()
            if block is None:
                break
            wait = due - time.monotonic()
            if wait > 0:
                await asyncio.sleep(wait)
            writer.write(block)
            await writer.drain()
        try:
            writer.write_eof()
        except OSError:
            pass

    sender = asyncio.create_task(deliver())
    try:
        while True:
            block = await reader.read(65536)
            if not block:
                break
            queue.put_nowait((time.monotonic() + delay, block))
    except OSError:
        pass
    queue.put_nowait((0, None))
    try:
        await sender
    except OSError:
        pass


async def main():
    netns, port, upstream, delay_ms = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4])
    delay = delay_ms / 1000.0
    server_socket = listen_in(netns, port)

    async def handle(client_reader, client_writer):
        client_writer.get_extra_info("socket").setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        try:
            up_reader, up_writer = await asyncio.open_connection("127.0.0.1", upstream)
        except OSError:
            client_writer.close()
            return
        up_writer.get_extra_info("socket").setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        await asyncio.gather(pump(client_reader, up_writer, delay), pump(up_reader, client_writer, delay))
        for w in (client_writer, up_writer):
            w.close()

    server = await asyncio.start_server(handle, sock=server_socket)
    print("listening", flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
