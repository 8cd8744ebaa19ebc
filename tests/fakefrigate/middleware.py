"""The layers every request passes, outermost first: request log and injected faults (the test's view of
the network), nginx's auth_request, nginx's 5 s JSON cache, the API's CSRF guard, and the API's way of
turning errors into answers."""
import logging
import re
import time
from dataclasses import dataclass

from aiohttp import web

import logtext
from wire import FLASK_405, HTML, NGINX_401, NGINX_404, NO_CONTENT_TYPE, ApiError, json_response, raw

log = logging.getLogger("fakefrigate")
IMAGE_PATH = re.compile(r"\.(jpg|jpeg|png|webp|gif)$", re.IGNORECASE)
CACHE_SECONDS = 5.0
UNLOGGED_BY_NGINX = ("/api/stats", "/api/version")


def is_control(request: web.Request) -> bool:
    return request.path.startswith("/__control/")


@dataclass
class CacheEntry:
    stored: float
    body: bytes
    content_type: str

    def response(self) -> web.Response:
        return raw(self.body, 200, self.content_type, headers={"X-Cache-Status": "HIT"})


def cacheable(request: web.Request) -> bool:
    path = request.path
    return (request.method in ("GET", "HEAD") and path.startswith("/api/") and path != "/api/login"
            and not path.startswith("/api/vod/") and not IMAGE_PATH.search(path))


def storable(response) -> bool:
    return (isinstance(response, web.Response) and not response.prepared and response.status == 200
            and response.headers.get("Content-Type") == "application/json")


def body_size(response: web.StreamResponse) -> int:
    if response.prepared:
        return response.body_length
    body = getattr(response, "body", None)
    return len(body) if isinstance(body, (bytes, bytearray)) else 0


def build(app: web.Application) -> list:
    ctx = app["ctx"]

    @web.middleware
    async def record_and_fault(request, handler):
        if is_control(request):
            return await handler(request)
        body = await request.read()
        app["requests"].record(request, body)
        fault = app["faults"].take(request)
        if fault is None:
            response = await handler(request)
        else:
            response = await app["faults"].apply(fault, request, handler)
        if request.path not in UNLOGGED_BY_NGINX:
            ctx.logs.append("nginx", logtext.nginx_access_line(
                time.time(), request.method, request.raw_path, response.status, body_size(response),
                request.headers.get("User-Agent", "-")))
        return response

    @web.middleware
    async def nginx_auth(request, handler):
        if is_control(request) or request.path == "/api/login":
            return await handler(request)
        identity = ctx.authenticate(request)
        if identity is None:
            return raw(NGINX_401, 401, "text/html")
        request["identity"] = identity
        return await handler(request)

    @web.middleware
    async def json_cache(request, handler):
        if is_control(request) or not ctx.settings.json_cache or not cacheable(request):
            return await handler(request)
        cache = app["cache"]
        key = request.raw_path
        # nginx's proxy_cache_bypass: any value other than empty or "0".
        bypass = request.headers.get("X-Cache-Bypass", "") not in ("", "0")
        entry = cache.get(key)
        fresh = entry is not None and time.monotonic() - entry.stored < CACHE_SECONDS
        if fresh and not bypass:
            return entry.response()
        response = await handler(request)
        if storable(response):
            cache[key] = CacheEntry(time.monotonic(), response.body, "application/json")
        if not response.prepared:
            response.headers["X-Cache-Status"] = "BYPASS" if bypass else ("EXPIRED" if entry else "MISS")
        return response

    @web.middleware
    async def csrf_guard(request, handler):
        if (request.path.startswith("/api/") and "Origin" in request.headers
                and "X-CSRF-TOKEN" not in request.headers
                and request.method not in ctx.flavour.csrf_exempt_methods):
            return json_response({"success": False, "message": "Missing CSRF header"}, ctx.flavour, 401)
        return await handler(request)

    @web.middleware
    async def errors(request, handler):
        if is_control(request):
            return await handler(request)
        try:
            return await handler(request)
        except ApiError as error:
            return error.response()
        except web.HTTPNotFound:
            if request.path.startswith("/api/"):
                return ApiError.not_found_route(ctx.flavour).response()
            return raw(NGINX_404, 404, "text/html")
        except web.HTTPMethodNotAllowed:
            if ctx.flavour.flask:
                return raw(FLASK_405, 405, HTML)
            return json_response({"detail": "Method Not Allowed"}, ctx.flavour, 405)
        except web.HTTPException:
            raise
        except Exception:
            log.exception("handler failed for %s %s", request.method, request.path)
            return ApiError.internal(ctx.flavour).response()

    return [record_and_fault, nginx_auth, json_cache, csrf_guard, errors]


async def decorate(request: web.Request, response: web.StreamResponse):
    """Headers nginx adds on the way out, including a refreshed sign-in cookie."""
    ctx = request.app["ctx"]
    response.headers["Server"] = "nginx"
    if response.get(NO_CONTENT_TYPE):
        response.headers.popall("Content-Type", None)
    if ctx.tls:
        response.headers["Strict-Transport-Security"] = "max-age=63072000"
    if is_control(request):
        return
    identity = request.get("identity")
    if identity is not None and identity.refreshed_cookie:
        response.headers.add("Set-Cookie", identity.refreshed_cookie)
    if request.path.startswith("/api/") and "Cache-Control" not in response.headers:
        response.headers["Cache-Control"] = "no-store"
