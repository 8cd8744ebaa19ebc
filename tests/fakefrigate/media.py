"""Recordings of the fake Frigate: HLS VOD playlists and segments shaped like nginx-vod-module's,
clip downloads and review preview GIFs.

Every camera records the same 60 s loop (scene.py), generated once with ffmpeg into the cache
directory: H.264 cameras as MPEG-TS, H.265 cameras as fragmented MP4. The loop is kept as sixty
1 s pieces (one GOP each), so any requested range is assembled from whole seconds of the loop:
the recording files overlapping the range (recordings.py) are joined with their gaps left out, and
the media second that shows wall-clock second W is loop second W % 60, so the picture at any media
time is the scene at the wall time it maps to. Timestamps, continuity counters and fragment numbers
are rewritten so every segment continues the range's timeline, as the real server's segments do."""

import asyncio
import fcntl
import hashlib
import json
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

from aiohttp import web

from wire import json_response

FPS = 15
GOP_SECONDS = 1
SAMPLE_RATE = 48000
AAC_FRAME = 1024
MEDIA_REVISION = 4  # bump when the generated media changes shape
VIDEO_ONLY = {"back_yard"}  # recorded without audio: index-v1.m3u8, seg-N-v1.ts
TS_CLOCK = 90000
NO_CACHE = {"Cache-Control": "no-store"}

UNAUTHORIZED_HTML = ("<html>\r\n<head><title>401 Authorization Required</title></head>\r\n<body>\r\n"
                     "<center><h1>401 Authorization Required</h1></center>\r\n<hr><center>nginx</center>\r\n"
                     "</body>\r\n</html>\r\n")
BAD_GATEWAY_HTML = ("<html>\r\n<head><title>502 Bad Gateway</title></head>\r\n<body>\r\n"
                    "<center><h1>502 Bad Gateway</h1></center>\r\n<hr><center>nginx</center>\r\n"
                    "</body>\r\n</html>\r\n")
NOT_FOUND_HTML = ("<html>\r\n<head><title>404 Not Found</title></head>\r\n<body>\r\n"
                  "<center><h1>404 Not Found</h1></center>\r\n<hr><center>nginx</center>\r\n"
                  "</body>\r\n</html>\r\n")


# ---------------------------------------------------------------------------------------------
# Generation


def frame_number_overlay(height: int) -> str:
    """Ten 8 px squares along the bottom edge spelling the loop frame number in binary (bit 0 on
    the left), so a test can read which frame a picture shows. Too small to count as motion."""
    boxes = []
    for bit in range(10):
        boxes.append(f"drawbox=x={8 + bit * 12}:y={height - 16}:w=8:h=8:color=white:t=fill:"
                     f"enable='eq(mod(floor(n/{1 << bit}),2),1)'")
    return ",".join(boxes)


def video_filter(scene, camera: dict) -> str:
    """A filter graph from the background (input 0) to [v]: the object as a white box moving along
    scene.object_box's path (overlay re-evaluates its position every frame), and the frame number."""
    w, h = camera["width"], camera["height"]
    box = f"color=c=white:size={round(scene.BOX_W * w)}x{round(scene.BOX_H * h)}:rate={FPS}[box]"
    moving = (f"[0:v][box]overlay=x='{scene.ffmpeg_box_x_expression(w)}':y={round(scene.Y * h)}:eval=frame:"
              f"shortest=1:enable='between(mod(t,{scene.LOOP_SECONDS}),{scene.OBJECT_ENTERS},{scene.OBJECT_LEAVES})'")
    return f"{box};{moving},{frame_number_overlay(h)}[v]"


