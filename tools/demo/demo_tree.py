#!/usr/bin/python3
"""Generates the demo update server's tree.

    demo_tree.py [--build BUILD_DIR] TREE

TREE gets the three folders of the update server: "ProgramFiles" (the zip engine built in
BUILD_DIR and the four RAM bootloaders, which an empty program folder fetches on its first
start), "UpdateFiles" (firmware packages of two machine types in several releases for both
hardware families, test releases among them, Tessara files, the Granulo package, English
and German language files and a program installer name) and an empty "Registration" for
the sign-up. Every byte is made here from fixed seeds; nothing is copied but the engine.

A stamp in TREE holds a digest of everything the tree is made from (this generator, its
texts, the engine, the English texts), so an unchanged tree is left alone and a changed
one is made anew. The generator writes below TREE only, and refuses a TREE that is not
empty and holds no stamp: it never clears a folder it did not make."""
import argparse
import fcntl
import hashlib
import io
import os
import random
import shutil
import subprocess
import sys
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import demo_common  # noqa: E402
import german_texts  # noqa: E402
from demo_common import DemoError  # noqa: E402

STAMP = ".demo-tree"
LOCK = ".demo-tree.lock"
PROGRAM_FILES = "ProgramFiles"
UPDATE_FILES = "UpdateFiles"
REGISTRATION = demo_common.WRITABLE_FOLDER
ENGINE = "ZipEngine.so"
ENGLISH_TOOL = "arvex-english-language-file"

# Firmware packages: machine type, release, and whether the package is for hardware code 3
# ("_s12.vbf") rather than codes 1 and 2 (".vbf"). Releases "T..." are test releases,
# fetched and offered in service mode only.
PACKAGES = [
    ("Sprayer", "R0104", False),
    ("Sprayer", "R0105", False),
    ("Sprayer", "R0105", True),
    ("Sprayer", "T0106", False),
    ("Seeder", "R0201", False),
    ("Seeder", "R0202", False),
    ("Seeder", "R0202", True),
    ("Seeder", "T0203", True),
]
TESSARA_RELEASES = ["R0301", "T0302"]
GRANULO_PACKAGE = "Granulo_R01_04.bbf"
ENGLISH_VERSION = 1
# The program's own version: an installer of it is listed but never newer, so no check
# fetches it and no self-update can put this placeholder in the program's place.
INSTALLER = "ArvexUpdate_105.exe"

# RAM bootloaders by file: load address and size (S1 records, 16-bit addresses).
BOOTLOADERS = {
    "BLdg128.prg": (0x2000, 896),
    "BLdg128A.prg": (0x2000, 960),
    "BLS12G128.prg": (0x1000, 1024),
    "BLaz60A.prg": (0x0100, 640),
}

# Where a package's members go in the terminal: vgf at the address its vif names, vtf at
# 0x40 (fixed), the firmware inside the hardware's flash window.
VGF_ADDRESS = 0x00080000
FIRMWARE_START = {False: 0x4000, True: 0x24000}
# An s12 package also holds a record above its flash window, which the program must skip.
S12_OUTSIDE_WINDOW = 0x3F000
RECORD_DATA = 32
ZIP_TIME = (2024, 5, 6, 12, 0, 0)


def fill(seed, size):
    return random.Random(seed).randbytes(size)


def srecord(kind, address, data=b""):
    """One S-record line of type `kind` (1, 2, 8 or 9; 0 takes a 2-byte address too)."""
    width = {0: 2, 1: 2, 9: 2, 2: 3, 8: 3}[kind]
    body = bytes([width + len(data) + 1]) + address.to_bytes(width, "big") + data
    checksum = ~sum(body) & 0xFF
    return "S%d%s%02X" % (kind, body.hex().upper(), checksum)


def srecord_text(header, segments, wide):
    """S-record text: an S0 header, the segments (address, bytes) as S1 or, when `wide`,
    S2 records of RECORD_DATA bytes, and the end record with the first segment's address."""
    lines = [srecord(0, 0, header.encode("ascii"))]
    for address, data in segments:
        for i in range(0, len(data), RECORD_DATA):
            lines.append(srecord(2 if wide else 1, address + i, data[i:i + RECORD_DATA]))
    lines.append(srecord(8 if wide else 9, segments[0][0]))
    return "".join(line + "\r\n" for line in lines).encode("ascii")


