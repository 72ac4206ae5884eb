#!/usr/bin/env python3
"""Boots the emulated board once with the shipped tool and the driver
stand-in, runs every scenario and compares the exact standard output, exit
status and driver log of each.

Exit status: 0 all passed, 1 a failure, 77 skipped because something the
board needs is missing (in CI, CI=true, that is a failure instead)."""

import argparse
import dataclasses
import os
import re
import shlex
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "scripts", "lib"))

import board  # noqa: E402
import scenarios  # noqa: E402

SKIP = 77


def guest_script(todo):
    """The /scenarios.sh the board test's /init sources: one block per scenario."""
    lines = []
    for s in todo:
        lines.append(f"begin {shlex.quote(s.name)}")
        if s.driver is not None:
            driver = " ".join(shlex.quote(option) for option in s.driver)
            lines.append(f"driver {shlex.quote(s.node)} {driver} && \\")
        lines.append("tool " + " ".join(shlex.quote(word) for word in [s.stdout, s.stdin, *s.args]))
        lines.append("end")
    return "\n".join(lines) + "\n"


@dataclasses.dataclass
class Result:
    status: int
    output: bytes
    stderr: bytes
    log: bytes


def parse_results(console):
    """The marked results by scenario name.  A scenario on the terminal has
    its output taken from between its tty markers instead."""
    results = {}
    for match in re.finditer(rb"^@@ result (\S+) (\d+) (\S+) (\S+) (\S+)\r?$", console, re.MULTILINE):
        name = match.group(1).decode()
        status, output, stderr, log = match.group(2, 3, 4, 5)
        results[name] = Result(int(status), board.decode(output), board.decode(stderr), board.decode(log))
        begin = console.rfind(b"@@ tty-begin " + match.group(1) + b"\n", 0, match.start())
        if begin >= 0:
            begin = console.index(b"\n", begin) + 1
            end = console.find(b"@@ tty-end " + match.group(1), begin)
            if end >= 0:
                results[name].output = console[begin:end]
    return results


def guest_errors(console):
    return [line.decode(errors="replace") for line in re.findall(rb"^@@ error [^\r\n]*", console, re.MULTILINE)]


def compare(scenario, result):
    """The differences between what a scenario expects and what it gave."""
    if result is None:
        return ["no result marked on the console"]
    problems = []
    if result.status != scenario.status:
        problems.append(f"status {result.status}, expected {scenario.status}")
    if result.output != scenario.output:
        problems.append(f"standard output {result.output!r}, expected {scenario.output!r}")
    if result.stderr:
        problems.append(f"standard error {result.stderr!r}, expected nothing")
    if scenario.log is not None:
        lines = result.log.decode(errors="replace").splitlines()
        if lines != scenario.log:
            problems.append(f"driver log {lines!r}, expected {scenario.log!r}")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--tool", required=True, help="the shipped mipsel executable")
    parser.add_argument("--emulator", required=True, help="the driver stand-in cross-built for mipsel")
    parser.add_argument("--sysroot", required=True, help="the unpacked Debian mipsel packages")
    parser.add_argument("--work-dir", required=True)
    parser.add_argument("--timeout", type=float, default=150)
    options = parser.parse_args()

    parts, missing = board.find_parts(options.sysroot, options.tool, options.emulator)
    if parts is None:
        if os.environ.get("CI") == "true":
            print(f"board test: {missing}")
            return 1
        print(f"board test skipped: {missing}")
        return SKIP

    os.makedirs(options.work_dir, exist_ok=True)
    todo = scenarios.all_scenarios()
    guest_init = os.path.join(os.path.dirname(os.path.abspath(__file__)), "guest_init.sh")
    files = {"scenarios.sh": guest_script(todo).encode()}
    files.update((f"data/{name}", content) for s in todo for name, content in s.files.items())
    initramfs = board.build_initramfs(parts, guest_init, options.work_dir, files)
    run = board.boot(parts, initramfs, options.timeout)
    with open(os.path.join(options.work_dir, "console.log"), "wb") as log:
        log.write(run.console)

    print(f"board: {len(todo)} scenarios in one boot of {run.seconds:.1f} s ({os.path.basename(parts.kernel)})")
    failed = 0
    if not run.finished:
        print(f"FAIL the board did not power off within {options.timeout:.0f} s")
        failed += 1
    for error in guest_errors(run.console):
        print(f"FAIL guest: {error}")
        failed += 1
    results = parse_results(run.console)
    for scenario in todo:
        problems = compare(scenario, results.get(scenario.name))
        if problems:
            failed += 1
            print(f"FAIL {scenario.name}: " + "; ".join(problems))
        else:
            print(f"ok   {scenario.name}")
    passed = sum(1 for s in todo if not compare(s, results.get(s.name)))
    print(f"{passed} passed, {failed} failed")
    if failed:
        print(f"console: {os.path.join(options.work_dir, 'console.log')}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
