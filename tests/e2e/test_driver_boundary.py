"""What crosses the device boundary: the request as the driver received it,
the node's name, how much one read takes, and how records become lines."""

import contextlib
import os
import shutil
import tempfile

import pytest

from harness import (FAILED_IOCTL, LONGEST_LINE, LONGEST_RECORD, LOW_HORIZONTAL, MAX_RECORDS, TOOL, ioctl_event,
                     missing, open_path, records, report_line, run)


CONVERSIONS = [
    (["950", "2150", "2000", "45000", "0", "0"], (950, 2150, 2000, 45000, 0, 0)),
    (["0x10", "010", "12abc", "abc", "-5", "+7"], (16, 8, 12, 0, -5, 7)),
    (["  42", "0X1f", "-0x10", "08", "", "- 5"], (42, 31, -16, 0, 0, 0)),
    (["99999999999", "-99999999999", "2147483648", "-2147483649", "0xFFFFFFFF", "11750.5"],
     (2147483647, -2147483648, 2147483647, -2147483648, 2147483647, 11750)),
    # Passed on unchanged: a minimum above its maximum, negative selectors.
    (["2150", "950", "45000", "2000", "-1", "-2"], (2150, 950, 45000, 2000, -1, -2)),
]


@pytest.mark.parametrize("arguments, received", CONVERSIONS, ids=lambda v: " ".join(map(str, v)))
def test_request_reaches_the_driver_as_converted(arguments, received):
    result = run(["0"] + arguments, ["--records", "{records}"], records=b"")
    assert (result.stdout, result.stderr, result.status) == (open_path(0), b"", 0)
    assert result.events("ioctl") == [ioctl_event(*received)]


def test_device_is_opened_read_write_once_with_one_request_and_one_read():
    result = run(LOW_HORIZONTAL, ["--records", "{records}"], records=b"")
    assert result.log == [
        "mounted path=/dev/blindscan0",
        "open flags=O_RDWR",
        ioctl_event(950, 1950, 1000, 45000, 0, 0),
        "read size=1440 delivered=0",
        "release",
    ]


INT32_MAX, INT32_MIN = 2**31 - 1, -(2**31)
FIVE = records(*[(1_000_000 + i, 27_500, 0) for i in range(5)])
AS_NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]


def lines(count, vertical=False, band_khz=9_750_000):
    return b"".join(report_line(vertical, 1_000_000 + i + band_khz, 27_500, False) for i in range(count))


@contextlib.contextmanager
def tool_for_everyone():
    """A copy of the tool that any user may run, wherever the build tree is."""
    if os.geteuid() != 0 or not shutil.which("setpriv"):
        missing("running the tool as another user needs root and setpriv (util-linux)")
    with tempfile.TemporaryDirectory(prefix="blindscan-e2e-") as scratch:
        os.chmod(scratch, 0o755)
        yield shutil.copy(TOOL, scratch)


@pytest.mark.parametrize(
    "argument, node",
    [("0", 0), ("3", 3), ("-1", -1), ("0x2", 2), ("010", 8), ("-0", 0),
     # The 32-bit ends, and beyond them saturation to the nearer end.
     ("2147483647", INT32_MAX), ("0x7fffffff", INT32_MAX), ("-2147483648", INT32_MIN),
     ("-0x80000000", INT32_MIN), ("2147483648", INT32_MAX), ("4294967296", INT32_MAX),
     ("0xffffffff", INT32_MAX), ("99999999999999999999", INT32_MAX), ("-2147483649", INT32_MIN),
     ("-99999999999999999999", INT32_MIN)],
)
def test_device_number_names_the_node(argument, node):
    options = ["--device", str(node), "--records", "{records}"]
    result = run([argument] + LOW_HORIZONTAL[1:], options, records=b"")
    assert (result.stdout, result.stderr, result.status) == (open_path(node), b"", 0)
    assert result.log[:2] == [f"mounted path=/dev/blindscan{node}", "open flags=O_RDWR"]


