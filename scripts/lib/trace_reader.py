"""Reads strace's record of blind scans: which /dev/blindscanN nodes were
opened, and what their driver answered to each scan request and to each
read after it, in the order the trace recorded them.  The answers are
written as blindscan-emulator's answers file (its --answers option), so
that the stand-in answers a command as that driver did.  scripts/replay-trace
and scripts/box --trace read traces with this module."""

import dataclasses
import re

# What a user is told to record on a box.
RECORD = "strace -f -o scan.trace -e trace=open,openat,ioctl,read -e read=all -x COMMAND"

FORMS = """\
It reads what strace writes with any of its everyday output options: the
process id column of -f, in a file (-o) or on standard error ([pid N]);
time stamps of -t, -tt, -ttt and --timestamps, relative ones of -r, alone or
after -t, and durations of -T; syscall numbers (-n) and instruction pointers
(-i); stack traces (-k), which it skips; descriptor and path decorations of
-y and -yy; strings escaped (-x, -xx, or as text) and numbers raw or verbose
(-X raw, -X verbose); calls split into <unfinished ...> and resumed halves;
open as well as openat, and the scan request by name or by number, as older
strace releases print them.  A read's bytes come from the hex dump of -e
read=all where there is one, otherwise from its string, which must then be
whole (-s large enough: a string cut short, "..."..., is refused).  A call
that never returned (= ?, ERESTARTSYS and its kin, or EINTR: the caller was
interrupted) is replayed as one that returns only when the command is
interrupted."""

# The scan request as strace prints it: decoded, or its code on most
# architectures and on MIPS (also PowerPC, SPARC, Alpha).
SCAN_REQUEST = re.compile(
    r"_IOC\(_IOC_WRITE, *(?:0x62|'b'), *(?:0x0*1|1), *(?:0x0*18|24)\)|0x40186201|0x80186201|AVL2108_SET_PARAMETER")
DEVICE = re.compile(r"/dev/blindscan(-?(?:0|[1-9]\d*))")
# Errors that mean the caller was interrupted while the driver had not answered.
INTERRUPTED = {"EINTR", "ERESTARTSYS", "ERESTARTNOINTR", "ERESTARTNOHAND", "ERESTART_RESTARTBLOCK"}

# What precedes a call on a line: the process id of -f (in a file, or
# bracketed on standard error), a time stamp of -t, -tt, -ttt, a relative one
# of -r (alone, padded with blanks, or after -t), the syscall number of -n and
# the instruction pointer of -i.
PREFIX = (r"(?:\[pid\s+(?P<bracketed>\d+)\]\s*|(?P<pid>\d+)\s+)?"
          r"(?:\d+(?::\d\d){0,2}(?:\.\d+)?\s+)?"
          r"(?:\(\+\s*\d+\.\d+\)\s+|\s*\d+\.\d+\s+)?"
          r"(?:\[\s*\d+\]\s+)?(?:\[[0-9a-f?]+\]\s+)?")
CALL = re.compile(PREFIX + r"(?P<name>\w+|\?\?\?)\((?P<rest>.*)$")
RESUMED = re.compile(PREFIX + r"<\.\.\. (?P<name>\w+|\?\?\?) resumed>(?P<rest>.*)$")
UNFINISHED = re.compile(r"(?P<args>.*?)\s*<unfinished \.\.\.>(?P<gone>\)\s*=\s*\?.*)?$")
# Signals, exits, strace's own notes (-f on standard error, attach and
# detach) and the frames of -k.
NOTICE = re.compile(PREFIX + r"(?:(?:\+\+\+|---) .* (?:\+\+\+|---)|strace: .*|\[ Process .* \]|\s*> .*)$")
EXITED = re.compile(PREFIX + r"\+\+\+ (?:exited with|killed by) ")
RESULT = re.compile(r"\s*=\s*(?P<value>-?\d+|\?)(?P<rest>.*)$")
ERRNO = re.compile(r"(?:<.*?>)?\s+(?P<errno>E[A-Z0-9_]+)\b")
# A line of the hex dump of -e read=all: offset, up to 16 bytes, their text.
DUMP = re.compile(r" \| (?P<offset>[0-9a-f]{5,})  (?P<hex>[0-9a-f ]{48})  .{1,16} *\|$")
STRING = re.compile(r'"(?P<text>(?:[^"\\]|\\.)*)"(?P<cut>\.\.\.)?$', re.DOTALL)
NAMED_ESCAPES = {"n": 10, "t": 9, "r": 13, "v": 11, "f": 12, "a": 7, "b": 8, "e": 27, '"': 34, "\\": 92,
                 "'": 39, "?": 63}