def zip_archive(members):
    """A zip archive of (name, bytes, compressed) in the order given."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        for name, data, compressed in members:
            info = zipfile.ZipInfo(name, ZIP_TIME)
            info.compress_type = zipfile.ZIP_DEFLATED if compressed else zipfile.ZIP_STORED
            info.external_attr = 0o644 << 16
            z.writestr(info, data)
    return out.getvalue()


def le32(value):
    return (value & 0xFFFFFFFF).to_bytes(4, "little")


def package_name(machine, release, s12):
    return "%s_%s%s.vbf" % (machine, release, "_s12" if s12 else "")


def terminal_texts(machine, release):
    words = ["%s %s" % (machine, release), "Working width", "Application rate", "Tank level",
             "Section control", "Speed", "Area done", "Alarm: low level", "Calibration",
             "Settings", "Job data", "Implement"]
    return ("\0".join(words) + "\0").encode("ascii") * 4


def firmware_package(machine, release, s12):
    """A terminal package: vif (the three byte sums and the vgf address), vgf, vtf and s19
    members sharing one base name that is not the package's own name, as real packages do."""
    name = package_name(machine, release, s12)
    base = "%s%s%s" % (machine[:3].upper(), release, "S" if s12 else "")
    vgf = b"VGF " + name.encode("ascii") + fill("vgf " + name, 1800 + 64 * len(machine))
    vtf = terminal_texts(machine, release)
    start = FIRMWARE_START[s12]
    size = 6144 + (256 * int(release[1:])) % 4096
    code = ("%s %s demo firmware\0" % (machine, release)).encode("ascii")
    segments = [(start, code + fill("s19 " + name, size - len(code)))]
    if s12:
        segments.append((S12_OUTSIDE_WINDOW, fill("outside " + name, 64)))
    s19 = srecord_text(base, segments, wide=s12)
    vif = le32(sum(vgf)) + le32(sum(vtf)) + le32(sum(s19)) + le32(VGF_ADDRESS)
    return name, zip_archive([(base + ".vif", vif, False), (base + ".vgf", vgf, True),
                              (base + ".vtf", vtf, True), (base + ".s19", s19, True)])


def tessara_file(release):
    """Banked S2 records in pages 0x30 and 0x31 and an unbanked S1 record that lands in
    page 0x3F."""
    name = "Tessara_%s.b12" % release
    banner = ("Tessara %s demo firmware\0" % release).encode("ascii")
    lines = [srecord(0, 0, name.encode("ascii"))]
    for address, data in [(0x308000, banner + fill("page30 " + name, 4096 - len(banner))),
                          (0x318000, fill("page31 " + name, 2048))]:
        for i in range(0, len(data), RECORD_DATA):
            lines.append(srecord(2, address + i, data[i:i + RECORD_DATA]))
    lines.append(srecord(1, 0xC000, fill("unbanked " + name, RECORD_DATA)))
    lines.append(srecord(8, 0x308000))
    return name, "".join(line + "\r\n" for line in lines).encode("ascii")


def granulo_package():
    """The Granulo package: only its s19 member counts, and it must begin with "S00"."""
    banner = b"Granulo R01.04 demo firmware\0"
    s19 = srecord_text("GRANULO", [(0x0580, banner + fill("granulo head", 64 - len(banner))),
                                   (0x0E00, fill("granulo", 4096))], wide=False)
    return GRANULO_PACKAGE, zip_archive([("GRAN0104.s19", s19, True)])


def bootloader(name, address, size):
    tag = ("%s demo RAM loader\0" % name[:-4]).encode("ascii")
    return srecord_text(name[:-4], [(address, tag + fill(name, size - len(tag)))], wide=False)


def language_file(name, version, texts, encoding):
    lines = ["Language=%s" % name, "Version=%d" % version, "# %s texts of the demo" % name]
    for key in sorted(texts):
        text = texts[key]
        if "#" in text or text != text.strip() or any(ord(c) < 0x20 for c in text):
            raise DemoError("%s text %d cannot be written to a language file" % (name, key))
        lines.append("%d=%s" % (key, text))
    return "".join(line + "\r\n" for line in lines).encode(encoding)


def english_language_file(build_dir):
    tool = os.path.join(build_dir, ENGLISH_TOOL)
    try:
        return subprocess.run([tool, str(ENGLISH_VERSION)], check=True,
                              stdout=subprocess.PIPE).stdout
    except (OSError, subprocess.CalledProcessError) as e:
        raise DemoError("cannot get the English texts from %s (build it first): %s" % (tool, e))


def read_engine(build_dir):
    path = os.path.join(build_dir, ENGINE)
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError as e:
        raise DemoError("cannot read the zip engine %s (build it first): %s" % (path, e))


