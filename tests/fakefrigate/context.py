"""The one object every part of the fake shares: release flavour, run-time settings, the generated
history, review marks and the auth decision nginx would take."""
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Dict, Optional, Set

from aiohttp import web

import logtext
import scene
import stills
import world
from flavour import Flavour
from jwtauth import COOKIE_NAME, Identity, Signer, bearer_token, claims_for, set_cookie_header


@dataclass
class Settings:
    auth: bool = True
    json_cache: bool = True
    login_status: Optional[int] = None
    version_text: Optional[str] = None      # None: the release's own text
    session_length: int = 86400
    refresh_time: int = 43200
    users: Dict[str, str] = field(default_factory=lambda: {"admin": "secret"})
    offline: Set[str] = field(default_factory=set)     # cameras that send no frames


class FakeFrigate:
    def __init__(self, version: str, cache_dir: Path, seed: int, settings: Settings, tls: bool):
        self.flavour = Flavour(version)
        self.version = version
        self.settings = settings
        self.cache_dir = cache_dir
        self.scene = scene
        self.tls = tls
        self.signer = Signer()
        self.started = time.time()
        self.boot = self.started - 3 * 86400 - 4242
        self.world = world.World(self.started, seed)
        self.logs = logtext.Logs(self.started, seed, self.flavour.release_text)
        self.stills = stills.Stills(cache_dir)
        self._global_reviewed: Set[str] = set()
        self._user_reviewed: Dict[str, Set[str]] = {}
        # From 0.16 marks are per user: the configured user and port 5000's anonymous start alike.
        for user in (next(iter(settings.users), "admin"), "anonymous"):
            self._reviewed_for(user).update(self.world.initially_reviewed)

    @staticmethod
    def now() -> float:
        return time.time()

    @property
    def version_text(self) -> str:
        return self.flavour.release_text if self.settings.version_text is None else self.settings.version_text

    # -- authentication (nginx auth_request + the API's /auth) --

    def authenticate(self, request: web.Request) -> Optional[Identity]:
        if not self.settings.auth:
            if self.flavour.per_user_reviews:
                return Identity(user="anonymous", role="admin")
            return Identity(user=None, role="admin")
        header = request.headers.get("Authorization")
        token = bearer_token(header)
        from_cookie = token is None
        if from_cookie:
            token = request.cookies.get(COOKIE_NAME)
        if not token:
            return None
        claims = self.signer.verify(token)
        now = self.now()
        if not self._claims_valid(claims, now):
            return None
        identity = Identity(user=claims["sub"], role=claims.get("role", "admin"))
        if from_cookie and claims["exp"] - self.settings.refresh_time <= now:
            identity.refreshed_cookie = self.login_cookie(identity.user, identity.role)
        return identity

    def _claims_valid(self, claims: Optional[dict], now: float) -> bool:
        if claims is None or not isinstance(claims.get("sub"), str):
            return False
        if self.flavour.per_user_reviews and "role" not in claims:
            return False
        expires = claims.get("exp")
        return isinstance(expires, (int, float)) and expires > now

    def auth_ok(self, request: web.Request) -> bool:
        return self.authenticate(request) is not None

    def login_cookie(self, user: str, role: str = "admin") -> str:
        now = self.now()
        expires = int(now) + int(self.settings.session_length)
        token = self.signer.sign(claims_for(user, role, expires, self.flavour.per_user_reviews))
        return set_cookie_header(token, expires, now, self.flavour.flask)

    # -- review marks: one global column up to 0.15, per user from 0.16 --

    def _reviewed_for(self, user: Optional[str]) -> Set[str]:
        if not self.flavour.per_user_reviews:
            return self._global_reviewed
        return self._user_reviewed.setdefault(user or "anonymous", set())

    def is_reviewed(self, review_id: str, user: Optional[str]) -> bool:
        return review_id in self._reviewed_for(user)

    def mark_reviewed(self, ids, user: Optional[str]):
        known = {r.id for r in self.world.reviews}
        self._reviewed_for(user).update(i for i in ids if i in known)

    def unmark_reviewed(self, review_id: str, user: Optional[str]):
        self._reviewed_for(user).discard(review_id)

    def all_reviewed(self) -> Set[str]:
        marks = set(self._global_reviewed)
        for user_marks in self._user_reviewed.values():
            marks |= user_marks
        return marks

    def reviewed_by_user(self) -> Dict[str, list]:
        if not self.flavour.per_user_reviews:
            return {}
        return {user: sorted(marks) for user, marks in self._user_reviewed.items()}