class BadTrace(Exception):
    """A trace that cannot be replayed: what is wrong and, where one line is
    to blame, its number."""

    def __init__(self, what, line=None):
        super().__init__(what)
        self.what = what
        self.line = line

    def located(self, path):
        return f"{path}:{self.line}: {self.what}" if self.line else f"{path}: {self.what}"


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


@dataclasses.dataclass
class Session:
    """The scans of each node opened, by device number in the order of the
    first open."""

    nodes: dict = dataclasses.field(default_factory=dict)

    def answers(self, devices=None):
        """The answers file of the given devices (all by default)."""
        lines = ["# The driver's answers, as blindscan-emulator --answers reads them."]
        for device in devices if devices is not None else self.nodes:
            lines.append(f"device {device}")
            for scan in self.nodes[device]:
                lines.append("scan" + ending(scan))
                for read in scan.reads:
                    records = " ".join(read.data[at:at + 12].hex() for at in range(0, len(read.data), 12))
                    lines.append("read" + (ending(read) or (" " + records if records else "")))
        return "\n".join(lines) + "\n"


def ending(answer):
    if answer.end == "failed":
        return " failed " + answer.error
    return " unfinished" if answer.end == "unfinished" else ""


def decode_string(text, line):
    """The bytes of a string as strace prints it, with C escapes."""
    out = bytearray()
    at = 0
    while at < len(text):
        char = text[at]
        if char != "\\":
            out += char.encode("latin-1")
            at += 1
            continue
        escaped = text[at + 1 : at + 2]
        if escaped == "x":
            digits = re.match(r"[0-9a-fA-F]{1,2}", text[at + 2 :])
            if digits is None:
                raise BadTrace(f"a string with a broken escape {text[at:at + 4]!r}", line)
            out.append(int(digits[0], 16))
            at += 2 + len(digits[0])
        elif escaped and escaped in "01234567":
            digits = re.match(r"[0-7]{1,3}", text[at + 1 :])[0]
            out.append(int(digits, 8) & 0xFF)
            at += 1 + len(digits)
        elif escaped in NAMED_ESCAPES:
            out.append(NAMED_ESCAPES[escaped])
            at += 2
        else:
            raise BadTrace(f"a string with an unknown escape {text[at:at + 2]!r}", line)
    return bytes(out)


def split_arguments(text):
    """The arguments of a call, from the text after its opening parenthesis,
    and what follows the closing one (None while it is not closed).  Strings,
    comments of -X verbose and decorations of -y may hold anything."""
    arguments, depth, start, at = [], 0, 0, 0
    while at < len(text):
        char = text[at]
        if char == '"':
            at += 1
            while at < len(text) and text[at] != '"':
                at += 2 if text[at] == "\\" else 1
        elif text.startswith("/*", at):
            at = text.find("*/", at)
            if at < 0:
                break
            at += 1
        elif char == "<" and at > 0 and (text[at - 1].isdigit() or text[at - 1] == "D"):
            # -y: <path> after a descriptor or AT_FDCWD; -yy nests <...> in it.
            nesting = 0
            while at < len(text):
                nesting += {"<": 1, ">": -1}.get(text[at], 0)
                if nesting == 0:
                    break
                at += 1
        elif char in "([{":
            depth += 1
        elif char in ")]}":
            if depth == 0:
                arguments.append(text[start:at].strip())
                return arguments, text[at + 1 :]
            depth -= 1
        elif char == "," and depth == 0:
            arguments.append(text[start:at].strip())
            start = at + 1
        at += 1
    arguments.append(text[start:].strip())
    return arguments, None