def content(build_dir):
    """{folder: {file name: bytes}} of the whole tree."""
    program_files = {ENGINE: read_engine(build_dir)}
    for name, (address, size) in BOOTLOADERS.items():
        program_files[name] = bootloader(name, address, size)
    update_files = dict(firmware_package(*p) for p in PACKAGES)
    update_files.update(tessara_file(r) for r in TESSARA_RELEASES)
    update_files.update([granulo_package()])
    update_files["English_%d.lan" % ENGLISH_VERSION] = english_language_file(build_dir)
    update_files["%s_%d.lan" % (german_texts.NAME, german_texts.VERSION)] = language_file(
        german_texts.NAME, german_texts.VERSION, german_texts.TEXTS, german_texts.ENCODING)
    update_files[INSTALLER] = (
        b"Not a program: the demo server lists an installer of the program's own version,\n"
        b"which is not newer, so an update check never fetches it.\n")
    return {PROGRAM_FILES: program_files, UPDATE_FILES: update_files}


def digest(files):
    h = hashlib.sha256()
    for source in (__file__, german_texts.__file__):
        with open(source, "rb") as f:
            h.update(f.read())
    for folder in sorted(files):
        for name in sorted(files[folder]):
            h.update(("%s/%s\0%d\0" % (folder, name, len(files[folder][name]))).encode())
            h.update(files[folder][name])
    return h.hexdigest()


def inside(tree, *parts):
    """The path below `tree`; refused when the folder it lies in leads out of the tree."""
    path = os.path.join(tree, *parts)
    folder = os.path.realpath(os.path.dirname(path))
    if os.path.commonpath([tree, folder]) != tree:
        raise DemoError("%s lies outside the demo tree %s" % (path, tree))
    return path


def remove(path):
    """Removes a file, a link (not what it points to) or a folder with its content."""
    if os.path.islink(path) or os.path.isfile(path):
        os.unlink(path)
    elif os.path.isdir(path):
        shutil.rmtree(path)


def ensure_tree(tree, build_dir=demo_common.DEFAULT_BUILD_DIR):
    """Makes `tree` the demo tree; True when it had to be written, False when it was."""
    if os.path.islink(tree):
        raise DemoError("the demo tree %s is a symbolic link; give its real folder" % tree)
    os.makedirs(tree, exist_ok=True)
    tree = os.path.realpath(tree)
    stamp = os.path.join(tree, STAMP)

    def refuse_foreign_folder():
        if not os.path.isfile(stamp) and set(os.listdir(tree)) - {LOCK}:
            raise DemoError("%s is not empty and holds no demo tree; nothing was changed" % tree)

    refuse_foreign_folder()
    lock = os.open(inside(tree, LOCK), os.O_RDWR | os.O_CREAT | os.O_NOFOLLOW | os.O_CLOEXEC,
                   0o644)
    with os.fdopen(lock, "r+"):
        # Two demos starting at once: the second waits, then finds the tree made.
        fcntl.flock(lock, fcntl.LOCK_EX)
        refuse_foreign_folder()
        files = content(build_dir)
        want = digest(files)
        have = None
        if os.path.isfile(stamp) and not os.path.islink(stamp):
            with open(stamp, encoding="ascii", errors="replace") as f:
                have = f.read().strip()
        folders = (PROGRAM_FILES, UPDATE_FILES, REGISTRATION)
        if have == want and all(os.path.isdir(inside(tree, d)) for d in folders):
            return False
        # The stamp stays while the tree is rewritten, so that an interrupted run leaves a
        # tree that the next run recognises as its own and finishes.
        write_stamp(stamp, "incomplete")
        for folder, entries in files.items():
            path = inside(tree, folder)
            remove(path)
            os.mkdir(path)
            for name, data in entries.items():
                with open(inside(tree, folder, name), "xb") as f:
                    f.write(data)
        registration = inside(tree, REGISTRATION)
        if os.path.islink(registration) or not os.path.isdir(registration):
            remove(registration)
            os.mkdir(registration)
        write_stamp(stamp, want)
        return True


def write_stamp(stamp, text):
    remove(stamp + ".new")
    with open(stamp + ".new", "x", encoding="ascii") as f:
        f.write(text + "\n")
    os.replace(stamp + ".new", stamp)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=demo_common.DEFAULT_BUILD_DIR,
                        help="the build folder with the zip engine and the English texts tool")
    parser.add_argument("tree")
    args = parser.parse_args()
    try:
        made = ensure_tree(args.tree, args.build)
    except (DemoError, OSError) as e:
        print("demo_tree: %s" % e, file=sys.stderr)
        return 1
    print("demo tree %s: %s" % (args.tree, "generated" if made else "up to date"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
