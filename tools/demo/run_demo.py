#!/usr/bin/python3
"""Runs the program against a demo update server and a simulated terminal.

    run_demo.py [--build DIR] [--run-dir DIR] [--program PATH] [--] [ARGUMENTS...]

Makes the demo tree (RUN_DIR/demo/tree) when it is missing or out of date, starts the
FTP server on 127.0.0.1 and a free port and the terminal simulator on a free COM number of
a ports folder of its own, paced at 19200 baud, then the program (default BUILD/ArvexUpdate)
with ARGUMENTS in a new, empty program folder, with ARVEX_FTP_SERVER and ARVEX_COM_PORTS
pointing at them. When the program ends, however it ends, the server and the simulator are
stopped and the session's folders removed; the exit status is the program's.

Each run has a session folder of its own under RUN_DIR/demo, so that several runs at once
never share a port, a COM port or a program folder. ARVEX_DEMO_SIM_ARGS adds options to the
simulator (for example "--code 3" or "--mode tessara"; arvex-terminal-sim --help)."""
import argparse
import os
import select
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import demo_common  # noqa: E402
import demo_tree  # noqa: E402
from demo_common import DemoError  # noqa: E402

BAUD = 19200
START_TIMEOUT_S = 20
STOP_TIMEOUT_S = 3
SESSION_PREFIX = "session."
SIMULATOR = "arvex-terminal-sim"


def say(text):
    print("demo: " + text, file=sys.stderr, flush=True)


def first_line(process, what):
    """The first line the process writes, waited for at most START_TIMEOUT_S."""
    line = b""
    end = time.monotonic() + START_TIMEOUT_S
    while not line.endswith(b"\n"):
        left = end - time.monotonic()
        if left <= 0 or not select.select([process.stdout], [], [], left)[0]:
            raise DemoError("%s did not start within %d s" % (what, START_TIMEOUT_S))
        byte = os.read(process.stdout.fileno(), 1)
        if not byte:
            raise DemoError("%s ended at its start (status %s)" % (what, process.wait()))
        line += byte
    return line.decode("utf-8", "replace").strip()


def free_com_number(ports):
    n = 1
    while os.path.lexists(os.path.join(ports, "COM%d" % n)):
        n += 1
    return n


def session_is_alive(name):
    """Whether the run_demo that made the session folder still runs. Its process number is
    in the folder's name, so a folder is never without its owner, not even while it is
    being made."""
    try:
        pid = int(name[len(SESSION_PREFIX):].split(".")[0])
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return b"run_demo" in f.read()
    except (OSError, ValueError):
        return False


def remove_stale_sessions(demo_dir):
    """Session folders of runs that were killed before they could remove them."""
    for name in os.listdir(demo_dir):
        path = os.path.join(demo_dir, name)
        if (name.startswith(SESSION_PREFIX) and os.path.isdir(path) and not os.path.islink(path)
                and not session_is_alive(name)):
            shutil.rmtree(path, ignore_errors=True)


class Pieces:
    """The started processes, stopped in reverse order of their start."""

    def __init__(self):
        self.started = []

    def start(self, what, argv, own_group=True, **kwargs):
        # A piece in a group of its own is stopped with whatever it has started, and a
        # Ctrl-C in the terminal does not reach it: the program stays in the terminal's
        # group, gets it, and its end stops the rest.
        process = subprocess.Popen(argv, preexec_fn=demo_common.ending_with_parent(),
                                   process_group=0 if own_group else None, **kwargs)
        self.started.append((what, process, own_group))
        return process

    def stop(self):
        for what, process, own_group in reversed(self.started):
            if process.stdin:
                process.stdin.close()
            if process.poll() is None:
                send(process, signal.SIGTERM, own_group)
                try:
                    process.wait(STOP_TIMEOUT_S)
                except subprocess.TimeoutExpired:
                    say("%s did not end on SIGTERM; killing it" % what)
            if own_group or process.poll() is None:
                send(process, signal.SIGKILL, own_group)
            process.wait()
        self.started.clear()


def send(process, sig, group):
    try:
        if group:
            os.killpg(process.pid, sig)
        elif process.poll() is None:
            process.send_signal(sig)
    except ProcessLookupError:
        pass


def end_run(sig, _frame):
    raise SystemExit(128 + sig)


def run(args):
    build = os.path.abspath(args.build)
    program = os.path.abspath(args.program or os.path.join(build, "ArvexUpdate"))
    simulator = os.path.join(build, SIMULATOR)
    demo_dir = os.path.join(os.path.abspath(args.run_dir), "demo")
    os.makedirs(demo_dir, exist_ok=True)
    tree = os.path.join(demo_dir, "tree")
    if demo_tree.ensure_tree(tree, build):
        say("generated the demo tree in %s" % tree)
    user, password = demo_common.program_account()

    remove_stale_sessions(demo_dir)
    session = tempfile.mkdtemp(prefix="%s%d." % (SESSION_PREFIX, os.getpid()), dir=demo_dir)
    program_dir = os.path.join(session, "program")
    ports = os.path.join(session, "ports")
    for folder in (program_dir, ports):
        os.mkdir(folder)

    pieces = Pieces()
    # SIGTERM and SIGHUP (the terminal closed) end the run as the program's end does.
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, end_run)
    try:
        server = pieces.start(
            "the FTP server",
            [demo_common.PYTHON, demo_common.FTP_SERVER_SCRIPT, tree, user, password,
             "--writable", demo_common.WRITABLE_FOLDER],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        reply = first_line(server, "the FTP server")
        if not reply.startswith("PORT "):
            raise DemoError("the FTP server said %r" % reply)
        address = "127.0.0.1:%s" % reply[5:]

        com = free_com_number(ports)
        sim = pieces.start(
            "the terminal simulator",
            [simulator, "--ports", ports, "--com", str(com), "--baud", str(BAUD),
             "--exit-with-parent"] + shlex.split(os.environ.get("ARVEX_DEMO_SIM_ARGS", "")),
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
        first_line(sim, "the terminal simulator")

        say("update server ftp://%s (user %s) serving %s" % (address, user, tree))
        say("program folder %s (removed at the end)" % program_dir)
        env = dict(os.environ, ARVEX_FTP_SERVER=address, ARVEX_COM_PORTS=ports)
        env.pop("ARVEX_FTP_USER", None)
        shown = pieces.start("the program", [program] + args.arguments, own_group=False,
                             cwd=program_dir, env=env, stdin=subprocess.DEVNULL)
        # The program is the run: an interrupt is passed on to it (a Ctrl-C in the terminal
        # has reached it already), and its end ends the wait.
        while True:
            try:
                status = shown.wait()
                break
            except KeyboardInterrupt:
                send(shown, signal.SIGINT, False)
        return status if status >= 0 else 128 - status
    finally:
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        signal.signal(signal.SIGHUP, signal.SIG_IGN)
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        pieces.stop()
        shutil.rmtree(session, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=demo_common.DEFAULT_BUILD_DIR)
    parser.add_argument("--run-dir", default=os.path.join(demo_common.SOURCE_DIR, "run"))
    parser.add_argument("--program", help="the program to start (default BUILD/ArvexUpdate)")
    parser.add_argument("arguments", nargs=argparse.REMAINDER,
                        help="passed on to the program (/S, /T:n)")
    args = parser.parse_args()
    if args.arguments[:1] == ["--"]:
        args.arguments = args.arguments[1:]
    try:
        return run(args)
    except DemoError as e:
        say(str(e))
        return 1
    except KeyboardInterrupt:
        return 128 + signal.SIGINT


if __name__ == "__main__":
    sys.exit(main())
