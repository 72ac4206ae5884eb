"""scripts/replay-trace: a scan recorded with strace under the stand-in,
replayed, gives the same bytes and status; a trace it cannot read stops it."""

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
    command = ["strace", "-o", str(trace), *strace_options, *RECORD, TOOL, *arguments]
    recorded = run(options=options, command=command, sky=b"")
    return trace, arguments, recorded


@pytest.mark.parametrize("options,strace_options", SCANS.values(), ids=SCANS.keys())
def test_replay_gives_the_recorded_run(tmp_path, options, strace_options):
    trace, arguments, recorded = record(tmp_path, options, strace_options)
    replayed = subprocess.run([REPLAY, "--emulator", EMULATOR, str(trace), "--", TOOL, *arguments],
                              capture_output=True, timeout=60)
    assert (replayed.stdout, replayed.stderr, replayed.returncode) == (
        recorded.stdout, recorded.stderr, recorded.status)


def test_unreadable_trace(tmp_path):
    trace, _, _ = record(tmp_path, ["--satellite", "Hotbird-13.0E"], [])
    lines = trace.read_text().splitlines()
    cut = next(n for n, line in enumerate(lines, 1) if line.startswith(" | 00010"))
    trace.write_text("\n".join(lines[:cut]) + "\n")
    done = subprocess.run([REPLAY, "--emulator", EMULATOR, str(trace), "--", "touch", str(tmp_path / "ran")],
                          capture_output=True, timeout=60)
    assert (done.returncode, done.stdout, (tmp_path / "ran").exists()) == (2, b"", False)
    assert done.stderr.startswith(f"replay-trace: {trace}:{cut - 2}: ".encode())
