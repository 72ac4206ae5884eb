"""replay-trace: runs recorded with strace under the stand-in, in
everyday forms, replay to the same bytes and status; a trace it cannot
read stops it before anything runs."""

import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import time

import pytest

from harness import BAD_INPUT_STATUS, EMULATOR, LOW_HORIZONTAL, REPLAY_DIFFERS_STATUS, REPO, TOOL, missing, open_path

sys.path.insert(0, str(REPO / "replay"))

import strace_calls  # noqa: E402
import trace_reader  # noqa: E402

REPLAY = str(REPO / "replay/replay-trace")
CALLS = ["-e", "trace=execve,open,openat,ioctl,read"]
DUMP = CALLS + ["-e", "read=all"]
HOTBIRD = ["--satellite", "Hotbird-13.0E"]


# The line replay-trace gives box owners to record with, in a table of
# strace's options.
RECORDING_LINE = "replay-trace --recording-line"
# A front end whose interpreter reads a few hundred files as it starts.
PYTHON_FRONT_END = [sys.executable, "-c", "import subprocess, sys; sys.exit(subprocess.run(sys.argv[1:]).returncode)"]


def recording_line(trace):
    """The recording line, writing trace, for sh -c: its COMMAND is the
    arguments after it, and the tool is found on PATH."""
    line = subprocess.run([REPLAY, "--recording-line"], capture_output=True, text=True, check=True).stdout.strip()
    assert line.startswith("strace ") and line.endswith(" COMMAND") and line.count(" -o scan.trace ") == 1
    line = line.replace(" -o scan.trace ", f" -o {shlex.quote(str(trace))} ").removesuffix("COMMAND") + '"$@"'
    return f"PATH={shlex.quote(os.path.dirname(TOOL))}:$PATH; {line}"


@pytest.fixture(scope="module", autouse=True)
def strace():
    if shutil.which("strace") is None:
        missing("strace is not installed")


def scan(device="0"):
    return [TOOL, device, *LOW_HORIZONTAL[1:]]


def record(tmp_path, options, strace_options, command, on_stderr=False, mixed=False):
    """Runs command under strace under the stand-in; the trace and what ran."""
    trace = tmp_path / "scan.trace"
    # LeakSanitizer, in the sanitizer build's tool, cannot run under a tracer.
    no_leak_check = "ASAN_OPTIONS=" + ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "detect_leaks=0"]))
    if strace_options is RECORDING_LINE:
        strace = ["sh", "-c", f"export {shlex.quote(no_leak_check)}; {recording_line(trace)}", "sh"]
    elif on_stderr or mixed:  # the trace on standard error, as a shell redirects it, the output with it if mixed
        strace = ["sh", "-c", f'exec "$@" {">" + str(trace) + " 2>&1" if mixed else "2>" + str(trace)}', "sh",
                  "strace", "-E", no_leak_check, *strace_options]
    else:
        strace = ["strace", "-E", no_leak_check, *strace_options, "-o", str(trace)]
    done = subprocess.run([EMULATOR, *options, "--", *strace, *command], capture_output=True, timeout=60)
    return trace, (done.stdout, b"" if on_stderr or mixed else done.stderr, done.returncode)


NOT_CHECKED = b"replay-trace: requests are not checked"


def replay(trace, command, timeout=60, checked=True):
    """What the command gave in the replay of a trace (or of the files of
    -ff); replay-trace's notice that it does not check requests, which must
    be there once just when they are not checked, is taken from the start of
    standard error."""
    traces = [str(path) for path in trace] if isinstance(trace, list) else [str(trace)]
    done = subprocess.run([REPLAY, "--emulator", EMULATOR, *traces, "--", *command], capture_output=True,
                          timeout=timeout)
    stderr = done.stderr
    assert stderr.count(NOT_CHECKED) == (not checked) and stderr.startswith(NOT_CHECKED) == (not checked)
    if not checked:
        stderr = stderr.split(b"\n", 1)[1]
    return done.stdout, stderr, done.returncode


