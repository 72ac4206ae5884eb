"""Runs the real tool under the driver stand-in and collects what it did.

The one entry point is run(): it starts blindscan-emulator with the given
options around mivo_blindscan (or another command) and returns the command's
standard output, standard error and exit status, and the emulated driver's
event log.  Standard output can be a pipe, a regular file, a pseudo-terminal,
/dev/full, a pipe whose reader has gone, or closed; standard input can be
closed as well.  What the tool must print comes from blindscan_expect, which
the board test shares.
"""

import ctypes
import dataclasses
import functools
import os
import pathlib
import signal
import subprocess
import sys
import tempfile
import time

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests/lib"))
sys.path.insert(0, str(REPO / "kit/python"))

from blindscan_expect import (  # noqa: E402,F401  (re-exported for the test files)
    FAILED_IOCTL,
    LONGEST_LINE,
    LONGEST_RECORD,
    MAX_RECORDS,
    USAGE,
    USAGE_OUTPUT,
    open_path,
    oscillator_khz,
    records,
    report,
    report_line,
    request_event,
    run_on_pty,
)
from kit_facts import BAD_INPUT_STATUS, PUBLISHED_LISTS, REPLAY_DIFFERS_STATUS  # noqa: E402,F401

# What the test files take from here that this module takes from others:
# named so that a checker sees them used.  Its own names are imported by
# name too.
__all__ = ["FAILED_IOCTL", "LONGEST_LINE", "LONGEST_RECORD", "MAX_RECORDS", "USAGE", "USAGE_OUTPUT", "open_path",
           "oscillator_khz", "records", "report", "report_line", "BAD_INPUT_STATUS", "PUBLISHED_LISTS",
           "REPLAY_DIFFERS_STATUS"]

BUILD = REPO / "build/host"
TOOL = os.environ.get("BLINDSCAN_TOOL", str(BUILD / "mivo_blindscan"))
EMULATOR = os.environ.get("BLINDSCAN_EMULATOR", str(BUILD / "blindscan-emulator"))
REQUEST_CODE_PROGRAM = os.environ.get("BLINDSCAN_REQUEST_CODE_PROGRAM", str(BUILD / "tests/e2e/request_code"))
DEFAULT_SKY = REPO / "emulator/input/default.sky"

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


@functools.cache
def request_code():
    """The scan request's code on this machine, as the build defines it."""
    done = subprocess.run([REQUEST_CODE_PROGRAM], capture_output=True, check=True, timeout=30)
    return int(done.stdout, 16)


def ioctl_event(*values):
    """The driver's log line for a scan request with these six fields."""
    return request_event(request_code(), *values)


