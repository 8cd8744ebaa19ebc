"""The recording files each camera keeps, as Frigate's Recordings table holds them: one row per 10 s
file aligned to epoch % 10 == 0, from the start of the history to the last file completed before now,
except in a few gaps (the camera was offline). The gaps are deterministic for a seed, drawn from their
own random stream so the review history stays the same whatever they are, and never come within
MARGIN seconds of a review item, so the boxes drawn over alerts always have a picture under them.

Every answer about recordings (the file list, VOD, clips, recording snapshots, the hourly summary)
reads this one model."""
import bisect
import math
import random
from dataclasses import dataclass
from functools import lru_cache
from typing import Dict, List, Optional, Tuple

import scene

FILE_SECONDS = scene.SEGMENT_SECONDS
MARGIN = 30                    # seconds kept recorded around every review item
SHORT_GAPS = (3, 5)            # how many short gaps each camera has
SHORT_GAP_SECONDS = (20, 300)
LONG_GAP_CAMERA = "driveway"   # the camera with an outage long enough to empty a whole local hour
LONG_GAP_SECONDS = (7200, 9000)  # 2 h covers a whole hour for any offset of the requested zone
# No gap in the last 40 minutes: integration tests play spans up to half an hour old and expect pictures.
QUIET_RECENT_SECONDS = 2400
DETECT_FPS = 5
MB_PER_FILE = {"front_door": 1.05, "driveway": 0.62, "back_yard": 0.38}  # 10 s at the cameras' bit rates
CAMERA_SALT = {name: index + 1 for index, name in enumerate(scene.CAMERAS)}
ID_ALPHABET = "abcdefghijklmnopqrstuvwxyz0123456789"


@dataclass(frozen=True)
class RecordingFile:
    camera: str
    start: int

    @property
    def end(self) -> int:
        return self.start + FILE_SECONDS


def _aligned(value: float) -> int:
    return int(math.floor(value / FILE_SECONDS) * FILE_SECONDS)


def _fraction(seed: int, camera: str, start: int, salt: int) -> float:
    """A repeatable number in [0, 1) for one file's column (cheap: the hourly summary reads every file)."""
    mixed = (seed * 0x9E3779B1 + CAMERA_SALT[camera] * 0x85EBCA77 + start * 0xC2B2AE3D + salt * 0x27D4EB2F)
    mixed = ((mixed ^ (mixed >> 15)) * 0x2C1B3C6D) & 0xFFFFFFFF
    return ((mixed ^ (mixed >> 13)) & 0xFFFFFFFF) / float(1 << 32)


@lru_cache(maxsize=None)
def _moving_frames(loop_phase: int) -> int:
    return sum(1 for k in range(FILE_SECONDS * DETECT_FPS) if scene.object_box(loop_phase + k / DETECT_FPS) is not None)


def _free_windows(busy: List[Tuple[float, float]], low: float, high: float) -> List[Tuple[float, float]]:
    windows, at = [], low
    for start, end in sorted(busy):
        if start > at:
            windows.append((at, min(start, high)))
        at = max(at, end)
        if at >= high:
            break
    if at < high:
        windows.append((at, high))
    return [(a, b) for a, b in windows if b > a]


def _place(rng: random.Random, busy, low: float, high: float, length: int) -> Optional[Tuple[int, int]]:
    """An aligned span of `length` seconds inside [low, high) touching nothing busy, or None."""
    fitting = [(a, b) for a, b in _free_windows(busy, low, high)
               if _aligned(b) - (math.ceil(a / FILE_SECONDS) * FILE_SECONDS) >= length]
    if not fitting:
        return None
    a, b = rng.choice(fitting)
    first = math.ceil(a / FILE_SECONDS)
    last = (_aligned(b) - length) // FILE_SECONDS
    start = rng.randint(first, last) * FILE_SECONDS
    return start, start + length


