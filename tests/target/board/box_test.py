#!/usr/bin/env python3
"""scripts/box runs the shipped tool on the emulated box: a published sky
gives what the host's stand-in gives for it, a two-tuner session recorded
with strace on the host replays there, the README's recording line records
there a trace that replays on the host, and the command's own exit status
comes back.

Exit status: 0 passed, 1 failed, 77 skipped because something the box or
the host's stand-in needs is missing (in CI, CI=true, a failure)."""

import argparse
import os
import shlex
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "scripts", "lib"))

import board  # noqa: E402

SCAN = ["950", "2150", "1000", "45000"]
SKY = ["--satellite", "Hotbird-13.0E"]


def readme_recording():
    """The README's front-end sweep and its line that records it on a box."""
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "README.md")) as readme:
        lines = readme.read().splitlines()
    sweep = next(shlex.split(line)[0] for line in lines if line.startswith("sweep="))
    record = next(line for line in lines if line.endswith("# on the box"))
    return sweep[len("sweep="):], record[: record.index("#")].strip()


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
    if missing is None and shutil.which("strace") is None:
        missing = "strace is not installed"
    if missing is not None:
        print(f"box test: {missing}")
        return 1 if os.environ.get("CI") == "true" else 77

    parts = ["--tool", options.tool, "--emulator", options.emulator, "--sysroot", options.sysroot]

    def box(*arguments):
        done = subprocess.run([options.box, *parts, *arguments], capture_output=True, timeout=100)
        return done.stdout, done.stderr, done.returncode

    def host(*arguments):
        done = subprocess.run([options.host_emulator, *arguments], capture_output=True, timeout=60)
        return done.stdout, done.stderr, done.returncode

    failed = 0

    def check(what, got, expected):
        nonlocal failed
        print(f"{'ok  ' if got == expected else 'FAIL'} {what}")
        if got != expected:
            print(f"  gave {got!r}\n  expected {expected!r}")
            failed += 1

    sky_scan = ["mivo_blindscan", "0", *SCAN, "0", "0"]
    on_host = host(*SKY, "--", host_tool, *sky_scan[1:])
    check("a published sky", box(*SKY, "--", *sky_scan), on_host)
    check("it holds carriers", on_host[0].count(b"OK ") >= 20, True)

    # Two tuners, one of them refusing its scan, as a front end sweeps them.
    session = "; ".join(f"mivo_blindscan {n} {' '.join(SCAN)} {n} 1; echo status $?" for n in (0, 1))
    with tempfile.TemporaryDirectory(prefix="box-test-") as scratch:
        trace = os.path.join(scratch, "scan.trace")
        answers = os.path.join(scratch, "answers")
        with open(answers, "w") as out:
            out.write("device 0\nscan\nread 4c1d0f00 6c6b0000 00000000\ndevice 1\nscan failed EBUSY\n")
        recorded = host("--answers", answers, "--", "strace", "-f", "-o", trace, "-e", "trace=open,openat,ioctl,read",
                        "-e", "read=all", "sh", "-c", session.replace("mivo_blindscan", host_tool))
        check("a two-tuner session, replayed", box("--trace", trace, "--", "sh", "-c", session), recorded)

    # The README's recording line runs in the box as on a real one; the trace
    # it writes, brought out on standard error, replays here to the same bytes.
    sweep, record = readme_recording()
    in_box = box(*SKY, "--", "sh", "-c", f"sweep={shlex.quote(sweep)}; {record} && cat scan.trace >&2")
    check("the README's recording in the box", (in_box[2], in_box[0].count(b"open path")), (0, 4))
    with tempfile.TemporaryDirectory(prefix="box-test-") as scratch:
        trace = os.path.join(scratch, "scan.trace")
        with open(trace, "wb") as out:
            out.write(in_box[1])
        replayed = subprocess.run([os.path.join(os.path.dirname(options.box), "replay-trace"), "--emulator",
                                   options.host_emulator, trace, "--", "sh", "-c", sweep], capture_output=True,
                                  timeout=60, env={**os.environ, "PATH": f"{os.path.dirname(host_tool)}:{os.environ['PATH']}"})
        check("its trace replayed on the host", (replayed.stdout, replayed.returncode), (in_box[0], 0))

    # An empty name is the box's stand-in's to refuse, as the host's does,
    # and its refusal alone comes back.
    stdout, stderr, status = box("--satellite", "", "--", "true")
    check("an empty satellite name, refused", (status, stdout, stderr[:5], b"no satellite ''" in stderr),
          (2, b"", b"box: ", True))
    check("the command's exit status", box("--", "exit", "3"), (b"", b"", 3))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
