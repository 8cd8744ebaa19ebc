"""What a camera sends to go2rtc, and the fMP4 boxes go2rtc 1.9 writes for an MSE consumer.

Each camera's live picture is its 60 s recording loop (media.py), running on the wall clock like a
camera would: loop second W % 60 is on air at wall second W. The loop is remuxed once with ffmpeg into
one fragmented file per track (one sample per fragment), from which the samples, their loop times and
the codec configuration are read. The boxes sent to a consumer are written here, shaped as go2rtc's
muxer writes them (pkg/iso in go2rtc 1.9.2): one sample per moof+mdat, default-base-is-moof, tfdt v1."""

import asyncio
import bisect
import fcntl
import shutil
import struct
import subprocess
import tempfile
from dataclasses import dataclass, field
from pathlib import Path
from typing import Iterator, List, Optional

import media

VIDEO_CLOCK = 90000           # go2rtc writes video in the RTP clock whatever the camera's file used
FIRST_FLUSH_SECONDS = 0.1     # the socket writer starts this long after the first key frame is queued
LIVE_REVISION = 2             # bump when the remuxed files change shape

SAMPLE_KEY = 0x02000000       # depends on no other sample
SAMPLE_NON_KEY = 0x01010000   # depends on others, not a sync sample
SAMPLE_AUDIO = 0x02000000

H264_PROFILES = (0x42, 0x4D)
H264_CONSTRAINTS = (0xE0, 0x40)
H264_LEVELS = (0x1E, 0x1F, 0x28)
H265_MIME = "hvc1.1.6.L153.B0"
AAC_MIME = "mp4a.40.2"


def box(kind: str, *payload: bytes) -> bytes:
    body = b"".join(payload)
    return struct.pack(">I4s", 8 + len(body), kind.encode("latin-1")) + body


def full_box(kind: str, version: int, flags: int, *payload: bytes) -> bytes:
    return box(kind, struct.pack(">I", (version << 24) | flags), *payload)


def child(data: bytes, path: str) -> Optional[bytes]:
    """The first box at a slash-separated path inside data (box bytes, header included)."""
    kind, _, rest = path.partition("/")
    for found, at, size, _ in media.boxes(data):
        if found == kind:
            inner = data[at:at + size]
            return inner if not rest else child(inner[8:], rest)
    return None


# ---------------------------------------------------------------------------------------------
# Samples of one track, read from a one-sample-per-fragment file


@dataclass
class Sample:
    time: float               # seconds into the loop
    data: bytes
    key: bool
    frame: Optional[int] = None   # video: frame number in the loop (the picture's binary overlay)


@dataclass
class Track:
    kind: str                 # "video" or "audio"
    codec: str                # "H264", "H265" or "AAC"
    timescale: int            # of the consumer's track: 90000 for video, the sample rate for audio
    entry: bytes              # sample entry box from the stsd
    width: int = 0
    height: int = 0
    samples: List[Sample] = field(default_factory=list)

    @property
    def mime(self) -> str:
        if self.codec == "H265":
            return H265_MIME
        if self.codec == "AAC":
            return AAC_MIME
        return h264_mime(self.entry)


def h264_mime(entry: bytes) -> str:
    """avc1.PPCCLL from the SPS, sanitised as go2rtc does for browsers that refuse unusual profiles."""
    config = child(entry[86:], "avcC")
    profile, constraint, level = config[9], config[10], config[11]
    profile = profile if profile in H264_PROFILES else 0x64
    constraint = constraint if constraint in H264_CONSTRAINTS else 0x00
    level = level if level in H264_LEVELS else 0x29
    return f"avc1.{profile:02X}{constraint:02X}{level:02X}"


def fragment_samples(data: bytes) -> Iterator[tuple]:
    """(decode time in the file's timescale, sample bytes, sample flags) of every fragment."""
    for kind, at, size, header in media.boxes(data):
        if kind == "moof":
            moof_at, moof = at, data[at:at + size]
            continue
        if kind != "mdat":
            continue
        traf = child(moof[8:], "traf")
        tfhd, tfdt, trun = child(traf[8:], "tfhd"), child(traf[8:], "tfdt"), child(traf[8:], "trun")
        yield from trun_samples(data, moof_at, tfhd, tfdt, trun)


