"""Reads strace's record of blind scans into the session a box's driver
served: which /dev/blindscanN nodes were opened (or refused), and what the
driver answered to each scan request and to each read after it, in the
order the trace recorded them.  The session is written as
blindscan-emulator's answers file (its --answers option), so that the
stand-in answers a command as that driver did.  strace_calls reads
strace's lines; this module judges what the calls mean.  replay-trace and
scripts/box --trace read traces with it."""

import dataclasses
import errno
import re

import kit_facts

# BadTrace is re-exported: its readers catch it from here.
from strace_calls import EXIT, BadTrace, CallReader, descriptor, split_arguments, whole_string  # noqa: F401

# What a user is told to record on a box, a line for a shell: of every
# process, the calls on the box's blind-scan nodes (-P each one there is),
# with the bytes each read delivered, and the execve of mivo_blindscan as PATH
# finds it (-P its path), so that the runs are known; nothing else, so that a
# front end in any language records in kilobytes.
RECORD = (f"strace -f -o scan.trace $(printf ' -P %s' {kit_facts.NODE_PREFIX}*) -P \"$(command -v mivo_blindscan)\" "
          "-e trace=execve,open,openat,ioctl,read -e read=all -x COMMAND")
# How a trace missing a kind of call was likely recorded, and how to record it.
TRACED_CALLS = ("(record with -e trace=execve,open,openat,ioctl,read, or with no -e trace, and without -z, which "
                "leaves out the calls that failed)")

FORMS = """\
It reads what strace writes with any of its everyday output options: the
process id column of -f, in a file (-o) or on standard error ([pid N]), with
-Y's <comm> or without; time stamps of -t, -tt, -ttt and --timestamps with
any precision, relative ones of -r, alone or after -t, and durations of -T;
syscall numbers (-n) and instruction pointers (-i); stack traces (-k), which
it skips; descriptor and path decorations of -y and -yy; strings escaped
(-x, -xx, or as text) and numbers in any base (-X raw, -X verbose, -e raw=);
calls split into <unfinished ...> and resumed halves; the files of -ff,
TRACE.PID each, given together, in the order of their time stamps (a replay
that depends on how different processes' calls on one node were ordered is
refused without them); the summary of -C after the calls; open as well as
openat (with their paths: not -e raw=open unless -y names the result), and
the scan request by name or by number, as older strace releases print them.
A read's bytes come from the hex dump of -e read=all where there is one,
otherwise from its string, which must then be whole (-s large enough: a
string cut short, "..."..., is refused).  An execve whose arguments strace
did not show (-e verbose=none) is taken as no execve.  A trace of the calls
that succeeded alone (-z) is refused where it shows: no call failed, and a
run ends without the scan request after its open, or without the read after
an answered one.  A call that never returned (= ?, ERESTARTSYS and its kin,
or EINTR: the caller was interrupted) is replayed as one that returns only
when a signal is delivered to the command.  A failed open of a node is
replayed as failed.  A descriptor whose open the trace does not show
(strace -p, or a trace cut short) is known by its -y or -yy path; a scan
request on one without it is refused."""

# The scan request as strace prints it: decoded, or its code on most
# architectures and on MIPS (also PowerPC, SPARC, Alpha), in any base.
SCAN_REQUEST = re.compile("|".join([
    rf"_IOC\(_IOC_WRITE, *(?:{kit_facts.REQUEST_TYPE:#x}|'{chr(kit_facts.REQUEST_TYPE)}'), "
    rf"*(?:0x0*{kit_facts.REQUEST_NUMBER:x}|{kit_facts.REQUEST_NUMBER}), "
    rf"*(?:0x0*{kit_facts.REQUEST_SIZE:x}|{kit_facts.REQUEST_SIZE})\)",
    *(f"{code:#x}|{code}" for code in (kit_facts.REQUEST_CODE, kit_facts.MIPS_REQUEST_CODE)),
    kit_facts.REQUEST_NAME]))
