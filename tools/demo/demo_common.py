"""What the demo's scripts share: where things are, the account the program logs in with,
and the guard that ends a started piece together with the script that started it."""
import ctypes
import os
import re
import signal

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))
DEFAULT_BUILD_DIR = os.path.join(SOURCE_DIR, "build")
DEFAULT_TREE = os.path.join(SOURCE_DIR, "run", "demo", "tree")
# Debian's interpreter, which has python3-pyftpdlib; another python3 on the PATH may not.
PYTHON = "/usr/bin/python3"
FTP_SERVER_SCRIPT = os.path.join(HERE, "ftp_server.py")
SERVER_SETTINGS = os.path.join(SOURCE_DIR, "src", "update", "server_settings.h")
# The folder of the tree where the sign-up stores its file; the rest is read-only.
WRITABLE_FOLDER = "Registration"


class DemoError(Exception):
    pass


def program_account(settings_header=SERVER_SETTINGS):
    """(user, password) that the program logs in with when ARVEX_FTP_USER is not set: read
    from the program's own settings, so that the demo server always accepts it."""
    try:
        with open(settings_header, encoding="utf-8") as f:
            text = f.read()
    except OSError as e:
        raise DemoError("cannot read the program's server settings: %s" % e)
    found = {}
    for name in ("kDefaultServerUser", "kServerPassword"):
        m = re.search(r'\b%s\s*=\s*"([^"\\]*)"' % name, text)
        if not m:
            raise DemoError("%s does not define %s" % (settings_header, name))
        found[name] = m.group(1)
    return found["kDefaultServerUser"], found["kServerPassword"]


_libc = ctypes.CDLL(None, use_errno=True)
_PR_SET_PDEATHSIG = 1


def ending_with_parent():
    """A preexec function: the child gets SIGTERM when the process that started it ends,
    however it ends; a parent that is gone already ends the child at once."""
    parent = os.getpid()

    def guard():
        _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)
        if os.getppid() != parent:
            os._exit(1)

    return guard
