"""A real FTP server for the tests and benchmarks: pyftpdlib on 127.0.0.1, one account,
a root folder given by the caller, and optionally a limit in bytes per second on what
its data connections send. It binds a free port, prints "PORT <n>" once it accepts
connections, and ends when its standard input closes (its parent has gone)."""
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    root, user, password = sys.argv[1], sys.argv[2], sys.argv[3]
    send_limit = int(sys.argv[4]) if len(sys.argv) > 4 else 0
    logging.basicConfig(level=logging.ERROR)
    logging.getLogger("pyftpdlib").setLevel(logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.masquerade_address = None
    # A refused login is answered at once, not after the usual pause.
    handler.auth_failed_timeout = 0
    if send_limit > 0:
        ThrottledDTPHandler.write_limit = send_limit
        handler.dtp_handler = ThrottledDTPHandler
    server = FTPServer(("127.0.0.1", 0), handler)
    server.max_cons = 64

    def watch_parent():
        while sys.stdin.buffer.read(1):
            pass
        os._exit(0)

    threading.Thread(target=watch_parent, daemon=True).start()
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
