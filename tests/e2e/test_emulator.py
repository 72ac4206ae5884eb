"""The stand-in itself: bad input, exit statuses, the private /dev, teardown,
the file's other operations and the --serve mode."""

import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import textwrap
import time

import pytest

from harness import (EMULATOR, LOW_HORIZONTAL, TOOL, ioctl_event, missing, open_path, oscillator_khz, records,
                     report_line, request_code, run)

PYTHON = sys.executable


def emulator(*arguments, timeout=60):
    return subprocess.run([EMULATOR, *arguments], capture_output=True, timeout=timeout)


def leftovers():
    """Anything of the emulator's in this mount namespace or in the real /dev."""
    mounts = [line for line in pathlib.Path("/proc/self/mountinfo").read_text().splitlines()
              if "blindscan" in line]
    return mounts + sorted(str(p) for p in pathlib.Path("/dev").glob("blindscan*"))


def python_inside(script, options=(), stdout="pipe"):
    """Runs a Python script as the command under the emulator."""
    return run(options=options, command=[PYTHON, "-c", textwrap.dedent(script)], stdout=stdout)


BAD_INPUT = {
    "unknown option": (["--bogus", "--", "true"], {},
                       "blindscan-emulator: unrecognized option '--bogus'\nTry 'blindscan-emulator --help'.\n"),
    "no command": ([], {}, "blindscan-emulator: nothing to do: give '-- COMMAND' or --serve PATH\n"
                           "Try 'blindscan-emulator --help'.\n"),
    "unknown errno name": (["--fail-read", "EWHATEVER", "--", "true"], {},
                           "blindscan-emulator: --fail-read: unknown errno name 'EWHATEVER' "
                           "(use a name such as EIO)\nTry 'blindscan-emulator --help'.\n"),
    "malformed sky": (["--sky", "{sky}", "--", "true"],
                      {"sky": b"# fine\n10714000 H 22000 DVB-S\n10729000 X 1 DVB-S\n"},
                      "blindscan-emulator: {sky}:3: polarisation 'X' is neither H nor V\n"),
    "missing sky": (["--sky", "{dir}/absent.sky", "--", "true"], {},
                    "blindscan-emulator: {dir}/absent.sky: cannot read: No such file or directory\n"),
    "sky is a directory": (["--sky", "{dir}", "--", "true"], {},
                           "blindscan-emulator: {dir}: cannot read: Is a directory\n"),
    "log in a missing directory": (["--log", "{dir}/absent/log", "--", "true"], {},
                                   "blindscan-emulator: {dir}/absent/log: cannot open the log: No such file or "
                                   "directory\n"),
    # A file of that name, not the built-in sky it would display as.
    "sky named as the built-in one": (["--sky", "built-in sky", "--", "true"], {},
                                      "blindscan-emulator: built-in sky: cannot read: No such file or directory\n"),
    "missing records": (["--records", "{dir}/absent", "--", "true"], {},
                        "blindscan-emulator: {dir}/absent: cannot read: No such file or directory\n"),
    "endless sky": (["--sky", "/dev/zero", "--", "true"], {},
                    "blindscan-emulator: /dev/zero: larger than 16777216 bytes, more than a sky file holds\n"),
    "endless records": (["--records", "/dev/zero", "--", "true"], {},
                        "blindscan-emulator: /dev/zero: larger than 16777216 bytes, more than a records file "
                        "holds\n"),
}


@pytest.mark.parametrize("case", BAD_INPUT.values(), ids=BAD_INPUT.keys())
def test_bad_input_is_refused_with_status_2_before_anything_runs(case, tmp_path):
    arguments, files, message = case
    paths = {"dir": str(tmp_path)}
    for name, content in files.items():
        (tmp_path / name).write_bytes(content)
        paths[name] = str(tmp_path / name)
    marker = tmp_path / "ran"
    arguments = [a.format(**paths) for a in arguments]
    if arguments and arguments[-1] == "true":
        arguments[-1:] = ["touch", str(marker)]
    done = emulator(*arguments)
    assert (done.stdout, done.stderr.decode(), done.returncode) == (b"", message.format(**paths), 2)
    assert not marker.exists()


# A sky or records file may hold 16 MiB, not a byte more.
@pytest.mark.parametrize("size, status", [(16 << 20, 0), ((16 << 20) + 1, 2)])
def test_an_input_file_holds_at_most_16_mib(size, status, tmp_path):
    offer = tmp_path / "records"
    offer.write_bytes(bytes(size))
    done = emulator("--records", str(offer), "--", "true")
    message = f"blindscan-emulator: {offer}: larger than 16777216 bytes, more than a records file holds\n"
    assert (done.stderr, done.returncode) == (b"" if status == 0 else message.encode(), status)


