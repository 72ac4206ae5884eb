#!/usr/bin/python3
"""Checks that the kit component installs exactly the files the README lists
under "The kit's install tree holds".

kit_files_test.py README BUILD_DIR"""

import os
import subprocess
import sys
import tempfile

HEADING = "The kit's install tree holds"


def listed(readme):
    """The paths in the fenced block that follows the README's heading line."""
    lines = open(readme, encoding="utf-8").read().splitlines()
    start = next(n for n, line in enumerate(lines) if line.startswith(HEADING))
    opening = next(n for n in range(start, len(lines)) if lines[n].startswith("```"))
    closing = next(n for n in range(opening + 1, len(lines)) if lines[n].startswith("```"))
    return sorted(line.strip() for line in lines[opening + 1:closing] if line.strip())


def installed(build):
    with tempfile.TemporaryDirectory() as stage:
        subprocess.run(["cmake", "--install", build, "--component", "kit", "--prefix", "/usr"], check=True,
                       stdout=subprocess.DEVNULL, env={**os.environ, "DESTDIR": stage})
        prefix = os.path.join(stage, "usr")
        return sorted(os.path.relpath(os.path.join(top, name), prefix)
                      for top, _, names in os.walk(prefix) for name in names)


def main(readme, build):
    want, got = listed(readme), installed(build)
    for path in sorted(set(want) - set(got)):
        print(f"listed in the README, not installed: {path}")
    for path in sorted(set(got) - set(want)):
        print(f"installed, not listed in the README: {path}")
    return 0 if want == got else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
