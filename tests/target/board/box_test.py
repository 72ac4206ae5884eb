#!/usr/bin/env python3
"""scripts/box runs the shipped tool on the emulated box against a published
sky and gives what the host's stand-in gives for the same sky.

Exit status: 0 passed, 1 failed, 77 skipped because something the box or
the host's stand-in needs is missing (in CI, CI=true, a failure)."""

import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "scripts", "lib"))

import board  # noqa: E402

SCAN = ["mivo_blindscan", "0", "950", "2150", "1000", "45000", "0", "0"]
SKY = ["--satellite", "Hotbird-13.0E"]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    for name in ("box", "tool", "emulator", "sysroot", "host-emulator"):
        parser.add_argument("--" + name, required=True)
    options = parser.parse_args()
    _, missing = board.find_parts(options.sysroot, options.tool, options.emulator)
    host_tool = os.path.join(os.path.dirname(options.host_emulator), "mivo_blindscan")
    for path in (options.host_emulator, host_tool):
        if missing is None and not os.access(path, os.X_OK):
            missing = f"the host build (cmake --preset host) lacks {path}"
    if missing is None and not os.path.isfile("/usr/share/dvb/dvb-s/" + SKY[1]):
        missing = f"no {SKY[1]} in /usr/share/dvb/dvb-s (Debian: dtv-scan-tables)"
    if missing is not None:
        print(f"box test: {missing}")
        return 1 if os.environ.get("CI") == "true" else 77

    on_box = subprocess.run([options.box, *SKY, "--", *SCAN], capture_output=True, timeout=100)
    on_host = subprocess.run([options.host_emulator, *SKY, "--", host_tool, *SCAN[1:]], capture_output=True, timeout=60)
    print(f"box: status {on_box.returncode}, {on_box.stdout.count(b'OK ')} report lines")
    got = (on_box.returncode, on_box.stdout, on_box.stderr)
    if got != (0, on_host.stdout, b"") or on_host.stdout.count(b"OK ") < 20:
        print(f"FAIL box gave {got!r}\nthe host's stand-in gave {on_host.stdout!r}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
