#!/usr/bin/python3
"""SMTP server for the mail client's tests, on 127.0.0.1 at a free port.

Prints "PORT <n>" once it accepts connections, then serves until killed.

  --dir DIR            where each received mail is kept: msg-N.eml (the bytes as received, after
                       the server undid the dot-stuffing) and msg-N.json (envelope plus what the
                       email package decodes from it); logins go to DIR/auth.jsonl
  --user U --password P   the one account accepted (AUTH LOGIN and PLAIN)
  --tls-dir DIR        offer STARTTLS with a certificate for 127.0.0.1 issued by a certificate
                       authority made here (DIR/ca.pem is the one the client must trust); AUTH is
                       then only allowed inside TLS
  --reject ADDR        refuse this recipient with 550
  --delay SECONDS      wait this long before every reply (the greeting included)
  --silent             accept connections and never say a word
  --unreachable        a listener whose queue is full, so a TCP connect is never answered, as
                       with a host that drops every packet
"""

import argparse
import asyncio
import base64
import binascii
import email
import email.header
import email.policy
import json
import os
import re
import socket
import ssl
import subprocess
import sys
import time

from aiosmtpd.smtp import SMTP, AuthResult


def make_certificates(directory):
    """A throw-away certificate authority and a server certificate for 127.0.0.1 signed by it."""
    def openssl(*args):
        subprocess.run(["openssl", *args], cwd=directory, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    openssl("req", "-x509", *ec, "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", "/CN=Wendlow test authority",
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("req", *ec, "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1")
    with open(os.path.join(directory, "server.ext"), "w") as ext:
        ext.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                  "basicConstraints=CA:FALSE\n"
                  "keyUsage=critical,digitalSignature,keyEncipherment\n"
                  "extendedKeyUsage=serverAuth\n")
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "server.ext")
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(os.path.join(directory, "server.pem"),
                            os.path.join(directory, "server.key"))
    return context


ENCODED_WORD = re.compile(rb"=\?([^?]+)\?([bB])\?([^?]*)\?=")


def describe(raw):
    """What a mail reader sees in the raw message, as JSON-ready values."""
    message = email.message_from_bytes(raw, policy=email.policy.compat32)

    def decoded(name):
        value = message.get(name)
        if value is None:
            return None
        parts = []
        for part, charset in email.header.decode_header(value):
            parts.append(part.decode(charset or "ascii") if isinstance(part, bytes) else part)
        return "".join(parts)

    # Each encoded word must stand on its own: no character split between two of them.
    words = []
    for charset, _, payload in ENCODED_WORD.findall(raw.split(b"\r\n\r\n", 1)[0]):
        entry = {"length": len(payload) + len(charset) + 7, "charset": charset.decode()}
        try:
            base64.b64decode(payload, validate=True).decode(charset.decode(), errors="strict")
            entry["whole"] = True
        except (UnicodeDecodeError, binascii.Error):
            entry["whole"] = False
        words.append(entry)

    lines = raw.split(b"\r\n")
    return {
        "headers": [name for name in message.keys()],
        "from": decoded("From"),
        "to": decoded("To"),
        "reply_to": decoded("Reply-To"),
        "subject": decoded("Subject"),
        "date": message.get("Date"),
        "message_id": message.get("Message-ID"),
        "mime_version": message.get("MIME-Version"),
        "content_type": message.get_content_type(),
        "charset": message.get_content_charset(),
        "transfer_encoding": message.get("Content-Transfer-Encoding"),
        "body_hex": (message.get_payload(decode=True) or b"").hex(),
        "encoded_words": words,
        "crlf_only": b"\r" not in raw.replace(b"\r\n", b"") and
                     b"\n" not in raw.replace(b"\r\n", b""),
        "seven_bit": all(byte < 0x80 for byte in raw),
        "max_line_length": max(len(line) for line in lines),
    }


class Handler:
    def __init__(self, directory, reject):
        self.directory = directory
        self.reject = reject
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.reject and address.lower() == self.reject.lower():
            return "550 5.1.1 No such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.directory, "msg-%d" % self.count)
        raw = envelope.original_content
        with open(base + ".eml", "wb") as f:
            f.write(raw)
        record = {"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
                  "tls": session.ssl is not None}
        record.update(describe(raw))
        with open(base + ".json.part", "w") as f:
            json.dump(record, f)
        os.replace(base + ".json.part", base + ".json")
        return "250 Message accepted"


class Authenticator:
    def __init__(self, directory, user, password):
        self.log = os.path.join(directory, "auth.jsonl")
        self.user = user.encode()
        self.password = password.encode()

    def __call__(self, server, session, envelope, mechanism, auth_data):
        success = auth_data.login == self.user and auth_data.password == self.password
        with open(self.log, "a") as f:
            f.write(json.dumps({"user": auth_data.login.decode(errors="replace"),
                                "mechanism": mechanism, "tls": session.ssl is not None,
                                "success": success}) + "\n")
        return AuthResult(success=success, handled=False)


class SlowSMTP(SMTP):
    delay = 0.0
    _continuing = False

    async def push(self, status):
        # A reply of several lines is pushed line by line; only its first line waits.
        if not self._continuing:
            await asyncio.sleep(self.delay)
        self._continuing = status[3:4] == "-"
        await super().push(status)


def serve_unreachable():
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(0)
    port = listener.getsockname()[1]
    # Connections the listener never accepts fill its queue; later connects then get no answer.
    fillers = []
    for _ in range(3):
        filler = socket.socket()
        filler.setblocking(False)
        try:
            filler.connect(("127.0.0.1", port))
        except BlockingIOError:
            pass
        fillers.append(filler)
    print("PORT %d" % port, flush=True)
    while True:
        time.sleep(3600)


def serve_silently():
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print("PORT %d" % listener.getsockname()[1], flush=True)
    held = []
    while True:
        connection, _ = listener.accept()
        held.append(connection)  # never answered, never closed


async def serve(options):
    tls = make_certificates(options.tls_dir) if options.tls_dir else None
    handler = Handler(options.dir, options.reject)
    authenticator = Authenticator(options.dir, options.user, options.password)
    loop = asyncio.get_running_loop()
    SlowSMTP.delay = options.delay
    server = await loop.create_server(
        lambda: SlowSMTP(handler, hostname="wendlow.test", authenticator=authenticator,
                     tls_context=tls, auth_require_tls=tls is not None),
        "127.0.0.1", 0)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir")
    parser.add_argument("--user", default="user")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--tls-dir")
    parser.add_argument("--reject")
    parser.add_argument("--delay", type=float, default=0.0)
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--unreachable", action="store_true")
    options = parser.parse_args()
    if options.silent:
        serve_silently()
    elif options.unreachable:
        serve_unreachable()
    else:
        asyncio.run(serve(options))


if __name__ == "__main__":
    sys.exit(main())
