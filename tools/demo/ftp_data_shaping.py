"""What the test FTP server can do to its data connections, as a slow or breaking link would:
send at a steady rate, and cut a retrieve part way through. Each is off unless asked for, and
a log of the retrieves tells a benchmark how many bytes really went out."""
import logging
import os
import socket
import struct
import time

from pyftpdlib.handlers import DTPHandler, FileProducer

log = logging.getLogger("pyftpdlib")

# A paced connection sends in slices this long, so that a transfer stays within a few
# milliseconds of its rate instead of sending a second's worth in a burst and then sleeping.
SLICE_SECONDS = 0.01
MIN_SLICE_BYTES = 1024

CUT_REPLY = "426 Connection closed; transfer aborted."


def parse_positions(text):
    """"30%,60%,90%" or "4096,1000000": positions in a file, as a share of its size or in bytes.
    Raises ValueError for anything else, so that a mistyped option stops the server."""
    positions = []
    for item in text.split(","):
        item = item.strip()
        if item.endswith("%"):
            share = float(item[:-1])
            if not 0 < share <= 100:
                raise ValueError("a share of the file must be above 0 %% and at most 100 %%: %r"
                                 % item)
            positions.append((share, True))
        else:
            count = int(item)
            if count <= 0:
                raise ValueError("a byte position must be above 0: %r" % item)
            positions.append((count, False))
    if not positions:
        raise ValueError("no cut positions")
    return positions


class CutPlan:
    """Where the retrieves of each file are cut, one cut per retrieve. A retrieve is cut at the
    first position past its start that no earlier retrieve of that file was cut at or started
    beyond. With 30%,60%,90% a client that resumes is cut three times and moves the file once;
    one that starts again from zero is cut at 30 %, then 60 %, then 90 % of the file, too."""

    def __init__(self, positions):
        self._positions = positions
        self._used = {}  # real path: how many of its positions are spent

    def cut_for(self, path, start, size):
        """The file position at which this retrieve is cut, or None."""
        at = sorted(int(size * v / 100) if share else v for v, share in self._positions)
        used = self._used.get(path, 0)
        while used < len(at) and at[used] <= start:
            used += 1
        cut = at[used] if used < len(at) else None
        self._used[path] = used + (cut is not None)
        return cut


class ShapedDTPHandler(DTPHandler):
    """A data connection that may be paced (`rate` bytes per second, 0 for none) and whose
    retrieves may be cut (`cut_plan`): the connection is reset, or closed when `cut_with` is
    "close", and the command connection answers 426. `transfer_log`, a path, gets one line per
    retrieve: "RETR <start> <bytes sent> <complete|cut|ended> <path as the client names it>"."""

    rate = 0
    cut_plan = None
    cut_with = "reset"
    transfer_log = None

    def __init__(self, sock, cmd_channel):
        self._retrieve = None  # (path, start) of a retrieve
        self._cut_left = None  # bytes before the cut
        self._was_cut = False
        self._pace_start = None
        self._paced_bytes = 0
        super().__init__(sock, cmd_channel)

    def use_sendfile(self):
        # The kernel would send past a cut and ignore the pace.
        if self.rate or self.cut_plan:
            return False
        return super().use_sendfile()

    def push_with_producer(self, producer):
        # Only a retrieve sends a file; listings come from other producers.
        if isinstance(producer, FileProducer) and hasattr(producer.file, "fileno"):
            path = os.path.realpath(producer.file.name)
            start = producer.file.tell()
            self._retrieve = (path, start)
            if self.cut_plan is not None:
                size = os.fstat(producer.file.fileno()).st_size
                cut = self.cut_plan.cut_for(path, start, size)
                if cut is not None:
                    self._cut_left = cut - start
        super().push_with_producer(producer)

    def send(self, data):
        if self._cut_left is not None:
            data = data[:self._cut_left]
        if self.rate:
            data = data[:max(MIN_SLICE_BYTES, int(self.rate * SLICE_SECONDS))]
            if self._pace_start is None:
                self._pace_start = time.monotonic()
        sent = super().send(data)
        if sent <= 0:
            return sent
        if self._cut_left is not None:
            self._cut_left -= sent
            if self._cut_left == 0:
                self._cut()
                return sent
        if self.rate:
            self._pace(sent)
        return sent

    def _pace(self, sent):
        self._paced_bytes += sent
        wait = self._pace_start + self._paced_bytes / self.rate - time.monotonic()
        if wait > 0:
            self.del_channel()
            self.call_later(wait, self._resume_sending)

    def _resume_sending(self):
        if not self._closed:
            self.add_channel(events=self.ioloop.WRITE)

    def _cut(self):
        self._was_cut = True
        if self.cut_with == "reset":
            # Lingering for no time turns the close into a reset, as a dropped link shows.
            self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self._resp = (CUT_REPLY, log.debug)
        self.close()

    def close(self):
        # Logged before the reply goes out: a client that has the reply finds its line.
        if not self._closed and self._retrieve is not None and self.transfer_log:
            outcome = ("complete" if self.transfer_finished
                       else "cut" if self._was_cut else "ended")
            path, start = self._retrieve
            with open(self.transfer_log, "a", encoding="utf-8") as out:
                out.write("RETR %d %d %s %s\n" % (start, self.get_transmitted_bytes(), outcome,
                                                   self.cmd_channel.fs.fs2ftp(path)))
        super().close()