class RecordingFiles:
    def __init__(self, world, seed: int, now: float):
        self.seed = seed
        self.first_start = world.recordings_start
        self.gaps: Dict[str, List[Tuple[int, int]]] = {}
        self._objects: Dict[str, Dict[int, int]] = {}
        rng = random.Random(f"recording gaps {seed}")
        for camera in scene.CAMERAS:
            reviews = [r for r in world.reviews if r.camera == camera]
            busy = [(r.start - MARGIN, (r.end if r.end is not None else now) + MARGIN) for r in reviews]
            self.gaps[camera] = self._choose_gaps(rng, camera, busy, now)
            self._objects[camera] = self._object_frames(world, camera, now)

    # -- layout --

    def _choose_gaps(self, rng: random.Random, camera: str, busy: list, now: float) -> List[Tuple[int, int]]:
        busy = list(busy)
        gaps = []

        def add(span):
            if span is not None:
                gaps.append(span)
                busy.append((span[0] - 60, span[1] + 60))  # gaps never merge

        newest_hour = math.floor(now / 3600) * 3600
        quiet_from = now - QUIET_RECENT_SECONDS
        # One gap in the first 20 minutes of the hour before the newest, so that hour's playback crosses it.
        add(_place(rng, busy, newest_hour - 3600, newest_hour - 2400, self._short_length(rng)))
        if camera == LONG_GAP_CAMERA:
            length = rng.randrange(*LONG_GAP_SECONDS, FILE_SECONDS)
            span = _place(rng, busy, now - 60 * 3600, now - 12 * 3600, length)
            add(span or self._largest_free(busy, quiet_from, length))
        for _ in range(rng.randint(*SHORT_GAPS) - 1):
            add(_place(rng, busy, self.first_start + 600, newest_hour - 3600, self._short_length(rng)))
        return sorted(gaps)

    @staticmethod
    def _short_length(rng: random.Random) -> int:
        low, high = SHORT_GAP_SECONDS
        return rng.randrange(low, high + 1, FILE_SECONDS)

    def _largest_free(self, busy, high: float, length: int) -> Optional[Tuple[int, int]]:
        """The start of the widest free stretch, up to `length` long: for histories too busy for the outage."""
        windows = _free_windows(busy, self.first_start, high)
        if not windows:
            return None
        a, b = max(windows, key=lambda w: w[1] - w[0])
        start = math.ceil(a / FILE_SECONDS) * FILE_SECONDS
        end = min(_aligned(b), start + length)
        return (start, end) if end > start else None

    @staticmethod
    def _object_frames(world, camera: str, now: float) -> Dict[int, int]:
        """Detection frames with a tracked object, by file start."""
        frames: Dict[int, int] = {}
        for event in world.events.values():
            if event.camera != camera:
                continue
            end = event.end if event.end is not None else now
            for start in range(_aligned(event.start), _aligned(end) + FILE_SECONDS, FILE_SECONDS):
                overlap = min(end, start + FILE_SECONDS) - max(event.start, start)
                if overlap > 0:
                    frames[start] = frames.get(start, 0) + round(overlap * DETECT_FPS)
        return frames

    # -- queries --

    def last_end(self, now: float) -> int:
        """End of the newest file: Frigate lists a file once it is complete."""
        return _aligned(now)

    def in_gap(self, camera: str, start: int) -> bool:
        gaps = self.gaps[camera]
        at = bisect.bisect_right(gaps, (start, math.inf)) - 1
        return at >= 0 and gaps[at][0] <= start < gaps[at][1]

    def files(self, camera: str, after: float, before: float, now: float) -> List[RecordingFile]:
        """Files with end_time >= after and start_time <= before, oldest first (the API's condition)."""
        if camera not in self.gaps or not (math.isfinite(after) and math.isfinite(before)):
            return []
        first = max(self.first_start, math.ceil((after - FILE_SECONDS) / FILE_SECONDS) * FILE_SECONDS)
        last = min(self.last_end(now) - FILE_SECONDS, _aligned(before))
        return [RecordingFile(camera, start) for start in range(first, last + 1, FILE_SECONDS)
                if not self.in_gap(camera, start)]

    def overlapping(self, camera: str, start: float, end: float, now: float) -> List[RecordingFile]:
        """The VOD and clip condition: start_time or end_time between the bounds, or the file holding both."""
        candidates = self.files(camera, min(start, end), max(start, end), now)
        return [f for f in candidates
                if start <= f.start <= end or start <= f.end <= end or (start > f.start and end < f.end)]

    def covering(self, camera: str, moment: float, now: float) -> Optional[RecordingFile]:
        """The newest file with start_time <= moment <= end_time."""
        found = self.files(camera, moment, moment, now)
        return found[-1] if found else None

    # -- the rows' columns --

    def motion(self, file: RecordingFile) -> int:
        """Motion boxes summed over the file's detection frames: the moving object, plus a little noise."""
        noise = int(_fraction(self.seed, file.camera, file.start, 0) * 6)
        return _moving_frames(file.start % scene.LOOP_SECONDS) * 2 + noise

    def objects(self, file: RecordingFile) -> int:
        return self._objects[file.camera].get(file.start, 0)

    def row(self, file: RecordingFile) -> dict:
        suffix = "".join(ID_ALPHABET[int(_fraction(self.seed, file.camera, file.start, 2 + k) * 36)] for k in range(6))
        size = MB_PER_FILE[file.camera] * (0.9 + 0.2 * _fraction(self.seed, file.camera, file.start, 1))
        return {"id": f"{float(file.start)}-{suffix}", "start_time": float(file.start), "end_time": float(file.end),
                "segment_size": round(size, 4), "motion": self.motion(file), "objects": self.objects(file),
                "duration": float(FILE_SECONDS)}

    def hourly(self, camera: str, offset: float, now: float) -> Dict[int, dict]:
        """Duration, motion and objects summed by the hour each file starts in, hours counted in local time
        shifted by `offset` seconds; keyed by the hour's epoch. Hours without files are absent."""
        hours: Dict[int, dict] = {}
        for file in self.files(camera, self.first_start, now, now):
            key = int(file.start - (file.start + offset) % 3600)
            totals = hours.setdefault(key, {"duration": 0.0, "motion": 0, "objects": 0})
            totals["duration"] += FILE_SECONDS
            totals["motion"] += self.motion(file)
            totals["objects"] += self.objects(file)
        return hours
