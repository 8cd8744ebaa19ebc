"""The Frigate HTTP API behind nginx's /api/ locations, answering as the selected release does."""
import json
import zoneinfo
from datetime import datetime, timezone
from functools import lru_cache

from aiohttp import web

import config
import logtext
import stats
from jwtauth import delete_cookie_header
from wire import HTML, WERKZEUG_429, ApiError, json_response, raw
from world import region_around

# A tiny JPEG standing in for the base64 thumbnail 0.14/0.15 embed in events.
THUMBNAIL = ("/9j/4AAQSkZJRgABAgAAAQABAAD//gAQTGF2YzU5LjM3LjEwMAD/2wBDAAgQEBMQExYWFhYWFhoYGhsbGxoaGhobGxsdHR0iIiId"
             "HR0bGx0dICAiIiUmJSMjIiMmJigoKDAwLi44ODpFRVP/xABNAAEBAAAAAAAAAAAAAAAAAAAABQEBAQEAAAAAAAAAAAAAAAAAAAUG"
             "EAEAAAAAAAAAAAAAAAAAAAAAEQEAAAAAAAAAAAAAAAAAAAAA/8AAEQgAEgAgAwEiAAIRAAMRAP/aAAwDAQACEQMRAD8AjgNAjgAA"
             "AAAP/9k=")


def ctx_of(request: web.Request):
    return request.app["ctx"]


def user_of(request: web.Request):
    identity = request.get("identity")
    return identity.user if identity else None


# -- query parsing: Flask falls back to the default, FastAPI answers 422 --

def query_number(request, name: str, default, kind=float, location="query"):
    text = request.query.get(name)
    if text is None:
        return default
    try:
        return kind(text)
    except ValueError:
        flavour = ctx_of(request).flavour
        if flavour.flask:
            return default
        if kind is int:
            raise ApiError.validation(flavour, "int_parsing", [location, name],
                                      "Input should be a valid integer, unable to parse string as an integer", text)
        raise ApiError.validation(flavour, "float_parsing", [location, name],
                                  "Input should be a valid number, unable to parse string as a number", text)


def path_number(request, name: str):
    text = request.match_info[name]
    try:
        return float(text)
    except ValueError:
        flavour = ctx_of(request).flavour
        if flavour.flask:
            raise ApiError.internal(flavour)
        raise ApiError.validation(flavour, "float_parsing", ["path", name],
                                  "Input should be a valid number, unable to parse string as a number", text)


def comma_list(request, name: str):
    value = request.query.get(name, "all")
    return None if value == "all" else value.split(",")


@lru_cache(maxsize=None)
def _zone_names():
    return {name.lower(): name for name in zoneinfo.available_timezones()}


def time_zone(request):
    """The zone of the "timezone" query (default utc, looked up like pytz); unknown names are a 500."""
    name = request.query.get("timezone", "utc")
    if name.lower() == "utc":
        return timezone.utc
    try:
        return zoneinfo.ZoneInfo(name)
    except (zoneinfo.ZoneInfoNotFoundError, ValueError):
        canonical = _zone_names().get(name.lower())
        if canonical is None:
            raise ApiError.internal(ctx_of(request).flavour)
        return zoneinfo.ZoneInfo(canonical)


def offset_seconds(zone, now: float) -> float:
    # The server applies the zone's offset of *now* to every record.
    return datetime.fromtimestamp(now, zone).utcoffset().total_seconds()


def shifted(epoch: float, offset: float) -> datetime:
    return datetime.fromtimestamp(epoch + offset, timezone.utc)


async def json_body(request):
    try:
        return json.loads(await request.text())
    except ValueError:
        return None


def is_json_request(request) -> bool:
    content_type = request.headers.get("Content-Type", "")
    subtype = content_type.split(";")[0].strip().lower()
    return subtype == "application/json" or subtype.endswith("+json")


async def body_model(request):
    """The JSON body as FastAPI reads it for a model: only without a Content-Type or with a JSON one."""
    if "Content-Type" in request.headers and not is_json_request(request):
        return None
    return await json_body(request)


# -- sign-in --