# A node's path: the prefix and the device number in signed decimal.
DEVICE = re.compile(re.escape(kit_facts.NODE_PREFIX) + r"(-?(?:0|[1-9]\d*))")
# Errors that mean the caller was interrupted while the driver had not answered.
INTERRUPTED = {"EINTR", "ERESTARTSYS", "ERESTARTNOINTR", "ERESTARTNOHAND", "ERESTART_RESTARTBLOCK"}
# Errors only the kernel sees, as the answer a FUSE node gives nearest them.
KERNEL_ERRORS = {"ENOTSUPP": "EOPNOTSUPP", "ENOIOCTLCMD": "ENOTTY"}
# The stand-in reads an answers file of at most this many bytes.
ANSWERS_LIMIT = kit_facts.INPUT_LIMIT
# strace writes no line this long, however long its strings (-s).
LINE_LIMIT = 1024 * 1024


@dataclasses.dataclass
class Read:
    end: str = "answered"  # answered, failed or unfinished
    data: bytes = b""
    error: str = ""


@dataclasses.dataclass
class Scan:
    end: str = "answered"
    error: str = ""
    reads: list = dataclasses.field(default_factory=list)
    run: list | None = None  # the arguments of the run that made it, when the trace shows its execve


@dataclasses.dataclass
class Node:
    """What one /dev/blindscanN answered: each open, taken ("") or refused
    with an errno name, and each scan request, in turn."""

    opens: list = dataclasses.field(default_factory=list)
    scans: list = dataclasses.field(default_factory=list)


@dataclasses.dataclass
class OpenFile:
    """A descriptor a process holds: a node's (device) or another file's (None)."""

    device: int | None
    last_scan: Scan | None = None
    opened: bool = False  # the trace shows its open, not only its -y path


@dataclasses.dataclass
class Session:
    """The nodes opened, by device number in the order of the first open."""

    nodes: dict = dataclasses.field(default_factory=dict)

    def runs_known(self):
        """Whether the trace shows the run that made each scan (its execve)."""
        return all(scan.run is not None for node in self.nodes.values() for scan in node.scans)

    def answers(self, devices=None):
        """The answers file of the given devices (all by default)."""
        lines = ["# The driver's answers, as blindscan-emulator --answers reads them."]
        for device in devices if devices is not None else self.nodes:
            node = self.nodes[device]
            lines.append(f"device {device}")
            if any(node.opens):
                lines += ["open" + (f" failed {error}" if error else "") for error in node.opens]
            for scan in node.scans:
                lines.append("scan" + ending(scan) + ("" if scan.run is None else " ".join([" run", *scan.run])))
                for read in scan.reads:
                    size = kit_facts.RECORD_SIZE
                    records = " ".join(read.data[at:at + size].hex() for at in range(0, len(read.data), size))
                    lines.append("read" + (ending(read) or (" " + records if records else "")))
        text = "\n".join(lines) + "\n"
        if len(text) > ANSWERS_LIMIT:
            raise BadTrace(f"the trace holds more answers than the stand-in reads ({ANSWERS_LIMIT} bytes)")
        return text


def ending(answer):
    if answer.end == "failed":
        return " failed " + answer.error
    return " unfinished" if answer.end == "unfinished" else ""


def outcome(call):
    """How a call on a node ended: answered, failed or unfinished, and the
    errno name the stand-in gives a failure."""
    if call.value is None or call.error in INTERRUPTED:
        return "unfinished", ""
    if call.value >= 0:
        return "answered", ""
    name = KERNEL_ERRORS.get(call.error, call.error)
    if not name:
        raise BadTrace(f"{call.name}( failed with an error strace did not name (record without -e raw=all)",
                       call.line)
    if not hasattr(errno, name):
        raise BadTrace(f"{call.name}( failed with {call.error}, which no device node can answer", call.line)
    return "failed", name


