#!/usr/bin/python3
"""Self-check of the fake Frigate server: starts it for each release (over HTTP, and once over HTTPS),
signs in and exercises every endpoint and control endpoint with the standard library only, asserting
the shapes and behaviours of the real servers that clients depend on. Exit status 0 when all pass."""
import asyncio
import hashlib
import http.client
import json
import math
import re
import ssl
import struct
import subprocess
import sys
import tempfile
import time
import urllib.parse
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import aiohttp  # noqa: E402
import config as config_module  # noqa: E402
import livecheck  # noqa: E402
import scene  # noqa: E402

PYTHON = "/usr/bin/python3"


class Failure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failure(message)


def expect_equal(actual, wanted, what):
    if actual != wanted:
        raise Failure(f"{what}: got {actual!r}, wanted {wanted!r}")


class Answer:
    def __init__(self, status, headers, body):
        self.status = status
        self.headers = headers
        self.body = body

    def header(self, name):
        return self.headers.get(name.lower())

    def cookies(self):
        return self.headers.get("set-cookie-list", [])

    def json(self):
        return json.loads(self.body)

    def ordered_keys(self):
        return json.loads(self.body, object_pairs_hook=lambda pairs: [k for k, _ in pairs])


class Server:
    """The fake running as a child process; a minimal HTTP client with its own cookie."""

    def __init__(self, *args, cache_dir=None):
        self.tls = "--tls" in args
        command = [PYTHON, str(HERE / "server.py"), "--port", "0", *args]
        if cache_dir:
            command += ["--media-cache", str(cache_dir)]
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        if not line.startswith("LISTENING "):
            self.process.kill()
            raise Failure(f"server did not start: {line!r} {self.process.stderr.read()}")
        self.port = int(line.split()[1])
        self.cookie = None
        self.ssl = ssl.create_default_context()
        self.ssl.check_hostname = False
        self.ssl.verify_mode = ssl.CERT_NONE

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def connection(self, timeout=20):
        if self.tls:
            return http.client.HTTPSConnection("127.0.0.1", self.port, timeout=timeout, context=self.ssl)
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)

    def request(self, method, path, query=None, body=None, headers=None, cookie=True, connection=None):
        url = path + ("?" + urllib.parse.urlencode(query) if query else "")
        headers = dict(headers or {})
        if isinstance(body, (dict, list)):
            body = json.dumps(body).encode()
            headers.setdefault("Content-Type", "application/json")
        elif isinstance(body, str):
            body = body.encode()
        if cookie and self.cookie:
            headers["Cookie"] = f"frigate_token={self.cookie}"
        conn = connection or self.connection()
        conn.request(method, url, body=body, headers=headers)
        response = conn.getresponse()
        data = response.read()
        found = {k.lower(): v for k, v in response.getheaders()}
        found["set-cookie-list"] = [v for k, v in response.getheaders() if k.lower() == "set-cookie"]
        if connection is None:
            conn.close()
        return Answer(response.status, found, data)

    def get(self, path, query=None, **kw):
        return self.request("GET", path, query, **kw)

    def post(self, path, body=None, **kw):
        return self.request("POST", path, body=body, **kw)

    def control(self, method, path, body=None):
        answer = self.request(method, "/__control/" + path, body=body, cookie=False)
        expect(answer.status == 200, f"control {method} {path} answered {answer.status}: {answer.body!r}")
        return answer.json()

    def login(self, user="admin", password="secret"):
        answer = self.post("/api/login", {"user": user, "password": password}, cookie=False)
        expect_equal(answer.status, 200, "login status")
        token = cookie_value(answer)
        expect(token, "login sets the frigate_token cookie")
        self.cookie = token
        return answer


def cookie_value(answer):
    for header in answer.cookies():
        name, _, rest = header.partition("=")
        if name == "frigate_token":
            return rest.split(";")[0]
    return None


def jwt_claims(token):
    payload = token.split(".")[1]
    return json.loads(__import__("base64").urlsafe_b64decode(payload + "=" * (-len(payload) % 4)))


def image_size(data):
    if data.startswith(b"\x89PNG"):
        return struct.unpack(">II", data[16:24])
    expect(data.startswith(b"\xff\xd8"), "image is a JPEG or PNG")
    at = 2
    while at < len(data):
        marker, length = data[at + 1], struct.unpack(">H", data[at + 2:at + 4])[0]
        if marker in (0xC0, 0xC1, 0xC2):
            height, width = struct.unpack(">HH", data[at + 5:at + 9])
            return width, height
        at += 2 + length
    raise Failure("JPEG without a frame header")


def close(a, b):
    return all(math.isclose(x, y, abs_tol=1e-9) for x, y in zip(a, b)) and len(a) == len(b)


# ---------------------------------------------------------------------------------------------
# Checks, one function per area; each gets a signed-in server of one release.

def check_sign_in(s, version):
    bad = s.post("/api/login", {"user": "admin", "password": "wrong"}, cookie=False)
    expect_equal(bad.status, 400 if version == "0.14" else 401, "failed login status")
    expect_equal(bad.json(), {"message": "Login failed"}, "failed login body")
    good = s.login()
    if version == "0.14":
        expect_equal((good.body, good.header("content-type")), (b"{}", "application/json"), "0.14 login body")
    else:
        expect_equal((good.body, good.header("content-type")), (b"", None), "login body")
    claims = jwt_claims(s.cookie)
    expect_equal("role" in claims, version == "0.16", "role claim")
    cookie_line = good.cookies()[0]
    expect(("SameSite=lax" in cookie_line) == (version != "0.14"), f"cookie attributes: {cookie_line}")
    unauthenticated = s.get("/api/config", cookie=False)
    expect_equal(unauthenticated.status, 401, "config without credentials")
    expect(b"401 Authorization Required" in unauthenticated.body, "nginx 401 page")
    expect_equal(s.get("/api/config", headers={"Authorization": "Bearer nope"}).status, 401,
                 "an invalid bearer fails even with a valid cookie")
    expect_equal(s.get("/api/config", cookie=False, headers={"Authorization": f"Bearer {s.cookie}"}).status, 200,
                 "a valid bearer token")
    profile = s.get("/api/profile").json()
    wanted = {"username": "admin", "role": "admin"} if version == "0.16" else {"username": "admin"}
    expect_equal(profile, wanted, "profile")
    version_answer = s.get("/api/version")
    expect_equal(version_answer.body.decode(), {"0.14": "0.14.1-f4f3cfa", "0.15": "0.15.2-3bda638",
                                                "0.16": "0.16.4-4131252"}[version], "version text")
    expect(version_answer.header("content-type").startswith("text/html" if version == "0.14" else "text/plain"),
           "version content type")
    logout = s.get("/api/logout")
    expect_equal((logout.status, logout.header("location")), (303, "/login"), "logout redirect")


