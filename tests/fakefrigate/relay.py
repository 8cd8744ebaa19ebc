"""The go2rtc MSE relay behind /live/mse/api/ws (go2rtc 1.9.2 on 0.14/0.15, 1.9.9 on 0.16), with its
fault controls and a log of every fragment sent, under /__control/live/.

Protocol as go2rtc speaks it: JSON text frames {"type", "value"} from the client (a frame that is not
JSON closes the socket, unknown types are ignored); "mse" negotiates codecs by exact token, answers
one text frame naming the attached tracks, then binary frames: the init segment, then one-sample
fragments from the next key frame of the running camera on (no key-frame cache). Errors are text frames
and leave the socket open. Each further "mse" message adds another consumer on the same socket."""

import asyncio
import collections
import contextlib
import itertools
import json
import logging
import time
from dataclasses import dataclass, field
from typing import List, Optional

from aiohttp import WSMsgType, web

import livemedia
from logtext import CAMERA_IPS

log = logging.getLogger("fakefrigate.relay")

NGINX_403 = (b"<html>\r\n<head><title>403 Forbidden</title></head>\r\n<body>\r\n<center><h1>403 Forbidden</h1></center>"
             b"\r\n<hr><center>nginx</center>\r\n</body>\r\n</html>\r\n")

MSE_TOKENS = {"avc1.640029": ("video", "H264"), "hvc1.1.6.L153.B0": ("video", "H265"),
              "mp4a.40.2": ("audio", "AAC"), "flac": ("audio", "PCM"), "opus": ("audio", "OPUS")}
DEFAULT_CODECS = {"video": ["H264", "H265"], "audio": ["AAC"]}
DEPARTURES_KEPT = 20000
FAULT_POLL_SECONDS = 0.05
RELAY_KINDS = ("close", "silent", "unsupported", "mismatch", "stall", "refuse", "cut")
MJPEG_KINDS = ("mjpeg_fail", "mjpeg_stall", "mjpeg_cut")
UNSUPPORTED_MIME = 'video/mp4; codecs="av01.0.08M.08"'


def stream_names(scene, flavour) -> dict:
    """Every go2rtc stream the config declares, by name: (camera, "main" for the camera's own streams or
    "h264" for the config's ffmpeg:<cam>_clear#video=h264 source, which has no sound)."""
    names = {}
    for camera in scene.CAMERAS:
        names[camera] = names[f"{camera}_sub"] = (camera, "main")
        if flavour.per_user_reviews:
            names[f"{camera}_clear"] = (camera, "main")
            names[f"{camera}_balanced"] = (camera, "h264")
    return names


# ---------------------------------------------------------------------------------------------
# Faults


@dataclass
class LiveFault:
    id: int
    kind: str
    target: Optional[str]          # stream name (relay kinds) or camera name (MJPEG kinds); None: all
    seconds: float = 0.0
    status: int = 500
    value: Optional[str] = None
    times: Optional[int] = None
    created: float = field(default_factory=time.time)

    def describe(self) -> dict:
        key = "camera" if self.kind in MJPEG_KINDS else "stream"
        return {"id": self.id, "kind": self.kind, key: self.target, "seconds": self.seconds, "status": self.status,
                "value": self.value, "times": self.times}

    def deadline(self, since: float) -> float:
        """When a timed fault strikes a connection opened at `since`: N s after the later of the
        connection's start and the fault's creation."""
        return max(since, self.created) + self.seconds


def parse_live_fault(body, fault_id: int) -> LiveFault:
    if not isinstance(body, dict):
        raise ValueError("the body must be a JSON object")
    kind = body.get("kind")
    if kind not in RELAY_KINDS + MJPEG_KINDS:
        raise ValueError(f'"kind" must be one of {", ".join(RELAY_KINDS + MJPEG_KINDS)}')
    key = "camera" if kind in MJPEG_KINDS else "stream"
    allowed = {"kind", key, "seconds", "status", "value", "times"}
    if set(body) - allowed:
        raise ValueError(f"unknown keys for {kind}: {sorted(set(body) - allowed)}")
    checks = {key: (str, type(None)), "seconds": (int, float), "status": int, "value": str, "times": int}
    for name, kinds in checks.items():
        value = body.get(name)
        if value is not None and (isinstance(value, bool) or not isinstance(value, kinds)):
            raise ValueError(f'"{name}" has the wrong type')
    if body.get("seconds", 0) < 0 or body.get("times", 1) < 1:
        raise ValueError('"seconds" must be >= 0 and "times" >= 1')
    return LiveFault(fault_id, kind, body.get(key), float(body.get("seconds", 0)), body.get("status", 500),
                     body.get("value"), body.get("times"))