def encode_arguments(scene, name: str, camera: dict, output: Path) -> list:
    w, h = camera["width"], camera["height"]
    seconds = scene.LOOP_SECONDS
    args = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
            "-f", "lavfi", "-i", f"smptehdbars=size={w}x{h}:rate={FPS}:duration={seconds}"]
    if name not in VIDEO_ONLY:
        args += ["-f", "lavfi", "-i", f"sine=frequency=440:sample_rate={SAMPLE_RATE}:duration={seconds}"]
    args += ["-filter_complex", video_filter(scene, camera), "-map", "[v]", "-pix_fmt", "yuv420p"]
    if name not in VIDEO_ONLY:
        args += ["-map", "1:a"]
    if name not in VIDEO_ONLY:
        # Whole AAC frames that end before the loop does (the encoder adds one priming frame), so
        # the audio of consecutive loops never overlaps in time.
        args += ["-af", f"atrim=end_sample={(seconds * SAMPLE_RATE // AAC_FRAME - 2) * AAC_FRAME}"]
    gop = FPS * GOP_SECONDS
    if camera["codec"] == "hevc":
        args += ["-c:v", "libx265", "-preset", "ultrafast", "-tag:v", "hvc1",
                 "-x265-params", f"keyint={gop}:min-keyint={gop}:scenecut=0:open-gop=0:bframes=0:log-level=error"]
    else:
        args += ["-c:v", "libx264", "-preset", "ultrafast", "-g", str(gop), "-keyint_min", str(gop),
                 "-sc_threshold", "0"]
    if name not in VIDEO_ONLY:
        args += ["-c:a", "aac", "-b:a", "64k", "-ac", "1"]
    if camera["codec"] == "hevc":
        # Without an explicit edit list the muxer hides the AAC priming in the first video frame's
        # duration, so every later frame would sit 21 ms off the frame grid.
        args += ["-use_editlist", "1", "-movflags", "frag_keyframe+empty_moov+default_base_moof", "-f", "mp4",
                 str(output)]
    else:
        args += ["-f", "mpegts", str(output)]
    return args


def cache_key(scene, name: str, camera: dict) -> str:
    recipe = {"revision": MEDIA_REVISION, "camera": camera, "audio": name not in VIDEO_ONLY,
              "args": encode_arguments(scene, name, camera, Path("out"))[5:-1]}
    return hashlib.sha256(json.dumps(recipe, sort_keys=True).encode()).hexdigest()[:16]


async def run(args: list):
    process = await asyncio.create_subprocess_exec(*args, stdout=asyncio.subprocess.DEVNULL,
                                                   stderr=asyncio.subprocess.PIPE)
    _, stderr = await process.communicate()
    if process.returncode != 0:
        raise RuntimeError(f"{args[0]} failed: {stderr.decode(errors='replace')}")


def generate_loop_now(scene, name: str, camera: dict, directory: Path):
    """Renders the loop into directory, once across every process sharing the cache: the first
    one holding the lock renders it, the others find it done."""
    directory.parent.mkdir(parents=True, exist_ok=True)
    with open(directory.parent / f"{directory.name}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if (directory / "done").exists():
            return
        work = Path(tempfile.mkdtemp(prefix=f".{name}-", dir=directory.parent))
        try:
            loop_file = work / ("loop.mp4" if camera["codec"] == "hevc" else "loop.ts")
            subprocess.run(encode_arguments(scene, name, camera, loop_file), check=True)
            if camera["codec"] != "hevc":
                subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", str(loop_file),
                                "-map", "0", "-c", "copy", "-f", "segment", "-segment_time", str(GOP_SECONDS),
                                "-segment_format", "mpegts", "-reset_timestamps", "0",
                                str(work / "piece%02d.ts")], check=True)
            (work / "done").write_text("ok")
            work.rename(directory)
        finally:
            shutil.rmtree(work, ignore_errors=True)


