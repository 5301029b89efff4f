#!/usr/bin/env python3
"""Zips a folder so that the same files always give the same bytes.

usage: zip.py FOLDER ZIPFILE [--root NAME]

Entries go in sorted order, each stamped with SOURCE_DATE_EPOCH (UTC; the
current time where it is unset), with fixed modes (0755 for folders and
programs, 0644 for the rest) and no extra fields, so neither the build's
clock, its umask, its file system's order, its user nor its time zone
reaches the archive. With --root the entries sit in a folder of that name.
"""

import argparse
import os
import sys
import time
import zipfile

# A zip's times are local times from 1980 on, in steps of two seconds.
ZIP_EPOCH = 315532800


def stamp():
    value = os.environ.get("SOURCE_DATE_EPOCH")
    if value is None:
        seconds = int(time.time())
    elif value.isdigit():
        seconds = int(value)
    else:
        sys.exit(f"zip.py: SOURCE_DATE_EPOCH is not a count of seconds: {value!r}")
    return time.gmtime(max(seconds, ZIP_EPOCH))[:6]


def entries(folder):
    """Every folder and file below folder, relative to it, in sorted order."""
    found = []
    for top, dirs, files in os.walk(folder):
        rel = os.path.relpath(top, folder)
        for name in dirs + files:
            path = os.path.join(top, name)
            if os.path.islink(path):
                sys.exit(f"zip.py: {path} is a symbolic link, which a zip cannot carry")
            found.append(os.path.normpath(os.path.join(rel, name)))
    return sorted(found, key=lambda p: p.split(os.sep))


def main():
    parser = argparse.ArgumentParser(description="Zips a folder reproducibly.")
    parser.add_argument("folder")
    parser.add_argument("zipfile")
    parser.add_argument("--root", default="", help="folder name the entries sit in")
    args = parser.parse_args()
    if not os.path.isdir(args.folder):
        sys.exit(f"zip.py: {args.folder} is not a folder")

    when = stamp()
    prefix = args.root.strip("/") + "/" if args.root else ""
    partial = args.zipfile + ".partial"
    with zipfile.ZipFile(partial, "w") as out:
        if prefix:
            out.writestr(folderinfo(prefix, when), b"")
        for rel in entries(args.folder):
            path = os.path.join(args.folder, rel)
            name = prefix + rel.replace(os.sep, "/")
            if os.path.isdir(path):
                out.writestr(folderinfo(name + "/", when), b"")
                continue
            info = zipfile.ZipInfo(name, when)
            info.create_system = 3  # Unix, so that unzip honours the modes
            mode = 0o755 if os.stat(path).st_mode & 0o111 else 0o644
            info.external_attr = (0o100000 | mode) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as f:
                out.writestr(info, f.read(), compresslevel=9)
    os.replace(partial, args.zipfile)


def folderinfo(name, when):
    info = zipfile.ZipInfo(name, when)
    info.create_system = 3
    # Unix mode in the high half, MS-DOS's folder bit in the low.
    info.external_attr = (0o40755 << 16) | 0x10
    return info


if __name__ == "__main__":
    main()
