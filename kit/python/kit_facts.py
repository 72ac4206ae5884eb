"""The facts the kit's Python code shares with its C++ code, read from the
C++ headers that define them: the device node's name, the scan request's
code and layout, the result record's size and the most records a read
fetches, the largest input file the stand-in and the after-scan commands
read, the folder of the published transponder lists, the header lines of
the after-scan commands' tab-separated outputs, the kit's statuses, and the
whole sweep (the tuner's range and every symbol rate a driver reports).

In the source tree this module reads the headers when it is imported.  The
build runs it as a program,
  python3 kit_facts.py SOURCE_DIR OUTPUT [DEPFILE]
to write OUTPUT, a module of the same name holding the values alone, which
is installed with the other modules in place of this one.  A shell script
asks it for values,
  python3 kit_facts.py --print NAME...
which prints them on one line, separated by blanks."""

import ast
import os
import re
import sys

SOURCE_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
DEVICE = "device/blindscan_device.h"
READ_FILE = "kit/read_file.h"
SKY_FILE = "kit/sky_file.h"
TSV_HEADERS = "after_scan/tsv_headers.h"
COMMAND = "kit/command.h"
LNB = "kit/lnb.h"
SWEEPS = "kit/sweeps.h"
HEADERS = (DEVICE, READ_FILE, SKY_FILE, TSV_HEADERS, COMMAND, LNB, SWEEPS)
# The request code as the header asserts it on each architecture.
ASSERTED_CODE = r"\nstatic_assert\(\w+ == (0x[0-9A-Fa-f]+)UL\)"


def header_value(source_dir, header, pattern):
    """The text the pattern's group matches in the header, which must match
    exactly once."""
    with open(os.path.join(source_dir, header), encoding="utf-8") as text:
        found = re.findall(pattern, text.read())
    if len(found) != 1:
        raise ValueError(f"{header}: {len(found)} matches of {pattern!r}, expected one")
    return found[0]


def integer(text):
    """A C++ integer constant expression of literals, << and *."""

    def value(node):
        if isinstance(node, ast.Constant) and isinstance(node.value, int):
            return node.value
        if isinstance(node, ast.BinOp) and isinstance(node.op, (ast.LShift, ast.Mult)):
            left, right = value(node.left), value(node.right)
            return left << right if isinstance(node.op, ast.LShift) else left * right
        raise ValueError(f"not a constant of literals, << and *: {text!r}")

    return value(ast.parse(re.sub(r"(?<=[0-9A-Fa-f])(?:[uU][lL]{0,2}|[lL]{1,2}[uU]?)\b", "",
                                  text.replace("'", "")), mode="eval").body)


def string(text):
    """A C++ string literal's characters, its escapes among them the simple
    ones a header line needs."""
    escapes = {"t": "\t", "n": "\n", "\\": "\\", '"': '"'}

    def escape(match):
        if match[1] not in escapes:
            raise ValueError(f"an escape this reader does not know: {match[0]!r}")
        return escapes[match[1]]

    return re.sub(r"\\(.)", escape, text)


def constant(source_dir, header, name, kind):
    """The value of one inline constexpr constant of the header, a string
    (char array or string_view) or an integer."""
    if kind is str:
        return string(header_value(source_dir, header, rf'\b{name}(?:\[\])? =\s*"((?:[^"\\\n]|\\.)*)";'))
    return integer(header_value(source_dir, header, rf"\b{name} = ([^;]+);"))