async def generate_loop(name: str, directory: Path, timeout: float = 300):
    """Renders in a detached process, so that a server stopped meanwhile (tests stop theirs after
    every case) does not throw the half-made loop away; the next server picks it up."""
    if (directory / "done").exists():
        return
    directory.parent.mkdir(parents=True, exist_ok=True)
    log_file = directory.parent / f"{directory.name}.log"
    with open(log_file, "ab") as log:
        renderer = subprocess.Popen([sys.executable, str(Path(__file__).resolve()), "render", name, str(directory)],
                                    stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    deadline = time.monotonic() + timeout
    while not (directory / "done").exists():
        if renderer.poll() not in (None, 0) or time.monotonic() > deadline:
            raise RuntimeError(f"rendering {name} failed: {log_file.read_text(errors='replace')[-2000:]}")
        await asyncio.sleep(0.1)
    renderer.poll()


# ---------------------------------------------------------------------------------------------
# MPEG-TS rewriting


def read_timestamp(b: bytes, at: int) -> int:
    return (((b[at] >> 1) & 0x07) << 30) | (b[at + 1] << 22) | ((b[at + 2] >> 1) << 15) \
        | (b[at + 3] << 7) | (b[at + 4] >> 1)


def write_timestamp(b: bytearray, at: int, value: int):
    value &= (1 << 33) - 1
    prefix = b[at] & 0xF0
    b[at] = prefix | ((value >> 29) & 0x0E) | 1
    b[at + 1] = (value >> 22) & 0xFF
    b[at + 2] = ((value >> 14) & 0xFE) | 1
    b[at + 3] = (value >> 7) & 0xFF
    b[at + 4] = ((value << 1) & 0xFE) | 1


def shift_ts_packet(p: bytearray, delta: int, counters: dict):
    pid = ((p[1] & 0x1F) << 8) | p[2]
    control = (p[3] >> 4) & 3
    has_payload = control & 1
    counter = counters.get(pid, -1)
    if has_payload:
        counter = (counter + 1) & 0x0F
    counters[pid] = counter
    p[3] = (p[3] & 0xF0) | (counter & 0x0F)
    payload = 4
    if control & 2:
        length = p[4]
        if length > 0 and p[5] & 0x10:
            base = (p[6] << 25) | (p[7] << 17) | (p[8] << 9) | (p[9] << 1) | (p[10] >> 7)
            base = (base + delta) & ((1 << 33) - 1)
            p[6], p[7], p[8], p[9] = (base >> 25) & 0xFF, (base >> 17) & 0xFF, (base >> 9) & 0xFF, (base >> 1) & 0xFF
            p[10] = ((base & 1) << 7) | (p[10] & 0x7F)
        payload = 5 + length
    if not has_payload or not (p[1] & 0x40) or payload + 14 > len(p):
        return
    if p[payload:payload + 3] != b"\x00\x00\x01" or p[payload + 3] in (0xBC, 0xBE, 0xBF, 0xF0, 0xF1, 0xFF):
        return
    flags = p[payload + 7] >> 6
    if flags & 2:
        write_timestamp(p, payload + 9, read_timestamp(p, payload + 9) + delta)
    if flags == 3:
        write_timestamp(p, payload + 14, read_timestamp(p, payload + 14) + delta)


def payload_packets(piece: bytes) -> dict:
    """Packets carrying payload, by PID: each advances that PID's continuity counter."""
    counts = {}
    for at in range(0, len(piece) - 187, 188):
        if piece[at + 3] & 0x10:
            pid = ((piece[at + 1] & 0x1F) << 8) | piece[at + 2]
            counts[pid] = counts.get(pid, 0) + 1
    return counts


def shift_ts(pieces: list, deltas: list, counters: dict) -> bytes:
    """Concatenates TS pieces, each moved in time by its delta (90 kHz). counters holds the last
    continuity counter of each PID before the segment, so counters run on across segments."""
    out = bytearray()
    counters = dict(counters)
    for piece, delta in zip(pieces, deltas):
        data = bytearray(piece)
        for at in range(0, len(data) - 187, 188):
            packet = data[at:at + 188]
            shift_ts_packet(packet, delta, counters)
            out += packet
    return bytes(out)


# ---------------------------------------------------------------------------------------------
# Fragmented MP4 rewriting


def boxes(data: bytes, start: int = 0, end: int = None):
    end = len(data) if end is None else end
    at = start
    while at + 8 <= end:
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        header = 8
        if size == 1:
            size = struct.unpack(">Q", data[at + 8:at + 16])[0]
            header = 16
        elif size == 0:
            size = end - at
        if size < header:
            return
        yield kind.decode("latin-1"), at, size, header
        at += size


def track_timescales(moov: bytes) -> dict:
    scales = {}
    for kind, at, size, header in boxes(moov, 8):
        if kind != "trak":
            continue
        track_id, timescale = None, None
        for k2, a2, s2, h2 in boxes(moov, at + header, at + size):
            if k2 == "tkhd":
                version = moov[a2 + h2]
                track_id = struct.unpack(">I", moov[a2 + h2 + (20 if version == 1 else 12):][:4])[0]
            if k2 == "mdia":
                for k3, a3, s3, h3 in boxes(moov, a2 + h2, a2 + s2):
                    if k3 == "mdhd":
                        version = moov[a3 + h3]
                        timescale = struct.unpack(">I", moov[a3 + h3 + (20 if version == 1 else 12):][:4])[0]
        scales[track_id] = timescale
    return scales


def shift_fragment(fragment: bytes, seconds: int, scales: dict, sequence: int) -> bytes:
    data = bytearray(fragment)
    for kind, at, size, header in boxes(data):
        if kind != "moof":
            continue
        for k2, a2, s2, h2 in boxes(data, at + header, at + size):
            if k2 == "mfhd":
                struct.pack_into(">I", data, a2 + h2 + 4, sequence)
            if k2 != "traf":
                continue
            track_id = None
            for k3, a3, s3, h3 in boxes(data, a2 + h2, a2 + s2):
                if k3 == "tfhd":
                    track_id = struct.unpack(">I", data[a3 + h3 + 4:a3 + h3 + 8])[0]
                if k3 == "tfdt":
                    delta = seconds * scales[track_id]
                    if data[a3 + h3] == 1:
                        value = struct.unpack(">Q", data[a3 + h3 + 4:a3 + h3 + 12])[0]
                        struct.pack_into(">Q", data, a3 + h3 + 4, value + delta)
                    else:
                        value = struct.unpack(">I", data[a3 + h3 + 4:a3 + h3 + 8])[0]
                        struct.pack_into(">I", data, a3 + h3 + 4, (value + delta) & 0xFFFFFFFF)
    return bytes(data)


# ---------------------------------------------------------------------------------------------
# The loop of one camera


@dataclass
class Loop:
    camera: str
    codec: str
    width: int
    height: int
    audio: bool
    pieces: list                # one entry per loop second
    init: bytes = b""           # fMP4 only
    scales: dict = field(default_factory=dict)
    packet_counts: list = field(default_factory=list)  # TS only, per piece

    @property
    def fmp4(self) -> bool:
        return self.codec == "hevc"

    @property
    def suffix(self) -> str:
        return "v1-a1" if self.audio else "v1"

    @property
    def codecs(self) -> str:
        video = "hvc1.1.6.L93.B0" if self.fmp4 else "avc1.64001f"
        return f"{video},mp4a.40.2" if self.audio else video

    def piece_index(self, second: int) -> int:
        return second % len(self.pieces)

    def counters_after(self, seconds) -> dict:
        """Continuity counters of every PID once the given seconds were sent."""
        totals = {}
        for second in seconds:
            for pid, count in self.packet_counts[self.piece_index(second)].items():
                totals[pid] = totals.get(pid, 0) + count
        return {pid: (total - 1) & 0x0F for pid, total in totals.items()}

    def segment(self, walls: list, begin: int, end: int) -> bytes:
        """Media seconds [begin, end) of a timeline whose media second m shows wall-clock second walls[m]:
        each piece is moved from its place in the loop to its media time, so skipped seconds (a gap
        between files, the loop's wrap) leave no hole in the timestamps."""
        media = range(begin, end)
        pieces = [self.pieces[self.piece_index(walls[m])] for m in media]
        shifts = [m - self.piece_index(walls[m]) for m in media]
        if not self.fmp4:
            before = self.counters_after(walls[:begin])
            return shift_ts(pieces, [shift * TS_CLOCK for shift in shifts], before)
        return b"".join(shift_fragment(piece, shift, self.scales, m + 1)
                        for m, piece, shift in zip(media, pieces, shifts))


def load_loop(name: str, camera: dict, directory: Path) -> Loop:
    audio = name not in VIDEO_ONLY
    if camera["codec"] != "hevc":
        pieces = [p.read_bytes() for p in sorted(directory.glob("piece*.ts"))]
        return Loop(name, camera["codec"], camera["width"], camera["height"], audio, pieces,
                    packet_counts=[payload_packets(p) for p in pieces])
    data = (directory / "loop.mp4").read_bytes()
    init_end = 0
    fragments = []
    fragment_start = None
    for kind, at, size, _ in boxes(data):
        if kind in ("ftyp", "moov"):
            init_end = at + size
        elif kind == "moof":
            fragment_start = at
        elif kind == "mdat" and fragment_start is not None:
            fragments.append(data[fragment_start:at + size])
            fragment_start = None
    moov = next(data[at:at + size] for kind, at, size, _ in boxes(data) if kind == "moov")
    return Loop(name, camera["codec"], camera["width"], camera["height"], audio, fragments,
                data[:init_end], track_timescales(moov))


class Library:
    """Loops by camera, generated on first use and kept for the life of the server."""

    def __init__(self, scene, cache_dir: Path):
        self.scene = scene
        self.cache_dir = Path(cache_dir)
        self.loops = {}
        self.locks = {}
        self.preview = None

    async def loop(self, name: str) -> Loop:
        if name in self.loops:
            return self.loops[name]
        lock = self.locks.setdefault(name, asyncio.Lock())
        async with lock:
            if name not in self.loops:
                camera = self.scene.CAMERAS[name]
                directory = self.cache_dir / f"recordings-{name}-{cache_key(self.scene, name, camera)}"
                await generate_loop(name, directory)
                self.loops[name] = load_loop(name, camera, directory)
        return self.loops[name]

    async def preview_file(self, kind: str) -> Path:
        loop = await self.loop(next(iter(self.scene.CAMERAS)))
        directory = self.cache_dir / f"preview-{cache_key(self.scene, loop.camera, self.scene.CAMERAS[loop.camera])}"
        target = directory / f"preview.{kind}"
        if target.exists():
            return target
        directory.mkdir(parents=True, exist_ok=True)
        source = Path(tempfile.mkdtemp(dir=directory))
        try:
            clip = source / ("clip.mp4" if loop.fmp4 else "clip.ts")
            clip.write_bytes((loop.init if loop.fmp4 else b"") + loop.segment(list(range(10, 30)), 0, 20))
            output = source / target.name
            args = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", str(clip), "-an",
                    "-vf", "fps=2,scale=160:-2"]
            if kind == "mp4":
                args += ["-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"]
            await run(args + [str(output)])
            os.replace(output, target)
        finally:
            shutil.rmtree(source, ignore_errors=True)
        return target


