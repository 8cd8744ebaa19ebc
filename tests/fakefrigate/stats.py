"""GET /api/stats: the latest statistics snapshot, with values that drift a little over time."""
import math

PROCESS_BASE = 512


def _wobble(now: float, index: int, scale: float) -> float:
    return math.sin(now / 37.0 + index * 1.7) * scale


def camera_pids(index: int) -> dict:
    return {"pid": PROCESS_BASE + index * 3, "capture_pid": 530 + index * 3, "ffmpeg_pid": 541 + index * 3}


def _volume(total: float, used: float, mount_type: str) -> dict:
    """A volume as shutil.disk_usage reports it in MiB: `free` is what a non-root user may still
    write, so on ext4 it leaves out the 5 % reserved for root and is less than total - used."""
    reserved = round(total * 0.05, 1) if mount_type == "ext4" else 0.0
    return {"total": total, "used": used, "free": round(total - used - reserved, 1), "mount_type": mount_type}


def build(ctx) -> dict:
    now = ctx.now()
    snapshot = int(now // 15 * 15)
    cameras, cpu_usages, detection_total = {}, {}, 0.0
    cpu_usages["frigate.full_system"] = {"cpu": f"{12.7 + _wobble(snapshot, 0, 3):.1f}",
                                         "mem": f"{41.3 + _wobble(snapshot, 1, 0.5):.1f}"}
    for index, (name, cam) in enumerate(ctx.scene.CAMERAS.items()):
        pids = camera_pids(index)
        detection_fps = round(max(0.0, 0.4 + _wobble(snapshot, index, 0.4)), 2)
        camera_fps = round(5.0 + _wobble(snapshot, index + 3, 0.1), 2)
        if name in ctx.settings.offline:
            camera_fps = detection_fps = 0.0
        detection_total += detection_fps
        cameras[name] = {"camera_fps": camera_fps, "process_fps": camera_fps, "skipped_fps": 0.0,
                         "detection_fps": detection_fps, "detection_enabled": True, **pids,
                         "audio_rms": 0.0, "audio_dBFS": 0.0}
        ip = f"192.168.1.{20 + index}"
        cpu_usages[str(pids["ffmpeg_pid"])] = {
            "cpu": f"{3.0 + index + _wobble(snapshot, index, 1):.1f}", "cpu_average": str(2 + index), "mem": "0.6",
            "cmdline": f"ffmpeg -hide_banner -loglevel warning -threads 2 -rtsp_transport tcp -timeout 5000000 "
                       f"-i rtsp://*:*@{ip}:554/stream2 -f rawvideo -pix_fmt yuv420p pipe:"}
        cpu_usages[str(pids["pid"])] = {"cpu": f"{5.9 + _wobble(snapshot, index + 5, 2):.1f}",
                                        "cpu_average": "4", "mem": "1.9", "cmdline": f"frigate.process:{name}"}
        cpu_usages[str(pids["capture_pid"])] = {"cpu": "1.2", "cpu_average": "1", "mem": "0.8",
                                                "cmdline": f"frigate.capture:{name}"}
    stats = {
        "cameras": cameras,
        "detectors": {"coral": {"inference_speed": round(8.91 + _wobble(snapshot, 9, 0.6), 2),
                                "detection_start": 0.0, "pid": 480}},
        "detection_fps": round(detection_total, 2),
        "cpu_usages": cpu_usages,
        "gpu_usages": {"intel-vaapi": {"gpu": f"{4.21 + _wobble(snapshot, 2, 1):.2f}%", "mem": "-%"}},
        "processes": {"go2rtc": {"pid": 103}, "recording": {"pid": 470}, "review_segment": {"pid": 471}},
        "service": {
            "uptime": int(now - ctx.boot),
            "version": ctx.flavour.release_text,
            "latest_version": ctx.flavour.release_number,
            "storage": {
                "/media/frigate/recordings": _volume(1877522.3, 412880.5, "ext4"),
                "/media/frigate/clips": _volume(1877522.3, 412880.5, "ext4"),
                "/tmp/cache": _volume(1024.0, 12.3, "tmpfs"),
                "/dev/shm": _volume(512.0, 98.2, "tmpfs"),
            },
            "temperatures": {},
            "last_updated": snapshot,
        },
    }
    if ctx.flavour.per_user_reviews:
        stats["processes"]["embeddings"] = {"pid": 472}
        stats["embeddings"] = {}
    return stats