class Reader:
    """Builds the session from strace's calls, one at a time."""

    def __init__(self):
        self.session = Session()
        self.files = {}  # (process, fd) -> OpenFile
        self.begun = {}  # a scan request not yet ended -> its scan
        self.runs = {}  # process -> its last execve
        self.bytes_read = 0  # what the reads on nodes delivered, which the answers file holds in hex
        self.calls = set()  # the names of the calls in the trace
        self.dropped = None  # the first line where a call the tool always makes is missing
        self.failures = False  # whether the trace shows a call that failed, which strace -z leaves out
        # Where the processes' calls come from files of their own (strace -ff):
        # device -> (process, time, answer) of each open and scan on the node.
        self.placed = None

    def file_of(self, call, fd_text):
        """The descriptor a call names; one the trace did not see opened is
        known by its -y path, if it has one.  Lines of the first process
        carry no process id until it forks on standard error: those are
        tried too."""
        fd, path = descriptor(fd_text)
        for key in ((call.process, fd), (None, fd)):
            if key in self.files:
                return self.files[key]
        if path is None:
            return None
        node = DEVICE.fullmatch(path)
        opened = self.files[(call.process, fd)] = OpenFile(int(node[1]) if node else None)
        if node:
            self.session.nodes.setdefault(int(node[1]), Node())
        return opened

    def call(self, call):
        self.calls.add(call.name)
        self.failures = self.failures or (call.value is not None and call.value < 0)
        if call.name == EXIT:
            for key in [key for key in self.files if key[0] == call.process]:
                self.closed(self.files.pop(key), call.line)
        elif call.name == "execve" and call.ended and call.value == 0:
            self.runs[call.process] = call
        elif call.name in ("open", "openat") and call.ended:
            self.open(call, call.arguments[call.name == "openat" :])
        elif call.name == "close" and call.ended and call.arguments:
            fd, _ = descriptor(call.arguments[0])
            self.closed(self.files.pop((call.process, fd), None), call.line)
        elif call.name == "ioctl" and call.arguments:
            self.ioctl(call)
        elif call.name == "read" and call.ended and call.arguments:
            self.read(call)

    def closed(self, opened, line):
        """Notes a node's descriptor closed, or its process ended, without a
        call the tool always makes on one: the scan request after its open,
        the read after an answered request.  Only a trace of the calls that
        succeeded leaves them out; one that shows a failure is not that."""
        if opened is None or opened.device is None or self.dropped is not None:
            return
        scan = opened.last_scan
        if (scan is None and opened.opened) or (scan is not None and scan.end == "answered" and not scan.reads):
            self.dropped = line

    @staticmethod
    def run_arguments(call):
        """The arguments an execve gave, after the program's name; None when
        strace showed only where they were (-e verbose=none, -e raw=execve)."""
        listed = call.arguments[1] if len(call.arguments) > 1 else ""
        if not listed.startswith("["):
            return None
        inner, _ = split_arguments(listed[1:] + ")")
        arguments = [whole_string(argument, call.line) if argument else None for argument in inner[1:]]
        if all(argument is not None for argument in arguments):
            if all(re.fullmatch(rb"[!-\x7e]+", argument) and b"#" not in argument for argument in arguments):
                return [argument.decode() for argument in arguments]
        raise BadTrace("execve( with its arguments cut short or not as printable words: record with -s 256",
                       call.line)

    def place(self, device, call, answer):
        if self.placed is not None:
            self.placed.setdefault(device, []).append((call.process, call.time, answer))

    def open(self, call, arguments):
        path = whole_string(arguments[0], call.line) if arguments else None
        if path is None and call.path is None:
            raise BadTrace(f"{call.name}( without its path as a whole string (record without -e raw= for "
                           "open and openat)", call.line)
        path = path.decode("latin-1") if path is not None else call.path
        node = DEVICE.fullmatch(path)
        if node:
            end, error = outcome(call)
            if end == "unfinished":
                raise BadTrace(f"an open of {path} that never returned: the stand-in cannot replay it",
                               call.line)
            self.session.nodes.setdefault(int(node[1]), Node()).opens.append(error)
            self.place(int(node[1]), call, error)
        if call.value is not None and call.value >= 0:
            self.files[(call.process, call.value)] = OpenFile(int(node[1]) if node else None, opened=True)

    def ioctl(self, call):
        """A scan request is in the session from the moment it was made."""
        if call.begun_before:
            raise BadTrace("the trace begins inside an ioctl( call, on a descriptor it does not show: start "
                           "strace before the scan", call.line)
        scan = self.begun.pop(call, None)
        if scan is None:
            if len(call.arguments) < 2 or not SCAN_REQUEST.search(call.arguments[1]):
                return
            opened = self.file_of(call, call.arguments[0])
            if opened is None:
                raise BadTrace("a scan request on a descriptor the trace does not show opened: start strace "
                               "before the command opens the node, or record with -yy", call.line)
            if opened.device is None:
                return
            run = self.runs.get(call.process)
            scan = Scan(run=None if run is None else self.run_arguments(run))
            self.session.nodes[opened.device].scans.append(scan)
            self.place(opened.device, call, scan)
            opened.last_scan = scan
        if not call.ended:
            self.begun[call] = scan
            return
        scan.end, scan.error = outcome(call)
        if scan.end == "answered" and call.value != 0:
            raise BadTrace(f"the scan request returned {call.value}; the stand-in answers 0 or an errno",
                           call.line)

    def keep(self, read, data, line):
        """The bytes a read delivered, within what the stand-in can be given."""
        self.bytes_read += len(data)
        if 2 * self.bytes_read > ANSWERS_LIMIT:
            raise BadTrace(f"the reads up to here delivered more than the stand-in's answers file holds "
                           f"({ANSWERS_LIMIT} bytes, two hex digits a byte)", line)
        read.data = data

    def read(self, call):
        opened = self.file_of(call, call.arguments[0])
        if opened is None or opened.device is None:
            return
        read = Read()
        read.end, read.error = outcome(call)
        if opened.last_scan is None:
            if read.end == "answered" and call.value == 0:
                return  # as the stand-in answers a read before any scan
            raise BadTrace(f"a read of {kit_facts.NODE_PREFIX}{opened.device} before any scan request on it: the "
                           "stand-in cannot answer it as the driver did", call.line)
        opened.last_scan.reads.append(read)
        if read.end != "answered" or call.value == 0:
            return
        if call.dump is not None:
            if len(call.dump) != call.value:
                raise BadTrace(f"the read returned {call.value} bytes, its hex dump holds {len(call.dump)}",
                               call.line)
            self.keep(read, call.dump, call.line)
            return
        whole = whole_string(call.arguments[1], call.line) if len(call.arguments) > 1 else None
        if whole is None or len(whole) != call.value:
            raise BadTrace("this read's bytes are cut short: record with -e read=all (or with -s no smaller "
                           "than the bytes read)", call.line)
        self.keep(read, whole, call.line)

    def finish(self, last_line):
        if not self.session.nodes:
            raise BadTrace(f"no open of a {kit_facts.NODE_PREFIX}N device (record with {RECORD})")
        if "ioctl" not in self.calls:
            raise BadTrace("no ioctl call: the trace does not show the scan requests " + TRACED_CALLS)
        scans = [scan for node in self.session.nodes.values() for scan in node.scans]
        if "read" not in self.calls and any(scan.end == "answered" for scan in scans):
            raise BadTrace("no read call: the trace does not show what the scans delivered " + TRACED_CALLS,
                           last_line)
        if self.dropped is not None and not self.failures:
            raise BadTrace("a run ended without the scan request that follows each open of a node, or without the "
                           "read that follows an answered one: the trace leaves out the calls that failed, as strace "
                           "-z (--successful-only) records; record without -z", self.dropped)
        device = self.unordered() if self.placed is not None else None
        if device is not None:
            raise BadTrace(f"the files of strace -ff do not show in which order their processes' calls on "
                           f"{kit_facts.NODE_PREFIX}{device} came, and the replay depends on it: record with -ttt (or -tt) "
                           "too, or with -f into one file")
        return self.session

    def unordered(self):
        """The first node given answers whose order decides the replay but
        that nothing orders: answers that differ, given to calls of one kind
        (an open; a scan request of one run, or of any run where the runs are
        not known) by different processes, at one time or with no time (the
        files of strace -ff order each process's calls alone).  None if none."""
        for device, events in self.placed.items():
            runs_unknown = any(isinstance(answer, Scan) and answer.run is None for _, _, answer in events)
            classes = {}
            for process, time, answer in events:
                if isinstance(answer, Scan):
                    kind = ("scan", None if runs_unknown else tuple(answer.run))
                    answer = (answer.end, answer.error, tuple((read.end, read.error, read.data) for read in answer.reads))
                else:
                    kind = ("open",)
                classes.setdefault((kind, time), []).append((process, answer))
            if any(len({process for process, _ in given}) > 1 and len({answer for _, answer in given}) > 1
                   for given in classes.values()):
                return device
        return None