def check_cookie_refresh(s, version):
    s.control("POST", "config", {"session_length": 120})
    s.login()
    by_cookie = s.get("/api/stats")
    refreshed = cookie_value(by_cookie)
    expect(refreshed, "a cookie near expiry is refreshed on any answer")
    expect(jwt_claims(refreshed)["exp"] >= jwt_claims(s.cookie)["exp"], "refreshed token lives as long")
    by_bearer = s.get("/api/stats", cookie=False, headers={"Authorization": f"Bearer {s.cookie}"})
    expect_equal(cookie_value(by_bearer), None, "bearer tokens are never refreshed")
    s.control("POST", "config", {"session_length": 1})
    s.login()
    time.sleep(1.2)
    expect_equal(s.get("/api/stats").status, 401, "an expired token")
    s.control("POST", "config", {"session_length": 86400})
    s.login()
    expect_equal(cookie_value(s.get("/api/stats")), None, "a fresh cookie is not refreshed")


def check_config_and_stats(s, version):
    answer = s.get("/api/config")
    config = answer.json()
    wanted_order = sorted(scene.CAMERAS) if version == "0.14" else list(scene.CAMERAS)
    expect_equal(list(config["cameras"]), wanted_order, "cameras (Flask sorts every key)")
    for name, cam in config["cameras"].items():
        if version == "0.16":
            expect_equal(list(cam["live"]["streams"].items()), config_module.live_streams(name), "live.streams in order")
            for _, stream in config_module.live_streams(name):
                expect(stream in config["go2rtc"]["streams"], "go2rtc has every live stream")
            expect("stream_name" not in cam["live"], "no stream_name on 0.16")
        else:
            expect_equal(cam["live"]["stream_name"], name, "live.stream_name")
            expect("streams" not in cam["live"], "no live.streams before 0.16")
        expect_equal("enabled_in_config" in cam, version == "0.16", "enabled_in_config")
        expect("friendly_name" not in cam, "no friendly_name")
        expect(isinstance(cam["ui"]["order"], int) and cam["record"]["enabled"] is True, "ui.order / record")
        expect_equal(cam["detect"]["annotation_offset"], 0, "annotation offset")
        expect(f"{name}_sub" in config["go2rtc"]["streams"], "go2rtc sub stream")
    expect_equal(len(config["camera_groups"]), 1, "one camera group")
    if version == "0.14":
        expect_equal(answer.ordered_keys(), sorted(answer.ordered_keys()), "0.14 sorts keys")
    stats = s.get("/api/stats").json()
    for name, cam in stats["cameras"].items():
        expect("ffmpeg_cpu" not in cam and "reconnects_last_hour" not in cam, "no ffmpeg_cpu/reconnects")
        usage = stats["cpu_usages"][str(cam["ffmpeg_pid"])]
        expect(all(isinstance(v, str) for v in usage.values()), "cpu_usages values are strings")
    expect(set(stats["cpu_usages"]["frigate.full_system"]) == {"cpu", "mem"}, "full_system entry")
    recordings = stats["service"]["storage"]["/media/frigate/recordings"]
    expect("mount_type" in recordings, "storage mount_type")
    expect(recordings["free"] < recordings["total"] - recordings["used"], "ext4 free leaves out root's reserve")
    expect_equal("embeddings" in stats, version == "0.16", "embeddings key")


def review_keys(version):
    if version == "0.16":
        return ["id", "camera", "start_time", "end_time", "severity", "thumb_path", "data", "has_been_reviewed"]
    keys = ["id", "camera", "start_time", "end_time", "has_been_reviewed", "severity", "thumb_path", "data"]
    return sorted(keys) if version == "0.14" else keys


def fresh(s, path, query=None):
    return s.get(path, query, headers={"X-Cache-Bypass": "1"})


def check_reviews(s, version):
    everything = fresh(s, "/api/review", {"after": "1.0", "reviewed": "1"}).json()
    expect(50 <= len(everything) <= 70, f"about 60 review items, got {len(everything)}")
    starts = [r["start_time"] for r in everything]
    expect_equal(starts, sorted(starts, reverse=True), "newest first")
    expect({r["severity"] for r in everything} == {"alert", "detection"}, "alerts and detections")
    expect(sum(r["end_time"] is None for r in everything) >= 2, "items in progress")
    expect(any(r["has_been_reviewed"] for r in everything), "some items reviewed")
    keys = fresh(s, "/api/review", {"limit": "1"}).ordered_keys()[0]
    expect_equal(keys, review_keys(version), "review key order")
    today = [r for r in everything if r["start_time"] > time.time() - 600 and not r["has_been_reviewed"]]
    expect(len(today) >= 2, "at least two unreviewed items right now")
    for review in everything[:10]:
        for event_id in review["data"]["detections"]:
            expect(event_id.split("-")[0].replace(".", "").isdigit() and len(event_id.split("-")[1]) == 6,
                   f"event id format {event_id}")
            expect_equal(s.get(f"/api/events/{event_id}").status, 200, "detections link to events")
    unseen = fresh(s, "/api/review", {"after": "1.0"}).json()
    expect(unseen and not any(r["has_been_reviewed"] for r in unseen), "reviewed=0 hides reviewed items")
    limited = fresh(s, "/api/review", {"after": "1.0", "limit": "5", "severity": "alert"}).json()
    expect(len(limited) == 5 and all(r["severity"] == "alert" for r in limited), "limit and severity")
    cams = fresh(s, "/api/review", {"after": "1.0", "reviewed": "1", "cameras": "driveway,back_yard"}).json()
    expect(cams and {r["camera"] for r in cams} == {"driveway", "back_yard"}, "cameras filter")
    default_window = fresh(s, "/api/review", {"reviewed": "1"}).json()
    expect(all(r["start_time"] > time.time() - 86400 - 60 for r in default_window), "default window is 24 h")
    check_time_window(s, version, everything)
    bad = s.get("/api/review", {"severity": "bogus"})
    expect_equal(bad.status, 200 if version == "0.14" else 422, "invalid severity")
    missing = s.get("/api/review/nope")
    expect_equal(missing.status, 404, "unknown review")
    if version == "0.14":
        expect_equal(missing.body, b"Review item not found", "0.14 text error")
    else:
        expect_equal(missing.json()["message"], "Review item not found", "review error body")
    single = s.get(f"/api/review/{everything[3]['id']}").json()
    expect_equal("has_been_reviewed" in single, version != "0.16", "single item mark")


