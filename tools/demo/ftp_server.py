#!/usr/bin/python3
"""A real FTP server (pyftpdlib) for the tests, the benchmarks and the demo: one account,
a root folder given by the caller.

    ftp_server.py ROOT USER PASSWORD [--host ADDRESS] [--port N] [--writable FOLDER]...
                  [--send-limit BYTES_PER_SECOND] [--cut-at POSITIONS] [--cut-with reset|close]
                  [--refuse-rest 500|502] [--transfer-log FILE]

It binds ADDRESS (default 127.0.0.1) and port N (default 0: a free one), prints
"PORT <n>" on its first line once it accepts connections, and ends on SIGTERM or SIGINT,
or when the pipe on its standard input closes: a parent that started it with a pipe there
may die in any way without leaving the server behind. Without --writable the account may
change everything under ROOT; with it, only the folders named (relative to ROOT).

The rest make the link slow or broken, for tests and benchmarks; all are off by default.
A send limit above 0 paces what the data connections send at that rate. --cut-at cuts
retrieves at positions in the file ("30%,60%,90%", or bytes: "4096"), one cut per
retrieve: each at the first position past its start that no earlier retrieve of that file
was cut at or started beyond. A cut resets the data connection (or closes it, with
--cut-with close) and answers 426. --refuse-rest answers REST with 500 (an unknown
command) or 502 (not implemented), and FEAT does not offer it; otherwise REST is honoured.
--transfer-log appends a line per retrieve to FILE: "RETR <start> <bytes sent>
<complete|cut|ended> <path>"."""
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

from ftp_data_shaping import CutPlan, ShapedDTPHandler, parse_positions

READ_ONLY = "elr"
READ_WRITE = "elradfmwMT"


def make_server(root, user, password, host="127.0.0.1", port=0, writable=(), send_limit=0,
                cut_at=None, cut_with="reset", refuse_rest=None, transfer_log=None):
    """The server, bound and listening; serve it with serve_forever(). `cut_at` is a list
    from parse_positions(), `refuse_rest` 500, 502 or None."""
    root = os.path.realpath(root)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm=READ_ONLY if writable else READ_WRITE)
    for folder in writable:
        path = os.path.realpath(os.path.join(root, folder))
        if os.path.commonpath([root, path]) != root or not os.path.isdir(path):
            raise ValueError("writable folder %r is not a folder inside %s" % (folder, root))
        authorizer.override_perm(user, path, READ_WRITE, recursive=True)

    class Handler(FTPHandler):
        def pre_process_command(self, line, cmd, arg):
            if cmd == "REST" and refuse_rest == 502:
                self.respond("502 REST not implemented.")
                return
            super().pre_process_command(line, cmd, arg)

    Handler.authorizer = authorizer
    Handler.masquerade_address = None
    # A refused login is answered at once, not after the usual pause.
    Handler.auth_failed_timeout = 0

    class Data(ShapedDTPHandler):
        pass

    Data.rate = max(0, send_limit)
    Data.cut_plan = CutPlan(cut_at) if cut_at else None
    Data.cut_with = cut_with
    Data.transfer_log = transfer_log
    Handler.dtp_handler = Data
    if refuse_rest:
        # Without REST in the table the server answers 500 and FEAT does not offer it.
        Handler.proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items() if k != "REST"}
    server = FTPServer((host, port), Handler)
    server.max_cons = 64
    return server


def cut_positions(text):
    try:
        return parse_positions(text)
    except ValueError as e:
        raise argparse.ArgumentTypeError(str(e))


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
    parser.add_argument("--send-limit", type=int, default=0)
    parser.add_argument("--cut-at", type=cut_positions)
    parser.add_argument("--cut-with", choices=("reset", "close"), default="reset")
    parser.add_argument("--refuse-rest", type=int, choices=(500, 502))
    parser.add_argument("--transfer-log")
    args = parser.parse_args()
    logging.basicConfig(level=logging.ERROR)
    logging.getLogger("pyftpdlib").setLevel(logging.ERROR)
    end_when_stdin_closes()
    try:
        server = make_server(args.root, args.user, args.password, args.host, args.port,
                             args.writable, args.send_limit, args.cut_at, args.cut_with,
                             args.refuse_rest, args.transfer_log)
    except (OSError, ValueError) as e:
        print("ftp_server: %s" % e, file=sys.stderr)
        return 2
    print("PORT %d" % server.address[1], flush=True)
    serve(server)
    return 0


if __name__ == "__main__":
    sys.exit(main())