# ---------------------------------------------------------------------------------------------
# Timelines: what the real server concatenates for a request, second by second


@dataclass
class Timeline:
    walls: list               # wall-clock second shown at each media second
    segment_seconds: int

    def segments(self) -> list:
        """[begin, end) media seconds of each playlist segment."""
        total = len(self.walls)
        return [(at, min(at + self.segment_seconds, total)) for at in range(0, total, self.segment_seconds)]


def parse_times(start: str, end: str):
    try:
        s, e = float(start), float(end)
    except ValueError:
        return None
    return (s, e) if math.isfinite(s) and math.isfinite(e) else None


def vod_timeline(ctx, camera: str, start: str, end: str):
    """The files overlapping the request joined with nothing between them, as nginx-vod plays the
    mapping /api/vod answers: whole files from the first one on 0.14/0.15, the first one cut at the
    requested start (clipFrom) from 0.16; the last one cut at the requested end. Whole seconds, as the
    loop is kept; None when nothing is left (the API's 404)."""
    times = parse_times(start, end)
    if times is None:
        return None
    s, e = times
    clip_from = ctx.version not in ("0.14", "0.15")
    walls = []
    for file in ctx.world.recordings.overlapping(camera, s, e, ctx.now()):
        first = max(file.start, math.floor(s)) if clip_from else file.start
        walls.extend(range(first, min(file.end, math.ceil(e))))
    return Timeline(walls, ctx.scene.SEGMENT_SECONDS) if walls else None


