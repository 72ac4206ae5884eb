"""scripts/replay-trace: runs recorded with strace under the stand-in, in
everyday forms, replay to the same bytes and status; a trace it cannot
read stops it before anything runs."""

import os
import re
import shutil
import subprocess

import pytest

from harness import EMULATOR, LOW_HORIZONTAL, REPO, TOOL, missing

REPLAY = str(REPO / "scripts/replay-trace")
CALLS = ["-e", "trace=execve,open,openat,ioctl,read"]
DUMP = CALLS + ["-e", "read=all"]
HOTBIRD = ["--satellite", "Hotbird-13.0E"]


@pytest.fixture(scope="module", autouse=True)
def strace():
    if shutil.which("strace") is None:
        missing("strace is not installed")


def scan(device="0"):
    return [TOOL, device, *LOW_HORIZONTAL[1:]]


def record(tmp_path, options, strace_options, command, on_stderr=False):
    """Runs command under strace under the stand-in; the trace and what ran."""
    trace = tmp_path / "scan.trace"
    # LeakSanitizer, in the sanitizer build's tool, cannot run under a tracer.
    no_leak_check = "ASAN_OPTIONS=" + ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "detect_leaks=0"]))
    strace = ["strace", "-E", no_leak_check, *strace_options]
    if on_stderr:  # the trace on standard error, as a shell redirects it
        strace = ["sh", "-c", f'exec "$@" 2>{trace}', "sh", *strace]
    else:
        strace += ["-o", str(trace)]
    done = subprocess.run([EMULATOR, *options, "--", *strace, *command], capture_output=True, timeout=60)
    return trace, (done.stdout, b"" if on_stderr else done.stderr, done.returncode)


NOT_CHECKED = b"replay-trace: requests are not checked: "


def replay(trace, command, timeout=60):
    """What the command gave in the replay; replay-trace's notice that it
    does not check requests is taken from the start of standard error."""
    done = subprocess.run([REPLAY, "--emulator", EMULATOR, str(trace), "--", *command], capture_output=True,
                          timeout=timeout)
    stderr = done.stderr
    if stderr.startswith(NOT_CHECKED):
        stderr = stderr.split(b"\n", 1)[1]
    return done.stdout, stderr, done.returncode


# Each everyday set of strace's options, with the stand-in's options and the
# device scanned: what the driver answered, as each set records it.
FLAG_SETS = {
    "as the README records": (HOTBIRD, DUMP + ["-x"], "0"),
    "-f in a file, -tt, device 2": (HOTBIRD + ["--device", "2"], DUMP + ["-f", "-tt"], "2"),
    "-T, a refused request": (["--fail-ioctl", "EIO"], DUMP + ["-T"], "0"),
    "-y, a failed read": (["--fail-read", "EIO"], DUMP + ["-y"], "0"),
    "-yy, nothing found": (["--sky", "/dev/null"], DUMP + ["-yy"], "0"),
    "-r": (HOTBIRD, DUMP + ["-r"], "0"),
    "-xx, device -1": (HOTBIRD + ["--device", "-1"], DUMP + ["-xx"], "-1"),
    "-X raw": (HOTBIRD, DUMP + ["-X", "raw"], "0"),
    "-X verbose": (HOTBIRD, DUMP + ["-X", "verbose"], "0"),
    "-t -r -n -i": (HOTBIRD, DUMP + ["-t", "-r", "-n", "-i"], "0"),
    "-k -ttt": ([], DUMP + ["-k", "-ttt"], "0"),
    "--timestamps=unix,ns -v": ([], DUMP + ["--timestamps=unix,ns", "-v"], "0"),
    "every call, -e write=all": ([], ["-e", "read=all", "-e", "write=all"], "0"),
    "-s 2000 -x, no dump": (HOTBIRD, ["-s", "2000", "-x"], "0"),
    "--timestamps=unix, a scan across a second": (["--scan-ms", "1100"], DUMP + ["--timestamps=unix"], "0"),
    "-e raw=read,ioctl -f -Y": (HOTBIRD, DUMP + ["-e", "raw=read,ioctl", "-f", "-Y"], "0"),
    "-C, its summary after the calls": (HOTBIRD, DUMP + ["-C"], "0"),
    "strings as text, no dump": (HOTBIRD, ["-s", "2000"], "0"),
}