# A number beyond the range saturates: the node where it would land if it
# wrapped or was cut to 32 bits is not opened, and with no node of its own
# the run prints only "open path".
@pytest.mark.parametrize(
    "argument, node, served",
    [("2147483648", INT32_MAX, INT32_MIN), ("-2147483649", INT32_MIN, INT32_MAX),
     ("4294967296", INT32_MAX, 0), ("4294967295", INT32_MAX, -1)],
)
def test_device_number_beyond_the_range_does_not_wrap_onto_another_node(argument, node, served):
    result = run([argument] + LOW_HORIZONTAL[1:], ["--device", str(served)])
    assert (result.stdout, result.stderr, result.status) == (open_path(node), b"", 255)
    assert result.log == [f"mounted path=/dev/blindscan{served}"]


# The node's permission bits, checked by the kernel for a user other than
# root: opening for reading and writing needs both.
@pytest.mark.parametrize("mode, opens", [("0600", False), ("0644", False), ("0606", True), ("0666", True)])
def test_node_permissions_for_a_user_other_than_root(mode, opens):
    with tool_for_everyone() as tool:
        result = run(command=AS_NOBODY + [tool, *LOW_HORIZONTAL],
                     options=["--mode", mode, "--records", "{records}"], records=FIVE)
    if opens:
        assert (result.stdout, result.stderr, result.status) == (lines(5) + open_path(0), b"", 0)
        assert result.events("open") == ["open flags=O_RDWR"]
    else:
        assert (result.stdout, result.stderr, result.status) == (open_path(0), b"", 255)
        assert result.log == ["mounted path=/dev/blindscan0"]


@pytest.mark.parametrize(
    "read_bytes, delivered, line_count",
    [(0, 0, 0), (11, 11, 0), (12, 12, 1), (25, 25, 2), (59, 59, 4), (60, 60, 5)],
)
def test_only_whole_delivered_records_are_reported(read_bytes, delivered, line_count):
    result = run(LOW_HORIZONTAL, ["--records", "{records}", "--read-bytes", str(read_bytes)], records=FIVE)
    assert (result.stdout, result.stderr, result.status) == (lines(line_count) + open_path(0), b"", 0)
    assert result.events("read") == [f"read size=1440 delivered={delivered}"]


@pytest.mark.parametrize("offered", [120, 121, 150, 500])
def test_one_read_takes_at_most_120_records(offered):
    offer = records(*[(1_000_000 + i, 27_500, 0) for i in range(offered)])
    result = run(LOW_HORIZONTAL, ["--records", "{records}"], records=offer)
    assert (result.stdout, result.stderr, result.status) == (lines(120) + open_path(0), b"", 0)
    assert result.events("read") == ["read size=1440 delivered=1440"]


def test_a_sky_with_more_than_120_matches_fills_one_read():
    sky = "".join(f"{11_000_000 + 1_000 * i} H 27500 DVB-S\n" for i in range(150)).encode()
    result = run(LOW_HORIZONTAL, ["--sky", "{sky}"], sky=sky)
    expected = b"".join(report_line(False, 11_000_000 + 1_000 * i, 27_500, False) for i in range(120))
    assert (result.stdout, result.stderr, result.status) == (expected + open_path(0), b"", 0)
    assert result.events("read") == ["read size=1440 delivered=1440"]


@pytest.mark.parametrize("bad_system", [2, 3, 5, 7])
def test_bad_delivery_system_in_the_third_record_drops_the_whole_report(bad_system):
    offer = records((1_000_000, 27_500, 0), (1_001_000, 27_500, 4), (1_002_000, 27_500, bad_system << 2),
                    (1_003_000, 27_500, 0))
    result = run(LOW_HORIZONTAL, ["--records", "{records}"], records=offer)
    assert (result.stdout, result.stderr, result.status) == (open_path(0), b"", 255)


@pytest.mark.parametrize(
    "flags, dvb_s2",
    [(0xFFFFFFE3, False), (0x00000003, False), (0xFFFFFFE7, True), (0x80000020, False), (0x00000004, True),
     (0x7FFFFFE4, True)],
    ids=hex,
)
def test_flag_bits_outside_bits_2_to_4_change_nothing(flags, dvb_s2):
    result = run(LOW_HORIZONTAL, ["--records", "{records}"], records=records((1_000_000, 27_500, flags)))
    expected = report_line(False, 10_750_000, 27_500, dvb_s2) + open_path(0)
    assert (result.stdout, result.stderr, result.status) == (expected, b"", 0)