# Each everyday set of strace's options, with the stand-in's options and the
# device scanned: what the driver answered, as each set records it.
FLAG_SETS = {
    "as replay-trace --recording-line records, a Python front end": (HOTBIRD, RECORDING_LINE, "0"),
    "-f in a file, -tt, device 2": (HOTBIRD + ["--device", "2"], DUMP + ["-f", "-tt"], "2"),
    "-T, a refused request": (["--fail-ioctl", "EIO"], DUMP + ["-T"], "0"),
    "-y, a failed read": (["--fail-read", "EIO"], DUMP + ["-y"], "0"),
    "-yy, nothing found": (["--sky", "/dev/null"], DUMP + ["-yy"], "0"),
    "-r": (HOTBIRD, DUMP + ["-r"], "0"),
    "-xx, device -1": (HOTBIRD + ["--device", "-1"], DUMP + ["-xx"], "-1"),
    "-X raw": (HOTBIRD, DUMP + ["-X", "raw"], "0"),
    "-X verbose": (HOTBIRD, DUMP + ["-X", "verbose"], "0"),
    "-t -r -n -i": (HOTBIRD, DUMP + ["-t", "-r", "-n", "-i"], "0"),
    "-k -ttt": ([], DUMP + ["-k", "-ttt"], "0"),
    "--timestamps=unix,ns -v": ([], DUMP + ["--timestamps=unix,ns", "-v"], "0"),
    "every call, -e write=all": ([], ["-e", "read=all", "-e", "write=all"], "0"),
    "-s 2000 -x, no dump": (HOTBIRD, ["-s", "2000", "-x"], "0"),
    "--timestamps=unix, a scan across a second": (["--scan-ms", "1100"], DUMP + ["--timestamps=unix"], "0"),
    "-e raw=read,ioctl -f -Y": (HOTBIRD, DUMP + ["-e", "raw=read,ioctl", "-f", "-Y"], "0"),
    "-C, its summary after the calls": (HOTBIRD, DUMP + ["-C"], "0"),
    "strings as text, no dump": (HOTBIRD, ["-s", "2000"], "0"),
}


@pytest.mark.parametrize("options,strace_options,device", FLAG_SETS.values(), ids=FLAG_SETS.keys())
def test_a_recorded_scan_replays_exactly_from_a_small_recording(tmp_path, options, strace_options, device):
    command = (PYTHON_FRONT_END if strace_options is RECORDING_LINE else []) + scan(device)
    trace, recorded = record(tmp_path, options, strace_options, command)
    # The recording line records the nodes and the tool's runs alone, whatever
    # the front end reads; the other rows record every read, as strace's
    # options given make them.
    if strace_options is RECORDING_LINE:
        assert trace.stat().st_size < 64 * 1024
    assert replay(trace, command) == recorded


def test_an_execve_without_its_arguments_leaves_the_requests_unchecked(tmp_path):
    trace, recorded = record(tmp_path, HOTBIRD, DUMP + ["-e", "verbose=none"], scan())
    assert replay(trace, scan(), checked=False) == recorded


TWO_SWEEPS = ["sh", "-c", f"{TOOL} 0 950 1950 1000 45000 0 0; {TOOL} 0 950 1950 1000 45000 1 0"]


# The files of -ff, given in any order, replay as one recording where their
# time stamps order the runs, or the runs' arguments tell them apart.
@pytest.mark.parametrize("strace_options", [["-ttt", "-e", "verbose=none"], ["-tt", "-e", "verbose=none"], []],
                         ids=["-ttt", "-tt", "execve"])
def test_the_files_of_one_recording_per_process(tmp_path, strace_options):
    _, recorded = record(tmp_path, HOTBIRD, DUMP + ["-ff", *strace_options], TWO_SWEEPS)
    traces = sorted(tmp_path.glob("scan.trace.*"), reverse=True)
    assert replay(traces, TWO_SWEEPS, checked=not strace_options) == recorded


