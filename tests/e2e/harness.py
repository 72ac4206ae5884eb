"""Runs the real tool under the driver stand-in and collects what it did.

The one entry point is run(): it starts blindscan-emulator with the given
options around mivo_blindscan (or another command) and returns the command's
standard output, standard error and exit status, and the emulated driver's
event log.  Standard output can be a pipe, a regular file, a pseudo-terminal,
/dev/full, a pipe whose reader has gone, or closed.
"""

import dataclasses
import os
import pathlib
import pty
import struct
import subprocess
import tempfile
import threading
import tty

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
TOOL = os.environ.get("BLINDSCAN_TOOL", str(REPO / "build/host/mivo_blindscan"))
EMULATOR = os.environ.get("BLINDSCAN_EMULATOR", str(REPO / "build/host/blindscan-emulator"))
DEFAULT_SKY = REPO / "emulator/default.sky"

USAGE = b"./mivo_blindscan min_frqe max_freq min_symbol max_symbol pol hilow_band"
LOW_OSCILLATOR_KHZ = 9_750_000
HIGH_OSCILLATOR_KHZ = 10_600_000
# The emulator sets these flag bits besides the delivery system (bits 2 to 4).
FLAG_BITS = 0x80000003
VERTICAL_FLAG = 0x20

# A full scan of the low band, horizontal, through every symbol rate.
LOW_HORIZONTAL = ["0", "950", "1950", "1000", "45000", "0", "0"]


@dataclasses.dataclass
class Run:
    stdout: bytes
    stderr: bytes
    status: int
    log: list  # the driver's events, one string per line

    def events(self, kind):
        """The log lines of one kind ("open", "ioctl", "read", ...)."""
        return [line for line in self.log if line.split(" ", 1)[0] == kind]


def in_ci():
    return os.environ.get("CI") == "true"


def missing(reason):
    """A test that this machine cannot run: a failure in CI, a skip elsewhere."""
    (pytest.fail if in_ci() else pytest.skip)(reason)


def records(*fields):
    """Packs (frequency, symbol_rate, flags) triples as the driver delivers them."""
    return b"".join(struct.pack("=III", *triple) for triple in fields)


def report_line(vertical, downlink_khz, symbol_rate, dvb_s2):
    """One line of the tool's report."""
    return b"OK %s %d %d %s INVERSION_AUTO PILOT_ON FEC_AUTO %s ROLLOFF_35\n" % (
        b"VERTICAL" if vertical else b"HORIZONTAL",
        downlink_khz % 2**32,
        symbol_rate,
        b"DVB-S2" if dvb_s2 else b"DVB-S",
        b"8PSK" if dvb_s2 else b"QPSK",
    )


REQUEST_FIELDS = ("min_freq", "max_freq", "min_symbol", "max_symbol", "pol", "hilow_band")


def ioctl_event(*values):
    """The driver's log line for a scan request with these six fields."""
    fields = " ".join(f"{name}={value}" for name, value in zip(REQUEST_FIELDS, values))
    return "ioctl cmd=0x40186201 " + fields


def open_path(device_number=0):
    return b"open path /dev/blindscan%d\n" % device_number


def run(tool_args=None, options=(), stdout="pipe", command=None, timeout=60, **files):
    """Runs the tool (or command) under the emulator.

    tool_args: the tool's arguments; command: a whole command instead.
    options: emulator options; --log is added.  files: name=bytes pairs
    written to a temporary directory, and "{name}" in options is replaced by
    the file's path (records="..." gives "--records {records}" its bytes).
    stdout: "pipe", "file", "pty", "full", "broken-pipe" or "closed".
    """
    with tempfile.TemporaryDirectory(prefix="blindscan-e2e-") as scratch:
        scratch = pathlib.Path(scratch)
        paths = {}
        for name, content in files.items():
            paths[name] = scratch / name
            paths[name].write_bytes(content)
        log_path = scratch / "driver.log"
        argv = [EMULATOR, "--log", str(log_path)]
        argv += [option.format(**{k: str(v) for k, v in paths.items()}) for option in options]
        argv += ["--"] + (command if command is not None else [TOOL] + list(tool_args))
        out, err, status = _run_with_stdout(argv, stdout, scratch, timeout)
        log = log_path.read_text().splitlines() if log_path.exists() else []
    return Run(out, err, status, log)


def _run_with_stdout(argv, mode, scratch, timeout):
    if mode == "pipe":
        done = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
        return done.stdout, done.stderr, done.returncode
    if mode == "file":
        target = scratch / "stdout"
        with open(target, "wb") as sink:
            done = subprocess.run(argv, stdout=sink, stderr=subprocess.PIPE, timeout=timeout)
        return target.read_bytes(), done.stderr, done.returncode
    if mode == "full":
        with open("/dev/full", "wb") as sink:
            done = subprocess.run(argv, stdout=sink, stderr=subprocess.PIPE, timeout=timeout)
        return b"", done.stderr, done.returncode
    if mode == "broken-pipe":
        reader, writer = os.pipe()
        os.close(reader)
        try:
            done = subprocess.run(argv, stdout=writer, stderr=subprocess.PIPE, timeout=timeout)
        finally:
            os.close(writer)
        return b"", done.stderr, done.returncode
    if mode == "closed":
        done = subprocess.run(
            argv,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.PIPE,
            preexec_fn=lambda: os.close(1),
            timeout=timeout,
        )
        return b"", done.stderr, done.returncode
    if mode == "pty":
        return _run_on_pty(argv, timeout)
    raise ValueError(mode)


def _run_on_pty(argv, timeout):
    """Standard output on a pseudo-terminal in raw mode, so bytes pass unchanged."""
    master, slave = pty.openpty()
    tty.setraw(slave)
    chunks = []

    def drain():
        while True:
            try:
                chunk = os.read(master, 65536)
            except OSError:  # EIO once the last writer has closed the terminal
                return
            if not chunk:
                return
            chunks.append(chunk)

    reader = threading.Thread(target=drain, daemon=True)
    reader.start()
    try:
        process = subprocess.Popen(argv, stdout=slave, stderr=subprocess.PIPE)
        os.close(slave)
        slave = None
        try:
            _, err = process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            raise
        reader.join(timeout)
    finally:
        if slave is not None:
            os.close(slave)
        os.close(master)
    return b"".join(chunks), err, process.returncode


def capability_problem():
    """Why the emulator cannot run on this machine, or None if it can."""
    for path in (TOOL, EMULATOR):
        if not os.access(path, os.X_OK):
            return f"{path} is not built"
    try:
        done = subprocess.run([EMULATOR, "--", "true"], capture_output=True, timeout=30)
    except subprocess.TimeoutExpired:
        return "blindscan-emulator did not finish running 'true' within 30 s"
    if done.returncode != 0:
        return done.stderr.decode(errors="replace").strip() or f"status {done.returncode}"
    return None


def parse_sky(path=DEFAULT_SKY):
    """(downlink_khz, vertical, symbol_rate, dvb_s2) for each line of a sky file."""
    sky = []
    for line in pathlib.Path(path).read_text().splitlines():
        fields = line.split("#", 1)[0].split()
        if fields:
            frequency, pol, symbol_rate, system = fields
            sky.append((int(frequency), pol.upper() == "V", int(symbol_rate), system == "DVB-S2"))
    return sky