def check_time_window(s, version, everything):
    finished = next(r for r in everything if r["end_time"] is not None and r["end_time"] - r["start_time"] > 20)
    # "before" falls inside the item: contained up to 0.15, overlapping from 0.16.
    query = {"after": str(finished["start_time"] - 1), "before": str(finished["end_time"] - 5), "reviewed": "1"}
    ids = [r["id"] for r in fresh(s, "/api/review", query).json()]
    expect_equal(finished["id"] in ids, version == "0.16", "review time window rule")
    # "after" falls inside the item.
    query = {"after": str(finished["start_time"] + 5), "before": str(finished["end_time"] + 1), "reviewed": "1"}
    ids = [r["id"] for r in fresh(s, "/api/review", query).json()]
    expect_equal(finished["id"] in ids, version == "0.16", "review time window rule (after)")


def check_marking(s, version):
    target = fresh(s, "/api/review", {"after": "1.0", "limit": "4"}).json()[2]["id"]
    cached = s.get("/api/review", {"after": "1.0", "limit": "3"})
    expect_equal(cached.header("x-cache-status"), "MISS", "first plain request")
    expect_equal(s.get("/api/review", {"after": "1.0", "limit": "3"}).header("x-cache-status"), "HIT",
                 "second plain request")
    answer = s.post("/api/reviews/viewed", {"ids": [target, "unknown-id"], "reviewed": False})
    expect_equal((answer.status, answer.json()), (200, {"success": True, "message": "Reviewed multiple items"}),
                 "mark answer")
    expect(target in s.control("GET", "state")["reviewed"], '"reviewed": false still marks the item reviewed')
    stale = s.get("/api/review", {"after": "1.0", "limit": "3"}, headers={"X-Cache-Bypass": "0"})
    expect(stale.header("x-cache-status") == "HIT" and target in stale.body.decode(), "stale cached list")
    bypassed = fresh(s, "/api/review", {"after": "1.0", "limit": "3"})
    expect(bypassed.header("x-cache-status") == "BYPASS" and target not in bypassed.body.decode(),
           "X-Cache-Bypass gets the new list")
    seen = [r for r in fresh(s, "/api/review", {"after": "1.0", "reviewed": "1"}).json() if r["id"] == target]
    expect(seen and seen[0]["has_been_reviewed"] is True, "marked item shows reviewed")
    unmark = s.request("DELETE", f"/api/review/{target}/viewed")
    wanted = f"Reviewed {target} not viewed" if version == "0.14" else f"Set Review {target} as not viewed"
    expect_equal((unmark.status, unmark.json()["message"]), (200, wanted), "unmark answer")
    expect(target not in s.control("GET", "state")["reviewed"], "unmarked")
    expect_equal(s.request("DELETE", "/api/review/nope/viewed").status, 404, "unmark unknown id")
    empty = s.post("/api/reviews/viewed", {"ids": []})
    expect_equal(empty.status, 404 if version == "0.14" else 422, "empty id list")
    not_json = s.post("/api/reviews/viewed", json.dumps({"ids": [target]}), headers={"Content-Type": "text/plain"})
    expect_equal(not_json.status, 404 if version == "0.14" else 422, "body not sent as JSON")
    s.control("POST", "config", {"json_cache": False})
    expect_equal(s.get("/api/review", {"limit": "1"}).header("x-cache-status"), None, "cache switched off")
    s.control("POST", "config", {"json_cache": True})


def check_summary(s, version):
    summary = fresh(s, "/api/review/summary", {"timezone": "Europe/Rome"}).json()
    keys = ["reviewed_alert", "reviewed_detection", "total_alert", "total_detection"]
    if version == "0.14":
        keys = sorted(keys + ["reviewed_motion", "total_motion"])
    expect_equal(sorted(summary["last24Hours"]), sorted(keys), "last24Hours keys")
    days = [k for k in summary if k != "last24Hours"]
    # Flask sorts keys, so only the FastAPI releases keep the newest-first order.
    expect(len(days) >= 3 and (version == "0.14" or days == sorted(days, reverse=True)), "day keys newest first")
    for day in days:
        time.strptime(day, "%Y-%m-%d")
        expect_equal(summary[day]["day"], day, "day entry names its day")
    total = sum(summary[d]["total_alert"] + summary[d]["total_detection"] for d in days)
    all_items = fresh(s, "/api/review", {"after": "1.0", "reviewed": "1"}).json()
    expect_equal(total, len(all_items), "days count every item")
    empty = fresh(s, "/api/review/summary", {"cameras": "nobody"}).json()
    expect_equal(set(empty["last24Hours"].values()), {None}, "no items: nulls")
    expect_equal(len(empty), 1, "no day keys without items")
    expect_equal(s.get("/api/review/summary", {"timezone": "Not/AZone"}).status, 500, "unknown time zone")
    expect_equal(fresh(s, "/api/review/summary", {"timezone": "america/new_york"}).status, 200, "zone lookup")