# Recordings that are not what they must be, refused with how to record
# them: strace options, the stand-in's and whether the command's output went
# into the trace too.
REFUSED_RECORDINGS = {
    "-z, a failed read left out": (["-f", "-z", *DUMP], ["--fault", "2:fail-read=EIO"], False, b"as strace -z"),
    "-z, a refused request left out": (["-f", "-z", *DUMP], ["--fault", "2:fail-ioctl=EIO"], False, b"as strace -z"),
    "no read traced": (["-f", "-e", "trace=execve,open,openat,ioctl"], [], False, b"no read call"),
    "the command's output in the trace": (["-f", "-e", "read=all"], [], True, b"record with strace -o FILE"),
    "-ff, nothing orders the runs": (["-ff", "-e", "verbose=none", *DUMP], [], False, b"record with -ttt"),
}


@pytest.mark.parametrize("strace_options,options,mixed,refused", REFUSED_RECORDINGS.values(),
                         ids=REFUSED_RECORDINGS.keys())
def test_recordings_refused_with_how_to_record(tmp_path, strace_options, options, mixed, refused):
    record(tmp_path, HOTBIRD + options, strace_options, TWO_SWEEPS, mixed=mixed)
    stdout, stderr, status = replay(sorted(tmp_path.glob("scan.trace*")), ["true"])
    assert (stdout, status, refused in stderr) == (b"", BAD_INPUT_STATUS, True)


def test_strace_on_standard_error_with_a_process_id_column(tmp_path):
    command = ["sh", "-c", f"{TOOL} 0 950 1950 1000 45000 1 0; {TOOL} 0 950 1950 1000 45000 0 0"]
    trace, recorded = record(tmp_path, HOTBIRD, DUMP + ["-f"], command, on_stderr=True)
    assert b"[pid " in trace.read_bytes()
    assert replay(trace, command) == recorded


def test_a_front_ends_four_sweeps_on_two_tuners(tmp_path):
    sweeps = ["0 950 2150 1000 45000 0 0", "1 950 2150 1000 45000 1 0", "0 950 2150 1000 45000 0 1",
              "1 950 2150 1000 45000 1 1"]
    command = ["sh", "-c", "".join(f"{TOOL} {sweep}; echo status $?; " for sweep in sweeps)]
    trace, recorded = record(tmp_path, HOTBIRD + ["--device", "0", "--device", "1"], DUMP + ["-f"], command)
    assert recorded[0].count(b"status 0\n") == 4 and recorded[0].count(b"OK ") > 40
    assert replay(trace, command) == recorded


# A scan request the tool never saw answered, because a front end's timeout
# killed it: recorded as strace prints it, and as a box's driver reports it.
INTERRUPTED = {
    "killed: = ?": ("KILL", None),
    "terminated: EINTR": ("TERM", None),
    "ERESTARTSYS": ("TERM", (r"= -1 EINTR \(.*\)", "= ? ERESTARTSYS (To be restarted if SA_RESTART is set)")),
}


@pytest.mark.parametrize("signal,rewrite", INTERRUPTED.values(), ids=INTERRUPTED.keys())
def test_an_interrupted_scan_waits_for_the_commands_interruption(tmp_path, signal, rewrite):
    command = ["timeout", "-s", signal, "1", *scan()]
    trace, recorded = record(tmp_path, ["--scan-ms", "30000"], DUMP + ["-f"], command)
    if rewrite:
        trace.write_text(re.sub(*rewrite, trace.read_text()))
    assert recorded == (b"", b"", 124 if signal == "TERM" else 137)
    assert replay(trace, command) == recorded


def test_halves_of_a_split_read_are_joined(tmp_path):
    trace, recorded = record(tmp_path, HOTBIRD, DUMP + ["-f"], scan())
    text = re.sub(r"^(\d+) (read\(3, )(.*)$", r"\1 \2 <unfinished ...>\n\1 <... read resumed>\3", trace.read_text(),
                  count=1, flags=re.M)
    trace.write_text(text)
    assert replay(trace, scan()) == recorded