# What a command may do to its node: take it away, which ends the command at
# once; or leave it open in the background, which holds the emulator a
# moment (a second's grace for the last release, which the log then shows),
# not until it closes.
NODE_FATES = {
    "unmounted under the command": ("umount /dev/blindscan0; exec sleep 600", 128 + signal.SIGKILL, []),
    "held open in the background": ("exec 3</dev/blindscan0; sleep 29.5 <&3 >/dev/null 2>&1 & exit 0", 0,
                                    ["open flags=O_RDONLY"]),
    "closed in the background at once": ("exec 3</dev/blindscan0; sleep .2 <&3 >/dev/null 2>&1 & exit 0", 0,
                                         ["open flags=O_RDONLY", "release"]),
}


@pytest.mark.parametrize("script, status, events", NODE_FATES.values(), ids=NODE_FATES.keys())
def test_the_emulator_ends_whatever_becomes_of_its_node(script, status, events, tmp_path):
    log = tmp_path / "log"
    try:
        done = subprocess.run([EMULATOR, "--log", str(log), "--", "sh", "-c", script], capture_output=True,
                              timeout=10)
    finally:
        for holder in pathlib.Path("/proc").glob("[0-9]*/cmdline"):
            try:
                if holder.read_bytes() == b"sleep\x0029.5\x00":
                    os.kill(int(holder.parent.name), signal.SIGKILL)
            except OSError:
                pass
    assert (done.stdout, done.stderr, done.returncode) == (b"", b"", status)
    assert log.read_text().splitlines()[1:] == events


def test_the_log_starts_afresh_and_takes_no_warning_with_standard_error_closed(tmp_path):
    log = tmp_path / "log"
    log.write_text("a line of the last run\n")
    answers = tmp_path / "answers"
    answers.write_text("device 0\nscan\n")  # a scan the command leaves out, which is warned of
    done = subprocess.run([EMULATOR, "--log", str(log), "--answers", str(answers), "--", "true"],
                          stdout=subprocess.DEVNULL, preexec_fn=lambda: os.close(2), timeout=60)
    assert (done.returncode, log.read_text()) == (3, "mounted path=/dev/blindscan0\n")


def test_help_goes_to_standard_output():
    done = emulator("--help")
    assert done.returncode == 0 and done.stderr == b""
    assert done.stdout.startswith(b"Usage: blindscan-emulator [OPTION...] -- COMMAND [ARG...]\n")


def test_help_that_cannot_be_written_fails():
    with open("/dev/full", "wb") as full:
        done = subprocess.run([EMULATOR, "--help"], stdout=full, stderr=subprocess.PIPE, timeout=60)
    assert (done.stderr, done.returncode) == (b"blindscan-emulator: cannot write the help: No space left on device\n", 2)


@pytest.mark.parametrize(
    "command, status",
    [(["true"], 0), (["sh", "-c", "exit 7"], 7), (["sh", "-c", "exit 255"], 255),
     (["sh", "-c", "kill -TERM $$"], 128 + signal.SIGTERM),
     (["sh", "-c", "kill -KILL $$"], 128 + signal.SIGKILL)],
    ids=["0", "7", "255", "SIGTERM", "SIGKILL"],
)
def test_exit_status_is_the_commands(command, status):
    result = run(command=command)
    assert (result.stdout, result.stderr, result.status) == (b"", b"", status)


def test_a_command_that_cannot_be_run_gives_127():
    result = run(command=["/nonexistent/command"])
    assert result.status == 127
    assert result.stderr == (
        b"blindscan-emulator: cannot run /nonexistent/command: No such file or directory\n")


def test_the_node_and_its_mounts_exist_only_for_the_command():
    before = leftovers()
    result = run(command=["sh", "-c", "test -f /dev/blindscan5 && grep -c blindscan /proc/self/mountinfo"],
                 options=["--device", "5"])
    assert (result.stdout, result.status) == (b"1\n", 0)
    assert leftovers() == before == []


