#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""A TCP relay on loopback that adds a fixed delay to every chunk in each
direction, so that a local server behaves like one across a real-world link
(25 ms of round-trip delay: 12.5 ms each way).

    delay_relay.py --listen 127.0.0.1:PORT --target 127.0.0.1:PORT --rtt-ms 25

Bytes keep their order; each chunk is released rtt/2 after it arrived, so a
client that waits for every reply pays the full round trip per command while
a pipelining client pays it once per window.
"""
import argparse
import asyncio
import signal


async def pump(reader, writer, delay):
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def release():
        while True:
            due, chunk = await queue.get()
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            if chunk is None:
                break
            writer.write(chunk)
            await writer.drain()
        try:
            writer.write_eof()
        except (OSError, RuntimeError):
            pass

    releaser = asyncio.create_task(release())
    try:
        while True:
            chunk = await reader.read(65536)
            queue.put_nowait((loop.time() + delay, chunk or None))
            if not chunk:
                break
    except (ConnectionError, OSError):
        queue.put_nowait((loop.time(), None))
    await releaser


async def handle(client_reader, client_writer, target, delay):
    host, port = target
    try:
        server_reader, server_writer = await asyncio.open_connection(host, port)
    except OSError:
        client_writer.close()
        return
    await asyncio.gather(pump(client_reader, server_writer, delay),
                         pump(server_reader, client_writer, delay),
                         return_exceptions=True)
    for w in (client_writer, server_writer):
        w.close()


def address(text):
    host, _, port = text.rpartition(":")
    return host, int(port)


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--listen", type=address, required=True)
    parser.add_argument("--target", type=address, required=True)
    parser.add_argument("--rtt-ms", type=float, default=25.0)
    args = parser.parse_args()
    delay = args.rtt_ms / 2000.0
    server = await asyncio.start_server(
        lambda r, w: handle(r, w, args.target, delay), *args.listen)
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    async with server:
        await stop.wait()


if __name__ == "__main__":
    asyncio.run(main())
