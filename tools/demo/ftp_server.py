#!/usr/bin/python3
"""A real FTP server (pyftpdlib) for the tests, the benchmarks and the demo: one account,
a root folder given by the caller.

    ftp_server.py ROOT USER PASSWORD [--host ADDRESS] [--port N] [--writable FOLDER]...

It binds ADDRESS (default 127.0.0.1) and port N (default 0: a free one), prints
"PORT <n>" on its first line once it accepts connections, and ends on SIGTERM or SIGINT,
or when the pipe on its standard input closes: a parent that started it with a pipe there
may die in any way without leaving the server behind. Without --writable the account may
change everything under ROOT; with it, only the folders named (relative to ROOT)."""
import argparse
import logging
import os
import signal
import stat
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

READ_ONLY = "elr"
READ_WRITE = "elradfmwMT"


def make_server(root, user, password, host="127.0.0.1", port=0, writable=()):
    """The server, bound and listening; serve it with serve_forever()."""
    root = os.path.realpath(root)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm=READ_ONLY if writable else READ_WRITE)
    for folder in writable:
        path = os.path.realpath(os.path.join(root, folder))
        if os.path.commonpath([root, path]) != root or not os.path.isdir(path):
            raise ValueError("writable folder %r is not a folder inside %s" % (folder, root))
        authorizer.override_perm(user, path, READ_WRITE, recursive=True)

    class Handler(FTPHandler):
        pass

    Handler.authorizer = authorizer
    Handler.masquerade_address = None
    # A refused login is answered at once, not after the usual pause.
    Handler.auth_failed_timeout = 0
    server = FTPServer((host, port), Handler)
    server.max_cons = 64
    return server


def end_when_stdin_closes():
    """Only a pipe is watched: a terminal or /dev/null on stdin says nothing about a parent."""
    try:
        mode = os.fstat(sys.stdin.fileno()).st_mode
    except (OSError, ValueError):
        return
    if not stat.S_ISFIFO(mode):
        return

    def watch():
        while sys.stdin.buffer.read(1):
            pass
        os._exit(0)

    threading.Thread(target=watch, daemon=True).start()


def serve(server):
    """Serves until SIGTERM or SIGINT; both end the process without a traceback."""
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: os._exit(0))
    server.serve_forever(handle_exit=False)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("root")
    parser.add_argument("user")
    parser.add_argument("password")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--writable", action="append", default=[])
    args = parser.parse_args()
    logging.basicConfig(level=logging.ERROR)
    logging.getLogger("pyftpdlib").setLevel(logging.ERROR)
    end_when_stdin_closes()
    try:
        server = make_server(args.root, args.user, args.password, args.host, args.port,
                             args.writable)
    except (OSError, ValueError) as e:
        print("ftp_server: %s" % e, file=sys.stderr)
        return 2
    print("PORT %d" % server.address[1], flush=True)
    serve(server)
    return 0


if __name__ == "__main__":
    sys.exit(main())