def outcome(number, name, after):
    """How a call ended, from what follows its arguments: answered, failed
    or unfinished; the value it returned; the errno name of a failure."""
    result = RESULT.match(after or "")
    if result is None:
        raise BadTrace(f"{name}( without its result", number)
    value = result["value"]
    errno = ERRNO.match(result["rest"])
    errno = errno["errno"] if errno else ""
    if value == "?" or errno in INTERRUPTED:
        return "unfinished", value, ""
    if value.startswith("-"):
        if not errno:
            raise BadTrace(f"{name}( failed with an errno strace did not name (record without -e raw=)", number)
        return "failed", value, errno
    return "answered", value, ""


def descriptor(argument):
    number = re.match(r"\d+", argument)
    return int(number[0]) if number else None


class Reader:
    def __init__(self):
        self.session = Session()
        self.files = {}  # (pid, fd) -> the device number opened there, or None for another file
        self.last_scan = {}  # (pid, fd) -> the last scan made there
        self.unfinished = {}  # pid -> (name, the arguments so far, the scan begun, line number)
        self.dump = None  # the read whose hex dump may follow: [read, size, data, string, line]
        self.calls = set()  # the names of the calls in the trace

    def device_of(self, pid, fd):
        """The device open as fd in pid.  Lines of the first process carry no
        process id until it forks on standard error: those are tried too."""
        for key in ((pid, fd), (None, fd)):
            if key in self.files:
                return key, self.files[key]
        return None, None

    def line(self, number, line):
        match = DUMP.match(line)
        if match:
            if self.dump is not None:
                self.add_dump_line(number, match)
            return
        if line.startswith(" | "):
            raise BadTrace("a broken line of a hex dump", number)
        self.finish_read()
        if not line.strip():
            return
        notice = NOTICE.match(line)
        if notice:
            if EXITED.match(line):
                self.process_gone(notice["pid"] or notice["bracketed"])
            return
        resumed = RESUMED.match(line)
        call = resumed or CALL.match(line)
        if call is None:
            hint = ("a summary of strace -c holds no calls: record without -c" if line.startswith("% time")
                    else "record with strace -o FILE, so that the command's own output stays out of the trace")
            raise BadTrace(f"not a line of strace's output ({hint})", number)
        pid = call["pid"] or call["bracketed"]
        rest = call["rest"]
        if resumed:
            if pid not in self.unfinished:
                return  # begun before the trace was
            name, begun, scan, _ = self.unfinished.pop(pid)
            rest = begun + " " + rest.lstrip()
        else:
            name, scan = call["name"], None
            self.calls.add(name)
            unfinished = UNFINISHED.match(rest)
            if unfinished:
                scan = self.begin(pid, name, unfinished["args"])
                if not unfinished["gone"]:
                    self.unfinished[pid] = (name, unfinished["args"], scan, number)
                    return
                rest = unfinished["args"] + unfinished["gone"]
        self.call(number, pid, name, rest, scan)

    def begin(self, pid, name, text):
        """A scan request is in the session from the moment it was made."""
        if name != "ioctl":
            return None
        arguments, _ = split_arguments(text)
        fd = descriptor(arguments[0])
        _, device = self.device_of(pid, fd)
        if device is None or len(arguments) < 2 or not SCAN_REQUEST.search(arguments[1]):
            return None
        scan = Scan()
        self.session.nodes[device].append(scan)
        return scan

    def call(self, number, pid, name, text, scan):
        """One whole call: an open, a close, or a scan request or read on a
        device; any other is of no matter."""
        if name not in ("open", "openat", "close", "ioctl", "read"):
            return
        arguments, after = split_arguments(text)
        if name in ("open", "openat"):
            self.open(number, pid, arguments[name == "openat" :], after)
            return
        fd = descriptor(arguments[0])
        if name == "close":
            self.files.pop((pid, fd), None)
            return
        key, device = self.device_of(pid, fd)
        if device is None:
            return
        if name == "ioctl":
            scan = scan or self.begin(pid, name, text)
            if scan is not None:
                scan.end, value, scan.error = outcome(number, name, after)
                if scan.end == "answered" and int(value) != 0:
                    raise BadTrace(f"the scan request returned {value}; the stand-in answers 0 or an errno", number)
                self.last_scan[key] = scan
            return
        read = Read()
        read.end, value, read.error = outcome(number, name, after)
        scan = self.last_scan.get(key)
        if scan is None:
            if read.end == "answered" and value == "0":
                return  # as the stand-in answers a read before any scan
            raise BadTrace(f"a read of /dev/blindscan{device} before any scan request on it: the stand-in "
                           "cannot answer it as the driver did", number)
        scan.reads.append(read)
        if read.end == "answered" and value != "0":
            string = STRING.match(arguments[1]) if len(arguments) > 1 else None
            whole = decode_string(string["text"], number) if string and not string["cut"] else None
            self.dump = [read, int(value), bytearray(), whole, number]

    def open(self, number, pid, arguments, after):
        path = STRING.match(arguments[0]) if arguments else None
        path = decode_string(path["text"], number).decode("latin-1") if path and not path["cut"] else ""
        node = DEVICE.fullmatch(path)
        try:
            end, value, _ = outcome(number, "open", after)
        except BadTrace:
            if node:
                raise
            return
        if end != "answered":
            return
        fd = int(value)
        self.files[(pid, fd)] = int(node[1]) if node else None
        self.last_scan.pop((pid, fd), None)
        if node:
            self.session.nodes.setdefault(int(node[1]), [])

    def add_dump_line(self, number, match):
        read, size, data, _, _ = self.dump
        try:
            line_bytes = bytes.fromhex(match["hex"])
        except ValueError:
            raise BadTrace("a broken line of a hex dump", number) from None
        if int(match["offset"], 16) != len(data) or len(data) + len(line_bytes) > size:
            raise BadTrace("this line of the hex dump does not follow the one before", number)
        data += line_bytes

    def finish_read(self):
        """The bytes of the read before: its hex dump, or else its string."""
        if self.dump is None:
            return
        read, size, data, whole, number = self.dump
        self.dump = None
        if data:
            if len(data) != size:
                raise BadTrace(f"the read returned {size} bytes, its hex dump holds {len(data)}", number)
            read.data = bytes(data)
        elif whole is not None and len(whole) == size:
            read.data = whole
        else:
            raise BadTrace("this read's bytes are cut short: record with -e read=all (or with -s no smaller "
                           "than the bytes read)", number)

    def process_gone(self, pid):
        """A call the process had not finished never returned."""
        if pid in self.unfinished:
            name, begun, scan, number = self.unfinished.pop(pid)
            self.call(number, pid, name, begun + ") = ?", scan)

    def finish(self, last_line):
        self.finish_read()
        for pid in list(self.unfinished):
            self.process_gone(pid)
        if not self.session.nodes:
            raise BadTrace("no successful open of a /dev/blindscanN device (record with " + RECORD + ")")
        if "ioctl" not in self.calls:
            raise BadTrace("no ioctl call: the trace does not show the scan requests (record with -e trace="
                           "open,openat,ioctl,read, or with no -e trace)")
        scans = [scan for scans in self.session.nodes.values() for scan in scans]
        if "read" not in self.calls and any(scan.end == "answered" for scan in scans):
            raise BadTrace("no read call: the trace does not show what the scans delivered (record with "
                           "-e trace=open,openat,ioctl,read, or with no -e trace)", last_line)
        return self.session


def read_trace(path):
    """The session strace recorded in the file at path; BadTrace says why it
    cannot be replayed."""
    try:
        with open(path, "rb") as trace:
            lines = trace.read().decode("latin-1").splitlines()
    except OSError as error:
        raise BadTrace(f"cannot read: {error.strerror}") from None
    reader = Reader()
    for number, line in enumerate(lines, 1):
        reader.line(number, line)
    return reader.finish(len(lines))
