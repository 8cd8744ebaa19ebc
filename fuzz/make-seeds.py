"""Seed corpora for the fuzz targets, taken from the fake Frigate server of each release.

Usage: /usr/bin/python3 fuzz/make-seeds.py OUT_DIR [--media-cache DIR]
Writes OUT_DIR/<target>/<release>-<name> for every target in fuzz/ (the hand-written seeds in
fuzz/seeds/ are read by the fuzzers from there). Chunked inputs use the targets' piece format:
[control byte][24-bit big-endian length][bytes].
"""
import argparse
import asyncio
import json
import random
import subprocess
import sys
import time
from pathlib import Path

import aiohttp

ROOT = Path(__file__).resolve().parent.parent
SERVER = ROOT / "tests" / "fakefrigate" / "server.py"
RELEASES = ("0.14", "0.15", "0.16")
MAX_SEED = 256 * 1024  # bigger inputs only slow every execution down


def piece(control: int, data: bytes) -> bytes:
    return bytes([control]) + len(data).to_bytes(3, "big") + data


class Corpus:
    def __init__(self, out: Path, release: str):
        self.out = out
        self.release = release

    def put(self, target: str, name: str, data: bytes):
        if not data or len(data) > MAX_SEED:
            return
        folder = self.out / target
        folder.mkdir(parents=True, exist_ok=True)
        (folder / f"{self.release}-{name}").write_bytes(data)


def start_server(release: str, media_cache: Path):
    process = subprocess.Popen(
        ["/usr/bin/python3", str(SERVER), "--no-auth", "--version", release, "--media-cache", str(media_cache)],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    line = process.stdout.readline().split()
    if len(line) != 2 or line[0] != "LISTENING":
        process.kill()
        sys.exit(f"fake server {release} did not start")
    return process, int(line[1])


async def get(http, base: str, path: str, **params) -> bytes:
    async with http.get(base + path, params=params) as answer:
        return await answer.read()


async def json_seeds(http, base: str, corpus: Corpus):
    corpus.put("fuzz_config", "config", await get(http, base, "/api/config"))
    corpus.put("fuzz_stats", "stats", await get(http, base, "/api/stats"))
    corpus.put("fuzz_reviewsummary", "summary", await get(http, base, "/api/review/summary"))
    reviews = await get(http, base, "/api/review", limit="100", reviewed="1")
    corpus.put("fuzz_review", "review", reviews)
    corpus.put("fuzz_review", "review-unseen", await get(http, base, "/api/review", limit="5"))
    items = json.loads(reviews)
    for n, item in enumerate(items[:8]):
        corpus.put("fuzz_review", f"review-item{n}", json.dumps([item]).encode())
    for camera in ("front_door", "driveway"):
        corpus.put("fuzz_recordings", f"summary-{camera}", await get(http, base, f"/api/{camera}/recordings/summary"))
        now = int(time.time())
        files = await get(http, base, f"/api/{camera}/recordings", after=str(now - 600), before=str(now))
        corpus.put("fuzz_recordings", f"files-{camera}", files)
    await event_seeds(http, base, corpus, items)
    await log_seeds(http, base, corpus)


async def event_seeds(http, base: str, corpus: Corpus, items: list):
    ids = [event for item in items for event in item.get("data", {}).get("detections", [])]
    for n, event in enumerate(ids[:6]):
        body = await get(http, base, f"/api/events/{event}")
        timeline = await get(http, base, "/api/timeline", source_id=event, limit="500")
        corpus.put("fuzz_events", f"event{n}", body + b"\0" + timeline)


async def log_seeds(http, base: str, corpus: Corpus):
    for n, service in enumerate(("frigate", "go2rtc", "nginx")):
        page = await get(http, base, f"/api/logs/{service}", start="-40")
        corpus.put("fuzz_logpage", service, bytes([1 | (0x80 if service == "nginx" else 0)]) + page)
        lines = json.loads(page).get("lines", [])
        for k, line in enumerate(sorted(set(lines))[:30]):
            corpus.put("fuzz_logline", f"{service}{k}", bytes([n]) + line.encode())


async def playlist_seeds(http, base: str, corpus: Corpus):
    now = int(time.time())
    vod = f"/vod/front_door/start/{now - 1800}/end/{now - 1700}/"
    master = await get(http, base, vod + "master.m3u8")
    corpus.put("fuzz_hls", "master", master)
    for line in master.decode(errors="replace").splitlines():
        if line and not line.startswith("#"):
            corpus.put("fuzz_hls", "index", await get(http, base, vod + line.split("?")[0]))
            break


async def mjpeg_seeds(http, base: str, corpus: Corpus):
    height = "h" if corpus.release == "0.14" else "height"
    body = b""
    async with http.get(base + "/api/back_yard", params={"fps": "10", height: "90"}) as answer:
        while len(body) < 3 * 16384 and body.count(b"--frame") < 4:
            chunk = await answer.content.read(4096)
            if not chunk:
                break
            body += chunk
    randomly = random.Random(len(body))
    for cut_name, largest in (("whole", len(body)), ("small", 64), ("tiny", 3)):
        data, at = b"", 0
        while at < len(body):
            size = randomly.randint(1, max(1, largest))
            data += piece(randomly.randint(0, 1), body[at:at + size])
            at += size
        corpus.put("fuzz_mjpeg", cut_name, data)


async def relay_seeds(http, base: str, corpus: Corpus):
    for src, codecs in (("back_yard", "avc1.420029"), ("front_door", "avc1.42001F,mp4a.40.2")):
        frames = []
        url = base.replace("http", "ws", 1) + "/live/mse/api/ws"
        async with http.ws_connect(url, params={"src": src}) as ws:
            await ws.send_str(json.dumps({"type": "mse", "value": codecs}))
            end = time.monotonic() + 20
            while len(frames) < 12 and time.monotonic() < end:
                message = await ws.receive(timeout=end - time.monotonic())
                if message.type == aiohttp.WSMsgType.BINARY:
                    frames.append(message.data)
                elif message.type != aiohttp.WSMsgType.TEXT:
                    break
        data = b""
        for n, frame in enumerate(frames):
            if len(data) + len(frame) > MAX_SEED:
                break
            data += piece(n % 2, frame)
        corpus.put("fuzz_relay", src, data)
        if frames:
            corpus.put("fuzz_relay", f"{src}-init", piece(0, frames[0]))


async def seed_release(release: str, out: Path, media_cache: Path):
    process, port = start_server(release, media_cache)
    base = f"http://127.0.0.1:{port}"
    corpus = Corpus(out, release)
    try:
        timeout = aiohttp.ClientTimeout(total=180)
        async with aiohttp.ClientSession(timeout=timeout) as http:
            await json_seeds(http, base, corpus)
            await playlist_seeds(http, base, corpus)
            await mjpeg_seeds(http, base, corpus)
            await relay_seeds(http, base, corpus)
    finally:
        process.terminate()
        process.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out", type=Path)
    parser.add_argument("--media-cache", type=Path, default=None)
    args = parser.parse_args()
    media_cache = args.media_cache or args.out / "media-cache"
    media_cache.mkdir(parents=True, exist_ok=True)
    for release in RELEASES:
        asyncio.run(seed_release(release, args.out, media_cache))
    for folder in sorted(p for p in args.out.iterdir() if p.name.startswith("fuzz_")):
        print(f"{folder.name}: {sum(1 for _ in folder.iterdir())} seeds")


if __name__ == "__main__":
    main()
