"""strace's output read as the calls it shows: each call's process, name,
arguments, result, error and the hex dump after it, whatever output options
strace was given.  What the calls mean is trace_reader's business; this
module only reads strace's spellings, and refuses a line it cannot read."""

import dataclasses
import re

# The largest process id Linux hands out: a larger leading number is a time
# stamp of --timestamps=unix (whole seconds), not the process column of -f.
PID_MAX = 4194304
# A decimal stamp below this many seconds is one of -r alone, relative to the
# line before, not one of -ttt or --timestamps=unix since the epoch (2001).
EPOCH_FLOOR = 10**9

# What may precede a call, in strace's order; each is skipped in turn.
# The process column of -f: bracketed on standard error, bare in a file;
# either may carry -Y's <comm>.
BRACKETED_PID = re.compile(r"\[pid\s+(\d+)(?:<[^>]*>)?\]\s*")
NAMED_PID = re.compile(r"(\d+)<[^>]*>\s+")
BARE_NUMBER = re.compile(r"(\d+)\s+")
TIME_OF_DAY = re.compile(r"(\d+):(\d\d):(\d\d)(?:\.(\d+))?\s+")  # -t, -tt
SECONDS = re.compile(r"(\d+)\.(\d+)\s+")  # -ttt, --timestamps=unix with any precision, -r alone
SKIPPED_PREFIXES = [
    TIME_OF_DAY,
    re.compile(r"\(\+\s*\d+\.\d+\)\s+"),  # -r after -t
    SECONDS,
    re.compile(r"\[\s*[0-9a-f?]+\]\s+"),  # the syscall number of -n, the instruction pointer of -i
]
NAME = r"(?:\w+|\?\?\?)"
RESUMED = re.compile(rf"<\.\.\. (?P<name>{NAME}) resumed>(?P<rest>.*)$")
CALL = re.compile(rf"(?P<name>{NAME})\((?P<rest>.*)$")
UNFINISHED = re.compile(r"(?P<args>.*?)\s*<unfinished \.\.\.>(?P<gone>\)\s*=\s*\?.*)?$")
EXITED = re.compile(r"\+\+\+ (?P<how>exited with|killed by) .*\+\+\+$")
# The name of the call a process's exit (+++ exited with N +++) is given:
# no system call has it.
EXIT = "+++ exited"
# Signals, strace's own notes, personality changes and the frames of -k.
NOTICE = re.compile(r"(?:--- .* ---|\+\+\+ .* \+\+\+|strace: .*|\[ Process .* \]|> .*)$")
# The summary of -c or -C after the calls: its heading, rules and rows.
SUMMARY = re.compile(r"% time .*|[- ]+|\s*\d+\.\d+\s+\d+\.\d+\s+\d+\s+\d+(?:\s+\d+)?\s+\S+|System call usage .*:|$")
RESULT = re.compile(r"\s*=\s*(?P<value>0x[0-9a-f]+|-?\d+|\?)(?P<rest>.*)$")
ERROR = re.compile(r"\s*(?P<error>E[A-Z0-9_]+|ERRNO_\d+)\b")
# A line of a hex dump of -e read= or -e write=: offset, up to 16 bytes, their text.
DUMP = re.compile(r" \| (?P<offset>[0-9a-f]{5,})  (?P<hex>[0-9a-f ]{48})  .{1,16} *\|$")
STRING = re.compile(r'"(?P<text>(?:[^"\\]|\\.)*)"(?P<cut>\.\.\.)?$', re.DOTALL)
DESCRIPTOR = re.compile(r"(?P<number>0x[0-9a-f]+|\d+)(?:<(?P<path>.*)>)?$", re.DOTALL)
NAMED_ESCAPES = {"n": 10, "t": 9, "r": 13, "v": 11, "f": 12, "a": 7, "b": 8, "e": 27, '"': 34, "\\": 92,
                 "'": 39, "?": 63}

