"""The end-to-end scenarios run on the board, each with the exact standard
output, exit status and driver log it must give.  The expected text is
written out here from the tool's documented behaviour, independently of the
tool's own code."""

import dataclasses

USAGE = b"./mivo_blindscan min_frqe max_freq min_symbol max_symbol pol hilow_band"
USAGE_OUTPUT = USAGE + USAGE + b"\n"
FAILED_IOCTL = b"failed to ioctl(AVL2108_SET_PARAMETER\n"
SCAN = ["950", "2150", "2000", "45000", "0", "0"]  # the six search arguments of a plain run


def open_path(device):
    return b"open path /dev/blindscan%d\n" % device


@dataclasses.dataclass
class Scenario:
    name: str
    args: list
    output: bytes
    status: int
    stdout: str = "file"  # "pipe", "file", "tty" or "closed"
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


def all_scenarios(with_driver):
    scenarios = usage_scenarios() + missing_node_scenarios()
    return scenarios
