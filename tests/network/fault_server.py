#!/usr/bin/env python3
"""Scripted HTTP faults that nginx cannot be made to produce.

Listens on 127.0.0.1 on a port the system picks (written to --port-file once
it accepts connections) and answers by path; FILE is a path below --root:

  /short/FILE?bytes=M     200, Content-Length of the whole file, sends the
                          first M bytes (default: half), then closes cleanly
  /drop/FILE?bytes=M      the same, but the connection is reset after M bytes
  /range206/FILE          206 with the whole file and "Content-Range: bytes
                          0-(n-1)/n", whether or not the request had a Range
  /nolength               200 without Content-Length (to HEAD and GET; GET
                          gets a short body ended by closing the connection)
  /length0                200 with Content-Length: 0
  /v1/bootstrap           200, a policy body that never ends (chunked; the
                          server gives up after --endless-limit bytes)
  anything else           404

Every request is logged to --log as one line, in the same form as the
bench's nginx access log:
  127.0.0.1 PORT "METHOD URI" STATUS range="RANGE-HEADER" sent=BYTES

The server is bounded: it exits on SIGTERM or SIGINT, and by itself after
--idle-timeout seconds without a request.
"""

import argparse
import fcntl
import http.server
import os
import signal
import socket
import struct
import sys
import termios
import threading
import time
import urllib.parse

SEND_CHUNK = 65536


class FaultServer(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, root, log_path, endless_limit):
        super().__init__(("127.0.0.1", 0), FaultHandler)
        self.root = os.path.realpath(root)
        self.log_lock = threading.Lock()
        self.log_file = open(log_path, "a", encoding="utf-8", buffering=1)
        self.endless_limit = endless_limit
        self.last_request = time.monotonic()


class FaultHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "velmo-fault/1"
    # A client that stops reading must not hold a thread forever.
    timeout = 30

    def log_message(self, format, *args):  # noqa: A002 - base class signature
        pass

    def log_request_line(self, status, sent):
        line = '{} {} "{} {}" {} range="{}" sent={}\n'.format(
            self.client_address[0],
            self.server.server_address[1],
            self.command,
            self.path,
            status,
            self.headers.get("Range", "-"),
            sent,
        )
        with self.server.log_lock:
            self.server.log_file.write(line)

    def do_HEAD(self):
        self.dispatch()

    def do_GET(self):
        self.dispatch()

    def dispatch(self):
        self.server.last_request = time.monotonic()
        self.close_connection = True
        url = urllib.parse.urlsplit(self.path)
        path = urllib.parse.unquote(url.path)
        query = urllib.parse.parse_qs(url.query)
        routes = (
            ("/short/", self.send_short),
            ("/drop/", self.send_dropped),
            ("/range206/", self.send_range206),
        )
        for prefix, handler in routes:
            if path.startswith(prefix):
                data = self.read_file(path[len(prefix):])
                if data is None:
                    return self.send_status(404)
                return handler(data, query)
        if path == "/nolength":
            return self.send_without_length()
        if path == "/length0":
            return self.send_status(200)
        if path == "/v1/bootstrap":
            return self.send_endless()
        return self.send_status(404)

    def read_file(self, relative):
        full = os.path.realpath(os.path.join(self.server.root, relative))
        if not full.startswith(self.server.root + os.sep) or not os.path.isfile(full):
            return None
        with open(full, "rb") as f:
            return f.read()

    def start(self, status, headers):
        self.send_response_only(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Connection", "close")
        self.end_headers()

    def send_status(self, status):
        self.start(status, [("Content-Length", "0")])
        self.log_request_line(status, 0)

    def write_body(self, data):
        if self.command == "HEAD":
            return 0
        view = memoryview(data)
        for offset in range(0, len(view), SEND_CHUNK):
            self.wfile.write(view[offset:offset + SEND_CHUNK])
        self.wfile.flush()
        return len(data)

    def cut_length(self, data, query):
        try:
            cut = int(query.get("bytes", [len(data) // 2])[0])
        except ValueError:
            cut = len(data) // 2
        return max(0, min(cut, len(data)))

    def send_short(self, data, query):
        cut = self.cut_length(data, query)
        self.start(200, [("Content-Length", str(len(data))),
                         ("Content-Type", "application/octet-stream")])
        sent = self.write_body(data[:cut])
        self.log_request_line(200, sent)
        # A clean end of the connection: FIN after the short body.
        self.connection.shutdown(socket.SHUT_WR)

    def send_dropped(self, data, query):
        cut = self.cut_length(data, query)
        self.start(200, [("Content-Length", str(len(data))),
                         ("Content-Type", "application/octet-stream")])
        sent = self.write_body(data[:cut])
        self.log_request_line(200, sent)
        # A reset discards what the client has not read yet, so it would
        # arrive before the headers; wait until the client took the data.
        self.wait_until_taken()
        # SO_LINGER with a zero timeout turns close() into a reset.
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                   struct.pack("ii", 1, 0))

    def wait_until_taken(self):
        """Waits (up to 5 s) for the peer to acknowledge everything sent,
        then a little longer for it to read it."""
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            queued = fcntl.ioctl(self.connection.fileno(), termios.TIOCOUTQ,
                                 struct.pack("i", 0))
            if struct.unpack("i", queued)[0] == 0:
                break
            time.sleep(0.05)
        time.sleep(0.5)

    def send_range206(self, data, query):
        del query
        last = max(len(data) - 1, 0)
        self.start(206, [("Content-Length", str(len(data))),
                         ("Content-Range", "bytes 0-{}/{}".format(last, len(data))),
                         ("Content-Type", "application/octet-stream")])
        sent = self.write_body(data)
        self.log_request_line(206, sent)

    def send_without_length(self):
        self.start(200, [("Content-Type", "application/octet-stream")])
        sent = self.write_body(b"velmo-no-length\n")
        self.log_request_line(200, sent)

    def send_endless(self):
        self.start(200, [("Content-Type", "application/json"),
                         ("Transfer-Encoding", "chunked")])
        sent = 0
        if self.command != "HEAD":
            # An opening brace, then blanks for ever: JSON that never ends.
            first = b"{" + b" " * (SEND_CHUNK - 1)
            blanks = b" " * SEND_CHUNK
            try:
                while sent < self.server.endless_limit:
                    chunk = first if sent == 0 else blanks
                    self.wfile.write(b"%x\r\n" % len(chunk) + chunk + b"\r\n")
                    sent += len(chunk)
            except OSError:
                pass  # the client gave up, as it should
        self.log_request_line(200, sent)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="directory FILE paths are taken from")
    parser.add_argument("--port-file", required=True, help="written with the port once listening")
    parser.add_argument("--log", required=True, help="request log, appended to")
    parser.add_argument("--idle-timeout", type=float, default=1800.0,
                        help="seconds without a request before the server exits")
    parser.add_argument("--endless-limit", type=int, default=64 * 1024 * 1024,
                        help="bytes after which an endless body stops")
    args = parser.parse_args()

    server = FaultServer(args.root, args.log, args.endless_limit)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())

    serving = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.2})
    serving.start()
    port_file = args.port_file + ".new"
    with open(port_file, "w", encoding="ascii") as f:
        f.write("{}\n".format(server.server_address[1]))
    os.replace(port_file, args.port_file)

    while not stop.wait(1.0):
        if time.monotonic() - server.last_request > args.idle_timeout:
            print("fault_server: idle for {:.0f} s, exiting".format(args.idle_timeout),
                  file=sys.stderr)
            break
    server.shutdown()
    serving.join()
    server.server_close()
    server.log_file.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