# Why a line is not strace's, the likeliest way first.
MIXED = ("the command's own output may be mixed into the trace (strace on the command's standard error, as with "
         "2>&1, | tee or a terminal): record with strace -o FILE, which keeps the trace apart")


class BadTrace(Exception):
    """A trace that cannot be replayed: what is wrong and, where one line is
    to blame, its number."""

    def __init__(self, what, line=None):
        super().__init__(what)
        self.what = what
        self.line = line
        self.path = None  # the file of the line, where a recording is read from several

    def located(self, path):
        path = self.path or path
        return f"{path}:{self.line}: {self.what}" if self.line else f"{path}: {self.what}"


@dataclasses.dataclass(eq=False)
class Call:
    """One system call as strace showed it.  A call split by another
    process's is given twice, the same object: when it began (ended false)
    and when its result came."""

    line: int  # where it began
    process: int | None  # None on the first process's lines before strace -f names one
    name: str
    arguments: list
    value: int | None = None  # what it returned; None if it never did (= ?)
    error: str = ""  # strace's name of its error: EIO, ERESTARTSYS, ERRNO_524, ...
    path: str | None = None  # -y's path of the descriptor it returned
    dump: bytes | None = None  # the bytes of -e read= or -e write=
    ended: bool = True
    begun_before: bool = False  # resumed, its beginning not in the trace (strace -p)
    begun_text: str = ""  # the arguments' text of a call not yet ended
    time: tuple | None = None  # when it began, (seconds, nanoseconds), if the line is stamped with a clock


def number(text):
    """An integer as strace prints one: decimal, hex, octal; None otherwise."""
    try:
        if re.fullmatch(r"-?0[0-7]+", text):
            return int(text, 8)
        return int(text, 0)
    except ValueError:
        return None


def descriptor(text):
    """A descriptor argument: its number and the path -y shows, or None."""
    match = DESCRIPTOR.match(text)
    return (number(match["number"]), match["path"]) if match else (None, None)


def whole_string(text, line):
    """The bytes of a string argument; None when it is not a string or cut short."""
    match = STRING.match(text)
    if match is None or match["cut"]:
        return None
    return decode_string(match["text"], line)


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


def balanced_end(text, at):
    """Where the <...> that opens at text[at] closes (-yy nests them)."""
    nesting = 0
    while at < len(text):
        nesting += {"<": 1, ">": -1}.get(text[at], 0)
        if nesting == 0:
            return at
        at += 1
    return at


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
        elif char == "<" and at > 0 and (text[at - 1].isalnum()):
            at = balanced_end(text, at)  # -y: <path> after a descriptor or AT_FDCWD
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


def stamp(match):
    """The time a prefix gives, as (seconds, nanoseconds), or None when it
    gives none: not a clock's stamp, or one relative to the line before."""
    if match.re is TIME_OF_DAY:
        hours, minutes, seconds, fraction = match.groups()
        return int(hours) * 3600 + int(minutes) * 60 + int(seconds), int((fraction or "")[:9].ljust(9, "0"))
    if match.re is SECONDS and int(match[1]) >= EPOCH_FLOOR:
        return int(match[1]), int(match[2][:9].ljust(9, "0"))
    return None


def split_prefix(line):
    """The process id before a call (or None), the time it is stamped with
    (or None) and the rest of the line."""
    pid, time, rest, first = None, None, line, True
    while True:
        rest = rest.lstrip(" ")
        match = BRACKETED_PID.match(rest) or NAMED_PID.match(rest)
        if match and pid is None:
            pid = int(match[1])
        elif (match := BARE_NUMBER.match(rest)) is not None:
            if first and int(match[1]) <= PID_MAX:
                pid = int(match[1])
            elif time is None and int(match[1]) > PID_MAX:
                time = int(match[1]), 0  # --timestamps=unix, whole seconds
        else:
            match = next((m for m in (p.match(rest) for p in SKIPPED_PREFIXES) if m), None)
            if match is None:
                return pid, time, rest
            time = time or stamp(match)
        first = False
        rest = rest[match.end() :]


