#!/usr/bin/python3
"""A fake Frigate NVR server (nginx + API as seen by a client) for Kestrova's tests and demos.

Prints one line "LISTENING <port>" on stdout when ready; everything else goes to stderr.
See README.md for the flags and the /__control/ contract."""
import argparse
import asyncio
import logging
import shutil
import signal
import socket
import sys
import tempfile
from pathlib import Path

from aiohttp import web

import api
import control
import middleware
import mjpeg
import relay
from certs import CertificateStore
from context import FakeFrigate, Settings
from flavour import VERSIONS

try:
    import media
except ModuleNotFoundError as missing:
    if missing.name != "media":
        raise
    media = None

log = logging.getLogger("fakefrigate")


def parse_args(argv):
    parser = argparse.ArgumentParser(description="Fake Frigate server for tests.")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=None,
                        help="0 picks a free port (default; with --demo 8971 for TLS, else 5000)")
    parser.add_argument("--version", choices=VERSIONS, default="0.16", help="release whose answers to imitate")
    parser.add_argument("--tls", action="store_true", help="HTTPS with a self-signed certificate")
    parser.add_argument("--cert-dir", type=Path, help="where cert.pem/key.pem live or are created")
    parser.add_argument("--auth", action=argparse.BooleanOptionalAction, default=True,
                        help="require sign-in like port 8971 (--no-auth: like port 5000)")
    parser.add_argument("--user", default="admin")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--demo", action="store_true", help="listen on the usual Frigate port")
    parser.add_argument("--media-cache", type=Path, help="directory for generated images and media")
    parser.add_argument("--seed", type=int, default=1, help="seed of the generated history")
    parser.add_argument("--verbose", action="store_true", help="log every request on stderr")
    args = parser.parse_args(argv)
    if args.port is None:
        args.port = (8971 if args.tls else 5000) if args.demo else 0
    return args


def listening_socket(host: str, port: int) -> socket.socket:
    family = socket.getaddrinfo(host, port, type=socket.SOCK_STREAM)[0][0]
    sock = socket.socket(family, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind((host, port))
    sock.listen(128)
    sock.setblocking(False)
    return sock


def build_app(ctx: FakeFrigate, certs) -> web.Application:
    app = web.Application(client_max_size=20 * 1024 * 1024)
    app["ctx"] = ctx
    app["certs"] = certs
    app["faults"] = control.Faults()
    app["requests"] = control.RequestLog()
    app["cache"] = {}
    app.middlewares.extend(middleware.build(app))
    app.on_response_prepare.append(middleware.decorate)
    control.add_routes(app)
    api.add_routes(app)
    if media is not None:
        media.register(app, ctx)
    relay.register(app, ctx)
    mjpeg.add_routes(app)
    return app


async def serve(args, cache_dir: Path):
    settings = Settings(auth=args.auth, users={args.user: args.password})
    ctx = FakeFrigate(args.version, cache_dir, args.seed, settings, tls=args.tls)
    certs = CertificateStore(args.cert_dir or cache_dir / "tls") if args.tls else None
    app = build_app(ctx, certs)
    runner = web.AppRunner(app, access_log=log if args.verbose else None)
    app["runner"] = runner
    await runner.setup()
    sock = listening_socket(args.host, args.port)
    site = web.SockSite(runner, sock, ssl_context=certs.context if certs else None)
    await site.start()
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for signum in (signal.SIGINT, signal.SIGTERM):
        loop.add_signal_handler(signum, stop.set)
    port = sock.getsockname()[1]
    log.info("Frigate %s on %s://%s:%d (auth %s, user %s)", ctx.version_text, "https" if args.tls else "http",
             args.host, port, "on" if args.auth else "off", args.user)
    print(f"LISTENING {port}", flush=True)
    try:
        await stop.wait()
    finally:
        await runner.cleanup()


def main(argv=None):
    args = parse_args(argv if argv is not None else sys.argv[1:])
    logging.basicConfig(stream=sys.stderr, level=logging.INFO if args.verbose or args.demo else logging.WARNING,
                        format="%(asctime)s %(name)s %(levelname)s: %(message)s")
    temporary = None
    cache_dir = args.media_cache
    if cache_dir is None:
        temporary = cache_dir = Path(tempfile.mkdtemp(prefix="fakefrigate-"))
    cache_dir.mkdir(parents=True, exist_ok=True)
    try:
        asyncio.run(serve(args, cache_dir))
    finally:
        if temporary is not None:
            shutil.rmtree(temporary, ignore_errors=True)


if __name__ == "__main__":
    main()
