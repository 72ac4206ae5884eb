"""The end-to-end scenarios run on the board, each with the exact standard
output, exit status and driver log it must give.  What the tool prints
comes from blindscan_expect, which the host's end-to-end harness shares;
the board's records are little-endian, as the mipsel driver delivers them."""

import dataclasses
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "lib"))
sys.path.insert(1, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "kit", "python"))

import kit_facts  # noqa: E402

from blindscan_expect import (  # noqa: E402
    DVB_S2_FLAG,
    FAILED_IOCTL,
    LITTLE_ENDIAN,
    LONGEST_LINE,
    LONGEST_RECORD,
    MAX_RECORDS,
    USAGE_OUTPUT,
    open_path,
    report,
    request_event,
)
from blindscan_expect import records as packed_records  # noqa: E402

SCAN = ["950", "2150", "2000", "45000", "0", "0"]  # the six search arguments of a plain run

# The scan request's code on MIPS, whose request codes put the write
# direction in bit 31, as the device header asserts it.
MIPS_REQUEST_CODE = kit_facts.MIPS_REQUEST_CODE
# The whole result area the tool reads.
READ_SIZE = kit_facts.READ_SIZE

def records(*triples):
    """(frequency, symbol_rate, flags) triples as the mipsel driver delivers
    them: little-endian 32-bit words."""
    return packed_records(*triples, byte_order=LITTLE_ENDIAN)


def dvb_s2(frequency, symbol_rate):
    return (frequency, symbol_rate, DVB_S2_FLAG)


def dvb_s(frequency, symbol_rate):
    return (frequency, symbol_rate, 0)


def request_line(min_freq, max_freq, min_symbol, max_symbol, pol, band):
    return request_event(MIPS_REQUEST_CODE, min_freq, max_freq, min_symbol, max_symbol, pol, band)


def scan_log(request, delivered, node="/dev/blindscan0"):
    """The driver's log of a complete run: the request as the driver saw it
    and one read of the whole result area."""
    return [f"mounted path={node}", "open flags=O_RDWR", request, f"read size={READ_SIZE} delivered={delivered}",
            "release"]


PLAIN_REQUEST = request_line(950, 2150, 2000, 45000, 0, 0)


@dataclasses.dataclass
class Scenario:
    name: str
    args: list
    output: bytes
    status: int
    stdout: str = "file"  # "pipe", "file", "tty" or "closed"
    stdin: str = "console"  # "console" or "closed"
    driver: list | None = None  # the driver stand-in's options; None: no driver
    node: str = "/dev/blindscan0"
    files: dict = dataclasses.field(default_factory=dict)  # name -> bytes, under /data in the guest
    log: list | None = None  # lines the driver's log must hold, in order


def usage_scenarios():
    return [
        Scenario("usage_no_arguments", [], USAGE_OUTPUT, 255, stdout="pipe"),
        Scenario("usage_six_arguments", ["0", *SCAN[:5]], USAGE_OUTPUT, 255),
        Scenario("usage_eight_arguments", ["0", *SCAN, "9"], USAGE_OUTPUT, 255, stdout="tty"),
    ]


# Device numbers as typed and the node each names: base 0 conversion,
# junk after the digits ignored, saturation to 32 bits.
DEVICE_NUMBERS = [
    ("7", 7),
    ("-1", -1),
    ("0x10", 16),
    ("010", 8),
    ("12abc", 12),
    ("abc", 0),
    ("4294967296", 2147483647),
    ("99999999999", 2147483647),
    ("-99999999999", -2147483648),
]


def missing_node_scenarios():
    scenarios = [
        Scenario(f"missing_node_{index}", [text, *SCAN], open_path(device), 255)
        for index, (text, device) in enumerate(DEVICE_NUMBERS)
    ]
    scenarios.append(Scenario("missing_node_pipe", ["3", *SCAN], open_path(3), 255, stdout="pipe"))
    scenarios.append(Scenario("missing_node_tty", ["3", *SCAN], open_path(3), 255, stdout="tty"))
    scenarios.append(Scenario("closed_stdout", ["3", *SCAN], b"", 255, stdout="closed"))
    return scenarios


# Three transponders: DVB-S2, DVB-S with flag bits set outside the delivery
# system, and one whose downlink frequency wraps modulo 2^32.
THREE = [dvb_s2(1_000_000, 27_500), (1_200_000, 30_000, 0xFFFF_FFE3), dvb_s(0xFFFF_FFFF, 1)]


def with_driver(name, args, output, status, driver=(), data=None, **fields):
    """A scenario against the driver stand-in; data is the record bytes it
    answers the scan with."""
    options = list(driver)
    files = {}
    if data is not None:
        files[f"{name}.records"] = data
        options += ["--records", f"/data/{name}.records"]
    return Scenario(name, args, output, status, driver=options, files=files, **fields)