def clip_seconds(ctx, camera: str, s: float, e: float) -> list:
    """Wall-clock seconds of a clip: ffmpeg's concat of the overlapping files, the first from the whole
    second inpoint, the last to the whole second outpoint."""
    walls = []
    for file in ctx.world.recordings.overlapping(camera, s, e, ctx.now()):
        first = file.start + (int(s - file.start) if file.start < s else 0)
        last = file.start + int(e - file.start) if file.end > e else file.end
        walls.extend(range(first, last))
    return walls


def no_recordings(ctx) -> web.Response:
    if ctx.version in ("0.14", "0.15"):
        return web.Response(status=502, text=BAD_GATEWAY_HTML, content_type="text/html")
    return web.Response(status=404, text=NOT_FOUND_HTML, content_type="text/html")


def not_found() -> web.Response:
    return web.Response(status=404, text=NOT_FOUND_HTML, content_type="text/html")


def unauthorized() -> web.Response:
    return web.Response(status=401, text=UNAUTHORIZED_HTML, content_type="text/html")


# ---------------------------------------------------------------------------------------------
# Handlers

VOD_FILE = re.compile(r"^(?:(master)\.m3u8|index-(v1(?:-a1)?)\.m3u8|iframes-(v1(?:-a1)?)\.m3u8|"
                      r"init-(v1(?:-a1)?)\.mp4|seg-(\d+)-(v1(?:-a1)?)\.(ts|m4s))$")


