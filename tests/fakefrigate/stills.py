"""Still frames of the scene (camera snapshots, recording frames): drawn in pure Python, written as PNG
with zlib, or converted to JPEG once by ffmpeg and kept in the cache directory."""
import asyncio
import hashlib
import struct
import zlib
from pathlib import Path
from typing import Dict, Optional

import scene

SKY = {"front_door": (70, 110, 160), "driveway": (90, 90, 120), "back_yard": (60, 130, 90)}
GROUND = {"front_door": (110, 90, 70), "driveway": (70, 70, 70), "back_yard": (40, 100, 40)}
OBJECT = (230, 200, 40)
ERROR_GREY = (24, 24, 24)


def frame_size(camera: str, height: Optional[int]):
    cam = scene.CAMERAS[camera]
    if not height:
        return cam["width"], cam["height"]
    return max(1, round(height * cam["width"] / cam["height"])), height


def draw(camera: str, width: int, height: int, box) -> bytes:
    """Rows of RGB: sky above the horizon, ground below, the object's box filled in."""
    horizon = int(height * 0.55)
    sky, ground = bytes(SKY[camera]), bytes(GROUND[camera])
    rows = []
    left = right = top = bottom = -1
    if box is not None:
        left, right = int(box[0] * width), int((box[0] + box[2]) * width)
        top, bottom = int(box[1] * height), int((box[1] + box[3]) * height)
    sky_row, ground_row = sky * width, ground * width
    patch = bytes(OBJECT) * max(0, right - left)
    for y in range(height):
        row = sky_row if y < horizon else ground_row
        if top <= y < bottom:
            row = row[:left * 3] + patch + row[right * 3:]
        rows.append(row)
    return b"".join(rows)


def png(width: int, height: int, rgb: bytes) -> bytes:
    def chunk(kind: bytes, data: bytes) -> bytes:
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    stride = width * 3
    raw = b"".join(b"\x00" + rgb[y * stride:(y + 1) * stride] for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b"")


class Stills:
    def __init__(self, cache_dir: Path):
        self.dir = cache_dir / "stills"
        self.dir.mkdir(parents=True, exist_ok=True)
        self.memory: Dict[str, bytes] = {}
        self.pending: Dict[str, asyncio.Future] = {}

    async def image(self, camera: str, epoch: float, height: Optional[int], fmt: str) -> bytes:
        """The scene of a camera at a moment (to the second of its loop), as "png", "jpg" or "webp"."""
        phase = int(scene.loop_phase(epoch))
        box = scene.object_box(epoch - scene.loop_phase(epoch) + phase)
        width, height = frame_size(camera, height)
        key = f"{camera}-{width}x{height}-{phase if box else 'empty'}.{fmt}"
        if key in self.memory:
            return self.memory[key]
        if key not in self.pending:
            self.pending[key] = asyncio.ensure_future(self._make(key, camera, width, height, box, fmt))
        try:
            data = await asyncio.shield(self.pending[key])
        finally:
            self.pending.pop(key, None)
        self.memory[key] = data
        return data

    async def error_picture(self, camera: str, height: Optional[int]) -> bytes:
        """The stock JPEG Frigate shows for a camera that has sent no frame lately: a plain dark frame."""
        width, height = frame_size(camera, height)
        key = f"camera-error-{width}x{height}.jpg"
        if key not in self.memory:
            self.memory[key] = await self._encode(width, height, bytes(ERROR_GREY) * (width * height), "jpg")
        return self.memory[key]

    async def _make(self, key: str, camera: str, width: int, height: int, box, fmt: str) -> bytes:
        path = self.dir / key
        if path.exists():
            return path.read_bytes()
        rgb = draw(camera, width, height, box)
        data = png(width, height, rgb) if fmt == "png" else await self._encode(width, height, rgb, fmt)
        temp = path.with_suffix(f".{hashlib.sha1(key.encode()).hexdigest()[:8]}.part")
        temp.write_bytes(data)
        temp.replace(path)
        return data

    async def _encode(self, width: int, height: int, rgb: bytes, fmt: str) -> bytes:
        output = (["-c:v", "libwebp", "-quality", "70", "-f", "webp"] if fmt == "webp"
                  else ["-q:v", "4", "-pix_fmt", "yuvj420p", "-f", "mjpeg"])
        process = await asyncio.create_subprocess_exec(
            "ffmpeg", "-v", "error", "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", f"{width}x{height}", "-i", "-",
            "-frames:v", "1", *output, "-",
            stdin=asyncio.subprocess.PIPE, stdout=asyncio.subprocess.PIPE, stderr=asyncio.subprocess.PIPE)
        out, err = await process.communicate(rgb)
        if process.returncode != 0 or not out:
            raise RuntimeError(f"ffmpeg could not encode a still: {err.decode(errors='replace')}")
        return out
