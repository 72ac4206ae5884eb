"""Every state of standard output: a full device, a pipe whose reader has
gone, and a closed descriptor."""

import signal

import pytest

from harness import LOW_HORIZONTAL, records, run

RECORDS = records(*[(950_000 + 10_000 * i, 2_000 + i, 0x80000003 | (i % 2) << 2) for i in range(120)])


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
