#!/usr/bin/env python3
"""Tidewire.exe under Wine against https feeds, judged from outside.

A local certificate authority is added to the host's trust store, which Wine's crypt32 reads
(the file is copied aside with cp -p first and put back when the script ends, also on failure
or a signal; a lock keeps two runs from interleaving). TLS fronts (tests/support/tls_front.py)
pass each connection on to one loopback server, each with its own certificate:

1. trusted (signed by the local authority, for 127.0.0.1): the feed's items show;
2. self-signed, 3. expired (signed by the authority), 4. for another host (signed by the
   authority): the ticker shows the certificate failure line, never the feed's items;
5. an https feed that redirects to plain http: the ticker shows the refusal, and the http server
   sees no request.

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 tls_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
Needs python3's cryptography package (Debian's python3-cryptography).
"""
import contextlib
import datetime
import fcntl
import ipaddress
import os
import shutil
import signal
import ssl
import subprocess
import sys
import tempfile

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.x509.oid import NameOID

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import tls_front  # noqa: E402
from e2e_support import (Server, check, running, setup_with_probe, verdict, wait_for,  # noqa: E402
                         write_single_feed_config)

STORE = "/etc/ssl/certs/ca-certificates.crt"
CERT_TEXT = "Cannot retrieve the feed: its certificate was refused (not trusted, expired or for another host)"
REFUSAL = "refused: the feed redirected from a secure to an insecure address"
LOOPBACK = [x509.IPAddress(ipaddress.ip_address("127.0.0.1")), x509.DNSName("127.0.0.1"), x509.DNSName("localhost")]
FEED = ("<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Secure</title><link>https://127.0.0.1/</link>"
        "<item><title>Secure one</title></item><item><title>Secure two</title></item></channel></rss>").encode()


def certificate(name, alt_names, key, issuer=None, days=(-1, 2), authority=False):
    """A certificate for `key`, signed by `issuer` ((certificate, key)) or by itself."""
    now = datetime.datetime.now(datetime.timezone.utc)
    subject = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, name)])
    builder = (x509.CertificateBuilder().subject_name(subject)
               .issuer_name(issuer[0].subject if issuer else subject)
               .public_key(key.public_key()).serial_number(x509.random_serial_number())
               .not_valid_before(now + datetime.timedelta(days=days[0]))
               .not_valid_after(now + datetime.timedelta(days=days[1]))
               .add_extension(x509.BasicConstraints(ca=authority, path_length=None), critical=True))
    if alt_names:
        builder = builder.add_extension(x509.SubjectAlternativeName(alt_names), critical=False)
    return builder.sign(issuer[1] if issuer else key, hashes.SHA256())


def new_key():
    return rsa.generate_private_key(public_exponent=65537, key_size=2048)


def pem(cert):
    return cert.public_bytes(serialization.Encoding.PEM)


def server_context(folder, name, cert, key, chain=()):
    path = os.path.join(folder, name + ".pem")
    with open(path, "wb") as f:
        f.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.TraditionalOpenSSL,
                                  serialization.NoEncryption()))
        f.write(pem(cert) + b"".join(pem(c) for c in chain))
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(path)
    return context


@contextlib.contextmanager
def trusting(authority):
    """The host's trust store with `authority` added, put back as it was however the block ends."""
    with open("/tmp/tidewire-trust-store.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        backup = STORE + ".tidewire-backup"
        subprocess.run(["cp", "-p", STORE, backup], check=True)
        previous = signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
        try:
            with open(STORE, "ab") as f:
                f.write(b"\n" + pem(authority))
            yield
        finally:
            subprocess.run(["cp", "-p", backup, STORE], check=True)
            os.remove(backup)
            signal.signal(signal.SIGTERM, previous)


def shows(exe, work, probe, server, url, want, label):
    """Starts the program on `url` alone; whether `want` text showed within 30 s, and every text seen."""
    write_single_feed_config(work, url)
    seen = set()
    with running(exe, server, keep_server=True, label=label):
        found = wait_for(probe, lambda texts: want in texts, 30, seen)
    return found is not None, seen


def main():
    ready = setup_with_probe()
    if ready is None:
        return 2
    work, exe, probe = ready
    folder = tempfile.mkdtemp(prefix="tw-tls-e2e-")
    authority_key = new_key()
    authority = certificate("Tidewire test authority", None, authority_key, days=(-1, 3), authority=True)
    signed = (authority, authority_key)
    key = new_key()
    contexts = {
        "trusted": server_context(folder, "trusted", certificate("127.0.0.1", LOOPBACK, key, signed), key, [authority]),
        "self-signed": server_context(folder, "self", certificate("127.0.0.1", LOOPBACK, key), key),
        "expired": server_context(folder, "expired", certificate("127.0.0.1", LOOPBACK, key, signed, (-10, -5)), key,
                                  [authority]),
        "wrong host": server_context(folder, "other", certificate("other.example", [x509.DNSName("other.example")],
                                                                  key, signed), key, [authority]),
    }
    plain = Server({"/feed.xml": FEED})
    server = Server({"/feed.xml": FEED})
    plain.start()
    server.start()
    server.scripts["/hop.xml"] = lambda headers: (301, [("Location", plain.url("/feed.xml"))], b"")
    fronts = {name: tls_front.start_front(context, server.port) for name, context in contexts.items()}
    url = lambda name, path="/feed.xml": "https://127.0.0.1:%d%s" % (fronts[name][0], path)  # noqa: E731
    try:
        with trusting(authority):
            ok, seen = shows(exe, work, probe, server, url("trusted"), "1/2    Secure one", "trusted")
            check(ok, "a feed with a trusted certificate shows its items (%s)" % sorted(seen))
            for name in ("self-signed", "expired", "wrong host"):
                ok, seen = shows(exe, work, probe, server, url(name), CERT_TEXT, name)
                check(ok, "a %s certificate shows the certificate failure (%s)" % (name, sorted(seen)))
                check(not any("Secure" in t for t in seen), "... and never the feed's items")
            ok, seen = shows(exe, work, probe, server, url("trusted", "/hop.xml"), REFUSAL, "redirect")
            check(ok, "an https feed redirecting to http shows the refusal (%s)" % sorted(seen))
            check(not plain.headers_of("/feed.xml"), "... and the http server saw no request")
    finally:
        for _, stop_front in fronts.values():
            stop_front()
        server.stop()
        plain.stop()
        shutil.rmtree(folder, ignore_errors=True)
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