def check_events_and_timeline(s, version):
    review = fresh(s, "/api/review", {"after": "1.0", "reviewed": "1", "cameras": "front_door"}).json()[5]
    event_id = review["data"]["detections"][0]
    answer = s.get(f"/api/events/{event_id}")
    event = answer.json()
    expect_equal((event["label"], event["camera"]), ("person", "front_door"), "event label and camera")
    minute = math.floor(event["start_time"] / 60) * 60
    expect_equal(event["start_time"], minute + scene.OBJECT_ENTERS, "event start")
    expect_equal(event["end_time"], minute + scene.OBJECT_LEAVES, "event end")
    box = event["data"]["box"]
    expect(any(close(box, scene.object_box(minute + p)) for p in range(10, 41)), "event box on the object path")
    expect_equal("path_data" in event["data"], version == "0.16", "path_data")
    if version == "0.16":
        for (x, y), t in event["data"]["path_data"]:
            b = scene.object_box(t)
            expect(close([x, y], [round(b[0] + b[2] / 2, 4), round(b[1] + b[3], 4)]), "path point")
    if version == "0.14":
        expect_equal(answer.ordered_keys(), sorted(answer.ordered_keys()), "0.14 event keys sorted")
        expect("area" in event and event["box"] is None, "0.14 legacy columns")
    missing = s.get("/api/events/nope")
    expect_equal(missing.status, 404, "unknown event")
    expect_equal(missing.body, b"Event not found" if version == "0.14" else b'"Event not found"', "event 404 body")
    rows = s.get("/api/timeline", {"source_id": event_id, "limit": "500"}).json()
    kinds = [r["class_type"] for r in rows]
    expect(kinds[0] == "visible" and kinds[-1] == "gone" and "active" in kinds, f"timeline kinds {kinds}")
    stamps = [r["timestamp"] for r in rows]
    expect_equal(stamps, sorted(stamps), "timeline ascending")
    for row in rows:
        expect(close(row["data"]["box"], scene.object_box(row["timestamp"])), "timeline box from the path")
        expect_equal(row["source_id"], event_id, "source_id filter")
    expect_equal(len(s.get("/api/timeline", {"source_id": event_id, "limit": "2"}).json()), 2, "timeline limit")
    oldest = s.get("/api/timeline").json()
    expect(len(oldest) == 100 and oldest[0]["timestamp"] <= oldest[-1]["timestamp"], "oldest 100 rows")
    if version != "0.14":
        by_event = s.get(f"/api/review/event/{event_id}").json()
        expect_equal(by_event["id"], review["id"], "review of an event")


def check_logs(s, version):
    for service in ("frigate", "go2rtc", "nginx"):
        whole = s.get(f"/api/logs/{service}", {"start": "0"}).json()
        lines = whole["lines"]
        expect(whole["totalLines"] >= len(lines) > 20, f"{service} log size")
        part = s.get(f"/api/logs/{service}", {"start": "5", "end": "9"}).json()
        expect_equal(part["lines"], lines[5:9], f"{service} slice")
        tail = s.get(f"/api/logs/{service}", {"start": "-3"}).json()
        expect_equal(len(tail["lines"]), 3, "negative start")
        text = "\n".join(lines)
        if service == "frigate":
            expect("WARNING :" in text and "ERROR   :" in text, "frigate warnings and errors")
            expect(":hunter2@" in text, "a URL with credentials")
            recent = [l for l in lines if "ERROR" in l and l[:19] >= time.strftime(
                "%Y-%m-%d %H:%M:%S", time.localtime(time.time() - 900))]
            expect(recent, "recent errors")
        if service == "go2rtc":
            expect(" ERR " in text and " WRN " in text, "go2rtc levels")
        merged = any("\n" in line for line in lines)
        repeated = "[LOGGING] Last message repeated" in text
        if service == "frigate":
            expect_equal((merged, repeated), (version != "0.16", version == "0.16"), "log grouping per release")
    expect_equal(s.get("/api/logs/kernel").status, 404, "unknown service")
    s.control("POST", "logs", {"service": "frigate", "level": "ERROR", "logger": "frigate.video",
                               "message": "front_door: added by the test"})
    last = s.get("/api/logs/frigate", {"start": "-1"}).json()["lines"][0]
    expect("frigate.video" in last and "ERROR   : front_door: added by the test" in last, "appended log line")


def check_recordings_and_images(s, version):
    days = s.get("/api/front_door/recordings/summary", {"timezone": "Europe/Rome"}).json()
    expect(len(days) >= 3, "recording days")
    expect_equal([d["day"] for d in days], sorted((d["day"] for d in days), reverse=True), "days newest first")
    for day in days:
        hours = [h["hour"] for h in day["hours"]]
        expect(all(len(h) == 2 for h in hours) and hours == sorted(hours, reverse=True), "hour strings")
        expect_equal(day["events"], sum(h["events"] for h in day["hours"]), "day events")
    expect_equal(s.get("/api/nobody/recordings/summary").json(), [], "unknown camera summary")
    moment = int(time.time()) - 120
    height_name = "h" if version == "0.14" else "height"
    if version == "0.14":
        png = s.get(f"/api/back_yard/recordings/{moment}/snapshot.png")
        expect_equal((png.status, png.header("content-type")), (200, "image/png"), "0.14 png snapshot")
        expect_equal(image_size(png.body), (640, 480), "full size snapshot")
        expect_equal(s.get(f"/api/back_yard/recordings/{moment}/snapshot.jpg").status, 404, "0.14 has no jpg")
    else:
        jpg = s.get(f"/api/back_yard/recordings/{moment}/snapshot.jpg", {"height": "90"})
        expect_equal((jpg.status, jpg.header("content-type")), (200, "image/jpeg"), "jpg snapshot")
        expect_equal(image_size(jpg.body), (120, 90), "snapshot scaled to the height")
    expect_equal(s.get("/api/front_door/recordings/1000/snapshot.png").status, 404, "no recording then")
    expect_equal(s.get("/api/nobody/recordings/1000/snapshot.png").status, 404, "unknown camera")
    latest = s.get("/api/front_door/latest.jpg", {height_name: "90", "t": "12345"})
    expect_equal(latest.header("content-type"), "image/jpg" if version == "0.14" else "image/jpeg",
                 "latest content type")
    expect_equal(image_size(latest.body), (160, 90), "latest scaled by the release's height parameter")
    expect_equal(latest.header("cache-control"), "no-store", "latest not cacheable")
    other = "height" if version == "0.14" else "h"
    expect_equal(image_size(s.get("/api/front_door/latest.jpg", {other: "90"}).body), (1280, 720),
                 "the other height parameter is ignored")