def numbered_lines(trace):
    """The lines of a trace file, numbered, each of bounded length."""
    for number, line in enumerate(iter(lambda: trace.readline(LINE_LIMIT + 1), b""), 1):
        if len(line) > LINE_LIMIT:
            raise BadTrace(f"a line longer than {LINE_LIMIT} bytes: not strace's output", number)
        yield number, line.decode("latin-1").rstrip("\r\n")


# A file of strace -ff: TRACE.PID.
FF_FILE = re.compile(r"(?P<stem>.+)\.(?P<pid>[1-9]\d*)")


def recording_name(paths):
    """The recording as messages name it: its file, or its -ff files' TRACE.*."""
    match = FF_FILE.fullmatch(str(paths[0]))
    return str(paths[0]) if len(paths) == 1 or match is None else match["stem"] + ".*"


def file_calls(path, process, lines_read):
    """The calls of one trace file, in its order, given process where the
    lines name none (-ff's files); lines_read[0] follows the lines read."""
    try:
        with open(path, "rb") as trace:
            lines = numbered_lines(trace)

            def counted():
                for number, line in lines:
                    lines_read[0] = number
                    yield number, line

            for call in CallReader().lines(counted()):
                if call.process is None:
                    call.process = process
                yield call
    except OSError as error:
        raise BadTrace(f"cannot read: {error.strerror}") from None