class LiveFaults:
    def __init__(self):
        self.active: List[LiveFault] = []
        self.next_id = 1

    def add(self, body) -> LiveFault:
        fault = parse_live_fault(body, self.next_id)
        self.next_id += 1
        self.active.append(fault)
        return fault

    def clear(self) -> int:
        count = len(self.active)
        self.active.clear()
        return count

    def take(self, target: str, kinds) -> List[LiveFault]:
        """The faults of these kinds hitting a new connection to target, each counted as used once."""
        hits = [f for f in self.active if f.kind in kinds and f.target in (None, target)]
        for fault in hits:
            if fault.times is not None:
                fault.times -= 1
                if fault.times == 0:
                    self.active.remove(fault)
        return hits

    def current(self, target: str, kind: str) -> List[LiveFault]:
        """Faults of a kind in force now, including ones added after the connection opened."""
        return [f for f in self.active if f.kind == kind and f.target in (None, target)]

    def strikes(self, target: str, kind: str, taken: List[LiveFault], since: float) -> bool:
        """Whether a timed fault holds a connection now: one it met when it opened (until the fault is
        removed; one used up by `times` stays), or one added since."""
        faults = {f.id: f for f in taken if f.kind == kind and (f in self.active or f.times == 0)}
        faults.update({f.id: f for f in self.current(target, kind) if f.created > since})
        return any(time.time() >= f.deadline(since) for f in faults.values())


# ---------------------------------------------------------------------------------------------
# Negotiation


def wanted_codecs(value) -> dict:
    """go2rtc's ParseCodecs: exact tokens only; a kind with no token is not asked for, and nothing
    recognised at all means the default set."""
    wanted = {"video": [], "audio": []}
    for token in (value if isinstance(value, str) else "").split(","):
        if token in MSE_TOKENS:
            kind, codec = MSE_TOKENS[token]
            wanted[kind].append(codec)
    if not wanted["video"] and not wanted["audio"]:
        return {kind: list(codecs) for kind, codecs in DEFAULT_CODECS.items()}
    return wanted


def mismatch_text(camera, wanted: dict, detailed: bool) -> str:
    """'codecs not matched' as go2rtc 1.9.2 ("H265, AAC => H264") or 1.9.9 ("video:H265, audio:AAC =>
    video:H264") prints it."""
    tracks = [camera.video] + ([camera.audio] if camera.audio else [])
    produced = [f"{t.kind}:{t.codec}" if detailed else t.codec for t in tracks]
    asked = [f"{kind}:{codec}" if detailed else codec for kind in ("video", "audio") for codec in wanted[kind]]
    return f"mse: streams: codecs not matched: {', '.join(produced)} => {', '.join(dict.fromkeys(asked))}"


def attach(camera, wanted: dict) -> list:
    tracks = [camera.video] + ([camera.audio] if camera.audio else [])
    return [t for t in tracks if t.codec in wanted[t.kind]]


# ---------------------------------------------------------------------------------------------
# Logs the tests read


class Departures:
    """Every fragment written: which connection, stream and track, its decode time, when it was
    written and which wall time its sample stands for, so a benchmark can work out latency."""

    def __init__(self):
        self.entries = collections.deque(maxlen=DEPARTURES_KEPT)

    def record(self, connection: int, stream: str, track, decode: int, captured: float, sample, written: float):
        self.entries.append({"connection": connection, "stream": stream, "track": track.kind,
                             "tfdt": decode / track.timescale, "written": written, "captured": captured,
                             "key": sample.key, "frame": sample.frame})


@dataclass
class Connection:
    id: int
    stream: str
    started: float
    offers: list = field(default_factory=list)      # "mse" values received
    answers: list = field(default_factory=list)     # text frames sent
    binary_frames: int = 0
    closed: Optional[float] = None

    def describe(self) -> dict:
        return {"id": self.id, "stream": self.stream, "started": self.started, "offers": self.offers,
                "answers": self.answers, "binary_frames": self.binary_frames, "closed": self.closed}


# ---------------------------------------------------------------------------------------------
# One consumer on a socket


