"""Runs the target executable under qemu-mipsel -strace on the paths
qemu-user can reach, and fails on any system call that the manual page's
table of system calls does not list: a change that pulls in a newer call
(one a 2.6 kernel may lack) is caught here.

The paths: the usage text, standard output closed, a device number that
names no node, and a node whose scan request qemu-user cannot pass on (the
node is a regular file under qemu's -L prefix, which qemu looks in first).
"""

import argparse
import pathlib
import re
import subprocess
import sys
import tempfile

CALL = re.compile(r"^\d+ (\w+)\(")


def listed_calls(manual):
    """The first column of the table between .TS and .TE, less its format and header lines."""
    lines = pathlib.Path(manual).read_text().splitlines()
    table = lines[lines.index(".TS") + 1 : lines.index(".TE")]
    return {row.split("\t")[0] for row in table[2:]}


def traced_run(qemu, prefix, tool, arguments, stdout_closed=False):
    """Runs the tool under qemu's system call trace; returns the result and the calls' names in order."""
    command = [qemu, "-L", prefix, "-strace", tool, *arguments]
    if stdout_closed:
        command = ["sh", "-c", 'exec "$@" >&-', "sh", *command]
    result = subprocess.run(command, stdout=None if stdout_closed else subprocess.PIPE, stderr=subprocess.PIPE,
                            timeout=60, check=False)
    calls = [m.group(1) for m in map(CALL.match, result.stderr.decode(errors="replace").splitlines()) if m]
    return result, calls


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--qemu", required=True)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--manual", required=True, help="the manual page source with the table of calls")
    options = parser.parse_args()

    allowed = listed_calls(options.manual)
    failures = []
    with tempfile.TemporaryDirectory() as prefix:
        (pathlib.Path(prefix) / "dev").mkdir()
        (pathlib.Path(prefix) / "dev/blindscan5").touch()
        usage = b"./mivo_blindscan min_frqe max_freq min_symbol max_symbol pol hilow_band"
        arguments = ["1", "2", "3", "4", "5", "6"]
        paths = [
            # name, arguments, standard output closed, the expected standard output
            ("usage", [], False, usage + usage + b"\n"),
            ("standard output closed", ["0", *arguments], True, None),
            ("no node", ["7", *arguments], False, b"open path /dev/blindscan7\n"),
            ("request not passed on", ["5", *arguments], False,
             b"open path /dev/blindscan5\nfailed to ioctl(AVL2108_SET_PARAMETER\n"),
        ]
        for name, tool_arguments, stdout_closed, expected in paths:
            result, calls = traced_run(options.qemu, prefix, options.tool, tool_arguments, stdout_closed)
            unlisted = sorted(set(calls) - allowed)
            print(f"{name}: status {result.returncode}, calls: {' '.join(calls)}")
            if not calls:
                failures.append(f"{name}: no system call traced")
            if unlisted:
                failures.append(f"{name}: calls missing from the manual's table: {', '.join(unlisted)}")
            if result.returncode != 255:
                failures.append(f"{name}: status {result.returncode}, not 255")
            if expected is not None and result.stdout != expected:
                failures.append(f"{name}: standard output {result.stdout!r}")
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
