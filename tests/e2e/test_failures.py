"""Every way a run ends: the output, the exit status and what the driver saw."""

import os
import pathlib
import subprocess
import sys

import pytest

from harness import FAILED_IOCTL, LOW_HORIZONTAL, USAGE_OUTPUT, ioctl_event, open_path, records, report_line, run

TWO_RECORDS = records((964_250, 23_000, 0x80000007), (994_250, 27_500, 0x80000003))
TWO_LINES = report_line(False, 10_714_250, 23_000, True) + report_line(False, 10_744_250, 27_500, False)


@pytest.mark.parametrize("count", [0, 1, 6, 8, 12])
def test_wrong_argument_count_prints_usage_twice_and_never_opens(count):
    result = run([str(n) for n in range(count)])
    assert (result.stdout, result.stderr, result.status) == (USAGE_OUTPUT, b"", 255)
    assert result.events("open") == []


# Each row: emulator options, files, expected standard output, expected status,
# and the events the driver must have seen.  A refused request and a failed
# read have tables of their own below.
FAILURE_TABLE = {
    "node cannot be opened": (
        ["--device", "1"],
        {},
        open_path(0),
        255,
        ["mounted path=/dev/blindscan1"],
    ),
    "unrecognised delivery system": (
        ["--records", "{records}"],
        {"records": TWO_RECORDS + records((1_024_000, 30_000, 5 << 2))},
        open_path(0),
        255,
        ["open", "ioctl", "read size=1440 delivered=36", "release"],
    ),
    "complete run": (
        ["--records", "{records}"],
        {"records": TWO_RECORDS},
        TWO_LINES + open_path(0),
        0,
        ["open", "ioctl", "read size=1440 delivered=24", "release"],
    ),
    "complete run, nothing found": (
        ["--records", "{records}"],
        {"records": b""},
        open_path(0),
        0,
        ["open", "ioctl", "read size=1440 delivered=0", "release"],
    ),
}


def event_kinds_match(log, expected):
    """Each expected entry is a whole line or, without '=', an event kind."""
    return [line if "=" in want else line.split(" ", 1)[0] for line, want in zip(log, expected)] == expected


@pytest.mark.parametrize("case", FAILURE_TABLE.values(), ids=FAILURE_TABLE.keys())
def test_failure_table(case):
    options, files, stdout, status, events = case
    result = run(LOW_HORIZONTAL, options, **files)
    assert (result.stdout, result.stderr, result.status) == (stdout, b"", status)
    expected = events if events[0].startswith("mounted") else ["mounted path=/dev/blindscan0"] + events
    assert len(result.log) == len(expected) and event_kinds_match(result.log, expected), result.log


REQUEST_EVENTS = ["mounted path=/dev/blindscan0", "open flags=O_RDWR",
                  ioctl_event(950, 1950, 1000, 45000, 0, 0)]


# A refusal, at once or after a scan that takes seconds, prints the failure
# line after "open path"; the tool reads nothing and leaves the descriptor
# to the end of the process.
@pytest.mark.parametrize(
    "errno_name, scan_ms",
    [("EINVAL", 0), ("EBUSY", 0), ("EIO", 0), ("ETIMEDOUT", 0), ("ENODEV", 0), ("ETIMEDOUT", 2000)],
)
def test_refused_request(errno_name, scan_ms):
    result = run(LOW_HORIZONTAL, ["--fail-ioctl", errno_name, "--scan-ms", str(scan_ms)])
    assert (result.stdout, result.stderr, result.status) == (
        open_path(0) + FAILED_IOCTL, b"", 255)
    assert result.log == REQUEST_EVENTS + [f"ioctl-failed errno={errno_name}", "release"]


# A read that fails, even with "try again", is not retried and gives no report.
@pytest.mark.parametrize("errno_name", ["EIO", "EAGAIN", "EINTR"])
def test_failed_read(errno_name):
    result = run(LOW_HORIZONTAL, ["--fail-read", errno_name, "--records", "{records}"], records=TWO_RECORDS)
    assert (result.stdout, result.stderr, result.status) == (open_path(0), b"", 255)
    assert result.log == REQUEST_EVENTS + [f"read-failed size=1440 errno={errno_name}", "release"]


# A test that fails with the stand-in and its command still running, and a
# process orphaned, leaves nothing running once it has ended.
def test_a_failing_test_ends_what_it_started(tmp_path):
    marker = f"left by {tmp_path}"
    (tmp_path / "test_left.py").write_text(f"""
import subprocess, time
from harness import EMULATOR
def test_fails():
    subprocess.Popen([EMULATOR, "--", "sh", "-c", "sleep 600; : {marker}"])
    subprocess.Popen(["sh", "-c", "sh -c 'sleep 600; : {marker}' &"])
    time.sleep(1)
    assert False
""")
    done = subprocess.run([sys.executable, "-B", "-m", "pytest", "-q", "-p", "conftest", "-p", "no:cacheprovider",
                           "test_left.py"], cwd=tmp_path, capture_output=True, timeout=120,
                          env={**os.environ, "PYTHONPATH": str(pathlib.Path(__file__).parent)})
    left = subprocess.run(["pgrep", "-f", marker], capture_output=True).stdout
    assert (done.returncode, left) == (1, b"")
