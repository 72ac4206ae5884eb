#!/usr/bin/python3
"""Checks that the kit component installs a tree that works on its own: a
manual page for each command and a command for each page, and each Python
command running from the installed tree with the modules installed beside
it (none taken from the source tree).

kit_files_test.py BUILD_DIR"""

import os
import subprocess
import sys
import tempfile


def installed(build, stage):
    subprocess.run(["cmake", "--install", build, "--component", "kit", "--prefix", "/usr"], check=True,
                   stdout=subprocess.DEVNULL, env={**os.environ, "DESTDIR": stage})
    return os.path.join(stage, "usr")


def problems(prefix):
    commands = set(os.listdir(os.path.join(prefix, "bin")))
    pages = {name.removesuffix(".1") for name in os.listdir(os.path.join(prefix, "share", "man", "man1"))}
    yield from (f"bin/{name}: no manual page" for name in sorted(commands - pages))
    yield from (f"share/man/man1/{name}.1: no command" for name in sorted(pages - commands))
    for name in sorted(commands):
        path = os.path.join(prefix, "bin", name)
        with open(path, "rb") as command:
            if not command.readline().startswith(b"#!/usr/bin/python3"):
                continue
        # Isolated: no PYTHONPATH, no user site, and not run from the source tree.
        done = subprocess.run([sys.executable, "-I", "-B", path, "--help"], capture_output=True, text=True,
                              cwd=prefix)
        if done.returncode != 0:
            yield f"bin/{name} --help installed: status {done.returncode}: {done.stderr.strip()[-400:]}"


def main(build):
    with tempfile.TemporaryDirectory() as stage:
        found = list(problems(installed(build, stage)))
    for problem in found:
        print(problem)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