def trun_samples(data: bytes, moof_at: int, tfhd: bytes, tfdt: bytes, trun: bytes) -> Iterator[tuple]:
    tf_flags = struct.unpack(">I", tfhd[8:12])[0] & 0xFFFFFF
    at = 16
    if tf_flags & 0x01:
        at += 8
    if tf_flags & 0x02:
        at += 4
    default_duration = default_size = default_flags = 0
    if tf_flags & 0x08:
        default_duration = struct.unpack(">I", tfhd[at:at + 4])[0]
        at += 4
    if tf_flags & 0x10:
        default_size = struct.unpack(">I", tfhd[at:at + 4])[0]
        at += 4
    if tf_flags & 0x20:
        default_flags = struct.unpack(">I", tfhd[at:at + 4])[0]
    decode = struct.unpack(">Q", tfdt[12:20])[0] if tfdt[8] == 1 else struct.unpack(">I", tfdt[12:16])[0]
    tr_flags = struct.unpack(">I", trun[8:12])[0] & 0xFFFFFF
    count = struct.unpack(">I", trun[12:16])[0]
    at = 16
    offset = 0
    if tr_flags & 0x001:
        offset = struct.unpack(">i", trun[at:at + 4])[0]
        at += 4
    first_flags = None
    if tr_flags & 0x004:
        first_flags = struct.unpack(">I", trun[at:at + 4])[0]
        at += 4
    position = moof_at + offset
    for index in range(count):
        values = {"duration": default_duration, "size": default_size, "flags": default_flags, "cts": 0}
        for bit, name in ((0x100, "duration"), (0x200, "size"), (0x400, "flags"), (0x800, "cts")):
            if tr_flags & bit:
                values[name] = struct.unpack(">I", trun[at:at + 4])[0]
                at += 4
        if index == 0 and first_flags is not None:
            values["flags"] = first_flags
        duration, size, flags = values["duration"], values["size"], values["flags"]
        yield decode, data[position:position + size], flags
        position += size
        decode += duration


def read_track(path: Path, kind: str, codec: str) -> Track:
    data = path.read_bytes()
    moov = child(data, "moov")
    timescale = struct.unpack(">I", child(moov[8:], "trak/mdia/mdhd")[20:24])[0]
    stsd = child(moov[8:], "trak/mdia/minf/stbl/stsd")
    entry = stsd[16:16 + struct.unpack(">I", stsd[16:20])[0]]
    if codec == "H265":
        # go2rtc always names the sample entry hev1, while the MIME type says hvc1.
        entry = entry[:4] + b"hev1" + entry[8:]
    track = Track(kind, codec, VIDEO_CLOCK if kind == "video" else timescale, entry)
    if kind == "video":
        track.width, track.height = struct.unpack(">HH", entry[32:36])
    for decode, sample, flags in fragment_samples(data):
        key = kind == "audio" or not flags & 0x10000
        track.samples.append(Sample(decode / timescale, sample, key))
    return track