# How a good trace is spoilt, given its lines and the index of the device's
# read, and the index of the line the error must name.
SPOILT = {
    "not strace's output": lambda lines, read: (["Linux version 6.1.0"] + lines, 0),
    "dump line cut": lambda lines, read: (lines[: read + 2] + [lines[read + 2][:20]], read + 2),
    "dump lines swapped": lambda lines, read: (lines[: read + 1] + [lines[read + 2], lines[read + 1]]
                                               + lines[read + 3 :], read + 1),
    "dump missing, string cut short": lambda lines, read: (
        lines[: read + 1] + [line for line in lines[read + 1 :] if not line.startswith(" | ")], read),
}


@pytest.mark.parametrize("spoil", SPOILT.values(), ids=SPOILT.keys())
def test_unreadable_trace(tmp_path, spoil):
    trace, _ = record(tmp_path, HOTBIRD, DUMP, scan())
    lines = trace.read_text().splitlines()
    # The device's read is the first after its open (a dynamic tool reads its libraries before).
    opened = next(n for n, line in enumerate(lines) if "/dev/blindscan" in line)
    lines, named = spoil(lines, next(n for n in range(opened, len(lines)) if lines[n].startswith("read(")))
    trace.write_text("\n".join(lines) + "\n")
    ran = tmp_path / "ran"
    stdout, stderr, status = replay(trace, ["touch", str(ran)])
    assert (status, stdout, ran.exists()) == (BAD_INPUT_STATUS, b"", False)
    assert stderr.startswith(f"replay-trace: {trace}:{named + 1}: ".encode())


def test_a_failed_open_in_a_session_is_replayed_in_its_turn(tmp_path):
    # Three runs; the trace is made to say the second found the tuner busy.
    command = ["sh", "-c", f"for run in 1 2 3; do {TOOL} {' '.join(LOW_HORIZONTAL)}; echo status $?; done"]
    trace, (stdout, _, _) = record(tmp_path, HOTBIRD, DUMP + ["-f"], command)
    second = re.findall(r"^(\d+) +openat\(.*blindscan0.*= 3$", trace.read_text(), flags=re.M)[1]
    lines, dropping = [], False
    for line in trace.read_text().splitlines():
        if re.match(rf"{second} +openat\(", line) and "blindscan0" in line:
            line = line[: line.rindex("= ")] + "= -1 EBUSY (Device or resource busy)"
        elif line.startswith(" | ") and dropping:
            continue
        dropping = re.match(rf"{second} +(?:ioctl|read|close)\(3,", line) is not None
        if not dropping:
            lines.append(line)
    trace.write_text("\n".join(lines) + "\n")
    run = stdout[: stdout.index(b"status 0\n") + len(b"status 0\n")]
    assert replay(trace, command) == (run + open_path(0) + b"status 255\n" + run, b"", 0)


