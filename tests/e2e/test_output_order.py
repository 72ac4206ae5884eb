"""The order of report and diagnostics on a pipe, in a file and on a terminal."""

import pytest

from harness import FAILED_IOCTL, LOW_HORIZONTAL, USAGE_OUTPUT, open_path, records, report_line, run

RECORDS = records(*[(950_000 + 10_000 * i, 2_000 + i, 0x80000003 | (i % 2) << 2) for i in range(120)])
REPORT = b"".join(report_line(False, 10_700_000 + 10_000 * i, 2_000 + i, i % 2) for i in range(120))


@pytest.mark.parametrize("stdout", ["pipe", "file"])
def test_report_comes_before_open_path_on_a_pipe_or_file(stdout):
    result = run(LOW_HORIZONTAL, ["--records", "{records}"], stdout=stdout, records=RECORDS)
    assert (result.stdout, result.stderr, result.status) == (REPORT + open_path(0), b"", 0)


def test_open_path_comes_first_on_a_terminal():
    result = run(LOW_HORIZONTAL, ["--records", "{records}"], stdout="pty", records=RECORDS)
    assert (result.stdout, result.stderr, result.status) == (open_path(0) + REPORT, b"", 0)


@pytest.mark.parametrize("stdout", ["pipe", "file", "pty"])
def test_refused_request_prints_open_path_then_the_failure(stdout):
    result = run(LOW_HORIZONTAL, ["--fail-ioctl", "EIO"], stdout=stdout)
    assert (result.stdout, result.stderr, result.status) == (
        open_path(0) + FAILED_IOCTL,
        b"",
        255,
    )


@pytest.mark.parametrize("stdout", ["pipe", "file", "pty"])
def test_usage_copies_stand_joined_everywhere(stdout):
    result = run(["0", "950"], stdout=stdout)
    assert (result.stdout, result.stderr, result.status) == (USAGE_OUTPUT, b"", 255)


@pytest.mark.parametrize("stdout", ["pipe", "pty"])
def test_failed_read_prints_only_open_path(stdout):
    result = run(LOW_HORIZONTAL, ["--fail-read", "EIO"], stdout=stdout)
    assert (result.stdout, result.stderr, result.status) == (open_path(0), b"", 255)
