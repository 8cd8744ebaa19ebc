#!/usr/bin/python3
"""A go2rtc MSE client for checking the fake's live relay: selftest.py uses it, and on its own it records
the init segment and the first seconds of fragments to a file, so real FFmpeg can judge the stream:

    /usr/bin/python3 livecheck.py --port P [--tls] [--user admin --password secret] --src front_door \\
        [--codecs avc1.640029,hvc1.1.6.L153.B0,mp4a.40.2] [--seconds 3] --out live.mp4
    ffmpeg -v error -i live.mp4 -f null -"""
import argparse
import asyncio
import json
import ssl
import struct
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

import aiohttp

sys.path.insert(0, str(Path(__file__).resolve().parent))
from media import boxes  # noqa: E402

EVERY_CODEC = "avc1.640029,avc1.64002A,avc1.640033,hvc1.1.6.L153.B0,mp4a.40.2,mp4a.40.5,flac,opus"


@dataclass
class Fragment:
    sequence: int
    track: int
    decode: int
    duration: int
    size: int
    flags: int
    data_offset: int
    moof_size: int
    mdat_size: int


@dataclass
class Session:
    texts: list = field(default_factory=list)
    frames: list = field(default_factory=list)      # binary frames in arrival order
    closed: bool = False

    @property
    def init(self) -> bytes:
        return self.frames[0] if self.frames else b""

    @property
    def media(self) -> bytes:
        return b"".join(self.frames[1:])


def top_boxes(data: bytes) -> list:
    return [kind for kind, _, _, _ in boxes(data)]


def find(data: bytes, path: str) -> bytes:
    """Payload (after the header) of the first box at a slash-separated path, or b""."""
    kind, _, rest = path.partition("/")
    for found, at, size, header in boxes(data):
        if found == kind:
            inner = data[at + header:at + size]
            return inner if not rest else find(inner, rest)
    return b""


def all_boxes(data: bytes, kind: str) -> list:
    return [data[at + header:at + size] for found, at, size, header in boxes(data) if found == kind]


def descriptors(data: bytes) -> dict:
    """MPEG-4 descriptors (tag: payload) of one level, as in an esds box."""
    found, at = {}, 0
    while at < len(data):
        tag, length = data[at], 0
        at += 1
        while True:
            byte = data[at]
            at += 1
            length = (length << 7) | (byte & 0x7F)
            if not byte & 0x80:
                break
        found[tag] = data[at:at + length]
        at += length
    return found


def audio_specific_config(entry: bytes) -> bytes:
    """The AudioSpecificConfig inside an mp4a sample entry (payload after the box header), or b""."""
    esds = find(entry[28:], "esds")
    es = descriptors(esds[4:]).get(0x03, b"")
    decoder = descriptors(es[3:]).get(0x04, b"")
    return descriptors(decoder[13:]).get(0x05, b"")


def fragments(data: bytes) -> list:
    found, moof = [], None
    for kind, at, size, header in boxes(data):
        if kind == "moof":
            moof = (data[at + header:at + size], size)
        elif kind == "mdat" and moof is not None:
            payload, moof_size = moof
            tfhd, tfdt, trun = (find(payload, f"traf/{k}") for k in ("tfhd", "tfdt", "trun"))
            track, duration, sample_size, flags = struct.unpack(">IIII", tfhd[4:20])
            found.append(Fragment(struct.unpack(">I", find(payload, "mfhd")[4:8])[0], track,
                                  struct.unpack(">Q", tfdt[4:12])[0] if tfdt[0] == 1 else -1, duration,
                                  sample_size, flags, struct.unpack(">I", trun[8:12])[0], moof_size, size - header))
            moof = None
    return found


async def sign_in(http: aiohttp.ClientSession, base: str, user: str, password: str):
    async with http.post(f"{base}/api/login", json={"user": user, "password": password}) as answer:
        answer.raise_for_status()


async def mse(http: aiohttp.ClientSession, base: str, src: str, codecs, seconds: float, fragments_wanted: int = 0,
              messages=None, texts_wanted: int = 0) -> Session:
    """Opens the socket, sends the messages (default: one "mse" with codecs), and collects what comes
    back for `seconds` at most: until the socket closes, fragments_wanted fragments or texts_wanted
    text frames arrived."""
    session = Session()
    url = base.replace("http", "ws", 1) + "/live/mse/api/ws"
    async with http.ws_connect(url, params={"src": src}, autoping=True) as ws:
        for message in messages if messages is not None else [json.dumps({"type": "mse", "value": codecs})]:
            await ws.send_str(message)
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            try:
                message = await ws.receive(timeout=end - time.monotonic())
            except asyncio.TimeoutError:
                break
            if message.type == aiohttp.WSMsgType.TEXT:
                session.texts.append(message.data)
                if texts_wanted and len(session.texts) >= texts_wanted:
                    break
            elif message.type == aiohttp.WSMsgType.BINARY:
                session.frames.append(message.data)
                if fragments_wanted and len(fragments(session.media)) >= fragments_wanted:
                    break
            else:
                session.closed = True
                break
    return session


def client(tls: bool) -> aiohttp.ClientSession:
    context = None
    if tls:
        context = ssl.create_default_context()
        context.check_hostname = False
        context.verify_mode = ssl.CERT_NONE
    return aiohttp.ClientSession(cookie_jar=aiohttp.CookieJar(unsafe=True),
                                 connector=aiohttp.TCPConnector(ssl=context if tls else None))


async def record(args):
    base = f"{'https' if args.tls else 'http'}://127.0.0.1:{args.port}"
    async with client(args.tls) as http:
        await sign_in(http, base, args.user, args.password)
        session = await mse(http, base, args.src, args.codecs, args.seconds)
    for text in session.texts:
        print("text:", text.rstrip())
    first = len(top_boxes(session.frames[1])) // 2 if len(session.frames) > 1 else 0
    print(f"binary frames: {len(session.frames)}; the first after the init holds {first} fragments")
    Path(args.out).write_bytes(session.init + session.media)


def main():
    parser = argparse.ArgumentParser(description="Record the fake's live relay to a file.")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--tls", action="store_true")
    parser.add_argument("--user", default="admin")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--src", required=True)
    parser.add_argument("--codecs", default=EVERY_CODEC)
    parser.add_argument("--seconds", type=float, default=3.0)
    parser.add_argument("--out", required=True)
    asyncio.run(record(parser.parse_args()))


if __name__ == "__main__":
    main()