@dataclass
class Camera:
    """The live tracks of one camera and its on-air schedule."""
    name: str
    video: Track
    audio: Optional[Track]
    period: float
    schedule: list = field(default_factory=list)   # (loop time, track, sample), in time order

    def __post_init__(self):
        first = self.video.samples[0].time
        for number, sample in enumerate(self.video.samples):
            sample.time -= first
            sample.frame = number
        for sample in self.audio.samples if self.audio else []:
            # The encoder's priming frame sits just before the first picture: it goes on air at
            # the end of the previous loop.
            sample.time = (sample.time - first) % self.period
        tracks = [self.video] + ([self.audio] if self.audio else [])
        self.schedule = sorted(((s.time, t, s) for t in tracks for s in t.samples), key=lambda e: e[0])

    def on_air(self, since: float) -> Iterator[tuple]:
        """(wall time, track, sample) from the wall time `since` on, forever."""
        times = [entry[0] for entry in self.schedule]
        lap = int(since // self.period)
        at = bisect.bisect_left(times, since - lap * self.period)
        while True:
            for loop_time, track, sample in self.schedule[at:]:
                yield lap * self.period + loop_time, track, sample
            lap += 1
            at = 0


# ---------------------------------------------------------------------------------------------
# Preparation: remux each camera's loop once, shared by every server using the cache


def remux_arguments(source: Path, kind: str, output: Path) -> list:
    """One track copied into one-sample fragments; "h264" re-encodes the picture as go2rtc's
    ffmpeg:<stream>#video=h264 source does, with the loop's key frame every second."""
    args = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", str(source)]
    if kind == "h264":
        gop = str(media.FPS * media.GOP_SECONDS)
        args += ["-map", "0:v", "-c:v", "libx264", "-preset", "ultrafast", "-g", gop, "-keyint_min", gop,
                 "-sc_threshold", "0", "-pix_fmt", "yuv420p"]
    else:
        args += ["-map", "0:v" if kind == "video" else "0:a", "-c", "copy"]
    return args + ["-movflags", "frag_every_frame+empty_moov+default_base_moof", "-f", "mp4", str(output)]


def audio_with_config(source: Path, work: Path) -> Path:
    """ADTS audio from MPEG-TS gets its AudioSpecificConfig from the bitstream filter only with the first
    packet, too late for an empty moov: a plain MP4 in between carries it into the fragmented file."""
    if source.suffix != ".ts":
        return source
    plain = work / "audio-plain.mp4"
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", str(source), "-map", "0:a",
                    "-c", "copy", "-bsf:a", "aac_adtstoasc", str(plain)], check=True)
    return plain


