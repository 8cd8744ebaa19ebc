"""The self-signed certificate nginx presents, made with the openssl command line like Frigate's
default one, and swapped in place so that new handshakes see a new certificate."""
import asyncio
import hashlib
import os
import ssl
import subprocess
from pathlib import Path

SUBJECT = "/O=FRIGATE DEFAULT CERT/CN=*"
SAN = "subjectAltName=IP:127.0.0.1,DNS:localhost"


def _openssl_args(key: Path, cert: Path) -> list:
    return ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "365", "-subj", SUBJECT,
            "-addext", SAN, "-keyout", str(key), "-out", str(cert)]


class CertificateStore:
    def __init__(self, directory: Path):
        self.dir = directory
        self.dir.mkdir(parents=True, exist_ok=True)
        self.cert = self.dir / "cert.pem"
        self.key = self.dir / "key.pem"
        if not (self.cert.exists() and self.key.exists()):
            subprocess.run(_openssl_args(self.key, self.cert), check=True, capture_output=True)
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.minimum_version = ssl.TLSVersion.TLSv1_3
        # Without tickets a returning client cannot resume a session made with an older certificate.
        self.context.num_tickets = 0
        self.context.load_cert_chain(self.cert, self.key)

    def fingerprint(self) -> str:
        der = ssl.PEM_cert_to_DER_cert(self.cert.read_text())
        return hashlib.sha256(der).hexdigest()

    async def renew(self) -> str:
        """A new key and certificate in the directory, loaded for every handshake from now on."""
        suffix = f".{os.getpid()}.new"
        key, cert = self.key.with_name("key" + suffix), self.cert.with_name("cert" + suffix)
        process = await asyncio.create_subprocess_exec(*_openssl_args(key, cert), stdout=asyncio.subprocess.DEVNULL,
                                                       stderr=asyncio.subprocess.PIPE)
        _, err = await process.communicate()
        if process.returncode != 0:
            raise RuntimeError(f"openssl failed: {err.decode(errors='replace')}")
        key.replace(self.key)
        cert.replace(self.cert)
        self.context.load_cert_chain(self.cert, self.key)
        return self.fingerprint()
