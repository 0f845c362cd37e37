#!/usr/bin/env python3
"""Loopback HTTP server for the download tests (127.0.0.1, ephemeral port).

  http_server.py              print "PORT n", serve until standard input ends
  http_server.py --daemon DIR serve in the background; DIR/port and DIR/pid
  http_server.py --stop DIR   end the background server of DIR
  http_server.py --tls CERT KEY   as the first form, but speaking https

Paths (the last path item may be any file name):
  /bytes/N[/name]     N bytes (byte i is i % 251), Content-Length, Last-Modified
  /nolength/N         N bytes without Content-Length, then the connection closes
  /short/N            announces 2*N bytes, sends N, then the connection closes
  /redirect/N         302 to /bytes/N
  /status/CODE        that status with a small HTML body
  /log, /clear        the "agent path" line of every request so far; forget them
  /file/PATH          the file at the absolute PATH of this machine (packages the
                      tests build), Content-Length, Last-Modified; 404 when absent
  anything else       404 with an HTML error page
"""
import http.server
import os
import signal
import ssl
import sys
import threading
import urllib.parse

LAST_MODIFIED = "Wed, 21 Oct 2015 07:28:00 GMT"
PAGE_404 = (b"<html><head><title>404 Not Found</title></head>"
            b"<body><h1>Not Found</h1></body></html>")
PATTERN = bytes(range(251)) * 1024

log_lock = threading.Lock()
log_lines = []


def body(n):
    out = bytearray()
    while len(out) < n:
        out += PATTERN
    return bytes(out[:n])


def count(item):
    try:
        return max(0, int(item))
    except ValueError:
        return 0


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send(self, code, data, length=True, headers=()):
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        if length:
            self.send_header("Content-Length", str(len(data)))
        else:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(data)

    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        items = [p for p in self.path.split("?")[0].split("/") if p]
        kind = items[0] if items else ""
        arg = items[1] if len(items) > 1 else ""
        if kind not in ("log", "clear"):
            with log_lock:
                log_lines.append("%s %s" % (self.headers.get("User-Agent", ""), self.path))
        if kind == "bytes":
            self.send(200, body(count(arg)), headers=[("Last-Modified", LAST_MODIFIED)])
        elif kind == "nolength":
            self.send(200, body(count(arg)), length=False)
        elif kind == "short":
            n = count(arg)
            self.send_response(200)
            self.send_header("Content-Length", str(2 * n))
            self.end_headers()
            self.wfile.write(body(n))
            self.wfile.flush()
            self.close_connection = True
        elif kind == "redirect":
            self.send(302, b"", headers=[("Location", "/bytes/%d" % count(arg))])
        elif kind == "status":
            self.send(count(arg), b"<p>status</p>")
        elif kind == "file":
            path = urllib.parse.unquote("/" + "/".join(items[1:]))
            try:
                with open(path, "rb") as f:
                    data = f.read()
            except OSError:
                self.send(404, PAGE_404)
                return
            self.send(200, data, headers=[("Last-Modified", LAST_MODIFIED)])
        elif kind == "log":
            with log_lock:
                text = "".join(line + "\n" for line in log_lines)
            self.send(200, text.encode())
        elif kind == "clear":
            with log_lock:
                del log_lines[:]
            self.send(200, b"cleared")
        else:
            self.send(404, PAGE_404)


class Server(http.server.ThreadingHTTPServer):
    def handle_error(self, request, client_address):
        pass  # clients that stop reading early (cancel, abort) are expected


def main():
    server = Server(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    port = server.server_address[1]
    if len(sys.argv) == 3 and sys.argv[1] == "--daemon":
        state = sys.argv[2]
        os.makedirs(state, exist_ok=True)
        ready_r, ready_w = os.pipe()
        if os.fork() > 0:
            # The parent returns once the child has written its files.
            os.close(ready_w)
            os.read(ready_r, 1)
            return
        os.close(ready_r)
        os.setsid()
        devnull = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(devnull, fd)
        with open(os.path.join(state, "pid.tmp"), "w") as f:
            f.write(str(os.getpid()))
        with open(os.path.join(state, "port.tmp"), "w") as f:
            f.write(str(port))
        os.replace(os.path.join(state, "pid.tmp"), os.path.join(state, "pid"))
        os.replace(os.path.join(state, "port.tmp"), os.path.join(state, "port"))
        os.write(ready_w, b"1")
        os.close(ready_w)
        server.serve_forever()
        return
    if len(sys.argv) == 4 and sys.argv[1] == "--tls":
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[2], sys.argv[3])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print("PORT %d" % port, flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stdin.read()
    server.shutdown()


def stop(state):
    try:
        with open(os.path.join(state, "pid")) as f:
            os.kill(int(f.read()), signal.SIGTERM)
    except (OSError, ValueError):
        pass
    for name in ("pid", "port"):
        try:
            os.remove(os.path.join(state, name))
        except OSError:
            pass


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--stop":
        stop(sys.argv[2])
    else:
        main()