class Consumer:
    def __init__(self, relay, ws, connection: Connection, camera, tracks: list, taken: list):
        self.relay = relay
        self.ws = ws
        self.connection = connection
        self.camera = camera
        self.tracks = tracks
        self.taken = taken
        self.clocks = {id(t): livemedia.TrackClock(t) for t in tracks}
        self.track_ids = {id(t): number for number, t in enumerate(tracks, start=1)}
        self.sequence = 0
        self.cut_sent = False

    async def run(self):
        await self.relay.send_binary(self.connection, self.ws, livemedia.init_segment(self.tracks))
        waiting = any(t.kind == "video" for t in self.tracks)
        release = 0.0
        batch = []
        for wall, track, sample in self.camera.on_air(time.time()):
            if id(track) not in self.clocks:
                continue
            if waiting:
                if track.kind != "video" or not sample.key:
                    continue
                waiting = False
                release = wall + livemedia.FIRST_FLUSH_SECONDS
            due = max(wall, release)
            if batch and due > time.time():
                await self.flush(batch)
                batch = []
            await asyncio.sleep(max(0.0, due - time.time()))
            batch.append((wall, track, sample))

    async def flush(self, batch: list):
        if self.relay.faults.strikes(self.connection.stream, "stall", self.taken, self.connection.started):
            return
        pieces, notes = [], []
        for wall, track, sample in batch:
            decode, duration = self.clocks[id(track)].next(round(wall * track.timescale))
            self.sequence += 1
            flags = livemedia.SAMPLE_AUDIO if track.kind == "audio" else (
                livemedia.SAMPLE_KEY if sample.key else livemedia.SAMPLE_NON_KEY)
            pieces.append(livemedia.fragment(self.sequence, self.track_ids[id(track)], duration, flags,
                                             decode, sample.data))
            notes.append((track, decode, wall, sample))
        data = b"".join(pieces)
        if not self.cut_sent and self.relay.faults.strikes(self.connection.stream, "cut", self.taken,
                                                           self.connection.started):
            # One frame loses its second half, as a relay that lost bytes would pass it on.
            self.cut_sent = True
            data = data[:len(data) // 2]
        await self.relay.send_binary(self.connection, self.ws, data)
        written = time.time()
        for track, decode, wall, sample in notes:
            self.relay.departures.record(self.connection.id, self.connection.stream, track, decode, wall, sample,
                                         written)


# ---------------------------------------------------------------------------------------------
# The relay


class Relay:
    def __init__(self, ctx):
        self.ctx = ctx
        self.cameras = livemedia.Cameras(ctx.scene, ctx.cache_dir)
        self.streams = stream_names(ctx.scene, ctx.flavour)
        self.faults = LiveFaults()
        self.departures = Departures()
        self.connections = collections.deque(maxlen=200)
        self.ids = itertools.count(1)
        self.endless = set()        # handler tasks of open sockets and MJPEG streams

    @contextlib.contextmanager
    def endless_handler(self):
        """Marks the running handler as one that only ends with its client, so a stopping server ends it
        instead of waiting aiohttp's 60 s shutdown timeout for it."""
        task = asyncio.current_task()
        self.endless.add(task)
        try:
            yield
        finally:
            self.endless.discard(task)

    async def stop_endless(self, _app):
        for task in list(self.endless):
            task.cancel()

    async def send_binary(self, connection: Connection, ws, data: bytes):
        await ws.send_bytes(data)
        connection.binary_frames += 1

    async def send_text(self, connection: Connection, ws, payload: dict):
        text = json.dumps(payload, separators=(",", ":")) + "\n"
        connection.answers.append(text)
        await ws.send_str(text)

    async def handle(self, request: web.Request) -> web.StreamResponse:
        stream = request.query.get("src", "")
        refusals = self.faults.take(stream, ("refuse",))
        if refusals:
            return web.Response(status=refusals[0].status, text=f"{refusals[0].status}\n", content_type="text/plain")
        ws = web.WebSocketResponse(autoping=True)
        if not ws.can_prepare(request).ok:
            return web.Response(status=400, text="Bad Request\n", content_type="text/plain")
        await ws.prepare(request)
        connection = Connection(next(self.ids), stream, time.time())
        self.connections.append(connection)
        taken = self.faults.take(stream, RELAY_KINDS)
        watchdog = asyncio.ensure_future(self.close_when_due(ws, connection, taken))
        consumers = []
        try:
            with self.endless_handler():
                await self.read(ws, connection, taken, consumers)
        except ConnectionError:
            # Gone while its answer was being written (the camera may take a moment to prepare).
            pass
        finally:
            watchdog.cancel()
            for task in consumers:
                task.cancel()
            connection.closed = time.time()
        return ws

    async def read(self, ws, connection: Connection, taken: list, consumers: list):
        async for message in ws:
            if message.type not in (WSMsgType.TEXT, WSMsgType.BINARY):
                break
            try:
                payload = json.loads(message.data)
            except (ValueError, UnicodeDecodeError):
                payload = None
            if not isinstance(payload, dict) or not isinstance(payload.get("type"), str):
                await ws.close()
                break
            if payload["type"] != "mse":
                continue
            connection.offers.append(payload.get("value"))
            if any(f.kind == "silent" for f in taken):
                continue
            consumer = await self.negotiate(ws, connection, taken, payload.get("value"))
            if consumer is not None:
                consumers.append(asyncio.ensure_future(self.guarded(consumer)))

    async def negotiate(self, ws, connection: Connection, taken: list, value) -> Optional[Consumer]:
        camera_name, variant = self.streams.get(connection.stream, (None, None))
        if camera_name is None:
            await self.send_text(connection, ws, {"type": "error", "value": "mse: stream not found"})
            return None
        if camera_name in self.ctx.settings.offline:
            text = f"mse: streams: dial tcp {CAMERA_IPS[camera_name]}:554: i/o timeout"
            await self.send_text(connection, ws, {"type": "error", "value": text})
            return None
        camera = await self.cameras.camera(camera_name, variant)
        wanted = wanted_codecs(value)
        tracks = attach(camera, wanted)
        forced = next((f for f in taken if f.kind in ("unsupported", "mismatch")), None)
        if forced is not None and forced.kind == "unsupported":
            await self.send_text(connection, ws, {"type": "mse", "value": forced.value or UNSUPPORTED_MIME})
            return None
        if forced is not None or not tracks:
            detailed = self.ctx.flavour.per_user_reviews
            await self.send_text(connection, ws, {"type": "error", "value": mismatch_text(camera, wanted, detailed)})
            return None
        mime = f'video/mp4; codecs="{",".join(t.mime for t in tracks)}"'
        await self.send_text(connection, ws, {"type": "mse", "value": mime})
        return Consumer(self, ws, connection, camera, tracks, taken)

    @staticmethod
    async def guarded(consumer: Consumer):
        try:
            await consumer.run()
        except (ConnectionError, RuntimeError) as error:
            # The client went away while a frame was on its way: the socket's reader ends the rest.
            log.info("live consumer %d ended: %s", consumer.connection.id, error)

    async def close_when_due(self, ws, connection: Connection, taken: list):
        while not ws.closed:
            if self.faults.strikes(connection.stream, "close", taken, connection.started):
                await ws.close()
                return
            await asyncio.sleep(FAULT_POLL_SECONDS)


# ---------------------------------------------------------------------------------------------
# Control endpoints


def register(app: web.Application, ctx) -> Relay:
    relay = Relay(ctx)
    app["relay"] = relay
    app.on_shutdown.append(relay.stop_endless)

    async def add_fault(request):
        try:
            body = await request.json() if await request.text() else {}
            fault = relay.faults.add(body)
        except ValueError as error:
            return web.json_response({"error": str(error)}, status=400)
        return web.json_response({"id": fault.id})

    async def list_faults(_request):
        return web.json_response([f.describe() for f in relay.faults.active])

    async def clear_faults(_request):
        return web.json_response({"cleared": relay.faults.clear()})

    async def remove_fault(request):
        wanted = request.match_info["fault_id"]
        kept = [f for f in relay.faults.active if str(f.id) != wanted]
        removed = len(relay.faults.active) - len(kept)
        relay.faults.active[:] = kept
        return web.json_response({"removed": removed}, status=200 if removed else 404)

    async def departures(request):
        wanted = request.query.get("connection")
        entries = [e for e in relay.departures.entries if wanted is None or str(e["connection"]) == wanted]
        return web.json_response({"departures": entries})

    async def clear_departures(_request):
        count = len(relay.departures.entries)
        relay.departures.entries.clear()
        return web.json_response({"cleared": count})

    async def connections(_request):
        return web.json_response([c.describe() for c in relay.connections])

    async def forbidden(_request):
        # nginx's limit_except GET on the relay's location.
        return web.Response(status=403, body=NGINX_403, content_type="text/html")

    r = app.router
    r.add_get("/live/mse/api/ws", relay.handle)
    r.add_route("*", "/live/mse/api/ws", forbidden)
    r.add_post("/__control/live/fault", add_fault)
    r.add_get("/__control/live/faults", list_faults)
    r.add_delete("/__control/live/faults", clear_faults)
    r.add_delete("/__control/live/fault/{fault_id}", remove_fault)
    r.add_get("/__control/live/departures", departures)
    r.add_delete("/__control/live/departures", clear_departures)
    r.add_get("/__control/live/connections", connections)
    return relay