def playlist_response(text: str) -> web.Response:
    return web.Response(text=text, content_type="application/vnd.apple.mpegurl", headers=NO_CACHE)


def master_playlist(loop: Loop, query: str) -> str:
    bandwidth = 1200000 if loop.width >= 1280 else 600000
    lines = ["#EXTM3U",
             f"#EXT-X-STREAM-INF:PROGRAM-ID=1,BANDWIDTH={bandwidth},RESOLUTION={loop.width}x{loop.height},"
             f"FRAME-RATE={FPS:.3f},CODECS=\"{loop.codecs}\"",
             f"index-{loop.suffix}.m3u8{query}"]
    if not loop.fmp4:
        lines.append(f"#EXT-X-I-FRAME-STREAM-INF:BANDWIDTH={bandwidth // 10},RESOLUTION={loop.width}x{loop.height},"
                     f"CODECS=\"avc1.64001f\",URI=\"iframes-{loop.suffix}.m3u8{query}\"")
    return "\n".join(lines) + "\n"


def index_playlist(loop: Loop, span: Timeline, query: str) -> str:
    segments = span.segments()
    lines = ["#EXTM3U", f"#EXT-X-TARGETDURATION:{span.segment_seconds}", "#EXT-X-ALLOW-CACHE:YES",
             "#EXT-X-PLAYLIST-TYPE:VOD", f"#EXT-X-VERSION:{6 if loop.fmp4 else 3}", "#EXT-X-MEDIA-SEQUENCE:1"]
    if loop.fmp4:
        lines.append(f"#EXT-X-MAP:URI=\"init-{loop.suffix}.mp4{query}\"")
    extension = "m4s" if loop.fmp4 else "ts"
    for number, (begin, end) in enumerate(segments, start=1):
        lines.append(f"#EXTINF:{end - begin:.3f},")
        lines.append(f"seg-{number}-{loop.suffix}.{extension}{query}")
    lines.append("#EXT-X-ENDLIST")
    return "\n".join(lines) + "\n"


def iframes_playlist(loop: Loop, span: Timeline, query: str) -> str:
    lines = ["#EXTM3U", f"#EXT-X-TARGETDURATION:{span.segment_seconds}", "#EXT-X-VERSION:4",
             "#EXT-X-MEDIA-SEQUENCE:1", "#EXT-X-PLAYLIST-TYPE:VOD", "#EXT-X-I-FRAMES-ONLY"]
    for number, (begin, end) in enumerate(span.segments(), start=1):
        for _ in range(begin, end):
            lines.append(f"#EXTINF:{GOP_SECONDS:.3f},")
            lines.append(f"seg-{number}-{loop.suffix}.ts{query}")
    lines.append("#EXT-X-ENDLIST")
    return "\n".join(lines) + "\n"


