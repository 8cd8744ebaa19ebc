"""The recorded history the fake serves: tracked objects (events), their timeline rows and the review
items built from them, generated once at start relative to that moment and deterministic for a seed.
Every event sits in one minute loop of the scene, while the scene's object is in the picture."""
import math
import random
import string
from dataclasses import dataclass, field
from typing import List, Optional

import recordings
import scene

HISTORY_SECONDS = 3 * 86400
ZONES = {"front_door": "porch", "driveway": "apron", "back_yard": "lawn"}
ALERT_SHARE = {"person": 0.85, "car": 0.5, "dog": 0.15}
DETECT_FPS = 5
SUFFIX_ALPHABET = string.ascii_lowercase + string.digits


@dataclass
class Event:
    id: str
    camera: str
    label: str
    start: float
    end: Optional[float]
    zones: List[str]
    score: float
    top_score: float
    severity: str
    sub_label: Optional[str] = None
    sub_label_score: Optional[float] = None
    path: list = field(default_factory=list)


@dataclass
class Review:
    id: str
    camera: str
    start: float
    end: Optional[float]
    severity: str
    events: List[Event]

    @property
    def objects(self) -> List[str]:
        labels = []
        for event in self.events:
            label = event.label + ("-verified" if event.sub_label else "")
            if label not in labels:
                labels.append(label)
        return labels

    @property
    def zones(self) -> List[str]:
        return sorted({zone for event in self.events for zone in event.zones})

    @property
    def sub_labels(self) -> List[str]:
        return sorted({event.sub_label for event in self.events if event.sub_label})

    @property
    def thumb_path(self) -> str:
        return f"/media/frigate/clips/review/thumb-{self.camera}-{self.id}.webp"


@dataclass
class TimelineRow:
    timestamp: float
    camera: str
    source_id: str
    class_type: str
    box: list
    region: list
    label: str
    sub_label: Optional[list]
    zones: Optional[List[str]] = None


def region_around(box) -> list:
    x, y, w, h = box
    side_w, side_h = min(1.0, w * 2.2), min(1.0, h * 1.9)
    left = min(max(0.0, x + w / 2 - side_w / 2), 1.0 - side_w)
    top = min(max(0.0, y + h / 2 - side_h / 2), 1.0 - side_h)
    return [round(v, 7) for v in (left, top, side_w, side_h)]


def path_points(camera: str, start: float, end: float) -> list:
    """Bottom-centre points of the box, one whenever it moved 5 % of the frame diagonal."""
    cam = scene.CAMERAS[camera]
    width, height = cam["width"], cam["height"]
    threshold = 0.05 * math.hypot(width, height)
    points, last = [], None
    steps = int((end - start) * DETECT_FPS)
    for step in range(steps + 1):
        t = start + step / DETECT_FPS
        box = scene.object_box(t)
        if box is None:
            continue
        x, y = box[0] + box[2] / 2, box[1] + box[3]
        if last is None or math.hypot((x - last[0]) * width, (y - last[1]) * height) >= threshold:
            points.append([[round(x, 4), round(y, 4)], t])
            last = (x, y)
    return points


