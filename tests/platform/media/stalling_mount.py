#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Serves one file through a FUSE mount whose reads stop answering past an
offset, as a dropped network share or a failing USB stick does.

usage: stalling_mount.py SOURCE MOUNTPOINT STALL_OFFSET RELEASE_FILE

The file appears as MOUNTPOINT/<name of SOURCE>. A read that reaches past
STALL_OFFSET blocks until RELEASE_FILE exists, except in the file's last
256 KiB: an index kept at the end stays readable, so that the file opens.
Runs in the foreground until unmounted (fusermount3 -u MOUNTPOINT).
"""

import errno
import os
import stat
import sys
import time

from fusepy import FUSE, FuseOSError, Operations

TAIL_KEPT = 256 * 1024


class StallingFile(Operations):
    def __init__(self, source, stall_offset, release_file):
        self.source = source
        self.name = "/" + os.path.basename(source)
        self.size = os.path.getsize(source)
        self.stall_offset = stall_offset
        self.release_file = release_file

    def getattr(self, path, fh=None):
        now = time.time()
        if path == "/":
            return dict(st_mode=stat.S_IFDIR | 0o755, st_nlink=2, st_size=0,
                        st_ctime=now, st_mtime=now, st_atime=now)
        if path == self.name:
            return dict(st_mode=stat.S_IFREG | 0o444, st_nlink=1, st_size=self.size,
                        st_ctime=now, st_mtime=now, st_atime=now)
        raise FuseOSError(errno.ENOENT)

    def readdir(self, path, fh):
        return [".", "..", self.name[1:]]

    def open(self, path, flags):
        if path != self.name:
            raise FuseOSError(errno.ENOENT)
        return 0

    def read(self, path, size, offset, fh):
        end = min(offset + size, self.size)
        if end > self.stall_offset and offset < self.size - TAIL_KEPT:
            sys.stderr.write("stalling a read at %d\n" % offset)
            sys.stderr.flush()
            while not os.path.exists(self.release_file):
                time.sleep(0.05)
        with open(self.source, "rb") as f:
            f.seek(offset)
            return f.read(size)


def main():
    if len(sys.argv) != 5:
        sys.stderr.write(__doc__)
        return 2
    source, mountpoint, stall_offset, release_file = sys.argv[1:]
    FUSE(StallingFile(os.path.abspath(source), int(stall_offset), release_file), mountpoint,
         foreground=True, nothreads=False, ro=True, direct_io=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
