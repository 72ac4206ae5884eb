"""scripts/replay-trace: a scan recorded with strace under the stand-in,
replayed, gives the same bytes and status; a trace it cannot read stops it."""

import os
import shutil
import subprocess

import pytest

from harness import EMULATOR, LOW_HORIZONTAL, REPO, TOOL, missing, run

REPLAY = str(REPO / "scripts/replay-trace")
RECORD = ["-e", "trace=open,openat,ioctl,read", "-e", "read=all", "-x"]

# The stand-in's options and strace's own for each recorded scan.
SCANS = {
    "published sky": (["--satellite", "Hotbird-13.0E"], []),
    "process id column and time stamps": (["--satellite", "Hotbird-13.0E", "--device", "2"], ["-f", "-tt"]),
    "refused request": (["--fail-ioctl", "EIO"], []),
    "failed read": (["--fail-read", "EIO"], []),
    "nothing found": (["--sky", "{sky}"], []),
}


@pytest.fixture(scope="module", autouse=True)
def strace():
    if shutil.which("strace") is None:
        missing("strace is not installed")


def record(tmp_path, options, strace_options):
    trace = tmp_path / "scan.trace"
    device = options[options.index("--device") + 1] if "--device" in options else "0"
    arguments = [device, *LOW_HORIZONTAL[1:]]
    # LeakSanitizer, in the sanitizer build's tool, cannot run under a tracer.
    no_leak_check = "ASAN_OPTIONS=" + ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "detect_leaks=0"]))
    command = ["strace", "-o", str(trace), "-E", no_leak_check, *strace_options, *RECORD, TOOL, *arguments]
    recorded = run(options=options, command=command, sky=b"")
    return trace, arguments, recorded


@pytest.mark.parametrize("options,strace_options", SCANS.values(), ids=SCANS.keys())
def test_replay_gives_the_recorded_run(tmp_path, options, strace_options):
    trace, arguments, recorded = record(tmp_path, options, strace_options)
    replayed = subprocess.run([REPLAY, "--emulator", EMULATOR, str(trace), "--", TOOL, *arguments],
                              capture_output=True, timeout=60)
    assert (replayed.stdout, replayed.stderr, replayed.returncode) == (
        recorded.stdout, recorded.stderr, recorded.status)


# How a good trace is spoilt, given its lines and the index of the device's
# read, and the index of the line the error must name.
SPOILT = {
    "not strace's output": lambda lines, read: (["Linux version 6.1.0"] + lines, 0),
    "dump cut short": lambda lines, read: (lines[: read + 3], read),
    "dump line cut": lambda lines, read: (lines[: read + 2] + [lines[read + 2][:20]], read + 2),
    "read line cut": lambda lines, read: (lines[:read] + [lines[read][:40]], read),
    "no read": lambda lines, read: (lines[:read], read - 1),
}


@pytest.mark.parametrize("spoil", SPOILT.values(), ids=SPOILT.keys())
def test_unreadable_trace(tmp_path, spoil):
    trace, _, _ = record(tmp_path, ["--satellite", "Hotbird-13.0E"], [])
    lines = trace.read_text().splitlines()
    # The device's read is the first after its open (a dynamic tool reads its libraries before).
    opened = next(n for n, line in enumerate(lines) if "/dev/blindscan" in line)
    lines, named = spoil(lines, next(n for n in range(opened, len(lines)) if lines[n].startswith("read(")))
    trace.write_text("\n".join(lines) + "\n")
    done = subprocess.run([REPLAY, "--emulator", EMULATOR, str(trace), "--", "touch", str(tmp_path / "ran")],
                          capture_output=True, timeout=60)
    assert (done.returncode, done.stdout, (tmp_path / "ran").exists()) == (2, b"", False)
    assert done.stderr.startswith(f"replay-trace: {trace}:{named + 1}: ".encode())
