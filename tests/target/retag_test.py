#!/usr/bin/env python3
"""scripts/mips32-release1 retag on objects and archives compiled here for
release 2: clean code comes out tagged release 1; code with a release-2
instruction is refused by name, or with --leave-out left out and listed,
never dropped silently.
  retag_test.py --script scripts/mips32-release1 --cc mipsel-linux-gnu-gcc
"""

import argparse
import os
import struct
import subprocess
import sys
import tempfile
import unittest

SOURCES = {
    "clean": "int clean_add(int a, int b) { return a + b; }\n",
    "dirty": "int dirty_extend(int x) { return (signed char)x; }\n",  # seb in release 2
}


class Retag(unittest.TestCase):
    def setUp(self):
        work = tempfile.TemporaryDirectory()
        self.addCleanup(work.cleanup)
        self.dir = work.name
        self.ar = ARGS.cc.replace("gcc", "ar")
        for name, source in SOURCES.items():
            with open(self.path(f"{name}.c"), "w") as file:
                file.write(source)
            self.run_ok(ARGS.cc, "-march=mips32r2", "-O2", "-c", f"{name}.c")

    def path(self, name):
        return os.path.join(self.dir, name)

    def run_ok(self, *command):
        return subprocess.run(command, cwd=self.dir, check=True, capture_output=True, text=True).stdout

    def archive(self, *names):
        archive = "-".join(names) + ".a"
        self.run_ok(self.ar, "rc", archive, *(f"{name}.o" for name in names))
        return self.path(archive)

    def retag(self, *arguments):
        return subprocess.run([ARGS.script, "retag", *arguments], capture_output=True, text=True)

    def test_refuses_release2_code_by_name(self):
        for source, named in [("dirty.o", "dirty_extend"), (("clean", "dirty"), "(dirty.o)")]:
            with self.subTest(source=source):
                path = self.path(source) if isinstance(source, str) else self.archive(*source)
                result = self.retag(path, self.path("out"))
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(named, result.stdout)
                self.assertFalse(os.path.exists(self.path("out")))

    def test_leave_out_lists_each_member_left_out(self):
        out = self.path("out.a")
        # The second run leaves nothing out: the first run's list must go.
        for names, listed in [(("clean", "dirty"), "dirty.o: seb in dirty_extend; defines dirty_extend"),
                              (("clean",), None)]:
            with self.subTest(names=names):
                result = self.retag("--leave-out", self.archive(*names), out)
                self.assertEqual(result.returncode, 0, result.stdout)
                self.assertEqual(self.run_ok(self.ar, "t", out).split(), ["clean.o"])
                if listed is None:
                    self.assertFalse(os.path.exists(out + ".left-out"))
                else:
                    with open(out + ".left-out") as file:
                        self.assertIn(listed, file.read())

    def test_clean_code_comes_out_tagged_release1(self):
        for source in ["clean.o", ("clean",)]:
            with self.subTest(source=source):
                path = self.path(source) if isinstance(source, str) else self.archive(*source)
                out = self.path("out")
                self.assertEqual(self.retag(path, out).returncode, 0)
                if not isinstance(source, str):
                    os.remove(self.path("clean.o"))
                    self.run_ok(self.ar, "x", out)
                    out = self.path("clean.o")
                with open(out, "rb") as file:
                    flags = struct.unpack_from("<I", file.read(40), 36)[0]
                self.assertEqual(flags & 0xF000_0000, 0x5000_0000)  # EF_MIPS_ARCH_32


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--script", required=True)
    parser.add_argument("--cc", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest])
