"""GET /api/config: the server configuration as each release dumps it."""
import world
from logtext import CAMERA_IPS

UI_ORDER = {"front_door": 2, "driveway": 1, "back_yard": 3}
ZONE_COORDINATES = {"front_door": "0.1,0.9,0.5,0.9,0.5,0.5,0.1,0.5", "driveway": "0,1,1,1,1,0.6,0,0.6",
                    "back_yard": "0.2,1,0.9,1,0.8,0.55,0.3,0.55"}


def _ffmpeg_cmd(camera: str, role: str) -> str:
    stream = "stream2" if role == "detect" else "stream1"
    return (f"ffmpeg -hide_banner -loglevel warning -threads 2 -user_agent FFmpeg Frigate/0.16 -avoid_negative_ts "
            f"make_zero -fflags +genpts+discardcorrupt -rtsp_transport tcp -timeout 5000000 -use_wallclock_as_timestamps "
            f"1 -i rtsp://{CAMERA_IPS[camera]}:554/{stream} -f rawvideo -pix_fmt yuv420p pipe:")


def camera_config(name: str, cam: dict, flavour) -> dict:
    ip = CAMERA_IPS[name]
    config = {
        "name": name,
        "enabled": True,
    }
    if flavour.per_user_reviews:
        config["enabled_in_config"] = True
    config.update({
        "type": "generic",
        "ffmpeg": {"inputs": [{"path": f"rtsp://{ip}:554/stream1", "roles": ["record"], "global_args": [],
                               "hwaccel_args": [], "input_args": "preset-rtsp-restream"},
                              {"path": f"rtsp://{ip}:554/stream2", "roles": ["detect"], "global_args": [],
                               "hwaccel_args": [], "input_args": "preset-rtsp-restream"}],
                   "output_args": {"detect": "-threads 2 -f rawvideo -pix_fmt yuv420p",
                                   "record": "preset-record-generic-audio-aac"},
                   "retry_interval": 10.0},
        "detect": {"enabled": True, "height": cam["height"], "width": cam["width"], "fps": 5,
                   "min_initialized": 2, "max_disappeared": 25,
                   "stationary": {"interval": 50, "threshold": 50, "max_frames": {"objects": {}}},
                   "annotation_offset": 0},
        "record": {"enabled": True, "enabled_in_config": True, "sync_recordings": False, "expire_interval": 60,
                   "retain": {"days": 3, "mode": "all"},
                   "alerts": {"pre_capture": 5, "post_capture": 5, "retain": {"days": 14, "mode": "motion"}},
                   "detections": {"pre_capture": 5, "post_capture": 5, "retain": {"days": 14, "mode": "motion"}}},
        "snapshots": {"enabled": True, "clean_copy": True, "timestamp": False, "bounding_box": True,
                      "crop": False, "retain": {"default": 10, "objects": {}}, "quality": 70},
        "live": _live(name, flavour),
        "ui": {"order": UI_ORDER[name], "dashboard": True},
        "objects": {"track": [cam["label"]], "filters": {cam["label"]: {"min_area": 0, "max_area": 24000000,
                                                                          "threshold": 0.7, "min_score": 0.5}}},
        "zones": {world.ZONES[name]: {"coordinates": ZONE_COORDINATES[name], "objects": [],
                                      "inertia": 3, "loitering_time": 0, "color": [0, 255, 0]}},
        "review": {"alerts": {"labels": ["person", "car"], "required_zones": []},
                   "detections": {"required_zones": []}},
        "motion": {"threshold": 30, "contour_area": 10, "improve_contrast": True},
        "ffmpeg_cmds": [{"roles": ["record"], "cmd": _ffmpeg_cmd(name, "record")},
                        {"roles": ["detect"], "cmd": _ffmpeg_cmd(name, "detect")}],
    })
    return config


def live_streams(name: str) -> list:
    """0.16 live.streams of a camera, in the order configured: (label, go2rtc stream name)."""
    return [("Clear", f"{name}_clear"), ("Balanced", f"{name}_balanced"), ("Fluent", f"{name}_sub")]


def _live(name: str, flavour) -> dict:
    if flavour.per_user_reviews:
        # Best first, as users list them; the names' alphabetical order is not the quality order.
        return {"streams": dict(live_streams(name)), "height": 720, "quality": 8}
    return {"stream_name": name, "height": 720, "quality": 8}


def build(ctx) -> dict:
    flavour = ctx.flavour
    cameras = {name: camera_config(name, cam, flavour) for name, cam in ctx.scene.CAMERAS.items()}
    streams = {}
    for name in ctx.scene.CAMERAS:
        streams[name] = [f"rtsp://{CAMERA_IPS[name]}:554/stream1"]
        streams[f"{name}_sub"] = [f"rtsp://{CAMERA_IPS[name]}:554/stream2"]
        if flavour.per_user_reviews:
            streams[f"{name}_clear"] = [f"rtsp://{CAMERA_IPS[name]}:554/stream1"]
            streams[f"{name}_balanced"] = [f"ffmpeg:{name}_clear#video=h264#height=720"]
    auth = {"enabled": True, "cookie_name": "frigate_token", "cookie_secure": False,
            "session_length": ctx.settings.session_length, "refresh_time": ctx.settings.refresh_time,
            "reset_admin_password": False, "trusted_proxies": [], "hash_iterations": 600000}
    if flavour.flask:
        auth["header_map"] = {}
    return {
        "version": None if flavour.flask else flavour.release_number,
        "safe_mode": False,
        "environment_vars": {},
        "logger": {"default": "info", "logs": {}},
        "auth": auth,
        "database": {"path": "/config/frigate.db"},
        "mqtt": {"enabled": False, "host": "", "port": 1883, "topic_prefix": "frigate", "client_id": "frigate"},
        "tls": {"enabled": ctx.tls},
        "detectors": {"coral": {"type": "edgetpu", "device": "usb",
                                "model": {"path": "/edgetpu_model.tflite", "width": 320, "height": 320}}},
        "model": {"path": "/edgetpu_model.tflite", "labelmap_path": "/labelmap.txt", "width": 320, "height": 320,
                  "input_tensor": "nhwc", "input_pixel_format": "rgb", "model_type": "ssd",
                  "colormap": {"person": [117, 218, 55], "car": [21, 135, 243], "dog": [180, 22, 99]}},
        "plus": {"enabled": False},
        "ui": {"timezone": None if flavour.flask else "", "time_format": "browser", "date_style": "short",
               "time_style": "medium", "strftime_fmt": None},
        "go2rtc": {"streams": streams},
        "cameras": cameras,
        "camera_groups": {"outside": {"cameras": ["front_door", "driveway"], "icon": "LuCar", "order": 1}},
        "record": {"enabled": True, "retain": {"days": 3, "mode": "all"}},
        "review": {"alerts": {"labels": ["person", "car"]}, "detections": {}},
        "birdseye": {"enabled": True, "restream": False, "width": 1280, "height": 720, "quality": 8, "mode": "objects"},
    }


def without_nulls(value):
    """model_dump(exclude_none=True): null fields are left out, at every depth."""
    if isinstance(value, dict):
        return {k: without_nulls(v) for k, v in value.items() if v is not None}
    if isinstance(value, list):
        return [without_nulls(v) for v in value]
    return value
