"""The test-facing side door under /__control/: fault injection, the request log, certificate
renewal and run-time settings. None of it needs authentication."""
import asyncio
import re
import time
from dataclasses import dataclass
from typing import List, Optional

from aiohttp import web

import logtext
from wire import NO_CONTENT_TYPE, raw

FILLER = b'{"filler":"' + b"x" * 1000 + b'"},'


@dataclass
class Fault:
    id: int
    pattern: re.Pattern
    method: Optional[str] = None
    status: Optional[int] = None
    body: Optional[str] = None
    content_type: Optional[str] = None
    delay: float = 0.0
    drop: bool = False
    huge: int = 0
    trickle: float = 0.0
    cut: Optional[int] = None
    times: Optional[int] = None

    def describe(self) -> dict:
        return {"id": self.id, "path": self.pattern.pattern, "method": self.method, "status": self.status,
                "body": self.body, "content_type": self.content_type, "delay": self.delay, "drop": self.drop,
                "huge": self.huge, "trickle": self.trickle, "cut": self.cut, "times": self.times}

    @property
    def replaces_answer(self) -> bool:
        return self.status is not None or self.body is not None or self.content_type is not None


FIELD_TYPES = {"method": str, "status": int, "body": str, "content_type": str, "delay": (int, float),
               "drop": bool, "huge": int, "trickle": (int, float), "cut": int, "times": int}


def parse_fault(request_fault, fault_id: int) -> Fault:
    if not isinstance(request_fault, dict):
        raise ValueError("the body must be a JSON object")
    if not isinstance(request_fault.get("path"), str):
        raise ValueError('"path" (a regular expression) is required')
    unknown = set(request_fault) - set(FIELD_TYPES) - {"path"}
    if unknown:
        raise ValueError(f"unknown keys: {sorted(unknown)}")
    for name, kind in FIELD_TYPES.items():
        value = request_fault.get(name)
        if value is None:
            continue
        if (isinstance(value, bool) and kind is not bool) or not isinstance(value, kind):
            raise ValueError(f'"{name}" has the wrong type')
    try:
        pattern = re.compile(request_fault["path"])
    except re.error as error:
        raise ValueError(f"bad path pattern: {error}") from None
    times = request_fault.get("times")
    if times is not None and times < 1:
        raise ValueError('"times" must be at least 1')
    if (request_fault.get("trickle") or 0) < 0 or (request_fault.get("cut") or 0) < 0:
        raise ValueError('"trickle" and "cut" must not be negative')
    return Fault(id=fault_id, pattern=pattern, method=(request_fault.get("method") or "").upper() or None,
                 status=request_fault.get("status"), body=request_fault.get("body"), content_type=request_fault.get("content_type"),
                 delay=float(request_fault.get("delay") or 0.0), drop=bool(request_fault.get("drop")), huge=request_fault.get("huge") or 0,
                 trickle=float(request_fault.get("trickle") or 0.0), cut=request_fault.get("cut"), times=times)


class Faults:
    def __init__(self):
        self.active: List[Fault] = []
        self.next_id = 1

    def add(self, request_fault) -> Fault:
        fault = parse_fault(request_fault, self.next_id)
        self.next_id += 1
        self.active.append(fault)
        return fault

    def take(self, request: web.Request) -> Optional[Fault]:
        """The first fault matching the request, counted as used once."""
        for fault in self.active:
            if fault.method and fault.method != request.method:
                continue
            if not fault.pattern.search(request.path):
                continue
            if fault.times is not None:
                fault.times -= 1
                if fault.times == 0:
                    self.active.remove(fault)
            return fault
        return None

    async def apply(self, fault: Fault, request: web.Request, handler):
        if fault.delay:
            await asyncio.sleep(fault.delay)
        if fault.drop:
            request.protocol.force_close()
            if request.transport is not None:
                request.transport.close()
            return web.Response()
        if fault.huge:
            return await self._filler(request, fault.huge)
        if fault.replaces_answer:
            content_type = fault.content_type or ("application/json" if fault.body is not None else None)
            response = raw((fault.body or "").encode("utf-8"), fault.status or 200, content_type)
        else:
            response = await handler(request)
        if fault.trickle or fault.cut is not None:
            return await self._paced(request, response, fault)
        return response

    @staticmethod
    async def _paced(request: web.Request, response: web.StreamResponse, fault: Fault) -> web.StreamResponse:
        """Sends an answer held in one piece with its full Content-Length, `trickle` bytes a second and/or
        only its first `cut` bytes before the connection closes. Streamed answers pass unchanged."""
        body = getattr(response, "body", None)
        if response.prepared or not isinstance(body, (bytes, bytearray)):
            return response
        paced = web.StreamResponse(status=response.status, headers=response.headers)
        for key in ("Content-Length", "Transfer-Encoding"):
            paced.headers.popall(key, None)
        if response.get(NO_CONTENT_TYPE):
            paced[NO_CONTENT_TYPE] = True
        paced.content_length = len(body)
        await paced.prepare(request)
        end = len(body) if fault.cut is None else min(fault.cut, len(body))
        step = max(1, int(fault.trickle)) if fault.trickle else max(1, end)
        try:
            for at in range(0, end, step):
                await paced.write(bytes(body[at:min(at + step, end)]))
                if fault.trickle:
                    await asyncio.sleep(step / fault.trickle)
            if end < len(body):
                request.protocol.force_close()
                if request.transport is not None:
                    request.transport.close()
            else:
                await paced.write_eof()
        except ConnectionError:
            pass
        return paced

    @staticmethod
    async def _filler(request: web.Request, size: int) -> web.StreamResponse:
        response = web.StreamResponse(status=200, headers={"Content-Type": "application/json"})
        response.enable_chunked_encoding()
        await response.prepare(request)
        sent, block = 0, FILLER * 64
        try:
            await response.write(b"[")
            sent = 1
            while sent < size:
                chunk = block[:size - sent]
                await response.write(chunk)
                sent += len(chunk)
            await response.write_eof()
        except ConnectionError:
            pass
        return response


