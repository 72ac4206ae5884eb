#!/usr/bin/env python3
"""scripts/mips32-release1 retag on small objects and archives compiled for
release 2 here: a clean object or member comes out tagged release 1; one
that uses a release-2 instruction is refused by name, or with --leave-out
left out and listed with its symbols, never dropped silently.

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
    # Plain arithmetic: nothing that release 1 lacks.
    "clean": "int clean_add(int a, int b) { return a + b; }\n",
    # A sign extension of a byte, which release 2 does with seb.
    "dirty": "int dirty_extend(int x) { return (signed char)x; }\n",
}
EF_MIPS_ARCH = 0xF000_0000
EF_MIPS_ARCH_32 = 0x5000_0000


def architecture(path):
    with open(path, "rb") as file:
        data = file.read(40)
    return struct.unpack_from("<I", data, 36)[0] & EF_MIPS_ARCH


class Retag(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory()
        self.addCleanup(self.work.cleanup)
        self.objects = {}
        for name, source in SOURCES.items():
            c_file = self.path(f"{name}.c")
            with open(c_file, "w") as file:
                file.write(source)
            self.objects[name] = self.path(f"{name}.o")
            subprocess.run([ARGS.cc, "-march=mips32r2", "-O2", "-c", c_file, "-o", self.objects[name]], check=True)

    def path(self, name):
        return os.path.join(self.work.name, name)

    def archive(self, *names):
        path = self.path("-".join(names) + ".a")
        ar = ARGS.cc.replace("gcc", "ar")
        subprocess.run([ar, "rc", path, *(self.objects[name] for name in names)], check=True)
        return path

    def retag(self, *arguments):
        return subprocess.run([ARGS.script, "retag", *arguments], capture_output=True, text=True)

    def members(self, path):
        ar = ARGS.cc.replace("gcc", "ar")
        return subprocess.run([ar, "t", path], check=True, capture_output=True, text=True).stdout.split()

    def test_refuses_release2_code_by_name(self):
        cases = [
            ("an object", lambda: self.objects["dirty"], [], "dirty_extend"),
            ("an archive member", lambda: self.archive("clean", "dirty"), [], "(dirty.o)"),
        ]
        for label, source, options, named in cases:
            with self.subTest(label):
                output = self.path("out")
                result = self.retag(*options, source(), output)
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(named, result.stdout)
                self.assertFalse(os.path.exists(output))

    def test_leave_out_lists_each_member_left_out(self):
        output = self.path("out.a")
        # A list from an earlier run must not outlive a run that leaves nothing out.
        cases = [
            (("clean", "dirty"), ["clean.o"], "dirty.o: seb in dirty_extend; defines dirty_extend"),
            (("clean",), ["clean.o"], None),
        ]
        for names, kept, listed in cases:
            with self.subTest(names=names):
                result = self.retag("--leave-out", self.archive(*names), output)
                self.assertEqual(result.returncode, 0, result.stdout)
                self.assertEqual(self.members(output), kept)
                if listed is None:
                    self.assertFalse(os.path.exists(output + ".left-out"))
                else:
                    with open(output + ".left-out") as file:
                        self.assertIn(listed, file.read())

    def test_clean_code_comes_out_tagged_release1(self):
        cases = [("object", lambda: self.objects["clean"]), ("archive", lambda: self.archive("clean"))]
        for label, source in cases:
            with self.subTest(label):
                output = self.path(f"out-{label}")
                result = self.retag(source(), output)
                self.assertEqual(result.returncode, 0, result.stdout)
                if label == "archive":
                    subprocess.run([ARGS.cc.replace("gcc", "ar"), "x", output], cwd=self.work.name, check=True)
                    output = self.path("clean.o")
                self.assertEqual(architecture(output), EF_MIPS_ARCH_32)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--script", required=True)
    parser.add_argument("--cc", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest])
