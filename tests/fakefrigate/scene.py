"""The synthetic world the fake Frigate serves: which cameras exist and where the one moving
object is at any moment. Events, timeline rows and the generated recordings all read it, so the
boxes a client draws over the video can be checked end to end."""

LOOP_SECONDS = 60          # every camera's recording repeats each minute, aligned to epoch % 60 == 0
SEGMENT_SECONDS = 10       # recordings are cut in 10 s files aligned the same way
OBJECT_ENTERS = 10.0       # seconds into the loop
OBJECT_LEAVES = 40.0
BOX_W, BOX_H = 0.15, 0.30  # relative to the frame
Y = 0.35
X_FROM, X_TO = 0.10, 0.70

CAMERAS = {
    # name: codec of its recordings, frame size, frame rate, detected label
    "front_door": {"codec": "h264", "width": 1280, "height": 720, "fps": 15, "label": "person"},
    "driveway": {"codec": "hevc", "width": 1280, "height": 720, "fps": 15, "label": "car"},
    "back_yard": {"codec": "h264", "width": 640, "height": 480, "fps": 15, "label": "dog"},
}


def loop_phase(epoch: float) -> float:
    return epoch % LOOP_SECONDS


def object_box(epoch: float):
    """[x, y, w, h] of the object at that moment, or None while it is out of the picture."""
    phase = loop_phase(epoch)
    if phase < OBJECT_ENTERS or phase > OBJECT_LEAVES:
        return None
    f = (phase - OBJECT_ENTERS) / (OBJECT_LEAVES - OBJECT_ENTERS)
    return [X_FROM + (X_TO - X_FROM) * f, Y, BOX_W, BOX_H]


def ffmpeg_box_x_expression(width: int) -> str:
    """The same path as object_box, as an x expression of the loop time t for ffmpeg's overlay filter
    (drawbox reads t as the line thickness, so it cannot move a box)."""
    span = OBJECT_LEAVES - OBJECT_ENTERS
    return (f"({X_FROM}+({X_TO}-{X_FROM})*clip((mod(t,{LOOP_SECONDS})-{OBJECT_ENTERS})/{span},0,1))*{width}")
