#!/usr/bin/env python3
"""widl stores the last byte of the library's own GUID as 0x0D in the type
library it writes. Put the real LIBID back, so the library registers and
loads under its own identity."""
import sys
import uuid

path, libid = sys.argv[1], uuid.UUID(sys.argv[2])
good = libid.bytes_le
data = bytearray(open(path, "rb").read())
if good in data:
    sys.exit(0)
bad = good[:15] + b"\x0d"
at = data.find(bad)
if at < 0:
    sys.exit("LIBID not found in " + path)
data[at:at + 16] = good
open(path, "wb").write(data)