def run(tool_args=None, options=(), stdout="pipe", command=None, timeout=60, stdin="null", **files):
    """Runs the tool (or command) under the emulator.

    tool_args: the tool's arguments; command: a whole command instead.
    options: emulator options; --log is added.  files: name=bytes pairs
    written to a temporary directory, and "{name}" in options is replaced by
    the file's path (records="..." gives "--records {records}" its bytes).
    stdout: "pipe", "file", "pty", "full", "broken-pipe" or "closed".
    stdin: "null" (/dev/null) or "closed": closed for the command itself, by
    a shell that closes descriptor 0 and then becomes the command, so that
    whatever the emulator does with its own descriptors does not matter.
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
        command = command if command is not None else [TOOL] + list(tool_args)
        if stdin == "closed":
            command = ["sh", "-c", 'exec "$@" <&-', "sh", *command]
        elif stdin != "null":
            raise ValueError(stdin)
        out, err, status = _run_with_stdout(argv + ["--"] + command, stdout, scratch, timeout)
        log = log_path.read_text().splitlines() if log_path.exists() else []
    return Run(out, err, status, log)


def _run_with_stdout(argv, mode, scratch, timeout):
    def start(sink, preexec_fn=None):
        return subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=sink, stderr=subprocess.PIPE,
                              preexec_fn=preexec_fn, timeout=timeout)

    if mode == "pipe":
        done = start(subprocess.PIPE)
        return done.stdout, done.stderr, done.returncode
    if mode == "file":
        target = scratch / "stdout"
        with open(target, "wb") as sink:
            done = start(sink)
        return target.read_bytes(), done.stderr, done.returncode
    if mode == "full":
        with open("/dev/full", "wb") as sink:
            done = start(sink)
        return b"", done.stderr, done.returncode
    if mode == "broken-pipe":
        reader, writer = os.pipe()
        os.close(reader)
        try:
            done = start(writer)
        finally:
            os.close(writer)
        return b"", done.stderr, done.returncode
    if mode == "closed":
        done = start(subprocess.DEVNULL, preexec_fn=lambda: os.close(1))
        return b"", done.stderr, done.returncode
    if mode == "pty":
        return run_on_pty(argv, timeout, stdin=subprocess.DEVNULL)
    raise ValueError(mode)


def machine_lacks():
    """What this machine lacks to host the stand-in (the FUSE device, the
    namespaces it runs the command in), or None if it lacks nothing."""
    try:
        os.close(os.open("/dev/fuse", os.O_RDWR))
    except OSError as error:
        return f"no usable /dev/fuse ({error.strerror})"
    # As root a mount namespace suffices; anyone else needs a user namespace too.
    probe = ["unshare", "--mount", "true"] if os.geteuid() == 0 else ["unshare", "--user", "--mount", "true"]
    try:
        done = subprocess.run(probe, capture_output=True, timeout=30)
    except FileNotFoundError:
        return "no unshare to try a namespace with (Debian: util-linux)"
    if done.returncode != 0:
        return f"no namespaces for the command ({' '.join(probe)}: {done.stderr.decode(errors='replace').strip()})"
    return None


def stand_in_problem():
    """Why the stand-in, on a machine that can host it, fails to run 'true',
    or None if it runs."""
    try:
        done = subprocess.run([EMULATOR, "--", "true"], capture_output=True, timeout=30)
    except (OSError, subprocess.TimeoutExpired) as error:
        return str(error)
    if done.returncode != 0:
        return done.stderr.decode(errors="replace").strip() or f"status {done.returncode}"
    return None


PR_SET_CHILD_SUBREAPER = 36


def adopt_orphans():
    """Makes this process the parent of the processes its children leave
    behind, so that end_process_tree finds them."""
    if ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        raise OSError(ctypes.get_errno(), "prctl(PR_SET_CHILD_SUBREAPER)")


def descendants():
    """The processes below this one: (pid, parent, state) each."""
    parents = {}
    for stat in pathlib.Path("/proc").glob("[0-9]*/stat"):
        try:
            fields = stat.read_text().rsplit(")", 1)[1].split()
        except (OSError, IndexError):
            continue  # gone meanwhile
        parents[int(stat.parent.name)] = int(fields[1]), fields[0]
    below, frontier = [], [os.getpid()]
    while frontier:
        parent = frontier.pop()
        children = [(pid, parent, state) for pid, (ppid, state) in parents.items() if ppid == parent]
        below += children
        frontier += [pid for pid, _, _ in children]
    return below


def end_process_tree():
    """Kills what a test left running below this process (the stand-in and
    the command under it, a failed test's above all) and reaps what is left
    to this process to reap."""
    for _ in range(500):
        left = descendants()
        if not left:
            return
        for pid, parent, state in left:
            if parent == os.getpid() and state == "Z":
                os.waitpid(pid, os.WNOHANG)
            elif state != "Z":
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        time.sleep(0.01)
    raise RuntimeError(f"processes that would not end: {descendants()}")


def parse_sky(path=DEFAULT_SKY):
    """(downlink_khz, vertical, symbol_rate, dvb_s2) for each line of a sky file."""
    sky = []
    for line in pathlib.Path(path).read_text().splitlines():
        fields = line.split("#", 1)[0].split()
        if fields:
            frequency, pol, symbol_rate, system = fields
            sky.append((int(frequency), pol.upper() == "V", int(symbol_rate), system == "DVB-S2"))
    return sky
