#!/usr/bin/python3
"""Checks that the kit component installs a tree that works on its own: a
manual page for each command and a command for each page, and each Python
command running from the installed tree with the modules installed beside
it (none taken from the source tree).  The build's staged prefix (BUILD_DIR/
kit) holds the same commands, modules and pages as the install of the tool
and the kit, and works on its own as well.

kit_files_test.py BUILD_DIR"""

import os
import subprocess
import sys
import tempfile


def installed(build, stage):
    for component in ("kit", "Unspecified"):
        subprocess.run(["cmake", "--install", build, "--component", component, "--prefix", "/usr"], check=True,
                       stdout=subprocess.DEVNULL, env={**os.environ, "DESTDIR": stage})
    return os.path.join(stage, "usr")


def files(prefix):
    """The commands, the modules and the pages under prefix (not the
    documents, which the staged prefix leaves out)."""
    return {os.path.relpath(os.path.join(folder, name), prefix)
            for top in ("bin", "share/man", "share/mivo_blindscan")
            for folder, _, names in os.walk(os.path.join(prefix, top)) for name in names}


def problems(prefix, where):
    commands = set(os.listdir(os.path.join(prefix, "bin")))
    pages = {name.removesuffix(".1") for name in os.listdir(os.path.join(prefix, "share", "man", "man1"))}
    yield from (f"{where}bin/{name}: no manual page" for name in sorted(commands - pages))
    yield from (f"{where}share/man/man1/{name}.1: no command" for name in sorted(pages - commands))
    for name in sorted(commands):
        path = os.path.join(prefix, "bin", name)
        with open(path, "rb") as command:
            if not command.readline().startswith(b"#!/usr/bin/python3"):
                continue
        # Isolated: no PYTHONPATH, no user site, and not run from the source tree.
        done = subprocess.run([sys.executable, "-I", "-B", path, "--help"], capture_output=True, text=True,
                              cwd=prefix)
        if done.returncode != 0:
            yield f"{where}bin/{name} --help: status {done.returncode}: {done.stderr.strip()[-400:]}"


def main(build):
    staged = os.path.join(os.path.abspath(build), "kit")
    with tempfile.TemporaryDirectory() as stage:
        prefix = installed(build, stage)
        found = list(problems(prefix, "installed: ")) + list(problems(staged, f"{staged}/"))
        found += [f"{staged}/{name}: not installed" for name in sorted(files(staged) - files(prefix))]
        found += [f"{staged}/{name}: installed, not staged" for name in sorted(files(prefix) - files(staged))]
    for problem in found:
        print(problem)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