class RequestLog:
    def __init__(self):
        self.entries: List[dict] = []

    def record(self, request: web.Request, body: bytes):
        headers = {}
        for name, value in request.headers.items():
            key = name.lower()
            headers[key] = f"{headers[key]}, {value}" if key in headers else value
        self.entries.append({"method": request.method, "path": request.path,
                             "query": [[k, v] for k, v in request.query.items()], "headers": headers,
                             "body": body.decode("utf-8", errors="replace"), "time": time.time(),
                             "raw_path": request.raw_path})


def _error(message: str, status: int = 400) -> web.Response:
    return web.json_response({"error": message}, status=status)


async def _json(request):
    try:
        return await request.json() if await request.text() else {}
    except ValueError:
        return None


async def add_fault(request):
    request_fault = await _json(request)
    try:
        fault = request.app["faults"].add(request_fault)
    except ValueError as error:
        return _error(str(error))
    return web.json_response({"id": fault.id})


async def list_faults(request):
    return web.json_response([f.describe() for f in request.app["faults"].active])


async def clear_faults(request):
    """Clears the HTTP faults and the live relay's and MJPEG's faults alike."""
    faults = request.app["faults"]
    count = len(faults.active)
    faults.active.clear()
    relay = request.app.get("relay")
    if relay is not None:
        count += relay.faults.clear()
    return web.json_response({"cleared": count})


async def remove_fault(request):
    faults = request.app["faults"]
    wanted = request.match_info["fault_id"]
    kept = [f for f in faults.active if str(f.id) != wanted]
    removed = len(faults.active) - len(kept)
    faults.active[:] = kept
    return web.json_response({"removed": removed}, status=200 if removed else 404)


async def get_requests(request):
    return web.json_response(request.app["requests"].entries)


async def clear_requests(request):
    log = request.app["requests"]
    count = len(log.entries)
    log.entries.clear()
    return web.json_response({"cleared": count})


async def get_certificate(request):
    store = request.app["certs"]
    if store is None:
        return _error("the server runs without TLS", 409)
    return web.json_response({"fingerprint": store.fingerprint()})


async def renew_certificate(request):
    store = request.app["certs"]
    if store is None:
        return _error("the server runs without TLS", 409)
    fingerprint = await store.renew()
    close_other_connections(request)
    response = web.json_response({"fingerprint": fingerprint})
    response.force_close()
    return response


def close_other_connections(request):
    """Connections made with the old certificate must not go on serving; this one closes after answering."""
    runner = request.app["runner"]
    for handler, transport in list(runner.server._connections.items()):
        if handler is not request.protocol:
            transport.abort()


SETTING_TYPES = {"version_text": (str, type(None)), "auth": bool, "login_status": (int, type(None)),
                 "json_cache": bool, "session_length": int, "refresh_time": int, "users": dict}


def _valid_setting(name, value) -> bool:
    if isinstance(value, bool) and SETTING_TYPES[name] is not bool:
        return False
    if not isinstance(value, SETTING_TYPES[name]):
        return False
    if name == "users":
        return all(isinstance(k, str) and isinstance(v, str) for k, v in value.items())
    if name in ("session_length", "refresh_time"):
        return value > 0
    return True


async def set_config(request):
    ctx = request.app["ctx"]
    changes = await _json(request)
    if not isinstance(changes, dict):
        return _error("the body must be a JSON object")
    for name, value in changes.items():
        if name not in SETTING_TYPES:
            return _error(f"unknown setting {name}")
        if not _valid_setting(name, value):
            return _error(f"bad value for {name}")
    settings = ctx.settings
    for name, value in changes.items():
        if name == "login_status" and value == 0:
            value = None
        setattr(settings, name, dict(value) if name == "users" else value)
    if not settings.json_cache:
        request.app["cache"].clear()
    return web.json_response(state_of(request.app))