def recording_layout(s, camera, after=None, before=None):
    query = "&".join(f"{k}={v}" for k, v in (("after", after), ("before", before)) if v is not None)
    return s.control("GET", f"recordings?camera={camera}" + (f"&{query}" if query else ""))


def frame_numbers(video: bytes, width: int, height: int) -> list:
    """The loop frame number drawn along the bottom of every decoded frame (see media.frame_number_overlay)."""
    raw = subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-i", "pipe:0", "-vf",
                          f"crop={width}:16:0:{height - 16}", "-f", "rawvideo", "-pix_fmt", "gray", "pipe:1"],
                         input=video, capture_output=True, check=True).stdout
    size = width * 16
    return [sum(1 << bit for bit in range(10) if raw[at + 4 * width + 12 + bit * 12] > 128)
            for at in range(0, len(raw) - size + 1, size)]


def check_recording_files(s, version):
    reviews = s.get("/api/review", {"limit": "1000"}).json()
    long_gaps = 0
    for camera in scene.CAMERAS:
        gaps = recording_layout(s, camera, after=0, before=0)["gaps"]
        short = [g for g in gaps if g["end_time"] - g["start_time"] <= 300]
        long_gaps += len(gaps) - len(short)
        expect(3 <= len(short) <= 5, f"{camera}: {len(short)} short gaps")
        for item in (r for r in reviews if r["camera"] == camera):
            end = item["end_time"] or time.time()
            expect(all(g["end_time"] <= item["start_time"] - 30 or g["start_time"] >= end + 30 for g in gaps),
                   f"{camera}: a gap near review {item['id']}")
    expect_equal(long_gaps, 1, "cameras with an outage of hours")

    camera = "back_yard"
    gap = recording_layout(s, camera, after=0, before=0)["gaps"][-1]
    start, end = gap["start_time"] - 25, gap["end_time"] + 17
    # end_time >= after and start_time <= before: the file ending right at `after` is in.
    wanted = [(float(t), float(t + 10)) for t in range(int(start) - 15, int(end) + 1, 10)
              if not gap["start_time"] <= t < gap["end_time"]]
    listed = s.get(f"/api/{camera}/recordings", {"after": start - 5, "before": end}).json()
    expect_equal([(f["start_time"], f["end_time"]) for f in listed], wanted, "files listed across a gap")
    expect_equal([(f["start_time"], f["end_time"]) for f in recording_layout(s, camera, start - 5, end)["files"]],
                 wanted, "files the control lists")
    fields = ["id", "start_time", "end_time", "segment_size", "motion", "objects", "duration"]
    expect_equal(json.loads(s.get(f"/api/{camera}/recordings", {"after": start, "before": start}).body,
                            object_pairs_hook=lambda pairs: [k for k, _ in pairs])[0],
                 sorted(fields) if version == "0.14" else fields, "file row keys")
    expect_equal(s.get("/api/nobody/recordings").json(), [], "files of an unknown camera")

    # The VOD joins the files with the gap left out; time zero is the first file's start before 0.16.
    origin = start if version == "0.16" else start - 5
    walls = [t for t in range(int(origin), int(end)) if not gap["start_time"] <= t < gap["end_time"]]
    media = s.connection(timeout=300)
    base = f"/vod/{camera}/start/{start}/end/{end}/"
    playlist = s.get(base + "index-v1.m3u8", connection=media).body.decode()
    lengths = [float(line[8:-1]) for line in playlist.splitlines() if line.startswith("#EXTINF:")]
    expect_equal(sum(lengths), float(len(walls)), "VOD length = the covered files' seconds")
    video = b"".join(s.get(base + f"seg-{n}-v1.ts", connection=media).body for n in range(1, len(lengths) + 1))
    shown = frame_numbers(video, 640, 480)[::scene.CAMERAS[camera]["fps"]]
    expect_equal(shown, [(t % 60) * 15 for t in walls], "the picture of each media second")
    within = f"{camera}/start/{gap['start_time'] + 5}/end/{gap['end_time'] - 5}"
    nothing = s.get(f"/vod/{within}/index-v1.m3u8", connection=media)
    status = 404 if version == "0.16" else 502
    expect_equal((nothing.status, f"<title>{status} " in nothing.body.decode()), (status, True), "VOD of a gap")
    empty = s.get(f"/api/{within}/clip.mp4", connection=media)
    if version == "0.14":
        expect_equal((empty.status, empty.json()), (500, {"message": "Could not create clip from recordings",
                                                          "success": False}), "0.14 clip of a gap")
    else:
        expect_equal((empty.status, empty.body), (200, b""), "clip of a gap")
    across = s.get(f"/api/{camera}/start/{start}/end/{end}/clip.mp4", connection=media)
    expect_equal((across.status, across.body[4:8]), (200, b"ftyp"), "clip across a gap")
    media.close()
    ext = "png" if version == "0.14" else "jpg"
    moment = gap["start_time"] + 5
    missing = s.get(f"/api/{camera}/recordings/{moment}/snapshot.{ext}")
    expect_equal((missing.status, missing.json()),
                 (404, {"success": False, "message": f"Recording not found at {float(moment)}"}), "snapshot in a gap")
    check_summary_follows_files(s)


def check_summary_follows_files(s):
    offset = 19800  # Asia/Kolkata, +05:30 all year
    for camera in scene.CAMERAS:
        days = s.get(f"/api/{camera}/recordings/summary", {"timezone": "Asia/Kolkata"}).json()
        found = {(d["day"], h["hour"]): h["duration"] for d in days for h in d["hours"]}
        wanted = {}
        for f in recording_layout(s, camera)["files"]:
            local = time.gmtime(f["start_time"] + offset)
            key = (time.strftime("%Y-%m-%d", local), time.strftime("%H", local))
            wanted[key] = wanted.get(key, 0) + 10
        newest = max(wanted)  # a file may have completed between the two requests
        del wanted[newest], found[newest]
        expect_equal(found, wanted, f"{camera}: hourly seconds of recording")