def register(app, ctx):
    library = Library(ctx.scene, ctx.cache_dir)

    async def vod(request: web.Request) -> web.StreamResponse:
        if not ctx.auth_ok(request):
            return unauthorized()
        camera = request.match_info["camera"]
        match = VOD_FILE.match(request.match_info["file"])
        if camera not in ctx.scene.CAMERAS or not match:
            return no_recordings(ctx) if camera not in ctx.scene.CAMERAS else not_found()
        span = vod_timeline(ctx, camera, request.match_info["start"], request.match_info["end"])
        if span is None:
            return no_recordings(ctx)
        loop = await library.loop(camera)
        query = f"?{request.query_string}" if request.query_string else ""
        master, index, iframes, init, number, segment_suffix, extension = match.groups()
        suffix = index or iframes or init or segment_suffix
        if master:
            return playlist_response(master_playlist(loop, query))
        if suffix != loop.suffix:
            return not_found()
        if index:
            return playlist_response(index_playlist(loop, span, query))
        if iframes:
            return playlist_response(iframes_playlist(loop, span, query)) if not loop.fmp4 else not_found()
        if init:
            if not loop.fmp4:
                return not_found()
            return web.Response(body=loop.init, content_type="video/mp4", headers=NO_CACHE)
        segments = span.segments()
        n = int(number)
        if n < 1 or n > len(segments) or extension != ("m4s" if loop.fmp4 else "ts"):
            return not_found()
        body = loop.segment(span.walls, *segments[n - 1])
        return web.Response(body=body, content_type="video/mp4" if loop.fmp4 else "video/MP2T", headers=NO_CACHE)

    async def clip(request: web.Request) -> web.StreamResponse:
        if not ctx.auth_ok(request):
            return unauthorized()
        camera = request.match_info["camera"]
        times = parse_times(request.match_info["start"], request.match_info["end"])
        walls = clip_seconds(ctx, camera, *times) if times else []
        legacy = ctx.version == "0.14"
        if not walls:
            # 0.15+ streams whatever ffmpeg wrote before failing: nothing, with status 200.
            if legacy:
                return json_response({"success": False, "message": "Could not create clip from recordings"},
                                     ctx.flavour, status=500)
            return web.Response(body=b"", content_type="video/mp4")
        loop = await library.loop(camera)
        work = Path(tempfile.mkdtemp(dir=library.cache_dir))
        source = work / ("source.mp4" if loop.fmp4 else "source.ts")
        source.write_bytes((loop.init if loop.fmp4 else b"") + loop.segment(walls, 0, len(walls)))
        try:
            if legacy:
                output = work / "clip.mp4"
                await run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", str(source), "-c", "copy",
                           "-bsf:a", "aac_adtstoasc", "-movflags", "+faststart", str(output)])
                return web.Response(body=output.read_bytes(), content_type="video/mp4")
            return await stream_fragmented(request, source)
        finally:
            shutil.rmtree(work, ignore_errors=True)

    async def preview(request: web.Request) -> web.StreamResponse:
        if not ctx.auth_ok(request):
            return unauthorized()
        world = getattr(ctx, "world", None)
        if world is not None and world.review(request.match_info["id"]) is None:
            return web.json_response({"success": False, "message": "Review segment not found"}, status=404)
        kind = request.query.get("format", "gif")
        if kind not in ("gif", "mp4"):
            return web.json_response({"success": False, "message": "Preview not found"}, status=404)
        path = await library.preview_file(kind)
        return web.Response(body=path.read_bytes(), content_type="image/gif" if kind == "gif" else "video/mp4",
                            headers={"Cache-Control": "private, max-age=2592000"})

    app.router.add_get("/vod/{camera}/start/{start}/end/{end}/{file}", vod)
    app.router.add_get("/api/{camera}/start/{start}/end/{end}/clip.mp4", clip)
    app.router.add_get("/api/review/{id}/preview", preview)

    async def warm_up(_app):
        # Generation takes seconds on a cold cache: start it before the first player asks.
        _app["media_warm_up"] = [asyncio.create_task(library.loop(name)) for name in ctx.scene.CAMERAS]

    app.on_startup.append(warm_up)


async def stream_fragmented(request: web.Request, source: Path) -> web.StreamResponse:
    """0.15+ streams ffmpeg's output as it is written: fragmented, chunked, no length."""
    process = await asyncio.create_subprocess_exec(
        "ffmpeg", "-hide_banner", "-loglevel", "error", "-i", str(source), "-c", "copy",
        "-bsf:a", "aac_adtstoasc", "-movflags", "frag_keyframe+empty_moov", "-f", "mp4", "pipe:1",
        stdout=asyncio.subprocess.PIPE, stderr=asyncio.subprocess.DEVNULL)
    response = web.StreamResponse(headers={"Content-Type": "video/mp4"})
    response.enable_chunked_encoding()
    await response.prepare(request)
    try:
        while True:
            chunk = await process.stdout.read(64 * 1024)
            if not chunk:
                break
            await response.write(chunk)
        await response.write_eof()
    finally:
        if process.returncode is None:
            process.kill()
        await process.wait()
    return response


if __name__ == "__main__" and len(sys.argv) == 4 and sys.argv[1] == "render":
    import scene as the_scene
    generate_loop_now(the_scene, sys.argv[2], the_scene.CAMERAS[sys.argv[2]], Path(sys.argv[3]))