def state_of(app) -> dict:
    ctx = app["ctx"]
    s = ctx.settings
    return {"reviewed": sorted(ctx.all_reviewed()), "reviewed_by_user": ctx.reviewed_by_user(),
            "version": ctx.version, "version_text": ctx.version_text, "auth": s.auth, "json_cache": s.json_cache,
            "login_status": s.login_status, "session_length": s.session_length, "refresh_time": s.refresh_time,
            "users": sorted(s.users), "tls": app["certs"] is not None, "started": ctx.started,
            "recordings_start": ctx.world.recordings_start, "offline": sorted(s.offline)}


async def get_state(request):
    return web.json_response(state_of(request.app))


async def append_logs(request):
    """Adds lines to a service log: raw lines as written by s6, or one message formatted for that service."""
    ctx = request.app["ctx"]
    request_fault = await _json(request)
    if not isinstance(request_fault, dict) or request_fault.get("service") not in logtext.SERVICES:
        return _error('"service" must be one of frigate, go2rtc, nginx')
    lines = request_fault.get("lines")
    if lines is None:
        message = request_fault.get("message")
        if not isinstance(message, str):
            return _error('give "lines" (list of texts) or "message" (text)')
        lines = [logtext.formatted(request_fault["service"], time.time(), request_fault.get("level", "ERROR"),
                                   request_fault.get("logger", "frigate.app"), message)]
    if not isinstance(lines, list) or not all(isinstance(line, str) for line in lines):
        return _error('"lines" must be a list of texts')
    for line in lines:
        ctx.logs.append(request_fault["service"], line)
    return web.json_response({"lines": len(ctx.logs.files[request_fault["service"]])})


async def get_recordings(request):
    """The recording files of one camera between after and before (default: the whole history) and all of
    its gaps, so tests can work out where media time lands without re-deriving the layout."""
    ctx = request.app["ctx"]
    camera = request.query.get("camera")
    if camera not in ctx.scene.CAMERAS:
        return _error(f"unknown camera {camera}")
    try:
        after = float(request.query.get("after", ctx.world.recordings_start))
        before = float(request.query.get("before", ctx.now()))
    except ValueError:
        return _error('"after" and "before" must be numbers')
    files = ctx.world.recordings.files(camera, after, before, ctx.now())
    return web.json_response({"camera": camera,
                              "files": [{"start_time": float(f.start), "end_time": float(f.end)} for f in files],
                              "gaps": [{"start_time": float(a), "end_time": float(b)}
                                       for a, b in ctx.world.recordings.gaps[camera]]})


async def set_camera(request):
    """{"camera": name, "offline": bool}: an offline camera reports 0 fps in the stats, latest.jpg and the
    MJPEG stream show the stock error picture and the relay cannot reach it."""
    ctx = request.app["ctx"]
    body = await _json(request)
    if not isinstance(body, dict) or body.get("camera") not in ctx.scene.CAMERAS:
        return _error('"camera" must name a camera')
    if not isinstance(body.get("offline"), bool) or set(body) != {"camera", "offline"}:
        return _error('give "camera" and "offline" (true or false), nothing else')
    if body["offline"]:
        ctx.settings.offline.add(body["camera"])
    else:
        ctx.settings.offline.discard(body["camera"])
    return web.json_response({"offline": sorted(ctx.settings.offline)})


async def add_review(request):
    """{"camera": name, "severity"?: "alert" (default) or "detection"}: a new unseen review item, in progress
    since the current loop minute, as if the camera had just seen its object."""
    ctx = request.app["ctx"]
    body = await _json(request)
    if not isinstance(body, dict) or body.get("camera") not in ctx.scene.CAMERAS:
        return _error('"camera" must name a camera')
    severity = body.get("severity", "alert")
    if severity not in ("alert", "detection") or set(body) - {"camera", "severity"}:
        return _error('give "camera" and optionally "severity" ("alert" or "detection"), nothing else')
    review = ctx.world.add_review_now(body["camera"], severity, ctx.now())
    return web.json_response({"id": review.id, "camera": review.camera, "start_time": review.start,
                              "severity": review.severity, "objects": review.objects})


def add_routes(app: web.Application):
    r = app.router
    r.add_post("/__control/fault", add_fault)
    r.add_get("/__control/faults", list_faults)
    r.add_delete("/__control/faults", clear_faults)
    r.add_delete("/__control/fault/{fault_id}", remove_fault)
    r.add_get("/__control/requests", get_requests)
    r.add_delete("/__control/requests", clear_requests)
    r.add_get("/__control/certificate", get_certificate)
    r.add_post("/__control/certificate", renew_certificate)
    r.add_post("/__control/config", set_config)
    r.add_get("/__control/state", get_state)
    r.add_post("/__control/logs", append_logs)
    r.add_get("/__control/recordings", get_recordings)
    r.add_post("/__control/camera", set_camera)
    r.add_post("/__control/review", add_review)
