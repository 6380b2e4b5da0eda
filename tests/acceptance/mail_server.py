#!/usr/bin/python3
"""The mail client's test SMTP server, on 127.0.0.1 port 25: the program always sends there.

    mail_server.py --dir DIR [--user U --password P]

Plain SMTP with AUTH; the mails and logins land in DIR as the server of the mail client's
tests keeps them (msg-N.eml, msg-N.json, auth.jsonl). Prints "PORT 25" once it accepts
connections and serves until killed; prints "UNAVAILABLE <reason>" and exits with 4 when the
port cannot be had (not root, or another server holds it).
"""

import argparse
import asyncio
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "platform",
                                "net"))

import smtp_server  # noqa: E402

PORT = 25


async def serve(options):
    handler = smtp_server.Handler(options.dir, None)
    authenticator = smtp_server.Authenticator(options.dir, options.user, options.password)
    loop = asyncio.get_running_loop()
    try:
        server = await loop.create_server(
            lambda: smtp_server.SlowSMTP(handler, hostname="wendlow.test",
                                         authenticator=authenticator, auth_require_tls=False),
            "127.0.0.1", PORT)
    except OSError as error:
        print(f"UNAVAILABLE {error.strerror or error}", flush=True)
        return 4
    print(f"PORT {PORT}", flush=True)
    await server.serve_forever()
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--user", default="user")
    parser.add_argument("--password", default="secret")
    return asyncio.run(serve(parser.parse_args()))


if __name__ == "__main__":
    sys.exit(main())
