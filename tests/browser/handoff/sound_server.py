#!/usr/bin/env python3
"""Test web server on 127.0.0.1 for the sound-link tests.

Serves the files of one folder and prints its port on the first line of
stdout. Paths with a leading command change how a file is delivered:
  /status/<code>/<name>  answers with that HTTP status and a small HTML body
  /broken/<name>         promises the whole file but sends half, then hangs up
  /halved/<name>         announces half the file and sends that half
  /slow/<name>           sends the file in 512-byte pieces, one every 50 ms
  /redirect/<url>        answers 302 to the percent-encoded address <url>
  /endless/<name>        sends the file, then zeros until the client hangs up
  /huge/<name>           the same, announcing 10^15 bytes
  /html/<name>           an HTML page, whatever the name says
  /drip/<name>           two bytes of the file a second
Every request's path goes to stdout, one a line, before it is answered.
"""
import http.server
import mimetypes
import os
import socketserver
import sys
import time
import urllib.parse

ROOT = os.path.abspath(sys.argv[1])


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def _file(self, name):
        path = os.path.join(ROOT, os.path.basename(name.split("?")[0]))
        with open(path, "rb") as f:
            return f.read()

    def _headers(self, code, length, ctype="application/octet-stream"):
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(length))
        self.send_header("Connection", "close")
        self.end_headers()

    def _paced(self, name, piece, pause):
        # The pauses are the stimulus, a slow server; nothing waits on them.
        data = self._file(name)
        self._headers(200, len(data))
        for i in range(0, len(data), piece):
            self.wfile.write(data[i:i + piece])
            self.wfile.flush()
            time.sleep(pause)

    def _endless(self, data, length=None):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if length is not None:
            self.send_header("Content-Length", str(length))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)
        zeros = bytes(65536)
        while True:
            self.wfile.write(zeros)

    def do_GET(self):
        print(self.path, flush=True)
        parts = self.path.lstrip("/").split("/")
        try:
            if parts[0] == "endless":
                self._endless(self._file(parts[1]))
            elif parts[0] == "huge":
                self._endless(self._file(parts[1]), 10**15)
            elif parts[0] == "html":
                body = b"<html><head><title>Not a sound</title></head><body>a page</body></html>"
                self._headers(200, len(body), "text/html")
                self.wfile.write(body)
            elif parts[0] == "drip":
                self._paced(parts[1], 2, 1)
            elif parts[0] == "status":
                body = b"<html><body>error page</body></html>"
                self._headers(int(parts[1]), len(body), "text/html")
                self.wfile.write(body)
            elif parts[0] == "redirect":
                self.send_response(302)
                self.send_header("Location", urllib.parse.unquote(self.path.split("/", 2)[2]))
                self.send_header("Content-Length", "0")
                self.send_header("Connection", "close")
                self.end_headers()
            elif parts[0] == "broken":
                data = self._file(parts[1])
                self._headers(200, len(data))
                self.wfile.write(data[: len(data) // 2])
                self.wfile.flush()
            elif parts[0] == "halved":
                data = self._file(parts[1])
                self._headers(200, len(data) // 2)
                self.wfile.write(data[: len(data) // 2])
            elif parts[0] == "slow":
                self._paced(parts[1], 512, 0.05)
            else:
                data = self._file(self.path.lstrip("/"))
                ctype = mimetypes.guess_type(self.path.split("?")[0])[0] or "application/octet-stream"
                self._headers(200, len(data), ctype)
                self.wfile.write(data)
        except FileNotFoundError:
            body = b"not found"
            self._headers(404, len(body), "text/plain")
            self.wfile.write(body)
        except (BrokenPipeError, ConnectionResetError):
            pass
        self.close_connection = True


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


with Server(("127.0.0.1", 0), Handler) as server:
    print(server.server_address[1], flush=True)
    server.serve_forever()
