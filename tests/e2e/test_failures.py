"""Every way a run ends: the output, the exit status and what the driver saw."""

import pytest

from harness import LOW_HORIZONTAL, USAGE, open_path, records, report_line, run

TWO_RECORDS = records((964_250, 23_000, 0x80000007), (994_250, 27_500, 0x80000003))
TWO_LINES = report_line(False, 10_714_250, 23_000, True) + report_line(False, 10_744_250, 27_500, False)


@pytest.mark.parametrize("count", [0, 1, 6, 8, 12])
def test_wrong_argument_count_prints_usage_twice_and_never_opens(count):
    result = run([str(n) for n in range(count)])
    assert (result.stdout, result.stderr, result.status) == (USAGE + USAGE + b"\n", b"", 255)
    assert result.events("open") == []


# Each row: emulator options, files, expected standard output, expected status,
# and the events the driver must have seen.
FAILURE_TABLE = {
    "node cannot be opened": (
        ["--device", "1"],
        {},
        open_path(0),
        255,
        ["mounted path=/dev/blindscan1"],
    ),
    "request refused": (
        ["--fail-ioctl", "EIO"],
        {},
        open_path(0) + b"failed to ioctl(AVL2108_SET_PARAMETER\n",
        255,
        ["open", "ioctl", "ioctl-failed errno=EIO", "release"],
    ),
    "read fails": (
        ["--fail-read", "EIO", "--records", "{records}"],
        {"records": TWO_RECORDS},
        open_path(0),
        255,
        ["open", "ioctl", "read-failed size=1440 errno=EIO", "release"],
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


@pytest.mark.parametrize("errno_name", ["EINVAL", "ETIMEDOUT", "EBUSY", "ENODEV"])
def test_any_refusal_of_the_request_gives_the_failure_line(errno_name):
    result = run(LOW_HORIZONTAL, ["--fail-ioctl", errno_name])
    assert (result.stdout, result.stderr, result.status) == (
        open_path(0) + b"failed to ioctl(AVL2108_SET_PARAMETER\n",
        b"",
        255,
    )
    assert f"ioctl-failed errno={errno_name}" in result.log


def test_report_that_cannot_be_written_fails_the_run():
    result = run(LOW_HORIZONTAL, ["--records", "{records}"], stdout="full", records=TWO_RECORDS)
    assert (result.stderr, result.status) == (b"", 255)
    assert result.events("read") == ["read size=1440 delivered=24"]


def test_empty_report_on_a_full_device_is_still_a_success():
    result = run(LOW_HORIZONTAL, ["--records", "{records}"], stdout="full", records=b"")
    assert (result.stderr, result.status) == (b"", 0)


def test_closed_standard_output_fails_before_the_device_is_opened():
    result = run(LOW_HORIZONTAL, ["--records", "{records}"], stdout="closed", records=TWO_RECORDS)
    assert (result.stderr, result.status) == (b"", 255)
    assert result.events("open") == []