async def login(request):
    ctx = ctx_of(request)
    flavour = ctx.flavour
    forced = ctx.settings.login_status
    if forced:
        return forced_login_answer(forced, flavour)
    body = await (json_body(request) if flavour.flask else body_model(request))
    if flavour.flask:
        if not is_json_request(request):
            raise ApiError(415, b"Unsupported Media Type", HTML)
        if not isinstance(body, dict) or "user" not in body or "password" not in body:
            raise ApiError.internal(flavour)
    elif not isinstance(body, dict) or not isinstance(body.get("user"), str) \
            or not isinstance(body.get("password"), str):
        raise ApiError.validation(flavour, "missing", ["body", "user"], "Field required", body)
    if ctx.settings.users.get(body["user"]) != body["password"]:
        raise ApiError.json(flavour.login_failure_status, {"message": "Login failed"}, flavour)
    response = json_response({}, flavour) if flavour.flask else raw(b"", 200)
    response.headers.add("Set-Cookie", ctx.login_cookie(body["user"]))
    return response


def forced_login_answer(status: int, flavour) -> web.Response:
    if status == 429:
        if flavour.flask:
            return raw(WERKZEUG_429, 429, HTML)
        return json_response({"error": "Rate limit exceeded: 1 per 1 second"}, flavour, 429)
    return json_response({"message": "Login failed"}, flavour, status)


async def logout(request):
    flavour = ctx_of(request).flavour
    response = raw(b"", 303, None, headers={"Location": "/login"})
    response.headers.add("Set-Cookie", delete_cookie_header(flavour.flask))
    return response


async def profile(request):
    ctx = ctx_of(request)
    identity = request["identity"]
    if ctx.flavour.per_user_reviews:
        return json_response({"username": identity.user, "role": identity.role}, ctx.flavour)
    return json_response({"username": identity.user}, ctx.flavour)


async def version(request):
    ctx = ctx_of(request)
    return raw(ctx.version_text.encode("utf-8"), 200, ctx.flavour.version_content_type)


async def get_config(request):
    ctx = ctx_of(request)
    return json_response(config.without_nulls(config.build(ctx)), ctx.flavour)


async def get_stats(request):
    ctx = ctx_of(request)
    return json_response(stats.build(ctx), ctx.flavour)


# -- review items --

def review_dict(ctx, review, user, with_mark=True) -> dict:
    data = {"detections": [e.id for e in review.events], "objects": review.objects,
            "sub_labels": review.sub_labels, "zones": review.zones, "audio": []}
    head = {"id": review.id, "camera": review.camera, "start_time": review.start, "end_time": review.end}
    reviewed = ctx.is_reviewed(review.id, user)
    if ctx.flavour.per_user_reviews:
        item = {**head, "severity": review.severity, "thumb_path": review.thumb_path, "data": data}
        if with_mark:
            item["has_been_reviewed"] = reviewed
        return item
    return {**head, "has_been_reviewed": reviewed, "severity": review.severity,
            "thumb_path": review.thumb_path, "data": data}


def matches(values, wanted) -> bool:
    return wanted is None or any(w in values for w in wanted)


def severity_param(request):
    flavour = ctx_of(request).flavour
    severity = request.query.get("severity")
    if severity is None or flavour.flask or severity in ("alert", "detection"):
        return severity
    raise ApiError.validation(flavour, "enum", ["query", "severity"], "Input should be 'alert' or 'detection'",
                              severity)


async def review_list(request):
    ctx = ctx_of(request)
    flavour = ctx.flavour
    now = ctx.now()
    cameras, labels, zones = comma_list(request, "cameras"), comma_list(request, "labels"), comma_list(request, "zones")
    reviewed = query_number(request, "reviewed", 0, int)
    limit = query_number(request, "limit", None, int)
    severity = severity_param(request)
    before = query_number(request, "before", None)
    after = query_number(request, "after", None)
    if flavour.flask:
        before = now if before is None else before
        after = now - 86400 if after is None else after
    else:
        before = before or now
        after = after or now - 86400
    user = user_of(request)
    items = []
    for review in ctx.world.reviews:
        if flavour.overlap_review_window:
            in_window = review.start < before and (review.end is None or review.end > after)
        else:
            in_window = review.start > after and (review.end is None or review.end < before)
        if not in_window or not matches([review.camera], cameras) or not matches(review.objects, labels):
            continue
        if not matches(review.zones, zones) or (severity is not None and review.severity != severity):
            continue
        if reviewed == 0 and ctx.is_reviewed(review.id, user):
            continue
        items.append(review)
    items.sort(key=lambda r: r.start, reverse=True)
    if limit is not None and limit >= 0:
        items = items[:limit]
    return json_response([review_dict(ctx, r, user) for r in items], flavour)


