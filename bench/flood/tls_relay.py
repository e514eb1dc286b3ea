#!/usr/bin/env python3
"""tls_relay.py - puts TLS in front of a plain IRC server for the flood benchmark.

Accepts TLS connections on a free loopback port (written to --port-file once listening)
and relays each to 127.0.0.1:--upstream in both directions, until either side closes.
Standard library only (asyncio's TLS works on memory buffers, so one thread serves both
directions without sharing an SSL object between threads).

  tls_relay.py --cert CERT.pem --key KEY.pem --upstream PORT --port-file FILE

With --ceiling, it also starts fakeircd.py behind itself and nullclient.py (wrapped in
TLS) in front, and prints the null client's rate through the relay: the ceiling the relay
leaves a client. fakeircd.py and nullclient.py come from the directory of --fakeircd.
"""

import argparse
import asyncio
import json
import os
import pathlib
import ssl
import subprocess
import sys
import tempfile
import time

CHUNK = 1 << 18


async def pipe(reader, writer):
    try:
        while data := await reader.read(CHUNK):
            writer.write(data)
            await writer.drain()
    except (ConnectionError, ssl.SSLError):
        pass
    finally:
        try:
            writer.close()
        except Exception:
            pass


async def serve(args):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)

    async def relay(client_reader, client_writer):
        try:
            up_reader, up_writer = await asyncio.open_connection("127.0.0.1", args.upstream)
        except OSError:
            client_writer.close()
            return
        await asyncio.gather(pipe(client_reader, up_writer), pipe(up_reader, client_writer))

    server = await asyncio.start_server(relay, "127.0.0.1", 0, ssl=context)
    port = server.sockets[0].getsockname()[1]
    pathlib.Path(args.port_file).write_text(f"{port}\n")
    print(f"tls_relay: listening on 127.0.0.1:{port}", file=sys.stderr, flush=True)
    async with server:
        await server.serve_forever()


def wait_for_port(path, process):
    for _ in range(500):
        if os.path.exists(path) and (text := pathlib.Path(path).read_text().strip()):
            return text
        if process.poll() is not None:
            break
        time.sleep(0.02)
    raise SystemExit(f"tls_relay: {path} never appeared")


def ceiling(args):
    bench = pathlib.Path(args.fakeircd).parent
    with tempfile.TemporaryDirectory() as tmp:
        cert, key = f"{tmp}/cert.pem", f"{tmp}/key.pem"
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-keyout", key, "-out", cert],
                       check=True, capture_output=True)
        fake = subprocess.Popen([sys.executable, args.fakeircd, "--scenario", "flood", "--count",
                                 str(args.count), "--port-file", f"{tmp}/fake.port"],
                                stdout=subprocess.PIPE)
        upstream = wait_for_port(f"{tmp}/fake.port", fake)
        relay = subprocess.Popen([sys.executable, __file__, "--cert", cert, "--key", key,
                                  "--upstream", upstream, "--port-file", f"{tmp}/relay.port"])
        port = wait_for_port(f"{tmp}/relay.port", relay)
        # nullclient.py with its socket wrapped in TLS (certificate not checked).
        wrapper = ("import runpy, socket, ssl, sys\n"
                   "c = ssl.create_default_context(); c.check_hostname = False\n"
                   "c.verify_mode = ssl.CERT_NONE\n"
                   "plain = socket.create_connection\n"
                   "socket.create_connection = lambda *a, **k: c.wrap_socket(plain(*a, **k))\n"
                   f"sys.argv = ['nullclient', '--port', '{port}', '--channels', '#bench']\n"
                   f"runpy.run_path({str(bench / 'nullclient.py')!r}, run_name='__main__')\n")
        subprocess.run([sys.executable, "-c", wrapper], check=True)
        result = json.loads(fake.communicate(timeout=600)[0])
        relay.terminate()
        relay.wait()
    print(f"tls_relay_ceiling_lines_per_s {result['lines_per_s']:.1f} lines/s")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--cert")
    ap.add_argument("--key")
    ap.add_argument("--upstream", type=int)
    ap.add_argument("--port-file")
    ap.add_argument("--ceiling", action="store_true")
    ap.add_argument("--fakeircd", default=str(pathlib.Path(__file__).resolve().parents[3]
                                              / "shared" / "bench" / "fakeircd.py"))
    ap.add_argument("--count", type=int, default=200000)
    args = ap.parse_args()
    if args.ceiling:
        ceiling(args)
    else:
        asyncio.run(serve(args))


if __name__ == "__main__":
    main()
