#!/usr/bin/env python3
"""A TCP proxy that puts a round trip between a client and servers on this
machine, for bench/upload-loopback (this kernel has no netem).

It listens on LISTEN:port for every port given and forwards each connection
to TARGET:the same port, so a server's control port and vsftpd's passive data
ports (pasv_address=LISTEN, pasv_min_port..pasv_max_port) all go through it.
Every chunk read is held RTT/2 before it is written on, in each direction,
in order; reading goes on meanwhile, so the delay does not limit the
throughput (up to WINDOW bytes in flight per direction, then reading waits).
A new connection costs one round trip (the TCP handshake) before the
client's first byte goes on.

usage: delay-proxy.py --rtt MS --ports P[,P…|MIN-MAX]… [--listen 127.0.0.2]
                      [--target 127.0.0.1] [--owner PID] [--max-seconds S]
Prints "ready" on stdout once every port listens. Ends when PID ends, after
S seconds (default 4 hours), or on SIGTERM/SIGINT.
"""
import argparse
import asyncio
import os
import signal
import sys
import time

WINDOW = 4 << 20   # bytes held per direction before reading waits
CHUNK = 64 << 10


def ports(text):
    result = []
    for part in text.split(','):
        if '-' in part:
            low, high = part.split('-')
            result.extend(range(int(low), int(high) + 1))
        elif part:
            result.append(int(part))
    return result


async def pipe(reader, writer, delay, not_before, stats):
    """Reads chunks and writes each one `delay` seconds after it came (and not
    before `not_before`), in order, without waiting for the writes to read on."""
    queue = asyncio.Queue()
    held = 0
    room = asyncio.Event()
    room.set()

    async def send():
        nonlocal held
        while True:
            due, data = await queue.get()
            wait = due - time.monotonic()
            if wait > 0:
                await asyncio.sleep(wait)
            if data is None:
                try:
                    if writer.can_write_eof():
                        writer.write_eof()
                except OSError:
                    pass
                return
            writer.write(data)
            try:
                await writer.drain()
            except OSError:
                return
            held -= len(data)
            stats[0] += len(data)
            if held < WINDOW:
                room.set()

    sender = asyncio.ensure_future(send())
    try:
        while True:
            await room.wait()
            try:
                data = await reader.read(CHUNK)
            except OSError:
                data = b''
            now = time.monotonic()
            due = max(now, not_before) + delay
            if not data:
                queue.put_nowait((due, None))
                break
            held += len(data)
            if held >= WINDOW:
                room.clear()
            queue.put_nowait((due, data))
        await sender
    finally:
        sender.cancel()


async def handle(client_reader, client_writer, args, port, stats):
    start = time.monotonic()
    rtt = args.rtt / 1000.0
    try:
        # The SYN's way to the server.
        await asyncio.sleep(rtt / 2)
        server_reader, server_writer = await asyncio.open_connection(args.target, port)
    except OSError:
        client_writer.close()
        return
    stats[1] += 1
    try:
        await asyncio.gather(
            # The client's bytes leave only once the handshake came back.
            pipe(client_reader, server_writer, rtt / 2, start + rtt, stats),
            pipe(server_reader, client_writer, rtt / 2, 0, stats))
    finally:
        for w in (server_writer, client_writer):
            try:
                w.close()
            except OSError:
                pass


async def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--rtt', type=float, required=True, help='round trip in ms')
    parser.add_argument('--ports', action='append', required=True)
    parser.add_argument('--listen', default='127.0.0.2')
    parser.add_argument('--target', default='127.0.0.1')
    parser.add_argument('--owner', type=int)
    parser.add_argument('--max-seconds', type=float, default=4 * 3600)
    args = parser.parse_args()
    stats = [0, 0]   # bytes forwarded, connections
    servers = []
    for port in sorted({p for text in args.ports for p in ports(text)}):
        servers.append(await asyncio.start_server(
            lambda r, w, port=port: handle(r, w, args, port, stats),
            args.listen, port, reuse_address=True, backlog=128))
    print('ready', flush=True)
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    deadline = time.monotonic() + args.max_seconds
    while not stop.is_set() and time.monotonic() < deadline:
        if args.owner:
            try:
                os.kill(args.owner, 0)
            except ProcessLookupError:
                break
        try:
            await asyncio.wait_for(stop.wait(), 1)
        except asyncio.TimeoutError:
            pass
    for server in servers:
        server.close()
    print(f'delay-proxy: {stats[1]} connections, {stats[0]} bytes', file=sys.stderr)


if __name__ == '__main__':
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        pass