async def review_one(request):
    ctx = ctx_of(request)
    review = ctx.world.review(request.match_info["review_id"])
    if review is None:
        if ctx.flavour.flask:
            raise ApiError(404, b"Review item not found", HTML)
        raise ApiError.message(404, "Review item not found", ctx.flavour)
    user = user_of(request)
    return json_response(review_dict(ctx, review, user, with_mark=not ctx.flavour.per_user_reviews), ctx.flavour)


async def review_of_event(request):
    ctx = ctx_of(request)
    if ctx.flavour.flask:
        raise ApiError.not_found_route(ctx.flavour)
    review = ctx.world.review_of_event(request.match_info["event_id"])
    if review is None:
        raise ApiError.message(404, "Review item not found", ctx.flavour)
    user = user_of(request)
    return json_response(review_dict(ctx, review, user, with_mark=not ctx.flavour.per_user_reviews), ctx.flavour)


def summary_counts(ctx, reviews, user, with_day=None):
    counts = {} if with_day is None else {"day": with_day}
    reviewed = [ctx.is_reviewed(r.id, user) for r in reviews]
    counts["reviewed_alert"] = sum(1 for r, seen in zip(reviews, reviewed) if seen and r.severity == "alert")
    counts["reviewed_detection"] = sum(1 for r, seen in zip(reviews, reviewed) if seen and r.severity == "detection")
    if ctx.flavour.flask:
        counts["reviewed_motion"] = 0
    counts["total_alert"] = sum(1 for r in reviews if r.severity == "alert")
    counts["total_detection"] = sum(1 for r in reviews if r.severity == "detection")
    if ctx.flavour.flask:
        counts["total_motion"] = 0
    if not reviews:
        # SUM over no rows is NULL.
        counts = {key: (value if key == "day" else None) for key, value in counts.items()}
    return counts


async def review_summary(request):
    ctx = ctx_of(request)
    now = ctx.now()
    offset = offset_seconds(time_zone(request), now)
    cameras, labels, zones = comma_list(request, "cameras"), comma_list(request, "labels"), comma_list(request, "zones")
    user = user_of(request)
    chosen = [r for r in ctx.world.reviews if matches([r.camera], cameras)]
    recent = [r for r in chosen if r.start > now - 86400 and matches(r.objects, labels) and matches(r.zones, zones)]
    summary = {"last24Hours": summary_counts(ctx, recent, user)}
    oldest = float("-inf") if ctx.flavour.per_user_reviews else now - 30 * 86400
    by_day = {}
    for review in chosen:
        if review.start > oldest and matches(review.objects, labels):
            by_day.setdefault(shifted(review.start, offset).strftime("%Y-%m-%d"), []).append(review)
    for day in sorted(by_day, reverse=True):
        summary[day] = summary_counts(ctx, by_day[day], user, with_day=day)
    return json_response(summary, ctx.flavour)


async def mark_viewed(request):
    ctx = ctx_of(request)
    flavour = ctx.flavour
    body = await (json_body(request) if flavour.flask else body_model(request))
    ids = body.get("ids") if isinstance(body, dict) else None
    if flavour.flask:
        if not is_json_request(request) or not ids:
            raise ApiError.message(404, "Not a valid list of ids", flavour)
    elif not isinstance(ids, list) or not ids or not all(isinstance(i, str) and i for i in ids):
        raise ApiError.validation(flavour, "missing" if ids is None else "list_type", ["body", "ids"],
                                  "Input should be a valid list of at least 1 non-empty string", body)
    # A "reviewed" key is not part of these releases' body: the items are marked whatever it says.
    ctx.mark_reviewed(ids if isinstance(ids, list) else [ids], user_of(request))
    return json_response({"success": True, "message": "Reviewed multiple items"}, flavour)


async def unmark_viewed(request):
    ctx = ctx_of(request)
    review_id = request.match_info["review_id"]
    if ctx.world.review(review_id) is None:
        raise ApiError.message(404, f"Review {review_id} not found", ctx.flavour)
    ctx.unmark_reviewed(review_id, user_of(request))
    message = f"Reviewed {review_id} not viewed" if ctx.flavour.flask else f"Set Review {review_id} as not viewed"
    return json_response({"success": True, "message": message}, ctx.flavour)


# -- tracked objects --