def check_csrf(s, version):
    origin = {"Origin": "http://elsewhere"}
    post = s.post("/api/reviews/viewed", {"ids": ["x"]}, headers=origin)
    expect_equal((post.status, post.json()), (401, {"success": False, "message": "Missing CSRF header"}),
                 "CSRF on POST")
    with_token = s.post("/api/reviews/viewed", {"ids": ["x"]}, headers={**origin, "X-CSRF-TOKEN": "1"})
    expect_equal(with_token.status, 200, "CSRF header present")
    uncached = {**origin, "X-Cache-Bypass": "1"}
    expect_equal(s.get("/api/profile", headers=uncached).status, 401 if version == "0.14" else 200, "CSRF on GET")


def check_control(s, version):
    fault = s.control("POST", "fault", {"path": "^/api/stats$", "status": 503, "body": "busy",
                                        "content_type": "text/plain", "times": 1})
    expect(isinstance(fault["id"], int), "fault id")
    first, second = s.get("/api/stats"), s.get("/api/stats", headers={"X-Cache-Bypass": "1"})
    expect_equal((first.status, first.body, first.header("content-type")), (503, b"busy", "text/plain"),
                 "injected status")
    expect_equal(second.status, 200, "fault used up after times")
    s.control("POST", "fault", {"path": "/api/config", "method": "POST", "status": 500})
    expect_equal(s.get("/api/config").status, 200, "method filter")
    s.control("POST", "fault", {"path": "/api/config", "body": '{"cameras": [1,'})
    broken = s.get("/api/config")
    expect_equal((broken.status, broken.body), (200, b'{"cameras": [1,'), "malformed body with 200")
    s.control("DELETE", "faults")
    expect_equal(s.get("/api/config").status, 200, "faults cleared")
    s.control("POST", "fault", {"path": "/api/profile", "delay": 0.6, "times": 1})
    started = time.monotonic()
    expect_equal(s.get("/api/profile").status, 200, "delayed answer is the real one")
    expect(time.monotonic() - started >= 0.55, "delay applied")
    s.control("POST", "fault", {"path": "/api/profile", "drop": True, "times": 1})
    try:
        s.get("/api/profile")
        raise Failure("dropped connection answered")
    except (http.client.RemoteDisconnected, ConnectionError, ssl.SSLError):
        pass
    s.control("POST", "fault", {"path": "/api/version", "trickle": 4, "times": 1})
    started = time.monotonic()
    slow = s.get("/api/version")
    expect_equal(slow.status, 200, "trickled answer")
    expect(time.monotonic() - started >= (len(slow.body) - 4) / 4 - 0.1, "trickle paces the body")
    s.control("POST", "fault", {"path": "/api/config", "cut": 100, "times": 1})
    try:
        s.get("/api/config")
        raise Failure("a cut answer arrived whole")
    except http.client.IncompleteRead as error:
        expect_equal(len(error.partial), 100, "cut after the given bytes")
    s.control("POST", "fault", {"path": "/api/review$", "huge": 300000, "times": 1})
    huge = s.get("/api/review")
    expect_equal((huge.status, len(huge.body), huge.body[:2]), (200, 300000, b'[{'), "huge answer")
    s.control("DELETE", "requests")
    s.get("/api/review", {"cameras": "front_door,driveway", "after": "1.5"}, headers={"X-Cache-Bypass": "1"})
    s.post("/api/reviews/viewed", {"ids": ["a"]})
    log = s.control("GET", "requests")
    expect_equal([(e["method"], e["path"]) for e in log], [("GET", "/api/review"), ("POST", "/api/reviews/viewed")],
                 "request log order, control requests excluded")
    expect_equal(log[0]["query"], [["cameras", "front_door,driveway"], ["after", "1.5"]], "decoded query pairs")
    expect_equal(log[0]["headers"]["x-cache-bypass"], "1", "lower-cased headers")
    expect_equal(json.loads(log[1]["body"]), {"ids": ["a"]}, "request body")
    expect(abs(log[1]["time"] - time.time()) < 5, "request time")
    s.control("DELETE", "requests")
    expect_equal(s.control("GET", "requests"), [], "request log cleared")
    bad = s.request("POST", "/__control/fault", body={"status": 500}, cookie=False)
    expect_equal(bad.status, 400, "fault without path")

    s.control("POST", "config", {"version_text": "0.13.2"})
    expect_equal(s.get("/api/version").body, b"0.13.2", "forced version text")
    s.control("POST", "config", {"version_text": ""})
    expect_equal(s.get("/api/version").body, b"", "empty version body")
    s.control("POST", "config", {"version_text": None})
    s.control("POST", "config", {"login_status": 429})
    limited = s.post("/api/login", {"user": "admin", "password": "secret"}, cookie=False)
    expect_equal(limited.status, 429, "forced login status")
    s.control("POST", "config", {"login_status": None, "users": {"viewer": "pw"}})
    s.login("viewer", "pw")
    expect_equal(fresh(s, "/api/profile").json()["username"], "viewer", "user table replaced")
    expect_equal(s.post("/api/login", {"user": "admin", "password": "secret"}, cookie=False).status,
                 400 if version == "0.14" else 401, "old user gone")
    state = s.control("POST", "config", {"auth": False})
    expect_equal((state["auth"], state["version"]), (False, version), "state after config")
    open_profile = s.get("/api/profile", cookie=False, headers={"X-Cache-Bypass": "1"})
    expect_equal(open_profile.status, 200, "auth off needs no credentials")
    expect_equal(open_profile.json()["username"], "anonymous" if version == "0.16" else None, "port 5000 user")
    s.control("POST", "config", {"auth": True, "users": {"admin": "secret"}})
    expect_equal(s.get("/api/profile", cookie=False).status, 401, "auth back on")
    s.login()


def mse_message(value):
    return json.dumps({"type": "mse", "value": value})