def set_result(call, after):
    """What follows a call's closing parenthesis: its value, the -y path of
    a returned descriptor, its error."""
    result = RESULT.match(after or "")
    if result is None:
        raise BadTrace(f"{call.name}( without its result: the line is cut short, or " + MIXED, call.line)
    call.value = None if result["value"] == "?" else number(result["value"])
    rest = result["rest"]
    if rest.startswith("<"):
        end = balanced_end(rest, 0)
        call.path = rest[1:end]
        rest = rest[end + 1 :]
    error = ERROR.match(rest)
    call.error = error["error"] if error else ""


class CallReader:
    """Reads strace's lines one at a time and gives back the calls they
    complete."""

    def __init__(self):
        self.unfinished = {}  # process -> the call it began and has not ended
        self.held = None  # the last whole call, held back while a hex dump may follow
        self.in_summary = False

    def lines(self, lines):
        """The calls of numbered lines, in the order strace wrote them."""
        for number_, line in lines:
            yield from self.line(number_, line)
        yield from self.release()
        for call in list(self.unfinished.values()):
            yield from self.never_returned(call)

    def release(self):
        if self.held is not None:
            held, self.held = self.held, None
            yield held

    def never_returned(self, call):
        del self.unfinished[call.process]
        call.value, call.ended = None, True
        yield call

    def line(self, number_, line):
        dump = DUMP.match(line)
        if dump:
            self.add_dump_line(number_, dump)
            return
        if line.startswith(" | "):
            raise BadTrace("a broken line of a hex dump", number_)
        yield from self.release()
        if self.in_summary and SUMMARY.fullmatch(line):
            return
        pid, time, rest = split_prefix(line)
        if not rest.strip():
            return
        if rest.startswith("% time"):
            self.in_summary = True
            return
        exited = EXITED.match(rest)
        if exited:
            if pid in self.unfinished:
                yield from self.never_returned(self.unfinished[pid])
            if exited["how"] == "exited with":
                yield Call(number_, pid, EXIT, [], time=time)
            return
        if NOTICE.match(rest):
            return
        resumed = RESUMED.match(rest)
        if resumed:
            self.held = self.resume(number_, pid, resumed["name"], resumed["rest"])
            return
        call = CALL.match(rest)
        if call is None:
            raise BadTrace("not a line of strace's output: " + MIXED, number_)
        unfinished = UNFINISHED.match(call["rest"])
        if unfinished is None:
            arguments, after = split_arguments(call["rest"])
            self.held = Call(number_, pid, call["name"], arguments, time=time)
            set_result(self.held, after)
            return
        arguments, _ = split_arguments(unfinished["args"])
        began = Call(number_, pid, call["name"], arguments, ended=False, begun_text=unfinished["args"], time=time)
        if unfinished["gone"]:
            set_result(began, unfinished["gone"][1:])
            began.ended = True
        else:
            self.unfinished[pid] = began
        yield began

    def resume(self, number_, pid, name, rest):
        rest = re.sub(r"^\s*<unfinished \.\.\.>", "", rest)
        began = self.unfinished.pop(pid, None)
        if began is None or began.name != name:
            if began is not None:
                raise BadTrace(f"{name} resumed where {began.name}( began (line {began.line})", number_)
            arguments, after = split_arguments(rest)
            call = Call(number_, pid, name, arguments, begun_before=True)
        else:
            arguments, after = split_arguments(began.begun_text + rest)
            call = began
            call.arguments, call.ended = arguments, True
        set_result(call, after)
        return call

    def add_dump_line(self, number_, match):
        if self.held is None:
            raise BadTrace("a line of a hex dump after no call", number_)
        data = bytearray(self.held.dump or b"")
        try:
            line_bytes = bytes.fromhex(match["hex"])
        except ValueError:
            raise BadTrace("a broken line of a hex dump", number_) from None
        if int(match["offset"], 16) != len(data):
            raise BadTrace("this line of the hex dump does not follow the one before", number_)
        self.held.dump = bytes(data + line_bytes)