def test_the_command_keeps_a_working_dev():
    result = python_inside("""
        import errno, os, pty, stat
        with open("/dev/null", "wb") as null:
            null.write(b"x")
        full = os.open("/dev/full", os.O_WRONLY)
        try:
            os.write(full, b"x")
        except OSError as error:
            assert error.errno == errno.ENOSPC
        master, slave = pty.openpty()
        assert os.ttyname(slave).startswith("/dev/")
        assert os.path.ismount("/dev/pts") and os.path.ismount("/dev/shm")
        assert stat.S_ISCHR(os.stat("/dev/zero").st_mode)
        print("ok")
    """)
    assert (result.stdout, result.stderr, result.status) == (b"ok\n", b"", 0)


def test_node_is_a_regular_file_with_the_given_mode():
    result = python_inside("""
        import os, stat
        info = os.stat("/dev/blindscan0")
        print(stat.S_ISREG(info.st_mode), oct(stat.S_IMODE(info.st_mode)), info.st_uid == os.geteuid())
    """, options=["--mode", "0640"])
    assert (result.stdout, result.stderr, result.status) == (b"True 0o640 True\n", b"", 0)


def test_other_requests_and_writes_are_refused_and_logged():
    # Near misses of the scan request: the other data direction (the two
    # direction bits swapped), the next request number, and no direction or
    # size at all.
    code = request_code()
    near_misses = [code ^ 0xC000_0000, code + 1, code & 0xFFFF]
    result = python_inside(f"""
        import errno, fcntl, os
        fd = os.open("/dev/blindscan0", os.O_RDWR | os.O_NONBLOCK)
        for cmd in {near_misses}:
            try:
                fcntl.ioctl(fd, cmd, bytes(24) if cmd & 0xFFFF_0000 else 0)
            except OSError as error:
                print(hex(cmd), errno.errorcode[error.errno])
        try:
            os.write(fd, b"hello")
        except OSError as error:
            print("write", errno.errorcode[error.errno])
        print("read", len(os.read(fd, 100)))
    """)
    refused = "".join(f"{cmd:#x} ENOTTY\n" for cmd in near_misses)
    assert result.stdout == (refused + "write EPERM\nread 0\n").encode()
    assert (result.stderr, result.status) == (b"", 0)
    assert result.log[1:] == [
        "open flags=O_RDWR|O_NONBLOCK",
        *(f"ioctl-unknown cmd={cmd:#x} errno=ENOTTY" for cmd in near_misses),
        "write size=5 refused",
        "read size=100 delivered=0",
        "release",
    ]


def test_a_second_read_continues_where_the_first_stopped():
    offer = records(*[(1, 2, 3)] * 5)
    script = textwrap.dedent(f"""
        import fcntl, os
        fd = os.open("/dev/blindscan0", os.O_RDWR)
        fcntl.ioctl(fd, {request_code():#x}, bytes(24))
        print(len(os.read(fd, 24)), len(os.read(fd, 1440)), len(os.read(fd, 1440)))
    """)
    result = run(options=["--records", "{records}"], command=[PYTHON, "-c", script], records=offer)
    assert (result.stdout, result.stderr, result.status) == (b"24 36 0\n", b"", 0)


@pytest.mark.parametrize("sent, status", [(signal.SIGTERM, 143), (signal.SIGINT, 130), (signal.SIGHUP, 129)])
def test_an_interrupted_emulator_stops_the_scan_and_leaves_nothing(sent, status, tmp_path):
    log = tmp_path / "log"
    process = start_slow_scan(log)
    started = time.monotonic()
    process.send_signal(sent)
    out, err = process.communicate(timeout=30)
    assert time.monotonic() - started < 10, "the pending scan must end at once"
    assert (out, err, process.returncode) == (b"", b"", status)
    assert log.read_text().splitlines()[-2:] == ["ioctl-interrupted", "release"]
    assert leftovers() == []


def test_a_command_that_ignores_signals_is_killed_by_the_second():
    command = [EMULATOR, "--", "sh", "-c", "trap '' INT TERM; echo ready; exec sleep 60"]
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    assert process.stdout.readline() == b"ready\n"
    process.send_signal(signal.SIGTERM)
    process.send_signal(signal.SIGINT)
    out, err = process.communicate(timeout=20)
    assert (out, err, process.returncode) == (b"", b"", 128 + signal.SIGKILL)


def test_a_node_that_exists_already_is_served_over():
    # The inner emulator's /dev holds the outer one's node.
    result = run(command=[EMULATOR, "--", TOOL, "0", "964", "965", "1000", "45000", "0", "0"])
    assert (result.stdout, result.stderr, result.status) == (
        report_line(False, 10_714_250, 23_000, True) + open_path(0), b"", 0)
    assert result.events("open") == []