def check_mse_stream(session, codecs, entry):
    """One consumer's answer, init segment and first fragments, as go2rtc writes them."""
    reply = json.dumps({"type": "mse", "value": f'video/mp4; codecs="{codecs}"'}, separators=(",", ":")) + "\n"
    expect_equal(session.texts, [reply], "mse reply")
    expect_equal(livecheck.top_boxes(session.init), ["ftyp", "moov"], "init segment boxes")
    expect_equal(livecheck.find(session.init, "ftyp"), b"iso5" + struct.pack(">I", 512) + b"iso5iso6mp41", "ftyp")
    moov = livecheck.find(session.init, "moov")
    expect_equal(struct.unpack(">I", livecheck.find(moov, "mvhd")[12:16])[0], 1000, "movie timescale")
    traks = livecheck.all_boxes(moov, "trak")
    expect_equal([struct.unpack(">I", livecheck.find(t, "tkhd")[12:16])[0] for t in traks], [1, 2], "track ids")
    expect_equal([struct.unpack(">I", livecheck.find(t, "mdia/mdhd")[12:16])[0] for t in traks], [90000, 48000],
                 "track timescales")
    expect_equal(livecheck.find(traks[0], "mdia/minf/stbl/stsd")[12:16], entry, "video sample entry")
    audio_entry = livecheck.find(livecheck.find(traks[1], "mdia/minf/stbl/stsd")[8:], "mp4a")
    expect_equal(livecheck.audio_specific_config(audio_entry)[:2], b"\x11\x88",
                 "AudioSpecificConfig: AAC-LC, 48 kHz, mono")
    expect_equal(len(livecheck.all_boxes(livecheck.find(moov, "mvex"), "trex")), 2, "one trex per track")
    expect(len(livecheck.top_boxes(session.frames[1])) >= 4, "fragments queued before the first write share a frame")
    frags = livecheck.fragments(session.media)
    first = frags[0]
    expect_equal((first.track, first.flags, first.decode, first.duration), (1, 0x02000000, 0, 91),
                 "starts with a key frame lasting 91 ticks at 0")
    video = [f for f in frags if f.track == 1]
    audio = [f for f in frags if f.track == 2]
    expect_equal(video[1].decode, 91, "the second picture follows the 91 ticks")
    expect(audio and audio[0].decode == 0 and all(f.duration == 1024 for f in audio), "audio from 0 in 1024 ticks")
    expect_equal([f.sequence for f in frags], list(range(1, len(frags) + 1)), "fragment numbers of this consumer")
    expect(all(f.data_offset == f.moof_size + 8 and f.mdat_size == f.size for f in frags), "data offsets and sizes")


async def live_checks(s):
    base = f"http://127.0.0.1:{s.port}"
    async with livecheck.client(False) as http:
        try:
            await livecheck.mse(http, base, "front_door", "", 1)
            raise Failure("the relay upgraded without credentials")
        except aiohttp.WSServerHandshakeError as error:
            expect_equal(error.status, 401, "relay refuses before the upgrade")
        await livecheck.sign_in(http, base, "admin", "secret")
        s.control("POST", "live/fault", {"kind": "refuse", "stream": "front_door", "status": 500, "times": 1})
        try:
            await livecheck.mse(http, base, "front_door", "", 1)
            raise Failure("the refuse fault let the upgrade through")
        except aiohttp.WSServerHandshakeError as error:
            expect_equal(error.status, 500, "refused upgrade")
        s.control("POST", "live/fault", {"kind": "close", "stream": "back_yard", "seconds": 1.5})
        h264, h265, unknown, mismatch, audio_only, garbage, closing = await asyncio.gather(
            livecheck.mse(http, base, "front_door", livecheck.EVERY_CODEC, 5, 12),
            livecheck.mse(http, base, "driveway_sub", "", 5, 12),
            livecheck.mse(http, base, "nowhere", None, 5, messages=[mse_message(""), mse_message("")], texts_wanted=2),
            livecheck.mse(http, base, "driveway", "avc1.640029", 5, texts_wanted=1),
            livecheck.mse(http, base, "driveway", "avc1.640029,mp4a.40.2", 5, 1),
            livecheck.mse(http, base, "front_door", None, 5, messages=["not json"]),
            livecheck.mse(http, base, "back_yard", "", 5))
    s.control("DELETE", "faults")
    avc = json.loads(h264.texts[0])["value"].split('"')[1].split(",")[0]
    expect(re.fullmatch(r"avc1\.[0-9A-F]{6}", avc), f"avc1 string from the SPS: {avc}")
    check_mse_stream(h264, f"{avc},mp4a.40.2", b"avc1")
    check_mse_stream(h265, "hvc1.1.6.L153.B0,mp4a.40.2", b"hev1")
    not_found = json.dumps({"type": "error", "value": "mse: stream not found"}, separators=(",", ":")) + "\n"
    expect_equal(unknown.texts, [not_found] * 2, "unknown stream: an error per message, the socket kept open")
    expect_equal(json.loads(mismatch.texts[0])["value"],
                 "mse: streams: codecs not matched: video:H265, audio:AAC => video:H264", "1.9.9 codec mismatch")
    expect_equal(json.loads(audio_only.texts[0])["value"], 'video/mp4; codecs="mp4a.40.2"', "audio-only session")
    expect_equal((garbage.texts, garbage.frames, garbage.closed), ([], [], True), "a frame that is not JSON closes")
    expect(closing.closed and closing.texts, "the close fault ends a playing socket")
    departures = s.control("GET", "live/departures")["departures"]
    expect(any(d["stream"] == "driveway_sub" and d["track"] == "video" and d["key"] and d["tfdt"] == 0
               for d in departures), "departures logged")


def check_live(s, version):
    asyncio.run(live_checks(s))


def read_parts(s, path, query, count):
    conn = s.connection()
    url = path + "?" + urllib.parse.urlencode(query)
    conn.request("GET", url, headers={"Cookie": f"frigate_token={s.cookie}"})
    response = conn.getresponse()
    data = b""
    while data.count(b"--frame\r\n") <= count:
        data += response.read1(65536)
    conn.close()
    return response, data.split(b"--frame\r\nContent-Type: image/jpeg\r\n\r\n")[1:count + 1]


