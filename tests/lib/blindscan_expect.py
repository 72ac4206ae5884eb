"""What a run of mivo_blindscan must print and what its driver must see,
written out independently of the tool's code: the usage text, the
diagnostics, result records as the driver delivers them, report lines, the
driver stand-in's log line for a scan request, and a runner that puts a
program's standard output on a pseudo-terminal.

Only the device's layout (the record's size, the most records a read
fetches) comes from the device header.  The end-to-end harness (tests/e2e)
and the host side of the board test (tests/target) both import it, so the
two can only disagree about how they run the tool, never about what it must
print."""

import os
import pty
import struct
import subprocess
import sys
import termios
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "kit", "python"))

import kit_facts  # noqa: E402

USAGE = b"./mivo_blindscan min_frqe max_freq min_symbol max_symbol pol hilow_band"
# A wrong argument count prints the usage twice: once without a line feed,
# straight to the descriptor, and once as a line.
USAGE_OUTPUT = USAGE + USAGE + b"\n"
FAILED_IOCTL = b"failed to ioctl(AVL2108_SET_PARAMETER\n"

# LNB local-oscillator frequencies, kHz, added to each record's frequency.
LOW_BAND_KHZ = 9_750_000
HIGH_BAND_KHZ = 10_600_000

# Bits 2 to 4 of a record's flags: 0 is DVB-S, 1 is DVB-S2, 2 to 7 are refused.
DVB_S2_FLAG = 1 << 2

# Byte orders for records(): the host's own, and the mipsel board's.
NATIVE = "="
LITTLE_ENDIAN = "<"

# The largest scan a read can deliver, as the device header defines it.
MAX_RECORDS = kit_facts.MAX_RECORDS
RECORD_SIZE = kit_facts.RECORD_SIZE


def oscillator_khz(band):
    """The offset the band selector picks: any non-zero value is the high band."""
    return LOW_BAND_KHZ if band == 0 else HIGH_BAND_KHZ


def open_path(device_number=0):
    return b"open path /dev/blindscan%d\n" % device_number


def records(*triples, byte_order=NATIVE):
    """(frequency, symbol_rate, flags) triples packed as the driver delivers
    them: three unsigned 32-bit words each, in the given byte order."""
    return b"".join(struct.pack(byte_order + "3I", *triple) for triple in triples)


def report_line(vertical, downlink_khz, symbol_rate, dvb_s2):
    """One line of the report; the downlink frequency is taken modulo 2^32."""
    return b"OK %s %d %d %s INVERSION_AUTO PILOT_ON FEC_AUTO %s ROLLOFF_35\n" % (
        b"VERTICAL" if vertical else b"HORIZONTAL",
        downlink_khz % 2**32,
        symbol_rate,
        b"DVB-S2" if dvb_s2 else b"DVB-S",
        b"8PSK" if dvb_s2 else b"QPSK",
    )


def report(triples, pol, band):
    """The whole report for records with recognised delivery systems, as the
    request's pol and hilow_band selectors make it."""
    return b"".join(
        report_line(pol != 0, frequency + oscillator_khz(band), symbol_rate, (flags >> 2) & 7 == 1)
        for frequency, symbol_rate, flags in triples
    )


# A record that gives the longest line there is: horizontal, both numbers at
# 4294967295 (ten digits each), DVB-S2; 92 bytes.
LONGEST_RECORD = (2**32 - 1 - LOW_BAND_KHZ, 2**32 - 1, DVB_S2_FLAG)
LONGEST_LINE = report_line(False, 2**32 - 1, 2**32 - 1, True)
assert len(LONGEST_LINE) == 92

REQUEST_FIELDS = ("min_freq", "max_freq", "min_symbol", "max_symbol", "pol", "hilow_band")


def request_event(code, *values):
    """The stand-in's log line for a scan request with request code code and
    these six fields, in signed decimal."""
    fields = " ".join(f"{name}={value}" for name, value in zip(REQUEST_FIELDS, values, strict=True))
    return f"ioctl cmd={code:#x} {fields}"


def run_on_pty(argv, timeout, stdin=None, preexec_fn=None):
    """Runs argv with standard output on a pseudo-terminal whose output
    processing is off, so the bytes arrive as the program wrote them (no
    line feed becomes CR LF).  The terminal is read while the program runs,
    so output larger than the terminal's buffer cannot stall it.  Returns
    (output, standard error, returncode)."""
    leader, follower = pty.openpty()
    attributes = termios.tcgetattr(follower)
    attributes[1] &= ~termios.OPOST
    termios.tcsetattr(follower, termios.TCSANOW, attributes)
    chunks = []

    def drain():
        while True:
            try:
                chunk = os.read(leader, 65536)
            except OSError:  # EIO once the last writer has closed the terminal
                return
            if not chunk:
                return
            chunks.append(chunk)

    reader = threading.Thread(target=drain, daemon=True)
    reader.start()
    try:
        process = subprocess.Popen(argv, stdin=stdin, stdout=follower, stderr=subprocess.PIPE, preexec_fn=preexec_fn)
        os.close(follower)
        follower = None
        try:
            _, err = process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            raise
        reader.join(timeout)
    finally:
        if follower is not None:
            os.close(follower)
        os.close(leader)
    return b"".join(chunks), err, process.returncode
