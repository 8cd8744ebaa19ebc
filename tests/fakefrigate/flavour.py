"""What differs between the Frigate releases the fake can imitate (0.14 Flask, 0.15/0.16 FastAPI)."""

VERSIONS = ("0.14", "0.15", "0.16")

RELEASE_TEXT = {"0.14": "0.14.1-f4f3cfa", "0.15": "0.15.2-3bda638", "0.16": "0.16.4-4131252"}


class Flavour:
    def __init__(self, version: str):
        if version not in VERSIONS:
            raise ValueError(f"unsupported version {version}")
        self.version = version
        self.minor = int(version.split(".")[1])

    @property
    def flask(self) -> bool:
        return self.minor == 14

    @property
    def release_text(self) -> str:
        return RELEASE_TEXT[self.version]

    @property
    def release_number(self) -> str:
        return self.release_text.split("-")[0]

    @property
    def per_user_reviews(self) -> bool:
        return self.minor >= 16

    @property
    def login_failure_status(self) -> int:
        return 400 if self.flask else 401

    @property
    def height_param(self) -> str:
        return "h" if self.flask else "height"

    @property
    def version_content_type(self) -> str:
        return "text/html; charset=utf-8" if self.flask else "text/plain; charset=utf-8"

    @property
    def overlap_review_window(self) -> bool:
        return self.minor >= 16

    @property
    def csrf_exempt_methods(self) -> frozenset:
        # 0.14's exemption branch is a no-op, so every method is checked there.
        return frozenset() if self.flask else frozenset({"GET", "HEAD", "OPTIONS", "TRACE"})
