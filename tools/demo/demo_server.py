#!/usr/bin/python3
"""The demo update server on its own, for example for the program on a second machine.

    demo_server.py [--host ADDRESS] [--port N] [--build DIR] [--tree DIR]

Makes the demo tree when it is missing or out of date (default run/demo/tree, from the
zip engine and English texts in build/), serves it with the account the program logs in
with on ADDRESS (default 127.0.0.1; this machine's address in the network for a second
machine) and port N (default: a free one), and prints the ARVEX_FTP_SERVER value to start
the program with. Ends on Ctrl-C."""
import argparse
import logging
import os
import socket
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import demo_common  # noqa: E402
import demo_tree  # noqa: E402
import ftp_server  # noqa: E402
from demo_common import DemoError  # noqa: E402


def reachable_address(host):
    """The address another machine reaches this server at, for a wildcard host the one of
    the interface that carries the default route (found without sending anything)."""
    if host not in ("0.0.0.0", ""):
        return host
    probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        probe.connect(("192.0.2.1", 9))
        return probe.getsockname()[0]
    except OSError:
        return "127.0.0.1"
    finally:
        probe.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--build", default=demo_common.DEFAULT_BUILD_DIR)
    parser.add_argument("--tree", default=demo_common.DEFAULT_TREE)
    args = parser.parse_args()
    logging.basicConfig(level=logging.ERROR)
    ftp_server.end_when_stdin_closes()
    try:
        if demo_tree.ensure_tree(args.tree, args.build):
            print("generated the demo tree in %s" % args.tree)
        user, password = demo_common.program_account()
        server = ftp_server.make_server(args.tree, user, password, args.host, args.port,
                                        [demo_common.WRITABLE_FOLDER])
    except (DemoError, OSError, ValueError) as e:
        print("demo_server: %s" % e, file=sys.stderr)
        return 1
    address = "%s:%d" % (reachable_address(args.host), server.address[1])
    print("demo update server on %s, user %s, serving %s" % (address, user, args.tree))
    print("start the program with:  ARVEX_FTP_SERVER=%s" % address, flush=True)
    print("(Ctrl-C ends the server)", flush=True)
    ftp_server.serve(server)
    return 0


if __name__ == "__main__":
    sys.exit(main())
