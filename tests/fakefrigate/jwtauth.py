"""HS256 JWTs and the frigate_token cookie, with the auth decision nginx asks the API for."""
import base64
import email.utils
import hashlib
import hmac
import json
import secrets
from dataclasses import dataclass
from typing import Optional

COOKIE_NAME = "frigate_token"


def _b64(data: bytes) -> str:
    return base64.urlsafe_b64encode(data).rstrip(b"=").decode("ascii")


def _unb64(text: str) -> bytes:
    return base64.urlsafe_b64decode(text + "=" * (-len(text) % 4))


def _compact(obj) -> bytes:
    return json.dumps(obj, separators=(",", ":")).encode("utf-8")


class Signer:
    def __init__(self, secret: Optional[bytes] = None):
        self.secret = secret or secrets.token_hex(64).encode("ascii")

    def sign(self, claims: dict) -> str:
        head = _b64(_compact({"alg": "HS256", "typ": "JWT"})) + "." + _b64(_compact(claims))
        mac = hmac.new(self.secret, head.encode("ascii"), hashlib.sha256).digest()
        return head + "." + _b64(mac)

    def verify(self, token: str) -> Optional[dict]:
        """The claims of a well-formed, correctly signed HS256 token (expiry not checked here)."""
        parts = token.split(".")
        if len(parts) != 3:
            return None
        try:
            header = json.loads(_unb64(parts[0]))
            claims = json.loads(_unb64(parts[1]))
            signature = _unb64(parts[2])
        except (ValueError, UnicodeDecodeError):
            return None
        if not isinstance(header, dict) or header.get("alg") != "HS256" or not isinstance(claims, dict):
            return None
        expected = hmac.new(self.secret, (parts[0] + "." + parts[1]).encode("ascii"), hashlib.sha256).digest()
        return claims if hmac.compare_digest(expected, signature) else None


@dataclass
class Identity:
    user: Optional[str]       # None on 0.14/0.15 when nginx forwards no user (auth off)
    role: str
    refreshed_cookie: Optional[str] = None


def claims_for(user: str, role: str, expires: int, with_role: bool) -> dict:
    claims = {"sub": user}
    if with_role:
        claims["role"] = role
    claims["exp"] = expires
    return claims


def set_cookie_header(token: str, expires: int, now: float, flask: bool) -> str:
    if flask:
        return f"{COOKIE_NAME}={token}; Expires={email.utils.formatdate(expires, usegmt=True)}; HttpOnly; Path=/"
    # Starlette hands the epoch to SimpleCookie, which reads an integer as "seconds from now".
    far = email.utils.formatdate(now + expires, usegmt=True)
    return f"{COOKIE_NAME}={token}; expires={far}; HttpOnly; Path=/; SameSite=lax"


def delete_cookie_header(flask: bool) -> str:
    epoch = "Thu, 01 Jan 1970 00:00:00 GMT"
    if flask:
        return f"{COOKIE_NAME}=; Expires={epoch}; Max-Age=0; Path=/"
    return f'{COOKIE_NAME}=""; expires={epoch}; Max-Age=0; Path=/; SameSite=lax'


def bearer_token(authorization: Optional[str]) -> Optional[str]:
    if authorization is None or not authorization.startswith("Bearer "):
        return None
    return authorization[len("Bearer "):]