def check_mjpeg(s, version):
    height_name, other = ("h", "height") if version == "0.14" else ("height", "h")
    response, parts = read_parts(s, "/api/front_door", {"fps": "10", height_name: "90", other: "180"}, 2)
    expect_equal(response.getheader("Content-Type"), "multipart/x-mixed-replace; boundary=frame" if version == "0.14"
                 else "multipart/x-mixed-replace;boundary=frame", "MJPEG content type")
    expect(all(p.startswith(b"\xff\xd8") and p.endswith(b"\xff\xd9\r\n\r\n") for p in parts), "JPEG parts")
    expect_equal(image_size(parts[0]), (160, 90), "the release's height parameter, the other one ignored")
    if version != "0.16":
        return
    expect_equal(s.get("/api/nobody", {"fps": "5"}).status, 404, "MJPEG of an unknown camera")
    s.control("POST", "camera", {"camera": "front_door", "offline": True})
    stats = s.get("/api/stats", headers={"X-Cache-Bypass": "1"}).json()
    expect_equal(stats["cameras"]["front_door"]["camera_fps"], 0.0, "offline camera fps")
    _, offline = read_parts(s, "/api/front_door", {"height": "90"}, 1)
    expect_equal(s.get("/api/front_door/latest.jpg", {"height": "90"}).body, offline[0][:-4],
                 "latest.jpg and MJPEG show the error picture")
    s.control("POST", "camera", {"camera": "front_door", "offline": False})
    expect(s.get("/api/front_door/latest.jpg", {"height": "90"}).body != offline[0][:-4], "back online")


def check_new_review(s, version):
    added = s.control("POST", "review", {"camera": "driveway"})
    expect_equal((added["camera"], added["severity"], added["objects"]), ("driveway", "alert", ["car"]), "added item")
    newest = fresh(s, "/api/review", {"reviewed": "0", "severity": "alert", "limit": "1"}).json()[0]
    expect_equal((newest["id"], newest["end_time"], newest["has_been_reviewed"]), (added["id"], None, False),
                 "the added item is the newest unseen alert")
    expect(newest["start_time"] <= time.time(), "it has started")
    bad = s.request("POST", "/__control/review", body={"camera": "attic"}, cookie=False)
    expect_equal(bad.status, 400, "unknown camera refused")


def check_release(version, cache_dir):
    with Server("--version", version, cache_dir=cache_dir) as s:
        check_sign_in(s, version)
        s.login()
        for check in (check_config_and_stats, check_reviews, check_marking, check_summary, check_events_and_timeline,
                      check_logs, check_recordings_and_images, check_recording_files, check_csrf, check_cookie_refresh, check_control, check_mjpeg,
                      check_new_review):
            run(f"{version} {check.__name__[6:]}", check, s, version)
        if version == "0.16":
            run(f"{version} live", check_live, s, version)


def check_no_auth(cache_dir):
    with Server("--version", "0.15", "--no-auth", cache_dir=cache_dir) as s:
        expect_equal(s.get("/api/config", cookie=False).status, 200, "--no-auth serves without credentials")
        expect_equal(s.get("/api/profile", cookie=False).json(), {"username": None}, "0.15 port 5000 profile")
        expect_equal(s.post("/api/login", {"user": "admin", "password": "x"}, cookie=False).status, 401,
                     "login still checks users")
        expect_equal(s.control("GET", "state")["auth"], False, "state reports auth off")


def peer_fingerprint(conn):
    return hashlib.sha256(conn.sock.getpeercert(binary_form=True)).hexdigest()


def check_tls(cache_dir):
    cert_dir = Path(cache_dir) / "certs"
    with Server("--version", "0.16", "--tls", "--cert-dir", str(cert_dir), cache_dir=cache_dir) as s:
        expect((cert_dir / "cert.pem").exists() and (cert_dir / "key.pem").exists(), "certificate files created")
        der = ssl.PEM_cert_to_DER_cert((cert_dir / "cert.pem").read_text())
        reported = s.control("GET", "certificate")["fingerprint"]
        expect_equal(reported, hashlib.sha256(der).hexdigest(), "fingerprint of the DER leaf")
        s.login()
        kept = s.connection()
        first = s.get("/api/profile", connection=kept)
        expect_equal(first.status, 200, "HTTPS answer")
        expect_equal(first.header("strict-transport-security"), "max-age=63072000", "HSTS")
        expect_equal(peer_fingerprint(kept), reported, "presented certificate")
        renewed = s.control("POST", "certificate", {})["fingerprint"]
        expect(renewed != reported, "a new certificate")
        try:
            s.get("/api/profile", connection=kept)
            raise Failure("a connection made with the old certificate kept serving")
        except (http.client.RemoteDisconnected, ConnectionError, ssl.SSLError, http.client.BadStatusLine):
            pass
        kept.close()
        again = s.connection()
        expect_equal(s.get("/api/profile", connection=again).status, 200, "new connection")
        expect_equal(peer_fingerprint(again), renewed, "new handshakes present the new certificate")
        expect_equal(s.control("GET", "certificate")["fingerprint"], renewed, "GET reports the current one")
        again.close()
    with Server("--version", "0.16", "--tls", "--cert-dir", str(cert_dir), cache_dir=cache_dir) as s:
        expect_equal(s.control("GET", "certificate")["fingerprint"], renewed, "certificate kept in the directory")


FAILURES = []


def run(name, check, *args):
    started = time.monotonic()
    try:
        check(*args)
        print(f"PASS {name} ({time.monotonic() - started:.1f} s)", flush=True)
    except (Failure, AssertionError, OSError, ValueError, KeyError, IndexError, TypeError) as error:
        FAILURES.append(name)
        print(f"FAIL {name}: {type(error).__name__}: {error}", flush=True)


def main():
    # One cache for every start, so images and media made once are reused.
    with tempfile.TemporaryDirectory(prefix="fakefrigate-selftest-") as cache_dir:
        for version in ("0.14", "0.15", "0.16"):
            run(f"{version} sign_in+release", check_release, version, cache_dir)
        run("no_auth", check_no_auth, cache_dir)
        run("tls", check_tls, cache_dir)
    print(f"{len(FAILURES)} failed" if FAILURES else "all passed", flush=True)
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
