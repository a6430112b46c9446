#!/usr/bin/env python3
"""A local HTTP server for the web-transfer tests.

Bound to 127.0.0.1 on a free port. It writes the port to <dir>/port and one
JSON line per request to <dir>/requests.jsonl (method, path, range,
authorization, user_agent, client_port, listener), so that tests can check
what was sent. Started in the background for CTest as a fixture:

  http_server.py start <dir> [--root FOLDER]   # returns once the port is known
  http_server.py stop <dir>                    # ends the server started there
  http_server.py serve <dir> [--root FOLDER]   # in the foreground

Routes (n: the size of a deterministic body, byte i = (i * 7 + i // 251) % 256):
  /data/<n>             Range honoured (206, 416 past the end), Last-Modified
  /norange/<n>?at=K     Range ignored (200 with the whole body); cut at K when given
  /cut/<n>?at=K         a response starting before K closes the connection at K
  /alwayscut/<n>?at=K   every response closes at absolute position K
  /wrong206/<n>?at=K    cut at K; a Range is answered with a 206 from another offset
  /stall/<n>?at=K       an unranged response sends K bytes, then nothing for 60 s
  /hang                 never answers
  /auth/<n>             401 (Basic) unless the credentials are alice:s3cret
  /proxyauth            407 (Basic)
  /redirect?to=URL      302 to URL
  /status/<code>        that status
  /files/<path>         the file under the root folder (Range honoured); 404 else
Any route takes a ?t=<tag> that only marks its requests in the log.

With openssl on the PATH, the same routes are also served over TLS, on
127.0.0.1 but addressed as https://localhost:P (IP addresses in a
certificate are not matched by every client):
  <dir>/https_port       a leaf for DNS:localhost from a test CA made at start
                         (<dir>/tls/ca.der, valid for localhost only, two days)
  <dir>/selfsigned_port  a self-signed leaf for DNS:localhost
Each connection to these listeners is logged as {"event": "connect",
"listener": ...}, since a client that refuses the certificate sends no
request. No key is kept anywhere but <dir>/tls.
"""
import base64
import json
import os
import shutil
import signal
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse
from email.utils import formatdate
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

LOG_LOCK = threading.Lock()
STOP = threading.Event()
LAST_MODIFIED = formatdate(1262304000, usegmt=True)  # 2010-01-01
GOOD_AUTH = "Basic " + base64.b64encode(b"alice:s3cret").decode()
# The test CA's subject; the prefix helper removes every root of this name.
CA_SUBJECT = "/O=kx tests/CN=kx local test root"


def write_log(path, entry):
    with LOG_LOCK, open(path, "a", encoding="utf-8") as f:
        f.write(json.dumps(entry) + "\n")