def test_without_the_tone_a_high_band_scan_reports_the_low_bands_carriers():
    # The tool adds the high band's oscillator to what the low band delivers.
    low, faulty = run(LOW_HORIZONTAL), run([*LOW_HORIZONTAL[:-1], "1"], ["--fault", "1+:no-tone"])
    shift = oscillator_khz(1) - oscillator_khz(0)
    expected = re.sub(rb"^(OK \S+ )(\d+)", lambda m: m[1] + b"%d" % (int(m[2]) + shift), low.stdout, flags=re.M)
    assert low.stdout.count(b"OK ") > 10
    assert (faulty.stdout, faulty.stderr, faulty.status) == (expected, b"", 0)


def test_a_command_killed_during_a_scan_ends_the_emulator(tmp_path):
    log = tmp_path / "log"
    process = start_slow_scan(log)
    children = pathlib.Path(f"/proc/{process.pid}/task/{process.pid}/children").read_text().split()
    assert len(children) == 1
    os.kill(int(children[0]), signal.SIGKILL)
    out, err = process.communicate(timeout=30)
    assert (out, err, process.returncode) == (b"", b"", 128 + signal.SIGKILL)
    assert leftovers() == []


def test_scans_in_parallel_do_not_see_each_other(tmp_path):
    processes = []
    for i in range(3):
        offer = tmp_path / f"records{i}"
        offer.write_bytes(records((1_000_000 + i, 27_500, 0)))
        command = [EMULATOR, "--scan-ms", "300", "--records", str(offer), "--", TOOL, *LOW_HORIZONTAL]
        processes.append(subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE))
    outputs = [process.communicate(timeout=30) for process in processes]
    for i, (out, err) in enumerate(outputs):
        assert (out, err) == (report_line(False, 10_750_000 + i, 27_500, False) + open_path(0), b"")


# A scan waiting in the driver, and what happens to its caller meanwhile: a
# stop, a continue or a tracer's attach leave the scan to finish; a signal
# the caller catches ends it with EINTR; a kill after a stop still kills.
CATCHER = """
import fcntl, os, signal, sys
def caught(*_):
    raise InterruptedError
signal.signal(signal.SIGUSR1, caught)
fd = os.open("/dev/blindscan0", os.O_RDONLY)
try:
    fcntl.ioctl(fd, {code:#x}, bytes(24))
except InterruptedError:
    print("interrupted")
"""
CALLER_SIGNALS = {
    "stopped and continued": ("1500", '"$@" & sleep .5; kill -STOP $!; kill -CONT $!; wait $!', TOOL, 0),
    # A leak check at exit would ptrace the tool, which strace holds already.
    "strace -p attached": ("1500", 'ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 "$@" & tool=$!; '
                           'sleep .5; strace -o /dev/null -p $tool & wait $tool', TOOL, 0),
    "a caught signal": ("20000", '"$@" & sleep .5; kill -USR1 $!; wait $!', "python", 0),
    "stopped, then killed": ("20000", '"$@" & sleep .5; kill -STOP $!; sleep .2; kill -KILL $!; wait $!', TOOL,
                             137),
}


@pytest.mark.parametrize("scan_ms,script,caller,status", CALLER_SIGNALS.values(), ids=CALLER_SIGNALS.keys())
def test_a_waiting_scan_ends_only_when_a_signal_is_delivered(scan_ms, script, caller, status):
    if "strace" in script and shutil.which("strace") is None:
        missing("strace is not installed")
    command = [PYTHON, "-c", CATCHER.format(code=request_code())] if caller == "python" else [TOOL, *LOW_HORIZONTAL]
    started = time.monotonic()
    result = run(options=["--scan-ms", scan_ms], command=["sh", "-c", script, "sh", *command], timeout=30)
    assert time.monotonic() - started < 10
    assert result.status == status
    if caller == "python":
        assert (result.stdout, result.events("ioctl-interrupted")) == (b"interrupted\n", ["ioctl-interrupted"])
    elif status == 0:
        assert result.stdout.endswith(open_path(0)) and result.stdout.count(b"OK ") > 10


def start_slow_scan(log):
    """The tool under an emulator whose scan takes 20 s, once the request is in."""
    command = [EMULATOR, "--scan-ms", "20000", "--log", str(log), "--", TOOL, *LOW_HORIZONTAL]
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    wait_for_line(log, "ioctl ")
    return process