def event_dict(ctx, event) -> dict:
    flavour = ctx.flavour
    box = ctx.world.best_box(event)
    data = {"box": box, "region": region_around(box),
            "score": event.score, "top_score": event.top_score, "attributes": [], "type": "object"}
    if event.sub_label:
        data["sub_label_score"] = event.sub_label_score
    if not flavour.flask:
        data.update({"average_estimated_speed": 0, "velocity_angle": 0, "max_severity": event.severity})
    if flavour.per_user_reviews:
        data["path_data"] = event.path
    item = {"id": event.id, "label": event.label, "sub_label": event.sub_label, "camera": event.camera,
            "start_time": event.start, "end_time": event.end, "false_positive": None, "zones": event.zones,
            "thumbnail": None if flavour.per_user_reviews else THUMBNAIL, "has_clip": True, "has_snapshot": True,
            "retain_indefinitely": False, "plus_id": None, "model_hash": "b8b3a8cd0c3b06b3b5d6c1f2a7e9d0aa",
            "detector_type": "edgetpu", "model_type": "ssd", "data": data}
    if flavour.flask:
        item.update({"top_score": None, "score": None, "box": None, "region": None, "area": None, "ratio": None})
    return item


async def event_one(request):
    ctx = ctx_of(request)
    event = ctx.world.events.get(request.match_info["event_id"])
    if event is None:
        if ctx.flavour.flask:
            raise ApiError(404, b"Event not found", HTML)
        raise ApiError.json(404, "Event not found", ctx.flavour)
    return json_response(event_dict(ctx, event), ctx.flavour)


def timeline_dict(row) -> dict:
    data = {"box": row.box, "label": row.label, "sub_label": row.sub_label, "region": row.region, "attribute": ""}
    if row.zones is not None:
        data["zones"] = row.zones
    return {"timestamp": row.timestamp, "camera": row.camera, "source": "tracked_object",
            "source_id": row.source_id, "class_type": row.class_type, "data": data}


async def timeline(request):
    ctx = ctx_of(request)
    camera = request.query.get("camera", "all")
    source_id = request.query.get("source_id")
    limit = query_number(request, "limit", 100, int)
    rows = [row for row in ctx.world.timeline
            if (camera == "all" or row.camera == camera) and (source_id is None or row.source_id == source_id)]
    if limit >= 0:
        rows = rows[:limit]
    return json_response([timeline_dict(row) for row in rows], ctx.flavour)


# -- logs --

async def logs(request):
    ctx = ctx_of(request)
    service = request.match_info["service"]
    if service not in logtext.SERVICES:
        raise ApiError.message(404, "Not a valid service", ctx.flavour)
    start = query_number(request, "start", 0, int)
    end = query_number(request, "end", None, int)
    lines = ctx.logs.files[service]
    if not ctx.flavour.flask and request.query.get("download") not in (None, "", "0", "false"):
        return json_response("\n".join(lines) + "\n", ctx.flavour)
    processed = logtext.entries(lines, service, grouped=not ctx.flavour.per_user_reviews)
    return json_response({"totalLines": len(processed), "lines": processed[start:end]}, ctx.flavour)


# -- recordings and images --

def known_camera(request) -> str:
    ctx = ctx_of(request)
    camera = request.match_info["camera_name"]
    if camera not in ctx.scene.CAMERAS:
        raise ApiError.message(404, "Camera not found", ctx.flavour)
    return camera


async def recordings_summary(request):
    ctx = ctx_of(request)
    now = ctx.now()
    offset = offset_seconds(time_zone(request), now)
    camera = request.match_info["camera_name"]
    if camera not in ctx.scene.CAMERAS:
        return json_response([], ctx.flavour)
    hours = ctx.world.recordings.hourly(camera, offset, now)
    events = {}
    for event in ctx.world.events.values():
        if event.camera == camera:
            key = event.start - (event.start + offset) % 3600
            events[key] = events.get(key, 0) + 1
    days = {}
    for hour_start in sorted(hours, reverse=True):
        totals = hours[hour_start]
        local = shifted(hour_start, offset)
        entry = {"hour": local.strftime("%H"), "events": events.get(hour_start, 0), "motion": totals["motion"],
                 "objects": totals["objects"], "duration": round(totals["duration"])}
        days.setdefault(local.strftime("%Y-%m-%d"), []).append(entry)
    answer = [{"events": sum(h["events"] for h in day_hours), "hours": day_hours, "day": day}
              for day, day_hours in sorted(days.items(), reverse=True)]
    return json_response(answer, ctx.flavour)


