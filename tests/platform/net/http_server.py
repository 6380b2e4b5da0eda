#!/usr/bin/python3
"""HTTP server for the web client's tests, on 127.0.0.1 at a free port.

Prints "PORT <n>" once it accepts connections, then serves until killed. Fixed bodies per path
(see BODIES); every request's line and headers are appended as one JSON line to --log.
With --silent it accepts connections and never answers.
"""

import argparse
import http.server
import json
import socket
import sys
import time

BODIES = {
    "/v11": b"1.1",
    "/v10": b"1.0",
    "/v09": b"0.9",
    "/v100000001": b"1.00000001",
    "/v101": b"1.0.1",
    "/crlf": b"1.1\r\n",
    "/fullwidth": "\uff11\uff0e\uff11".encode("gbk"),
    "/zero": b"1.1\x00tail",
    "/large": bytes(i % 251 for i in range(100 * 1024)),
}
NOT_FOUND = b"<html><body>\xce\xde\xb4\xcb\xd2\xb3 not found</body></html>"


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    log_path = None

    def log_message(self, *args):
        pass

    def record(self):
        with open(self.log_path, "a") as log:
            log.write(json.dumps({"request_line": self.requestline,
                                  "headers": [[k, v] for k, v in self.headers.items()]}) + "\n")

    def answer(self, status, body, extra=()):
        self.send_response(status)
        for name, value in extra:
            self.send_header(name, value)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        self.record()
        path = self.path
        if path in BODIES:
            self.answer(200, BODIES[path])
        elif path == "/redirect":
            self.answer(302, b"moved", [("Location", "/v11")])
        elif path == "/loop":
            self.answer(302, b"again", [("Location", "/loop")])
        elif path == "/trickle":
            # Headers at once, then a byte now and then: only a bound on the whole request ends it.
            self.send_response(200)
            self.send_header("Content-Length", "1000")
            self.end_headers()
            for _ in range(60):
                self.wfile.write(b"1")
                self.wfile.flush()
                time.sleep(0.5)
        else:
            self.answer(404, NOT_FOUND)


def serve_silently():
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print("PORT %d" % listener.getsockname()[1], flush=True)
    held = []
    while True:
        connection, _ = listener.accept()
        held.append(connection)  # never answered, never closed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log")
    parser.add_argument("--silent", action="store_true")
    options = parser.parse_args()
    if options.silent:
        serve_silently()
        return
    Handler.log_path = options.log
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print("PORT %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