@pytest.mark.parametrize("options,strace_options,device", FLAG_SETS.values(), ids=FLAG_SETS.keys())
def test_a_recorded_scan_replays_exactly(tmp_path, options, strace_options, device):
    trace, recorded = record(tmp_path, options, strace_options, scan(device))
    assert replay(trace, scan(device)) == recorded


def test_strace_on_standard_error_with_a_process_id_column(tmp_path):
    command = ["sh", "-c", f"{TOOL} 0 950 1950 1000 45000 1 0; {TOOL} 0 950 1950 1000 45000 0 0"]
    trace, recorded = record(tmp_path, HOTBIRD, DUMP + ["-f"], command, on_stderr=True)
    assert b"[pid " in trace.read_bytes()
    assert replay(trace, command) == recorded


def test_a_front_ends_four_sweeps_on_two_tuners(tmp_path):
    sweeps = ["0 950 2150 1000 45000 0 0", "1 950 2150 1000 45000 1 0", "0 950 2150 1000 45000 0 1",
              "1 950 2150 1000 45000 1 1"]
    command = ["sh", "-c", "".join(f"{TOOL} {sweep}; echo status $?; " for sweep in sweeps)]
    trace, recorded = record(tmp_path, HOTBIRD + ["--device", "0", "--device", "1"], DUMP + ["-f"], command)
    assert recorded[0].count(b"status 0\n") == 4 and recorded[0].count(b"OK ") > 40
    assert replay(trace, command) == recorded


# A scan request the tool never saw answered, because a front end's timeout
# killed it: recorded as strace prints it, and as a box's driver reports it.
INTERRUPTED = {
    "killed: = ?": ("KILL", None),
    "terminated: EINTR": ("TERM", None),
    "ERESTARTSYS": ("TERM", (r"= -1 EINTR \(.*\)", "= ? ERESTARTSYS (To be restarted if SA_RESTART is set)")),
}


@pytest.mark.parametrize("signal,rewrite", INTERRUPTED.values(), ids=INTERRUPTED.keys())
def test_an_interrupted_scan_waits_for_the_commands_interruption(tmp_path, signal, rewrite):
    command = ["timeout", "-s", signal, "1", *scan()]
    trace, recorded = record(tmp_path, ["--scan-ms", "30000"], DUMP + ["-f"], command)
    if rewrite:
        trace.write_text(re.sub(*rewrite, trace.read_text()))
    assert recorded == (b"", b"", 124 if signal == "TERM" else 137)
    assert replay(trace, command) == recorded


def test_halves_of_a_split_read_are_joined(tmp_path):
    trace, recorded = record(tmp_path, HOTBIRD, DUMP + ["-f"], scan())
    text = re.sub(r"^(\d+) (read\(3, )(.*)$", r"\1 \2 <unfinished ...>\n\1 <... read resumed>\3", trace.read_text(),
                  count=1, flags=re.M)
    trace.write_text(text)
    assert replay(trace, scan()) == recorded


# How a good trace is spoilt, given its lines and the index of the device's
# read, and the index of the line the error must name.
SPOILT = {
    "not strace's output": lambda lines, read: (["Linux version 6.1.0"] + lines, 0),
    "dump line cut": lambda lines, read: (lines[: read + 2] + [lines[read + 2][:20]], read + 2),
    "dump lines swapped": lambda lines, read: (lines[: read + 1] + [lines[read + 2], lines[read + 1]]
                                               + lines[read + 3 :], read + 1),
    "dump missing, string cut short": lambda lines, read: (
        lines[: read + 1] + [line for line in lines[read + 1 :] if not line.startswith(" | ")], read),
}


@pytest.mark.parametrize("spoil", SPOILT.values(), ids=SPOILT.keys())
def test_unreadable_trace(tmp_path, spoil):
    trace, _ = record(tmp_path, HOTBIRD, DUMP, scan())
    lines = trace.read_text().splitlines()
    # The device's read is the first after its open (a dynamic tool reads its libraries before).
    opened = next(n for n, line in enumerate(lines) if "/dev/blindscan" in line)
    lines, named = spoil(lines, next(n for n in range(opened, len(lines)) if lines[n].startswith("read(")))
    trace.write_text("\n".join(lines) + "\n")
    ran = tmp_path / "ran"
    stdout, stderr, status = replay(trace, ["touch", str(ran)])
    assert (status, stdout, ran.exists()) == (2, b"", False)
    assert stderr.startswith(f"replay-trace: {trace}:{named + 1}: ".encode())