@pytest.mark.parametrize(
    "pol, band, vertical, oscillator",
    [("0", "0", False, 9_750_000), ("1", "0", True, 9_750_000), ("0", "1", False, 10_600_000),
     ("1", "1", True, 10_600_000), ("-1", "-1", True, 10_600_000), ("2", "0x10", True, 10_600_000),
     ("abc", "12abc", False, 10_600_000), ("0x0", "-0", False, 9_750_000)],
)
def test_band_and_polarisation_selectors(pol, band, vertical, oscillator):
    result = run(["0", "950", "2150", "1000", "45000", pol, band], ["--records", "{records}"], records=FIVE)
    expected = b"".join(report_line(vertical, 1_000_000 + i + oscillator, 27_500, False) for i in range(5))
    assert (result.stdout, result.stderr, result.status) == (expected + open_path(0), b"", 0)


@pytest.mark.parametrize(
    "frequency, band, printed",
    [(2**32 - 1, "0", 9_749_999), (2**32 - 9_750_000, "0", 0), (2**32 - 9_750_001, "0", 2**32 - 1),
     (2**32 - 1, "1", 10_599_999), (2**32 - 10_000_000, "1", 600_000)],
)
def test_frequency_wraps_at_32_bits(frequency, band, printed):
    result = run(["0", "950", "2150", "1000", "45000", "0", band], ["--records", "{records}"],
                 records=records((frequency, 4_294_967_295, 0)))
    expected = report_line(False, printed, 4_294_967_295, False) + open_path(0)
    assert (result.stdout, result.stderr, result.status) == (expected, b"", 0)


def test_sky_below_the_oscillator_wraps_back_to_its_downlink():
    # The driver hands a negative tuner frequency over modulo 2^32; the tool's
    # own modulo-2^32 sum gives the downlink back.
    result = run(["0", "-1000", "0", "1000", "45000", "0", "0"], ["--sky", "{sky}"],
                 sky=b"9000000 H 6111 DVB-S2\n")
    expected = report_line(False, 9_000_000, 6_111, True) + open_path(0)
    assert (result.stdout, result.stderr, result.status) == (expected, b"", 0)


# Descriptor 0 is a descriptor like any other: the device opened as
# descriptor 0 takes the request and the read, and the run goes on as usual.
@pytest.mark.parametrize(
    "options, stdout, status, last_events",
    [
        (["--records", "{records}"], lines(5) + open_path(0), 0, ["read size=1440 delivered=60", "release"]),
        (["--fail-ioctl", "EIO"], open_path(0) + FAILED_IOCTL, 255, ["ioctl-failed errno=EIO", "release"]),
    ],
    ids=["complete run", "refused request"],
)
def test_device_opened_as_descriptor_0(options, stdout, status, last_events):
    result = run(LOW_HORIZONTAL, options, stdin="closed", records=FIVE)
    assert (result.stdout, result.stderr, result.status) == (stdout, b"", status)
    assert result.log == ["mounted path=/dev/blindscan0", "open flags=O_RDWR",
                          ioctl_event(950, 1950, 1000, 45000, 0, 0)] + last_events

# The largest report there is: a full read of records that each give the
# longest line, 11,040 bytes, delivered whole however standard output takes it.
LONGEST_REPORT = LONGEST_LINE * MAX_RECORDS


@pytest.mark.parametrize("stdout", ["pipe", "file", "pty"])
def test_full_read_of_the_longest_lines(stdout):
    result = run(LOW_HORIZONTAL, ["--records", "{records}"], stdout=stdout,
                 records=records(*[LONGEST_RECORD] * MAX_RECORDS))
    expected = open_path(0) + LONGEST_REPORT if stdout == "pty" else LONGEST_REPORT + open_path(0)
    assert (result.stdout, result.stderr, result.status) == (expected, b"", 0)
    assert result.events("read") == ["read size=1440 delivered=1440"]
