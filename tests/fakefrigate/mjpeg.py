"""GET /api/<camera>?fps=&height= : the API's endless motion-JPEG stream (0.14 reads the height from
`h`, 0.15+ from `height`), paced at fps, one JPEG of the scene per part. An offline camera streams the
stock camera-error picture, as latest.jpg does."""

import asyncio
import time

from aiohttp import web

import api
from wire import ApiError

BOUNDARY_PART = b"--frame\r\nContent-Type: image/jpeg\r\n\r\n"
DEFAULT_FPS = 3
DEFAULT_HEIGHT = 360
STALL_POLL_SECONDS = 0.1


def content_type(flavour) -> str:
    return "multipart/x-mixed-replace; boundary=frame" if flavour.flask else "multipart/x-mixed-replace;boundary=frame"


async def picture(ctx, camera: str, height: int) -> bytes:
    if camera in ctx.settings.offline:
        return await ctx.stills.error_picture(camera, height)
    return await ctx.stills.image(camera, ctx.now(), height, "jpg")


async def stream(request: web.Request) -> web.StreamResponse:
    ctx = api.ctx_of(request)
    camera = api.known_camera(request)
    fps = max(1, api.query_number(request, "fps", DEFAULT_FPS, int))
    height = api.image_height(request, ctx.flavour.height_param) or DEFAULT_HEIGHT
    relay = request.app["relay"]
    faults = relay.faults.take(camera, ("mjpeg_fail", "mjpeg_stall", "mjpeg_cut"))
    if any(f.kind == "mjpeg_fail" for f in faults):
        raise ApiError.internal(ctx.flavour)
    started = time.time()
    response = web.StreamResponse(headers={"Content-Type": content_type(ctx.flavour)})
    await response.prepare(request)
    try:
        with relay.endless_handler():
            await send_parts(ctx, response, camera, height, fps,
                             lambda: relay.faults.strikes(camera, "mjpeg_stall", faults, started),
                             lambda: relay.faults.strikes(camera, "mjpeg_cut", faults, started))
    except EndedMidPart:
        request.protocol.force_close()
        if request.transport is not None:
            request.transport.close()
    except (ConnectionError, RuntimeError):
        # The viewer went away; nothing else ends an MJPEG stream.
        pass
    return response


class EndedMidPart(Exception):
    pass


async def send_parts(ctx, response, camera: str, height: int, fps: int, stalled, cut):
    while True:
        if stalled():
            await asyncio.sleep(STALL_POLL_SECONDS)
            continue
        part = await picture(ctx, camera, height)
        if cut():
            await response.write(BOUNDARY_PART + part[:len(part) // 2])
            raise EndedMidPart()
        await response.write(BOUNDARY_PART + part + b"\r\n\r\n")
        await asyncio.sleep(1.0 / fps)


def add_routes(app: web.Application):
    """After the API's own routes: any other single-segment /api/<name> is a camera's stream, as the
    real API's catch-all route makes it."""
    app.router.add_get("/api/{camera_name}", stream)