async def recordings_list(request):
    """Files of a camera with end_time >= after and start_time <= before, oldest first. The default is
    the last hour; FastAPI froze that default when the server started."""
    ctx = ctx_of(request)
    now = ctx.now()
    anchor = now if ctx.flavour.flask else ctx.started
    after = query_number(request, "after", anchor - 3600)
    before = query_number(request, "before", anchor)
    found = ctx.world.recordings.files(request.match_info["camera_name"], after, before, now)
    return json_response([ctx.world.recordings.row(f) for f in found], ctx.flavour)


def image_height(request, name: str):
    height = query_number(request, name, None, int)
    if height is not None and height < 1:
        ctx = ctx_of(request)
        raise ApiError.json(400, f"Invalid height / width requested :: {height} / 0", ctx.flavour)
    return height


async def recording_snapshot(request):
    ctx = ctx_of(request)
    flavour = ctx.flavour
    ext = request.match_info["ext"]
    if ext not in ("png", "jpg") or (flavour.flask and ext != "png"):
        raise ApiError.not_found_route(flavour)
    camera = known_camera(request)
    frame_time = path_number(request, "frame_time")
    if not ctx.world.has_recording(camera, frame_time, ctx.now()):
        raise ApiError.message(404, f"Recording not found at {frame_time}", flavour)
    height = None if flavour.flask else image_height(request, "height")
    body = await ctx.stills.image(camera, frame_time, height, ext)
    return raw(body, 200, "image/png" if ext == "png" else "image/jpeg")


async def review_thumbnail(request):
    """/clips/review/thumb-<camera>-<review id>.webp: nginx serves the file from the media folder
    with the type its location maps .webp to (none: octet-stream)."""
    ctx = ctx_of(request)
    review = ctx.world.review(request.match_info["review_id"])
    if review is None or review.camera != request.match_info["camera"]:
        raise web.HTTPNotFound(text="<html><body>404 Not Found</body></html>", content_type="text/html")
    middle = review.start + ((review.end or ctx.now()) - review.start) / 2
    body = await ctx.stills.image(review.camera, middle, 180, "webp")
    return raw(body, 200, "application/octet-stream")


async def latest(request):
    ctx = ctx_of(request)
    flavour = ctx.flavour
    ext = request.match_info["ext"]
    allowed = ("jpg",) if flavour.flask else ("jpg", "jpeg", "png")
    if ext not in allowed:
        raise ApiError.not_found_route(flavour)
    camera = known_camera(request)
    height = image_height(request, flavour.height_param)
    fmt = "png" if ext == "png" else "jpg"
    if camera in ctx.settings.offline:
        # No frame within ffmpeg.retry_interval: the stock error picture, still with 200 (and as a JPEG
        # whatever the extension asked for).
        body, fmt = await ctx.stills.error_picture(camera, height), "jpg"
    else:
        body = await ctx.stills.image(camera, ctx.now(), height, fmt)
    content_type = "image/png" if fmt == "png" else ("image/jpg" if flavour.flask else "image/jpeg")
    return raw(body, 200, content_type, headers={"Cache-Control": "no-store"})


def add_routes(app: web.Application):
    r = app.router
    r.add_post("/api/login", login)
    r.add_get("/api/logout", logout)
    r.add_get("/api/profile", profile)
    r.add_get("/api/version", version)
    r.add_get("/api/config", get_config)
    r.add_get("/api/stats", get_stats)
    r.add_get("/api/review", review_list)
    r.add_get("/api/review/summary", review_summary)
    r.add_get("/api/review/event/{event_id}", review_of_event)
    r.add_get("/api/review/{review_id}", review_one)
    r.add_post("/api/reviews/viewed", mark_viewed)
    r.add_delete("/api/review/{review_id}/viewed", unmark_viewed)
    r.add_get("/api/events/{event_id}", event_one)
    r.add_get("/api/timeline", timeline)
    r.add_get("/api/logs/{service}", logs)
    r.add_get("/api/{camera_name}/recordings", recordings_list)
    r.add_get("/api/{camera_name}/recordings/summary", recordings_summary)
    r.add_get("/api/{camera_name}/recordings/{frame_time}/snapshot.{ext}", recording_snapshot)
    r.add_get("/api/{camera_name}/latest.{ext}", latest)
    r.add_get("/clips/review/thumb-{camera:[a-z_]+}-{review_id}.webp", review_thumbnail)
