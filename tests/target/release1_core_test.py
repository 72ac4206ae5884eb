#!/usr/bin/env python3
"""Runs the shipped executable on a MIPS32 release-1 core: qemu-mipsel with
-cpu 4Kc, which refuses release-2 instructions with SIGILL (the probe shows
that it does first).  The runs are those qemu-user can make without a
driver: the usage text, device numbers that name no node, and standard
output closed.  Why these, and why the board cannot have this core:
docs/target-build.md.

Exit status: 0 all passed, 1 a failure."""

import argparse
import os
import resource
import signal
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "board"), os.path.join(HERE, "..", "lib")]
import scenarios  # noqa: E402
from blindscan_expect import run_on_pty  # noqa: E402

RELEASE1_CPU = "4Kc"
RELEASE2_CPU = "24Kf"  # qemu-mipsel's default


def run(qemu, cpu, program, args, stdout):
    """Runs program under qemu with standard output on a "pipe", a "file",
    a "tty" or "closed"; returns (returncode, output, standard error)."""
    command = [qemu, "-cpu", cpu, program, *args]

    def child_setup():
        # A program killed by a signal leaves no core file behind.
        resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
        if stdout == "closed":
            os.close(1)

    def start(out):
        return subprocess.run(
            command, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.PIPE, preexec_fn=child_setup, timeout=60
        )

    if stdout == "pipe":
        process = start(subprocess.PIPE)
        return process.returncode, process.stdout, process.stderr
    if stdout == "file":
        with tempfile.TemporaryFile() as out:
            process = start(out)
            out.seek(0)
            return process.returncode, out.read(), process.stderr
    if stdout == "closed":
        process = start(None)
        return process.returncode, b"", process.stderr
    output, stderr, returncode = run_on_pty(command, 60, stdin=subprocess.DEVNULL, preexec_fn=child_setup)
    return returncode, output, stderr


def describe(returncode):
    if returncode < 0:
        return f"killed by {signal.Signals(-returncode).name}"
    return f"status {returncode}"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--qemu", required=True, help="qemu-mipsel")
    parser.add_argument("--tool", required=True, help="the shipped mipsel executable")
    parser.add_argument("--probe", required=True, help="release2_probe: runs on release 2, refused on release 1")
    options = parser.parse_args()

    failed = 0
    # The probe runs on a release-2 core and is refused on the release-1
    # one; otherwise the runs below would prove nothing.
    for cpu, expected in ((RELEASE2_CPU, 0), (RELEASE1_CPU, -signal.SIGILL)):
        returncode, _, _ = run(options.qemu, cpu, options.probe, [], "pipe")
        name = f"probe on {cpu}"
        if returncode == expected:
            print(f"ok   {name}: {describe(returncode)}")
        else:
            print(f"FAIL {name}: {describe(returncode)}, expected {describe(expected)}")
            failed += 1

    todo = scenarios.usage_scenarios() + scenarios.missing_node_scenarios()
    for scenario in todo:
        returncode, output, stderr = run(options.qemu, RELEASE1_CPU, options.tool, scenario.args, scenario.stdout)
        problems = []
        if returncode != scenario.status:
            problems.append(f"{describe(returncode)}, expected status {scenario.status}")
        if output != scenario.output:
            problems.append(f"standard output {output!r}, expected {scenario.output!r}")
        if stderr:
            problems.append(f"standard error {stderr!r}, expected nothing")
        if problems:
            failed += 1
            print(f"FAIL {scenario.name} ({scenario.stdout}): " + "; ".join(problems))
        else:
            print(f"ok   {scenario.name} ({scenario.stdout}) on {RELEASE1_CPU}")
    print("all passed" if not failed else f"{failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
