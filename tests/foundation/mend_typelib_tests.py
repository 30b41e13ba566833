#!/usr/bin/env python3
"""mend_typelib_tests.py STEP RAW MENDED IDL

The build's type-library step (cmake/mend_typelib.py) run on the IDL
compiler's library RAW of this build and on damaged copies of it: it must
give exactly the library the build embeds (MENDED), copy a sound library
unchanged, and refuse, writing nothing, whatever it does not recognise.
"""
import os
import struct
import subprocess
import sys
import tempfile
import unittest

STEP, RAW, MENDED, IDL = sys.argv[1:5]
DISPATCH_BASE_AT = 0x4C  # header field: the reference of the dispatch base


def read(path):
    with open(path, "rb") as f:
        return f.read()


class MendStep(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory()
        self.raw, self.mended = read(RAW), read(MENDED)

    def tearDown(self):
        self.work.cleanup()

    def run_step(self, data):
        source, target = os.path.join(self.work.name, "in.tlb"), os.path.join(self.work.name, "out.tlb")
        with open(source, "wb") as f:
            f.write(data)
        with open(target, "wb") as f:
            f.write(b"stale")
        done = subprocess.run([sys.executable, STEP, source, target, IDL], capture_output=True, text=True)
        return done.returncode, read(target) if os.path.exists(target) else None, done.stdout + done.stderr

    def expect_refused(self, data, why):
        code, out, text = self.run_step(data)
        self.assertNotEqual(code, 0, text)
        self.assertIsNone(out, "a refused library must leave no output")
        self.assertIn(why, text)

    def mended_bytes(self):
        """Offsets where the build's library differs from the raw one."""
        self.assertEqual(len(self.raw), len(self.mended))
        return [i for i in range(len(self.raw)) if self.raw[i] != self.mended[i]]

    def test_mends_the_raw_library_into_the_embedded_one_and_leaves_that_as_it_is(self):
        code, out, text = self.run_step(self.raw)
        self.assertEqual(code, 0, text)
        self.assertEqual(out, self.mended)
        # One byte of the library GUID and the four of one GUID offset, nothing else.
        self.assertEqual(len(self.mended_bytes()), 5, self.mended_bytes())
        code, out, text = self.run_step(self.mended)
        self.assertEqual(code, 0, text)
        self.assertEqual(out, self.mended)
        self.assertIn("sound already", text)

    def test_refuses_what_it_does_not_recognise(self):
        changed = self.mended_bytes()
        # The four bytes of the GUID offset run together; the GUID's byte stands alone.
        offset_at = next(i for i in changed if i + 3 in changed)
        guid_byte = next(i for i in changed if not offset_at <= i < offset_at + 4)
        self.expect_refused(b"NOTATYPELIBRARY" + self.raw[15:], "magic")
        self.expect_refused(self.raw[:600], "outside the file")

        other_byte = bytearray(self.raw)
        other_byte[guid_byte] ^= 0x01
        self.expect_refused(bytes(other_byte), "library GUID")

        two_faulty = bytearray(self.raw)
        struct.pack_into("<i", two_faulty, offset_at - 12, -1)  # the import before it
        self.expect_refused(bytes(two_faulty), "2 imports with GUID offset -1")

        other_base = bytearray(self.raw)
        struct.pack_into("<i", other_base, DISPATCH_BASE_AT, 1)
        self.expect_refused(bytes(other_base), "not the library's dispatch base")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
