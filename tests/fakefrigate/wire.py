"""Bodies as the real server stack writes them: compact JSON (sorted on Flask), nginx and Flask HTML
error pages, and the error exception the handlers raise."""
import json

from aiohttp import web

NGINX_401 = (b"<html>\r\n<head><title>401 Authorization Required</title></head>\r\n<body>\r\n"
             b"<center><h1>401 Authorization Required</h1></center>\r\n<hr><center>nginx</center>\r\n"
             b"</body>\r\n</html>\r\n")
NGINX_404 = (b"<html>\r\n<head><title>404 Not Found</title></head>\r\n<body>\r\n"
             b"<center><h1>404 Not Found</h1></center>\r\n<hr><center>nginx</center>\r\n</body>\r\n</html>\r\n")
FLASK_404 = (b"<!doctype html>\n<html lang=en>\n<title>404 Not Found</title>\n<h1>Not Found</h1>\n"
             b"<p>The requested URL was not found on the server. If you entered the URL manually please "
             b"check your spelling and try again.</p>\n")
FLASK_405 = (b"<!doctype html>\n<html lang=en>\n<title>405 Method Not Allowed</title>\n"
             b"<h1>Method Not Allowed</h1>\n<p>The method is not allowed for the requested URL.</p>\n")
FLASK_500 = (b"<!doctype html>\n<html lang=en>\n<title>500 Internal Server Error</title>\n"
             b"<h1>Internal Server Error</h1>\n<p>The server encountered an internal error and was unable "
             b"to complete your request. Either the server is overloaded or there is an error in the "
             b"application.</p>\n")
WERKZEUG_429 = (b"<!doctype html>\n<html lang=en>\n<title>429 Too Many Requests</title>\n"
                b"<h1>Too Many Requests</h1>\n<p>1 per 1 second</p>\n")

HTML = "text/html; charset=utf-8"
NO_CONTENT_TYPE = "no_content_type"
JSON = "application/json"


def dumps(payload, flavour) -> bytes:
    return json.dumps(payload, separators=(",", ":"), sort_keys=flavour.flask,
                      ensure_ascii=flavour.flask).encode("utf-8")


def raw(body: bytes, status: int = 200, content_type: str = None, headers=None) -> web.Response:
    response = web.Response(body=body, status=status, headers=headers)
    if content_type:
        response.headers["Content-Type"] = content_type
    else:
        # aiohttp would default to application/octet-stream; the hook run before sending drops it.
        response[NO_CONTENT_TYPE] = True
    return response


def json_response(payload, flavour, status: int = 200) -> web.Response:
    return raw(dumps(payload, flavour), status, JSON)


class ApiError(Exception):
    """Raised by a handler to answer with an error exactly as the server would."""

    def __init__(self, status: int, body: bytes, content_type: str = JSON):
        super().__init__(status)
        self.status = status
        self.body = body
        self.content_type = content_type

    @classmethod
    def json(cls, status: int, payload, flavour):
        return cls(status, dumps(payload, flavour))

    @classmethod
    def message(cls, status: int, message: str, flavour):
        return cls.json(status, {"success": False, "message": message}, flavour)

    @classmethod
    def validation(cls, flavour, kind: str, where: list, msg: str, value):
        """FastAPI's 422; Flask releases never validate, so callers only raise it on 0.15+."""
        detail = [{"type": kind, "loc": where, "msg": msg, "input": value}]
        return cls.json(422, {"detail": detail}, flavour)

    @classmethod
    def internal(cls, flavour):
        if flavour.flask:
            return cls(500, FLASK_500, HTML)
        return cls(500, b"Internal Server Error", "text/plain; charset=utf-8")

    @classmethod
    def not_found_route(cls, flavour):
        if flavour.flask:
            return cls(404, FLASK_404, HTML)
        return cls.json(404, {"detail": "Not Found"}, flavour)

    def response(self) -> web.Response:
        return raw(self.body, self.status, self.content_type)