def body_bytes(n, start=0, end=None):
    end = n if end is None else end
    return bytes(((i * 7 + i // 251) % 256) for i in range(start, end))


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "kxtest/1"

    def log_message(self, *args):
        pass

    def record(self):
        entry = {
            "method": self.command,
            "path": self.path,
            "range": self.headers.get("Range"),
            "authorization": self.headers.get("Authorization"),
            "user_agent": self.headers.get("User-Agent"),
            "client_port": self.client_address[1],
            # Servers that other test scripts build on this handler have
            # no listener name.
            "listener": getattr(self.server, "listener", "http"),
        }
        write_log(self.server.log_path, entry)

    def parse_range(self, size):
        """(start, end) asked for, None for the whole body, or 'bad'."""
        value = self.headers.get("Range")
        if not value or not value.startswith("bytes="):
            return None
        first, _, last = value[6:].partition("-")
        try:
            if first == "":
                return (max(0, size - int(last)), size)
            start = int(first)
            end = int(last) + 1 if last else size
        except ValueError:
            return "bad"
        if start >= size:
            return "bad"
        return (start, min(end, size))

    def head_lines(self, status, length, extra=()):
        self.send_response(status)
        self.send_header("Content-Length", str(length))
        self.send_header("Last-Modified", LAST_MODIFIED)
        self.send_header("Content-Type", "application/octet-stream")
        for k, v in extra:
            self.send_header(k, v)
        self.end_headers()

    def simple(self, status, text="", extra=()):
        data = text.encode()
        self.send_response(status)
        self.send_header("Content-Length", str(len(data)))
        for k, v in extra:
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(data)

    def send_body(self, data_of, size, honour_range=True, cut_at=None, stall_at=None,
                  wrong_offset=False, cut_always=False):
        r = self.parse_range(size) if honour_range else None
        if r == "bad":
            self.simple(416, "", [("Content-Range", f"bytes */{size}")])
            return
        start, end = (0, size) if r is None else r
        if r is not None and wrong_offset:
            start = max(0, start - 1)
        if r is None:
            self.head_lines(200, size, [("Accept-Ranges", "bytes")])
        else:
            self.head_lines(206, end - start,
                            [("Content-Range", f"bytes {start}-{end - 1}/{size}")])
        stop = end
        if cut_at is not None and (start < cut_at or cut_always) and start <= cut_at < end:
            stop = cut_at
        if stall_at is not None and r is None and stall_at < end:
            stop = stall_at
        pos = start
        while pos < stop:
            chunk = min(65536, stop - pos)
            self.wfile.write(data_of(pos, pos + chunk))
            pos += chunk
        self.wfile.flush()
        if stall_at is not None and stop < end:
            STOP.wait(60)
        if stop < end:
            self.close_connection = True
            try:
                self.connection.shutdown(2)
            except OSError:
                pass

    def do_GET(self):
        self.record()
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        parts = [urllib.parse.unquote(p) for p in url.path.split("/") if p]
        at = int(query["at"][0]) if "at" in query else None
        route = parts[0] if parts else ""
        try:
            size = int(parts[1]) if len(parts) > 1 and route != "files" else 0
        except ValueError:
            self.simple(404, "bad size")
            return
        gen = lambda a, b: body_bytes(size, a, b)
        if route == "data":
            self.send_body(gen, size)
        elif route == "norange":
            cut = at if self.headers.get("Range") is None else None
            self.send_body(gen, size, honour_range=False, cut_at=cut)
        elif route == "cut":
            self.send_body(gen, size, cut_at=at)
        elif route == "alwayscut":
            self.send_body(gen, size, cut_at=at, cut_always=True)
        elif route == "wrong206":
            self.send_body(gen, size, cut_at=at, wrong_offset=True)
        elif route == "stall":
            self.send_body(gen, size, stall_at=at)
        elif route == "hang":
            STOP.wait(60)
            self.close_connection = True
        elif route == "auth":
            if self.headers.get("Authorization") != GOOD_AUTH:
                self.simple(401, "login", [("WWW-Authenticate", 'Basic realm="kx"')])
            else:
                self.send_body(gen, size)
        elif route == "proxyauth":
            self.simple(407, "proxy login", [("Proxy-Authenticate", 'Basic realm="kx"')])
        elif route == "redirect":
            self.simple(302, "", [("Location", query.get("to", ["/"])[0])])
        elif route == "status":
            self.simple(int(parts[1]) if len(parts) > 1 else 500, "status")
        elif route == "files":
            self.serve_file(parts[1:])
        else:
            self.simple(404, "not found")

    def serve_file(self, parts):
        root = os.path.realpath(self.server.root)
        path = os.path.realpath(os.path.join(root, *parts)) if parts else root
        if not path.startswith(root + os.sep) or not os.path.isfile(path):
            self.simple(404, "not found")
            return
        size = os.path.getsize(path)

        def data_of(a, b):
            with open(path, "rb") as f:
                f.seek(a)
                return f.read(b - a)

        self.send_body(data_of, size)


class TlsServer(ThreadingHTTPServer):
    """The handshake runs on the connection's own thread, so that a client
    that stalls or refuses the certificate holds up nobody else."""

    def finish_request(self, request, client_address):
        write_log(self.log_path, {"event": "connect", "listener": self.listener,
                                  "client_port": client_address[1]})
        request.settimeout(30)
        try:
            tls = self.tls_context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        # The handshake is bounded; what follows waits as on plain http.
        tls.settimeout(None)
        try:
            super().finish_request(tls, client_address)
        finally:
            try:
                tls.close()
            except OSError:
                pass

    def handle_error(self, request, client_address):
        pass


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_certificates(folder):
    """A CA that may vouch for localhost only, a leaf from it, a self-signed
    leaf; made fresh at every start, so no key outlives the test run."""
    tls = os.path.join(folder, "tls")
    shutil.rmtree(tls, ignore_errors=True)
    os.makedirs(tls)
    with open(os.path.join(tls, "leaf.ext"), "w") as f:
        f.write("basicConstraints=critical,CA:FALSE\n"
                "keyUsage=critical,digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\n"
                "subjectAltName=DNS:localhost\n")
    rsa = ["-newkey", "rsa:2048", "-nodes"]
    openssl("req", "-x509", *rsa, "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", CA_SUBJECT,
            "-addext", "basicConstraints=critical,CA:TRUE,pathlen:0",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign",
            "-addext", "nameConstraints=critical,permitted;DNS:localhost", cwd=tls)
    openssl("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der", cwd=tls)
    openssl("req", *rsa, "-keyout", "leaf.key", "-out", "leaf.csr", "-subj", "/CN=localhost",
            cwd=tls)
    openssl("x509", "-req", "-in", "leaf.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-days", "2", "-sha256", "-extfile", "leaf.ext",
            "-out", "leaf.pem", cwd=tls)
    openssl("req", "-x509", *rsa, "-keyout", "self.key", "-out", "self.pem", "-days", "2",
            "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost", cwd=tls)
    os.remove(os.path.join(tls, "ca.key"))
    return tls


def write_port(folder, name, port):
    tmp = os.path.join(folder, name + ".tmp")
    with open(tmp, "w") as f:
        f.write(str(port))
    os.replace(tmp, os.path.join(folder, name))


def make_server(cls, folder, root, listener):
    server = cls(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.log_path = os.path.join(folder, "requests.jsonl")
    server.root = root or os.path.join(folder, "files")
    server.listener = listener
    return server


def tls_servers(folder, root):
    """The https listeners (leaf file, port file name), or none without
    openssl."""
    if shutil.which("openssl") is None:
        print("openssl not found: no https listeners", file=sys.stderr)
        return []
    tls = make_certificates(folder)
    out = []
    for listener, cert, key, port_file in (("https", "leaf.pem", "leaf.key", "https_port"),
                                           ("selfsigned", "self.pem", "self.key",
                                            "selfsigned_port")):
        server = make_server(TlsServer, folder, root, listener)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(tls, cert), os.path.join(tls, key))
        server.tls_context = context
        out.append((server, port_file))
    return out


def serve(folder, root):
    os.makedirs(folder, exist_ok=True)
    for name in ("https_port", "selfsigned_port"):
        try:
            os.remove(os.path.join(folder, name))
        except OSError:
            pass
    server = make_server(ThreadingHTTPServer, folder, root, "http")
    open(server.log_path, "w").close()
    with open(os.path.join(folder, "pid"), "w") as f:
        f.write(str(os.getpid()))
    servers = [server]
    for extra, port_file in tls_servers(folder, root):
        servers.append(extra)
        threading.Thread(target=extra.serve_forever, kwargs={"poll_interval": 0.2},
                         daemon=True).start()
        write_port(folder, port_file, extra.server_address[1])
    # Last: the port file tells the starter that every listener is up.
    write_port(folder, "port", server.server_address[1])

    def stop(*_):
        STOP.set()
        for s in servers:
            threading.Thread(target=s.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    server.serve_forever(poll_interval=0.2)


def main(argv):
    if len(argv) < 3 or argv[1] not in ("start", "stop", "serve"):
        print(__doc__)
        return 2
    command, folder = argv[1], os.path.abspath(argv[2])
    root = argv[argv.index("--root") + 1] if "--root" in argv else None
    if command == "serve":
        serve(folder, root)
        return 0
    if command == "stop":
        try:
            with open(os.path.join(folder, "pid")) as f:
                os.kill(int(f.read()), signal.SIGTERM)
        except (OSError, ValueError):
            pass
        for name in ("pid", "port", "https_port", "selfsigned_port"):
            try:
                os.remove(os.path.join(folder, name))
            except OSError:
                pass
        return 0
    os.makedirs(folder, exist_ok=True)
    main_stop = [sys.executable, os.path.abspath(__file__), "stop", folder]
    subprocess.run(main_stop, check=False)
    args = [sys.executable, os.path.abspath(__file__), "serve", folder]
    if root:
        args += ["--root", root]
    with open(os.path.join(folder, "server.log"), "w") as log:
        subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                         start_new_session=True, close_fds=True)
    # Making the certificates takes a moment.
    for _ in range(400):
        if os.path.exists(os.path.join(folder, "port")):
            return 0
        time.sleep(0.05)
    print("the server did not start", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
