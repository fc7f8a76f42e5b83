"""The test server's slow and broken links: where retrieves are cut, what a cut looks like to
a client, REST honoured or refused, and the transfer log that benchmarks count bytes by.
Run by CTest as `python3 -m unittest` with tools/demo on the module path."""
import ftplib
import os
import subprocess
import sys
import tempfile
import unittest

import ftp_data_shaping
from ftp_data_shaping import CutPlan, parse_positions

SERVER = os.path.join(os.path.dirname(ftp_data_shaping.__file__), "ftp_server.py")
USER, PASSWORD = "arvex", "pRwnKoeZ"
# Differs at every offset, so that a shifted or repeated block shows.
DATA = bytes((i * 7919 + (i >> 8)) & 0xFF for i in range(200_000))


class CutPlanTest(unittest.TestCase):
    def test_each_retrieve_is_cut_at_the_next_unused_position(self):
        size = 1000
        cases = [
            # positions, the starts of successive retrieves of one file, their cuts
            ("30%,60%,90%", [0, 300, 600, 900], [300, 600, 900, None]),   # a client that resumes
            ("30%,60%,90%", [0, 0, 0, 0], [300, 600, 900, None]),         # one that starts again
            ("30%,60%,90%", [0, 700, 950], [300, 900, None]),             # started past a cut
            ("50%,100", [0, 100, 500], [100, 500, None]),                 # sorted once resolved
            ("1000", [0, 0], [1000, None]),                               # after the last byte
        ]
        for positions, starts, cuts in cases:
            plan = CutPlan(parse_positions(positions))
            with self.subTest(positions=positions, starts=starts):
                self.assertEqual([plan.cut_for("/f", s, size) for s in starts], cuts)

    def test_files_are_cut_independently(self):
        plan = CutPlan(parse_positions("10"))
        self.assertEqual([plan.cut_for(p, 0, 100) for p in ("/a", "/b", "/a")], [10, 10, None])

    def test_bad_positions_are_refused(self):
        for text in ("", "0", "-5", "0%", "101%", "x", "5,,6"):
            with self.subTest(text=text), self.assertRaises(ValueError):
                parse_positions(text)


class Server:
    """ftp_server.py as the C++ side starts it, serving DATA as /f.bin."""

    def __init__(self, *options):
        self.dir = tempfile.TemporaryDirectory()
        root = os.path.join(self.dir.name, "root")
        os.mkdir(root)
        with open(os.path.join(root, "f.bin"), "wb") as f:
            f.write(DATA)
        self.log = os.path.join(self.dir.name, "transfers.log")
        self.process = subprocess.Popen(
            [sys.executable, SERVER, root, USER, PASSWORD, "--transfer-log", self.log, *options],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.port = int(self.process.stdout.readline().split()[1])

    def close(self):
        self.process.terminate()
        self.process.wait(10)
        self.process.stdout.close()
        self.process.stdin.close()
        self.dir.cleanup()

    def logged(self):
        with open(self.log, encoding="utf-8") as f:
            return [line.split() for line in f]


def retrieve(ftp, rest=None):
    """What the data connection brought, and the final reply or the error that ended it."""
    got = bytearray()
    try:
        reply = ftp.retrbinary("RETR f.bin", got.extend, rest=rest)
    except (ftplib.Error, OSError) as e:
        reply = str(e)
    return bytes(got), reply


class ServerTest(unittest.TestCase):
    def serve(self, *options):
        server = Server(*options)
        self.addCleanup(server.close)
        return server

    def client(self, server):
        ftp = ftplib.FTP()
        self.addCleanup(ftp.close)
        ftp.connect("127.0.0.1", server.port, timeout=10)
        ftp.login(USER, PASSWORD)
        ftp.voidcmd("TYPE I")
        return ftp

    def test_a_closed_cut_delivers_exactly_the_bytes_before_it_then_426(self):
        server = self.serve("--cut-at", "1000,150000", "--cut-with", "close")
        ftp = self.client(server)
        self.assertEqual(retrieve(ftp), (DATA[:1000], "426 Connection closed; transfer aborted."))
        got, _ = retrieve(ftp, rest=1000)
        self.assertEqual(got, DATA[1000:150000])
        got, reply = retrieve(ftp, rest=150000)
        self.assertEqual((got, reply[:3]), (DATA[150000:], "226"))
        self.assertEqual(server.logged(), [["RETR", "0", "1000", "cut", "/f.bin"],
                                           ["RETR", "1000", "149000", "cut", "/f.bin"],
                                           ["RETR", "150000", "50000", "complete", "/f.bin"]])

    def test_a_reset_cut_breaks_the_data_connection(self):
        server = self.serve("--cut-at", "50%")
        ftp = self.client(server)
        got, reply = retrieve(ftp)
        self.assertTrue(DATA.startswith(got) and len(got) <= len(DATA) // 2)
        self.assertIn("reset", reply)
        self.assertEqual(server.logged()[0][2:4], [str(len(DATA) // 2), "cut"])

    def test_a_paced_transfer_arrives_whole(self):
        server = self.serve("--send-limit", "20000000")
        self.assertEqual(retrieve(self.client(server))[0], DATA)

    def test_rest_is_refused_with_the_code_asked_for(self):
        for code in ("500", "502"):
            with self.subTest(code=code):
                ftp = self.client(self.serve("--refuse-rest", code))
                with self.assertRaises(ftplib.error_perm) as refused:
                    ftp.sendcmd("REST 10")
                self.assertEqual(str(refused.exception)[:3], code)
                self.assertNotIn("REST", ftp.sendcmd("FEAT"))


if __name__ == "__main__":
    unittest.main()