def report_scenarios():
    three = records(*THREE)
    low = report(THREE, 0, 0)
    return [
        # Report first on a pipe or a file, "open path" first on a terminal.
        with_driver("report_pipe", ["0", *SCAN], low + open_path(0), 0, data=three, stdout="pipe",
                    log=scan_log(PLAIN_REQUEST, 36)),
        with_driver("report_file", ["0", *SCAN], low + open_path(0), 0, data=three,
                    log=scan_log(PLAIN_REQUEST, 36)),
        with_driver("report_tty", ["0", *SCAN], open_path(0) + low, 0, data=three, stdout="tty",
                    log=scan_log(PLAIN_REQUEST, 36)),
        # Any non-zero selector means vertical and high band.
        with_driver("report_vertical_high", ["0", *SCAN[:4], "-1", "7"], report(THREE, 1, 1) + open_path(0), 0,
                    data=three, log=scan_log(request_line(950, 2150, 2000, 45000, -1, 7), 36)),
        with_driver("empty_scan", ["0", *SCAN], open_path(0), 0, data=b"",
                    log=scan_log(PLAIN_REQUEST, 0)),
        with_driver("other_device", ["3", *SCAN], report(THREE[:1], 0, 0) + open_path(3), 0,
                    data=records(THREE[0]), node="/dev/blindscan3",
                    log=scan_log(PLAIN_REQUEST, 12, node="/dev/blindscan3")),
    ]


def conversion_scenarios():
    one = records(THREE[0])
    return [
        # Base 0, junk after the digits, no digits, signs: as the driver sees them.
        with_driver("request_conversion", [" 0", "0x10", "010", "12abc", "abc", "-5", "+7"],
                    report(THREE[:1], -5, 7) + open_path(0), 0, data=one,
                    log=scan_log(request_line(16, 8, 12, 0, -5, 7), 12)),
        # Saturation to the signed 32-bit range, with a 32-bit long.
        with_driver("request_saturation",
                    ["0", "99999999999", "-99999999999", "4294967296", "-2147483649", "2147483647", "-2147483648"],
                    report(THREE[:1], 1, 1) + open_path(0), 0, data=one,
                    log=scan_log(request_line(2**31 - 1, -(2**31), 2**31 - 1, -(2**31), 2**31 - 1, -(2**31)), 12)),
    ]


def read_scenarios():
    many = [dvb_s2(950_000 + 1_000 * i, 20_000 + i) if i % 2 else dvb_s(950_000 + 1_000 * i, 20_000 + i)
            for i in range(130)]
    return [
        # A read that delivers 25 bytes: two records, the last byte ignored.
        with_driver("partial_read", ["0", *SCAN], report(THREE[:2], 0, 0) + open_path(0), 0,
                    driver=["--read-bytes", "25"], data=records(*THREE), log=scan_log(PLAIN_REQUEST, 25)),
        with_driver("trailing_partial_record", ["0", *SCAN], report(THREE[:2], 0, 0) + open_path(0), 0,
                    data=records(*THREE)[:25], log=scan_log(PLAIN_REQUEST, 25)),
        # The full result area: 120 records; the tool never asks for more.
        with_driver("full_read", ["0", *SCAN], report(many[:120], 0, 0) + open_path(0), 0,
                    data=records(*many), stdout="pipe", log=scan_log(PLAIN_REQUEST, READ_SIZE)),
        # The largest report there is: 120 lines of the longest form, 11,040 bytes.
        with_driver("longest_report", ["0", *SCAN], LONGEST_LINE * MAX_RECORDS + open_path(0), 0,
                    data=records(*[LONGEST_RECORD] * MAX_RECORDS), stdout="pipe",
                    log=scan_log(PLAIN_REQUEST, READ_SIZE)),
    ]


def descriptor_scenarios():
    return [
        # With standard input closed the device is opened as descriptor 0,
        # which serves like any other.
        with_driver("stdin_closed", ["0", *SCAN], report(THREE, 0, 0) + open_path(0), 0, data=records(*THREE),
                    stdin="closed", log=scan_log(PLAIN_REQUEST, 36)),
    ]


def failure_scenarios():
    bad_third = records(*THREE[:2], (1_300_000, 2_000, 5 << 2))
    return [
        with_driver("ioctl_refused", ["0", *SCAN], open_path(0) + FAILED_IOCTL, 255,
                    driver=["--fail-ioctl", "EINVAL"],
                    log=["mounted path=/dev/blindscan0", "open flags=O_RDWR", PLAIN_REQUEST, "ioctl-failed errno=EINVAL",
                         "release"]),
        with_driver("ioctl_refused_tty", ["0", *SCAN], open_path(0) + FAILED_IOCTL, 255,
                    driver=["--fail-ioctl", "EIO"], stdout="tty"),
        with_driver("read_fails", ["0", *SCAN], open_path(0), 255, driver=["--fail-read", "EIO"],
                    log=["mounted path=/dev/blindscan0", "open flags=O_RDWR", PLAIN_REQUEST,
                         f"read-failed size={READ_SIZE} errno=EIO", "release"]),
        # An unknown delivery system anywhere: no report at all.
        with_driver("bad_delivery_system", ["0", *SCAN], open_path(0), 255, data=bad_third,
                    log=scan_log(PLAIN_REQUEST, 36)),
        # With standard output closed the tool stops before opening the device.
        with_driver("closed_stdout_with_driver", ["0", *SCAN], b"", 255, data=records(*THREE), stdout="closed",
                    log=["mounted path=/dev/blindscan0"]),
    ]


def all_scenarios():
    return (
        usage_scenarios()
        + missing_node_scenarios()
        + report_scenarios()
        + conversion_scenarios()
        + read_scenarios()
        + descriptor_scenarios()
        + failure_scenarios()
    )
