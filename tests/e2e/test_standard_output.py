"""Every state of standard output: one that takes a few bytes per write, a
full device, a pipe whose reader has gone, and a closed descriptor."""

import signal

import pytest

from harness import LOW_HORIZONTAL, open_path, records, report_line, run

RECORDS = records(*[(950_000 + 10_000 * i, 2_000 + i, 0x80000003 | (i % 2) << 2) for i in range(120)])
REPORT = b"".join(report_line(False, 10_700_000 + 10_000 * i, 2_000 + i, i % 2) for i in range(120))
REFUSED = open_path(0) + b"failed to ioctl(AVL2108_SET_PARAMETER\n"


def written(result):
    """(size, accepted) of each write to standard output, as the sink saw them."""
    return [tuple(int(field.split("=")[1]) for field in line.split()[1:])
            for line in result.events("stdout-write")]


def resumed_writes(total, chunk):
    """The writes of a writer that continues each time where the last one stopped."""
    return [(left, min(left, chunk)) for left in range(total, 0, -chunk)]


@pytest.mark.parametrize("chunk", [1, 5, 91, 92, 93, 4096, 65536])
def test_short_writes_deliver_the_whole_report_once_in_order(chunk):
    result = run(LOW_HORIZONTAL, ["--records", "{records}", "--stdout-bytes", str(chunk)], records=RECORDS)
    assert (result.stdout, result.stderr, result.status) == (REPORT + open_path(0), b"", 0)
    # The report, then the diagnostics flushed at exit: each write resumes
    # exactly where the last one stopped.
    assert written(result) == resumed_writes(len(REPORT), chunk) + resumed_writes(len(open_path(0)), chunk)


@pytest.mark.parametrize(
    "options, files, stdout, status",
    [
        (["--records", "{records}"], {"records": b""}, open_path(0), 0),
        (["--fail-ioctl", "EIO"], {}, REFUSED, 255),
        (["--records", "{records}"], {"records": records((1_000_000, 27_500, 5 << 2))}, open_path(0), 255),
    ],
    ids=["nothing found", "request refused", "unrecognised delivery system"],
)
def test_short_writes_carry_the_diagnostics_whole(options, files, stdout, status):
    result = run(LOW_HORIZONTAL, options + ["--stdout-bytes", "3"], **files)
    assert (result.stdout, result.stderr, result.status) == (stdout, b"", status)
    assert written(result) == resumed_writes(len(stdout), 3)


# Standard output on /dev/full: a report that cannot be delivered fails the
# run; with nothing to report nothing is written, and the diagnostics' flush
# at exit does not change the status.
@pytest.mark.parametrize("offer, status", [(RECORDS, 255), (b"", 0)], ids=["records", "nothing found"])
def test_full_device(offer, status):
    result = run(LOW_HORIZONTAL, ["--records", "{records}"], stdout="full", records=offer)
    assert (result.stderr, result.status) == (b"", status)
    assert result.events("read") == [f"read size=1440 delivered={len(offer)}"]


# A pipe whose reader has gone: the first write to it, whether the report,
# the diagnostics' flush at exit or the usage text, ends the tool by SIGPIPE.
@pytest.mark.parametrize(
    "arguments, options, files",
    [
        (LOW_HORIZONTAL, ["--records", "{records}"], {"records": RECORDS}),
        (LOW_HORIZONTAL, ["--records", "{records}"], {"records": b""}),
        (LOW_HORIZONTAL, ["--fail-ioctl", "EIO"], {}),
        (LOW_HORIZONTAL[:3], [], {}),
    ],
    ids=["report", "nothing found", "request refused", "usage"],
)
def test_pipe_without_reader_ends_the_tool_by_sigpipe(arguments, options, files):
    result = run(arguments, options, stdout="broken-pipe", **files)
    assert (result.stderr, result.status) == (b"", 128 + signal.SIGPIPE)


# With descriptor 1 closed the device would be opened as descriptor 1 and
# receive the report and the diagnostics: the tool stops before the open.
@pytest.mark.parametrize("arguments", [LOW_HORIZONTAL, LOW_HORIZONTAL[:3]], ids=["scan", "usage"])
def test_closed_standard_output_fails_before_the_device_is_opened(arguments):
    result = run(arguments, ["--records", "{records}"], stdout="closed", records=RECORDS)
    assert (result.stderr, result.status) == (b"", 255)
    assert result.log == ["mounted path=/dev/blindscan0"]
