#!/usr/bin/env python3
"""A TLS front for the loopback HTTP test server.

Listens on 127.0.0.1 (a free port), takes TLS with a certificate it makes for itself, and passes
each connection's bytes on to the plain HTTP server at --backend-port, so an https test uses the
same scripted routes and request log as a plain one. A client that refuses the certificate ends
the handshake, and nothing reaches the backend.

The port goes to --port-file once it listens. It stops when "<port-file>.stop" appears, when the
process that started it ends, or after --lifetime seconds, and then removes its files.

  tls_front.py --backend-port 8080 --port-file /tmp/front.port [--names IP:127.0.0.1,DNS:localhost]
"""
import argparse
import os
import select
import shutil
import socket
import ssl
import subprocess
import tempfile
import threading
import time

# Wine matches host names against a certificate's DNS names only, so the loopback address is
# named both ways.
DEFAULT_NAMES = "IP:127.0.0.1,DNS:127.0.0.1,DNS:localhost"


def make_certificate(folder, names):
    key, cert = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
    first = names.split(",")[0].split(":", 1)[1]
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=" + first, "-addext", "subjectAltName=" + names],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


def pipe(a, b):
    """Copies bytes both ways until either side closes."""
    sockets = [a, b]
    try:
        while True:
            readable, _, _ = select.select(sockets, [], [], 1.0)
            for s in readable:
                data = s.recv(65536)
                if not data:
                    return
                (b if s is a else a).sendall(data)
            # A TLS socket may hold decrypted bytes that select cannot see.
            while isinstance(a, ssl.SSLSocket) and a.pending():
                b.sendall(a.recv(65536))
    except OSError:
        return
    finally:
        for s in sockets:
            try:
                s.close()
            except OSError:
                pass


def serve(raw, context, backend_port):
    try:
        raw.settimeout(10)
        tls = context.wrap_socket(raw, server_side=True)
        tls.settimeout(None)
    except (OSError, ssl.SSLError):
        raw.close()  # the client refused the certificate, or spoke no TLS
        return
    try:
        backend = socket.create_connection(("127.0.0.1", backend_port), timeout=10)
        backend.settimeout(None)
    except OSError:
        tls.close()
        return
    pipe(tls, backend)


def start_front(context, backend_port):
    """Listens on a free loopback port with `context` in a thread of its own, passing each
    connection on to the backend; (port, stop), where stop() ends the listener."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    stopping = threading.Event()

    def accept():
        while not stopping.is_set():
            readable, _, _ = select.select([listener], [], [], 0.2)
            if readable:
                raw, _ = listener.accept()
                threading.Thread(target=serve, args=(raw, context, backend_port), daemon=True).start()
        listener.close()

    thread = threading.Thread(target=accept, daemon=True)
    thread.start()

    def stop():
        stopping.set()
        thread.join(5)

    return listener.getsockname()[1], stop


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--backend-port", type=int, required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--names", default=DEFAULT_NAMES)
    parser.add_argument("--lifetime", type=float, default=300)
    args = parser.parse_args()

    folder = tempfile.mkdtemp(prefix="tw-tls-front-")
    stop_file = args.port_file + ".stop"
    parent = os.getppid()
    try:
        cert, key = make_certificate(folder, args.names)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        port, stop = start_front(context, args.backend_port)
        pending = args.port_file + ".new"
        with open(pending, "w") as f:
            f.write(str(port))
        os.replace(pending, args.port_file)
        end = time.monotonic() + args.lifetime
        while time.monotonic() < end and not os.path.exists(stop_file) and os.getppid() == parent:
            time.sleep(0.2)
        stop()
    finally:
        for path in (args.port_file, stop_file):
            try:
                os.remove(path)
            except OSError:
                pass
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