def test_a_signal_to_replay_trace_ends_the_replay_as_the_command(tmp_path):
    trace, _ = record(tmp_path, ["--scan-ms", "30000"], DUMP + ["-f"], ["timeout", "-s", "KILL", "1", *scan()])
    started = time.monotonic()
    replaying = subprocess.Popen([REPLAY, "--emulator", EMULATOR, str(trace), "--", *scan()],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    time.sleep(1)
    replaying.send_signal(signal.SIGTERM)
    replaying.communicate(timeout=30)
    assert (replaying.returncode, time.monotonic() - started < 10) == (143, True)


def test_kept_answers_and_log_go_to_a_directory_of_replay_traces_own(tmp_path):
    trace, recorded = record(tmp_path, HOTBIRD, DUMP, scan())
    keep = tmp_path / "kept"
    command = [REPLAY, "--emulator", EMULATOR, "--keep", str(keep), str(trace), "--", *scan()]
    for _ in range(2):  # the second time into its own directory
        assert subprocess.run(command, capture_output=True, timeout=60).stdout == recorded[0]
    assert (keep / "answers").read_text().startswith("# The driver's answers")
    assert "release" in (keep / "log").read_text()
    (keep / ".replay-trace").unlink()
    refused = subprocess.run(command, capture_output=True, timeout=60)
    assert (refused.returncode, refused.stdout) == (BAD_INPUT_STATUS, b"")
    assert refused.stderr.startswith(f"replay-trace: {keep}: refused: it is not empty".encode())
    (tmp_path / "elsewhere").mkdir()
    (tmp_path / "link").symlink_to("elsewhere")
    command[command.index(str(keep))] = str(tmp_path / "link")
    refused = subprocess.run(command, capture_output=True, timeout=60)
    assert (refused.returncode, refused.stdout, os.listdir(tmp_path / "elsewhere")) == (BAD_INPUT_STATUS, b"", [])


# Options naming what is not a file or not a program: refused with 2, no traceback.
BAD_OPTIONS = {
    "a directory as the trace": lambda tmp: [str(tmp), "--", "true"],
    "no trace": lambda tmp: [str(tmp / "absent"), "--", "true"],
    "an endless trace": lambda tmp: ["/dev/zero", "--", "true"],
    "a directory as the stand-in": lambda tmp: ["--emulator", str(tmp), str(tmp / "scan.trace"), "--", "true"],
}


@pytest.mark.parametrize("arguments", BAD_OPTIONS.values(), ids=BAD_OPTIONS.keys())
def test_options_naming_no_file_or_program_are_refused(tmp_path, arguments):
    record(tmp_path, HOTBIRD, DUMP, scan())
    done = subprocess.run([REPLAY, *arguments(tmp_path)], capture_output=True, timeout=60)
    assert (done.returncode, done.stdout) == (BAD_INPUT_STATUS, b"")
    assert done.stderr.startswith(b"replay-trace: ") and b"Traceback" not in done.stderr


# strace's lines in the spellings its options give, read into one call each:
# (process, name, descriptor argument, value, error, -y path).
LINES = {
    "--timestamps=unix: seconds, not a process": (
        '1796864638 read(3, "", 24) = 0', (None, "read", "3", 0, "", None)),
    "-f with --timestamps=unix": ('123 1796864638 read(3, "", 24) = 0', (123, "read", "3", 0, "", None)),
    "-Y in a file": ("123<mivo_blindscan> ioctl(0x3, 0x40186201, 0x7ffd) = 0", (123, "ioctl", "0x3", 0, "", None)),
    "-Y on standard error, -tt -r -n -i -T": (
        "[pid   77<sh>] 12:00:01.123456 (+     0.000012) [   16] [00007f12aa] ioctl(3</dev/blindscan0>, "
        "0x40186201, 0x7ff) = -1 ENOTSUPP (Unknown error 524) <0.000012>",
        (77, "ioctl", "3</dev/blindscan0>", -1, "ENOTSUPP", None)),
    "raw=read: hex numbers": ("read(0x3, 0x7ffd, 0x5a0) = 0x144", (None, "read", "0x3", 0x144, "", None)),
    "-r alone, -y on the result": (
        '      0.000123 openat(AT_FDCWD</root>, "/dev/blindscan0", O_RDWR) = 3</dev/blindscan0>',
        (None, "openat", "AT_FDCWD</root>", 3, "", "/dev/blindscan0")),
    "interrupted": ("ioctl(3, AVL2108_SET_PARAMETER, 0x1) = ? ERESTARTSYS (To be restarted if SA_RESTART is set)",
                    (None, "ioctl", "3", None, "ERESTARTSYS", None)),
    "a string as text with one quote": ('read(3, "\\"x,", 24) = 3', (None, "read", "3", 3, "", None)),
}


@pytest.mark.parametrize("line,expected", LINES.values(), ids=LINES.keys())
def test_strace_lines_in_every_spelling(line, expected):
    (call,) = strace_calls.CallReader().lines([(1, line)])
    assert (call.process, call.name, call.arguments[0], call.value, call.error, call.path) == expected


# Strings with their escapes, and a cut one, which has no whole bytes.
STRINGS = {r'"\1234\v"': b"S4\x0b", r'"a\"b\\"': b'a"b\\', r'"\x4c\0"': b"L\0", r'"\x4c"...': None}


def test_strings_and_their_escapes():
    assert {text: strace_calls.whole_string(text, 1) for text in STRINGS} == STRINGS


OPEN = '5 openat(AT_FDCWD, "/dev/blindscan0", O_RDWR) = 3\n'
SCAN = "5 ioctl(3, 0x40186201, 0x7ffd) = 0\n"
READ = '5 read(3, "\\x01\\x02\\x03", 1440) = 3\n'
# Sessions of a few lines: the answers they give, or the error they are
# refused with, after the file and line it names.
SESSIONS = {
    "a reopened descriptor has no scan yet": (OPEN + SCAN + "5 close(3) = 0\n" + OPEN + READ, "before any scan"),
    "a dump shorter than the read": (OPEN + SCAN + "5 read(3, 0x1, 1440) = 24\n | 00000  " + bytes(12).hex(" ")
                                     .ljust(48) + "  ............ |\n", "holds 12"),
    "a scan that returned 1": (OPEN + "5 ioctl(3, 0x40186201, 0x7ffd) = 1\n", "returned 1"),
    "a scan request on a descriptor opened before the trace": (SCAN, "start strace before"),
    "the trace begins inside a scan request": ("5 <... ioctl resumed>, 0x7ffd) = 0\n", "begins inside"),
    "a call resumed under another name": (OPEN + "5 ioctl(3, 0x40186201, 0x7ffd <unfinished ...>\n5 <... read "
                                          "resumed>, 0x1, 1440) = 0\n", "scan.trace:3: read resumed where ioctl( began"),
    "a kernel-internal error": (OPEN + "5 ioctl(3, 0x40186201, 0x7ffd) = -1 ENOTSUPP (Unknown error 524)\n",
                                "device 0\nscan failed EOPNOTSUPP\n"),
    "an error no node gives": (OPEN + "5 ioctl(3, 0x40186201, 0x7ffd) = -1 ERRNO_600 (Unknown error 600)\n",
                               "which no device node can answer"),
    "killed inside its request, no resumed line": (
        OPEN + "5 ioctl(3, 0x40186201, 0x7ffd <unfinished ...>\n5 +++ killed by SIGKILL +++\n", "scan unfinished\n"),
    "an open alone, in a trace that shows failures": (OPEN + "5 ioctl(1, TCGETS, 0x1) = -1 ENOTTY (Not a tty)\n5 +++ "
                                                      "exited with 0 +++\n", "device 0\n"),
    "a MIPS request by number, read, then the exit": (
        OPEN + "5 ioctl(3, 0x80186201, 0x7ffd) = 0\n" + READ + "5 +++ exited with 0 +++\n", "scan\nread 010203\n"),
    "a node known by -yy, then -C's summary": (
        "5 ioctl(3</dev/blindscan2>, 0x40186201, 0x7ffd) = ? ERESTARTSYS (To be restarted)\n5 +++ killed by "
        "SIGKILL +++\n% time     seconds  usecs/call     calls    errors syscall\n------ ----------- ---\n"
        "100.00    0.000000           0        29         1 total\n", "device 2\nscan unfinished\n"),
}


@pytest.mark.parametrize("text,expected", SESSIONS.values(), ids=SESSIONS.keys())
def test_sessions(tmp_path, text, expected):
    trace = tmp_path / "scan.trace"
    trace.write_text(text + "5 read(4, \"\", 1) = 0\n")
    try:
        assert expected in trace_reader.read_trace(trace).answers()
    except trace_reader.BadTrace as error:
        assert expected in error.located(trace.name)


def test_runs_at_the_same_time_get_their_own_scans_whatever_their_order(tmp_path):
    low, high = " ".join(LOW_HORIZONTAL), "0 950 2150 1000 45000 1 1"
    both = 'cd "$1"; {} >{} & sleep .3; {} >{}; wait; cat low high'
    recording = ["sh", "-c", both.format(f"{TOOL} {low}", "low", f"{TOOL} {high}", "high"), "sh", str(tmp_path)]
    trace, recorded = record(tmp_path, HOTBIRD + ["--scan-ms", "1000"], DUMP + ["-f"], recording)
    replaying = ["sh", "-c", both.format(f"{TOOL} {high}", "high", f"{TOOL} {low}", "low"), "sh", str(tmp_path)]
    assert replay(trace, replaying) == recorded


HIGH = ["0", "950", "2150", "1000", "45000", "1", "1"]
LEFT_OUT = {"low": b"1 recorded scan(s) and 1 read(s) of the run '0 950 1950 1000 45000 0 0'",
            "high": b"1 recorded scan(s) and 1 read(s) of the run '0 950 2150 1000 45000 1 1'"}
# What the command says on standard error as it ends.
ENDED = b"(the command has ended)"
# A replay that does less than the recording, or other than it, says so on
# standard error, node by node: a request it has no answer for at once, what
# was left out once the command has ended; --partial makes doing less a
# choice, which keeps the command's status.  Every message is signed
# replay-trace's, though the stand-in says it.
SUBSETS = {
    "one run of two": ([], LOW_HORIZONTAL, REPLAY_DIFFERS_STATUS, [ENDED,
        b"/dev/blindscan0: the command did not ask for " + LEFT_OUT["high"] + b"; the command's status was 0"]),
    "one run of two, --partial": (["--partial"], LOW_HORIZONTAL, 0, [ENDED,
        b"/dev/blindscan0: left out (--partial): " + LEFT_OUT["high"]]),
    "a scan never recorded, --partial": (["--partial"], LOW_HORIZONTAL[:-1] + ["1"], REPLAY_DIFFERS_STATUS, [
        b"/dev/blindscan0: a scan request of the run '0 950 1950 1000 45000 0 1' that the answers hold no recorded "
        b"scan for (min_freq=950 max_freq=1950 min_symbol=1000 max_symbol=45000 pol=0 hilow_band=1) refused with "
        b"ENODATA", ENDED,
        b"/dev/blindscan0: 1 scan request(s) that the answers hold no recorded scan for (other arguments, or more "
        b"scans than recorded) refused with ENODATA; the command's status was 255",
        b"/dev/blindscan0: left out (--partial): " + LEFT_OUT["low"],
        b"/dev/blindscan0: left out (--partial): " + LEFT_OUT["high"]]),
}


@pytest.mark.parametrize("options,arguments,status,said", SUBSETS.values(), ids=SUBSETS.keys())
def test_a_replay_that_differs_from_the_recording_says_how(tmp_path, options, arguments, status, said):
    both = ["sh", "-c", f"{TOOL} {' '.join(LOW_HORIZONTAL)}; {TOOL} {' '.join(HIGH)}"]
    trace, (recorded, _, _) = record(tmp_path, HOTBIRD, DUMP + ["-f"], both)
    command = ["sh", "-c", f'"$0" "$@"; status=$?; echo "{ENDED.decode()}" >&2; exit $status', TOOL, *arguments]
    done = subprocess.run([REPLAY, "--emulator", EMULATOR, *options, str(trace), "--", *command], capture_output=True,
                          timeout=60)
    low = recorded[: recorded.index(open_path(0)) + len(open_path(0))]
    expected = low if arguments == LOW_HORIZONTAL else open_path(0) + b"failed to ioctl(AVL2108_SET_PARAMETER\n"
    assert (done.stdout, done.returncode) == (expected, status)
    assert done.stderr.splitlines() == [line if line is ENDED else b"replay-trace: " + line for line in said]