def remux_now(source: Path, kinds: list, directory: Path):
    directory.parent.mkdir(parents=True, exist_ok=True)
    with open(directory.parent / f"{directory.name}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if (directory / "done").exists():
            return
        work = Path(tempfile.mkdtemp(prefix=f".{directory.name}-", dir=directory.parent))
        try:
            for kind in kinds:
                origin = audio_with_config(source, work) if kind == "audio" else source
                name = "video" if kind == "h264" else kind
                subprocess.run(remux_arguments(origin, kind, work / f"{name}.mp4"), check=True)
            (work / "done").write_text("ok")
            work.rename(directory)
        finally:
            shutil.rmtree(work, ignore_errors=True)


class Cameras:
    """Live tracks by camera, prepared on first use: its own streams ("main"), and the H.264 picture
    without sound of an ffmpeg:<stream>#video=h264 source ("h264")."""

    def __init__(self, scene, cache_dir: Path):
        self.scene = scene
        self.cache_dir = Path(cache_dir)
        self.cameras = {}
        self.locks = {}

    async def camera(self, name: str, variant: str = "main") -> Camera:
        wanted = (name, variant)
        if wanted in self.cameras:
            return self.cameras[wanted]
        async with self.locks.setdefault(wanted, asyncio.Lock()):
            if wanted not in self.cameras:
                self.cameras[wanted] = await self._prepare(name, variant)
        return self.cameras[wanted]

    async def files(self, name: str, variant: str) -> tuple:
        """(directory of the remuxed tracks, video codec, with sound), made when missing."""
        setup = self.scene.CAMERAS[name]
        key = media.cache_key(self.scene, name, setup)
        recordings = self.cache_dir / f"recordings-{name}-{key}"
        await media.generate_loop(name, recordings)
        hevc = setup["codec"] == "hevc"
        source = recordings / ("loop.mp4" if hevc else "loop.ts")
        audio = name not in media.VIDEO_ONLY and variant == "main"
        transcode = hevc and variant == "h264"
        kinds = ["h264" if transcode else "video"] + (["audio"] if audio else [])
        directory = self.cache_dir / f"live-{name}-{key}-{'-'.join(kinds)}-{LIVE_REVISION}"
        if not (directory / "done").exists():
            await asyncio.to_thread(remux_now, source, kinds, directory)
        return directory, "H265" if hevc and not transcode else "H264", audio

    async def _prepare(self, name: str, variant: str) -> Camera:
        directory, codec, audio = await self.files(name, variant)
        video = read_track(directory / "video.mp4", "video", codec)
        sound = read_track(directory / "audio.mp4", "audio", "AAC") if audio else None
        return Camera(name, video, sound, float(self.scene.LOOP_SECONDS))


# ---------------------------------------------------------------------------------------------
# Boxes as go2rtc writes them


MATRIX = struct.pack(">9I", 0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000)


def init_segment(tracks: List[Track]) -> bytes:
    ftyp = box("ftyp", b"iso5", struct.pack(">I", 512), b"iso5iso6mp41")
    mvhd = full_box("mvhd", 0, 0, struct.pack(">IIII", 0, 0, 1000, 0), struct.pack(">IH", 0x10000, 0x100),
                    bytes(10), MATRIX, bytes(24), struct.pack(">I", 0xFFFFFFFF))
    traks = [trak(number, track) for number, track in enumerate(tracks, start=1)]
    trexs = [full_box("trex", 0, 0, struct.pack(">IIIII", number, 1, 0, 0, 0))
             for number in range(1, len(tracks) + 1)]
    return ftyp + box("moov", mvhd, *traks, box("mvex", *trexs))


def trak(number: int, track: Track) -> bytes:
    video = track.kind == "video"
    tkhd = full_box("tkhd", 0, 3, struct.pack(">IIIII", 0, 0, number, 0, 0), bytes(8),
                    struct.pack(">HHHH", 0, 0 if video else 1, 0 if video else 0x100, 0), MATRIX,
                    struct.pack(">II", track.width << 16, track.height << 16))
    mdhd = full_box("mdhd", 0, 0, struct.pack(">IIIIHH", 0, 0, track.timescale, 0, 0x55C4, 0))
    handler = b"vide" if video else b"soun"
    name = b"VideoHandler\0" if video else b"SoundHandler\0"
    hdlr = full_box("hdlr", 0, 0, bytes(4), handler, bytes(12), name)
    header = full_box("vmhd", 0, 1, bytes(8)) if video else full_box("smhd", 0, 0, bytes(4))
    dinf = box("dinf", full_box("dref", 0, 0, struct.pack(">I", 1), full_box("url ", 0, 1)))
    stbl = box("stbl", full_box("stsd", 0, 0, struct.pack(">I", 1), track.entry),
               full_box("stts", 0, 0, bytes(4)), full_box("stsc", 0, 0, bytes(4)),
               full_box("stsz", 0, 0, bytes(8)), full_box("stco", 0, 0, bytes(4)))
    return box("trak", tkhd, box("mdia", mdhd, hdlr, box("minf", header, dinf, stbl)))


def fragment(sequence: int, track_id: int, duration: int, flags: int, decode_time: int, data: bytes,
             cts: int = 0) -> bytes:
    tfhd = full_box("tfhd", 0, 0x020038, struct.pack(">IIII", track_id, duration, len(data), flags))
    tfdt = full_box("tfdt", 1, 0, struct.pack(">Q", decode_time))
    trun_size = 20 + (4 if cts else 0)
    moof_size = 8 + 16 + 8 + len(tfhd) + len(tfdt) + trun_size
    offset = struct.pack(">I", moof_size + 8)
    trun = (full_box("trun", 0, 0x801, struct.pack(">I", 1), offset, struct.pack(">I", cts)) if cts
            else full_box("trun", 0, 0x001, struct.pack(">I", 1), offset))
    moof = box("moof", full_box("mfhd", 0, 0, struct.pack(">I", sequence)), box("traf", tfhd, tfdt, trun))
    return moof + box("mdat", data)


class TrackClock:
    """go2rtc's timing of one consumer track: decode times start at 0; a sample's duration is the
    time since the previous one, and the first one (or one after a gap over a second) lasts
    clock/1000 + 1 ticks. AAC samples always last 1024 ticks."""

    def __init__(self, track: Track):
        self.rate = track.timescale
        self.fixed = 1024 if track.codec == "AAC" else None
        self.previous = None
        self.first = None
        self.decode = 0

    def next(self, timestamp: int) -> tuple:
        if self.fixed:
            # A real camera's audio is continuous, so go2rtc's count of 1024-tick samples is its
            # elapsed time; the loop's wrap leaves a few frames out, so count time instead.
            self.first = timestamp if self.first is None else self.first
            return timestamp - self.first, self.fixed
        duration = None if self.previous is None else timestamp - self.previous
        self.previous = timestamp
        if not duration or duration > self.rate:
            duration = self.rate // 1000 + 1
            self.previous += duration
        decode = self.decode
        self.decode += duration
        return decode, duration