def ff_processes(paths):
    """The process of each file of one strace -ff recording, from its name."""
    matches = [FF_FILE.fullmatch(str(path)) for path in paths]
    for path, match in zip(paths, matches):
        if match is None or match["stem"] != (matches[0] or match)["stem"]:
            error = BadTrace("several traces are read as the files of one strace -ff recording, TRACE.PID each, "
                             "with one TRACE: this is not one of them")
            error.path = str(path)
            raise error
    processes = [int(match["pid"]) for match in matches]
    if len(set(processes)) != len(processes):
        raise BadTrace("a file of the recording is given twice")
    return processes


def merged_calls(paths):
    """The calls of the files of one strace -ff recording with their files,
    in the order of their time stamps when every call has one (and each file's
    run forward); else file by file, without times, which then order nothing."""
    files = [(path, list(located_calls(path, file_calls(path, process, [0]))))
             for path, process in zip(paths, ff_processes(paths))]
    times = [[call.time for call in calls] for _, calls in files]
    if all(None not in stamps and stamps == sorted(stamps) for stamps in times):
        return sorted(((path, call) for path, calls in files for call in calls), key=lambda placed: placed[1].time)
    for _, calls in files:
        for call in calls:
            call.time = None
    return [(path, call) for path, calls in files for call in calls]


def located_calls(path, calls):
    """The calls, an error among them named with path."""
    try:
        yield from calls
    except BadTrace as error:
        error.path = error.path or str(path)
        raise


def read_trace(*paths):
    """The session strace recorded in the file at path, or in the files of
    one strace -ff recording, TRACE.PID each; BadTrace says why it cannot be
    replayed."""
    reader = Reader()
    lines_read = [0]
    if len(paths) == 1:
        for call in located_calls(paths[0], file_calls(paths[0], None, lines_read)):
            reader.call(call)
        return reader.finish(lines_read[0])
    reader.placed = {}
    try:
        for path, call in merged_calls(paths):
            try:
                reader.call(call)
            except BadTrace as error:
                error.path = str(path)
                raise
        return reader.finish(None)
    except BadTrace as error:
        error.path = error.path or recording_name(paths)
        raise