class World:
    def __init__(self, now: float, seed: int):
        self.created = now
        self.rng = random.Random(seed)
        self.events = {}
        self.reviews: List[Review] = []
        self.timeline: List[TimelineRow] = []
        self.initially_reviewed = set()
        self.recordings_start = math.floor((now - HISTORY_SECONDS) / scene.SEGMENT_SECONDS) * scene.SEGMENT_SECONDS
        self._generate(now)
        self.recordings = recordings.RecordingFiles(self, seed, now)

    def _suffix(self) -> str:
        return "".join(self.rng.choice(SUFFIX_ALPHABET) for _ in range(6))

    def _severity(self, label: str) -> str:
        return "alert" if self.rng.random() < ALERT_SHARE[label] else "detection"

    def _event(self, camera: str, minute: float, now: float, in_progress: bool, severity: str) -> Event:
        label = scene.CAMERAS[camera]["label"]
        start = minute + scene.OBJECT_ENTERS
        end = None if in_progress else minute + scene.OBJECT_LEAVES
        zones = [ZONES[camera]] if self.rng.random() < 0.7 else []
        top = round(self.rng.uniform(0.72, 0.96), 7)
        event = Event(id=f"{start}-{self._suffix()}", camera=camera, label=label, start=start, end=end,
                      zones=zones, score=round(top - self.rng.uniform(0.0, 0.05), 7), top_score=top,
                      severity=severity)
        event.path = path_points(camera, start, min(end if end is not None else now, now))
        self.events[event.id] = event
        return event

    def _review(self, camera: str, minutes: List[float], now: float, in_progress: bool = False,
                severity: Optional[str] = None) -> Review:
        severity = severity or self._severity(scene.CAMERAS[camera]["label"])
        events = [self._event(camera, m, now, in_progress and m == minutes[-1], severity) for m in minutes]
        start = events[0].start
        review = Review(id=f"{start}-{self._suffix()}", camera=camera, start=start, end=events[-1].end,
                        severity=severity, events=events)
        self.reviews.append(review)
        return review

    def _generate(self, now: float):
        latest = math.floor((now - scene.OBJECT_ENTERS) / scene.LOOP_SECONDS) * scene.LOOP_SECONDS
        # The newest activity: two items still in progress, two finished moments ago; none seen yet.
        self._review("front_door", [latest], now, in_progress=True, severity="alert")
        self._review("driveway", [latest], now, in_progress=True, severity="detection")
        self._review("back_yard", [latest - 60], now, severity="detection")
        self._review("front_door", [latest - 120], now, severity="alert")
        taken = {(c, latest - k * 60) for c in scene.CAMERAS for k in range(0, 6)}
        minutes_back = HISTORY_SECONDS // 60 - 20
        for camera in scene.CAMERAS:
            for index in range(18):
                length = 2 if index % 7 == 3 else 1
                if camera == "back_yard" and index == 5:
                    length = 14
                for _ in range(50):
                    first = latest - self.rng.randrange(6, minutes_back) * 60
                    minutes = [first + k * 60 for k in range(length)]
                    if not any((camera, m + d * 60) in taken for m in minutes for d in (-1, 0, 1)):
                        break
                taken.update((camera, m) for m in minutes)
                self._review(camera, minutes, now)
        self._name_one_visitor()
        self.reviews.sort(key=lambda r: r.start, reverse=True)
        for review in self.reviews[4:]:
            age = now - review.start
            if self.rng.random() < (0.5 if age > 6 * 3600 else 0.2):
                self.initially_reviewed.add(review.id)
        for event in self.events.values():
            self.timeline.extend(self._rows(event, now))
        self.timeline.sort(key=lambda row: row.timestamp)

    def add_review_now(self, camera: str, severity: str, now: float) -> Review:
        """A review item in progress from `now` on, as a detection that just started makes one; its event
        sits in the scene's current loop minute like every other."""
        minute = math.floor((now - scene.OBJECT_ENTERS) / scene.LOOP_SECONDS) * scene.LOOP_SECONDS
        review = self._review(camera, [minute], now, in_progress=True, severity=severity)
        review.start = round(now, 3)
        review.id = f"{review.start}-{self._suffix()}"
        for event in review.events:
            self.timeline.extend(self._rows(event, now))
        self.timeline.sort(key=lambda row: row.timestamp)
        self.reviews.sort(key=lambda r: r.start, reverse=True)
        return review

    def _name_one_visitor(self):
        finished = [r for r in self.reviews if r.camera == "front_door" and r.end is not None]
        visitor = min(finished, key=lambda r: abs(self.created - 5400 - r.start))
        visitor.events[0].sub_label = "Bob"
        visitor.events[0].sub_label_score = 0.87

    def _rows(self, event: Event, now: float) -> List[TimelineRow]:
        sub = [event.sub_label, event.sub_label_score] if event.sub_label else None
        marks = [(event.start, "visible", None), (event.start + 8.0, "active", None)]
        if event.zones:
            marks.append((event.start + 4.0, "entered_zone", list(event.zones)))
        if event.end is not None:
            marks.append((event.end, "gone", None))
        rows = []
        for timestamp, kind, zones in sorted(marks, key=lambda m: m[0]):
            if timestamp > now:
                continue
            box = scene.object_box(timestamp)
            rows.append(TimelineRow(timestamp=timestamp, camera=event.camera, source_id=event.id,
                                    class_type=kind, box=box, region=region_around(box), label=event.label,
                                    sub_label=sub, zones=zones))
        return rows

    def best_box(self, event: Event) -> list:
        return scene.object_box(event.start + (scene.OBJECT_LEAVES - scene.OBJECT_ENTERS) / 2)

    def review(self, review_id: str) -> Optional[Review]:
        return next((r for r in self.reviews if r.id == review_id), None)

    def review_of_event(self, event_id: str) -> Optional[Review]:
        return next((r for r in self.reviews if any(e.id == event_id for e in r.events)), None)

    def has_recording(self, camera: str, epoch: float, now: float) -> bool:
        return self.recordings.covering(camera, epoch, now) is not None