def read_facts(source_dir):
    device = lambda pattern: header_value(source_dir, DEVICE, pattern)  # noqa: E731
    request_name, request_type, request_number = device(
        r"unsigned long (\w+) = _IOW\('(.)', (\d+), blindscan_request\)")
    facts = {
        "REQUEST_NAME": request_name,
        "REQUEST_TYPE": ord(request_type),
        "REQUEST_NUMBER": int(request_number),
        "REQUEST_SIZE": int(device(r"static_assert\(sizeof\(blindscan_request\) == (\d+)\)")),
        "REQUEST_CODE": int(device(r"defined\(__x86_64__\)[^\n]*" + ASSERTED_CODE), 16),
        "MIPS_REQUEST_CODE": int(device(r"defined\(__mips__\)" + ASSERTED_CODE), 16),
        "RECORD_SIZE": int(device(r"static_assert\(sizeof\(blindscan_result\) == (\d+)\)")),
        "MAX_RECORDS": int(device(r"inline constexpr int max_records = (\d+);")),
        "INPUT_LIMIT": integer(header_value(source_dir, READ_FILE, r"input_limit_bytes = ([^;]+);")),
        "PUBLISHED_LISTS": header_value(source_dir, SKY_FILE, r'published_lists_directory = "([^"\\]*)"'),
        "NODE_PREFIX": constant(source_dir, DEVICE, "node_prefix", str),
        "COMPARISON_TSV_HEADER": constant(source_dir, TSV_HEADERS, "comparison_tsv_header", str),
        "CARRIER_TSV_HEADER": constant(source_dir, TSV_HEADERS, "carrier_tsv_header", str),
        "BAD_INPUT_STATUS": constant(source_dir, COMMAND, "bad_input_status", int),
        "REPLAY_DIFFERS_STATUS": constant(source_dir, COMMAND, "replay_differs_status", int),
        "TUNER_LOWEST_MHZ": constant(source_dir, LNB, "tuner_lowest_mhz", int),
        "TUNER_HIGHEST_MHZ": constant(source_dir, LNB, "tuner_highest_mhz", int),
        "WHOLE_SWEEP_MIN_SYMBOL": constant(source_dir, SWEEPS, "whole_sweep_min_symbol", int),
        "WHOLE_SWEEP_MAX_SYMBOL": constant(source_dir, SWEEPS, "whole_sweep_max_symbol", int),
    }
    # Both codes carry the type, number and size the header builds them from.
    low_bits = facts["REQUEST_SIZE"] << 16 | facts["REQUEST_TYPE"] << 8 | facts["REQUEST_NUMBER"]
    for name in ("REQUEST_CODE", "MIPS_REQUEST_CODE"):
        if facts[name] & 0x1FFFFFFF != low_bits:
            raise ValueError(f"{DEVICE}: {name} {facts[name]:#x} is not the code of the request's layout")
    facts["READ_SIZE"] = facts["MAX_RECORDS"] * facts["RECORD_SIZE"]
    return facts


def write_module(source_dir, output, depfile=None):
    """Writes the values as a module, and the headers they come from as a
    make-style depfile, so that the build writes it again when one changes."""
    lines = ['"""The facts the kit\'s Python code shares with its C++ code, as the build read them from its',
             'headers."""', ""] + [f"{name} = {value!r}" for name, value in read_facts(source_dir).items()]
    with open(output, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")
    if depfile:
        headers = [os.path.join(source_dir, header).replace(" ", "\\ ") for header in HEADERS]
        with open(depfile, "w", encoding="utf-8") as out:
            out.write(f"{output.replace(' ', chr(92) + ' ')}: {' '.join(headers)}\n")


def print_values(names):
    """Prints the named facts on one line, separated by blanks."""
    facts = read_facts(SOURCE_DIR)
    unknown = [name for name in names if name not in facts]
    if unknown:
        raise ValueError(f"{unknown[0]}: no such fact (the facts: {', '.join(facts)})")
    print(" ".join(str(facts[name]) for name in names))


def main(arguments):
    """Writes the module or prints values; the exit status, 2 with a message
    on standard error for a wrong command line or a header that does not
    hold a fact as this module reads it."""
    try:
        if len(arguments) >= 2 and arguments[0] == "--print":
            print_values(arguments[1:])
        elif len(arguments) in (2, 3) and not arguments[0].startswith("-"):
            write_module(*arguments)
        else:
            print("usage: kit_facts.py SOURCE_DIR OUTPUT [DEPFILE]\n       kit_facts.py --print NAME...",
                  file=sys.stderr)
            return 2
    except (OSError, ValueError) as error:
        print(f"kit_facts: {error}", file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
else:
    globals().update(read_facts(SOURCE_DIR))