def wait_for_line(path, prefix, timeout=20):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if path.exists() and any(line.startswith(prefix) for line in path.read_text().splitlines()):
            return
        time.sleep(0.01)
    raise AssertionError(f"no '{prefix}' line in {path}")


SERVE_SCRIPT = """
import os, pathlib, signal, subprocess, sys, time
emulator, tool, records, log = sys.argv[1:5]
serving = subprocess.Popen([emulator, "--serve", "/dev/blindscan0", "--records", records, "--log", log])
deadline = time.monotonic() + 20
while "mounted" not in (pathlib.Path(log).read_text() if os.path.exists(log) else ""):
    assert time.monotonic() < deadline and serving.poll() is None, "serving did not start"
    time.sleep(0.01)
scan = subprocess.run([tool, "0", "950", "1950", "1000", "45000", "1", "0"], capture_output=True)
serving.send_signal(signal.SIGTERM)
status = serving.wait(timeout=20)
still_mounted = sum("/dev/blindscan0 " in line for line in open("/proc/self/mountinfo"))
sys.stdout.buffer.write(scan.stdout)
print(scan.returncode, status, still_mounted)
"""


def test_serve_mode_serves_an_existing_file_until_interrupted(tmp_path):
    # The outer emulator provides a private mount namespace and the file to
    # serve on; the inner one serves it as on a board.
    offer = tmp_path / "records"
    offer.write_bytes(records((1_000_000, 27_500, 4)))
    log = tmp_path / "serve.log"
    result = run(command=[PYTHON, "-c", SERVE_SCRIPT, EMULATOR, TOOL, str(offer), str(log)])
    expected = report_line(True, 10_750_000, 27_500, True) + open_path(0) + b"0 0 1\n"
    assert (result.stdout, result.stderr, result.status) == (expected, b"", 0)
    # Only the outer emulator's mount is left once the inner one has stopped.
    assert log.read_text().splitlines() == [
        "mounted path=/dev/blindscan0",
        "open flags=O_RDWR",
        ioctl_event(950, 1950, 1000, 45000, 1, 0),
        "read size=1440 delivered=12",
        "release",
    ]
    assert result.events("open") == []


@pytest.mark.parametrize("path, message", [
    ("{dir}/absent",
     "{dir}/absent: No such file or directory (--serve needs an existing file: touch it first)"),
    ("{dir}", "{dir} is a directory; --serve needs a file"),
])
def test_serve_needs_an_existing_file(path, message, tmp_path):
    done = emulator("--serve", path.format(dir=tmp_path))
    assert (done.stdout, done.stderr.decode(), done.returncode) == (
        b"", f"blindscan-emulator: {message.format(dir=tmp_path)}\n", 2)


def test_without_root_it_runs_in_a_user_namespace():
    """As an unprivileged user, given a usable /dev/fuse (a private copy of the
    node, bound over the real one for this test only)."""
    with tempfile.TemporaryDirectory(prefix="blindscan-userns-") as scratch:
        run_as_nobody(pathlib.Path(scratch))


def run_as_nobody(tmp_path):
    if os.geteuid() != 0:
        pytest.skip("needs root to set up the unprivileged user")
    if not all(shutil.which(tool) for tool in ("unshare", "setpriv")):
        missing("needs unshare and setpriv (util-linux)")
    tmp_path.chmod(0o755)
    for binary in (EMULATOR, TOOL):
        shutil.copy(binary, tmp_path)
    fuse = os.stat("/dev/fuse").st_rdev
    script = f"""
        mknod {tmp_path}/fuse c {os.major(fuse)} {os.minor(fuse)} && chmod 666 {tmp_path}/fuse &&
        mount --bind {tmp_path}/fuse /dev/fuse &&
        exec setpriv --reuid=65534 --regid=65534 --clear-groups \
            {tmp_path}/blindscan-emulator -- sh -c 'ls -l /proc/$PPID/fd | grep -c -e _map -e setgroups; exec "$@"' \
            sh {tmp_path}/mivo_blindscan 0 964 965 1000 45000 0 0
    """
    done = subprocess.run(["unshare", "--mount", "--propagation", "private", "sh", "-c", script],
                          capture_output=True, timeout=60)
    # The first line counts what the emulator still holds of the namespace's maps.
    assert (done.stdout, done.stderr, done.returncode) == (
        b"0\n" + report_line(False, 10_714_250, 23_000, True) + open_path(0), b"", 0)
