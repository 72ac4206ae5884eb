#!/usr/bin/env python3
"""scripts/box runs the shipped tool on the emulated box: a published sky
gives what the host's stand-in gives for it, a two-tuner session recorded
with strace on the host replays there, replay-trace's recording line
records there a trace that replays on the host, and the command's own exit
status comes back.  What the box refuses before any boot is checked even
where the box's parts are missing.

Exit status: 0 passed, 1 failed, 77 skipped because something the box or
the host's stand-in needs is missing (in CI, CI=true, a failure)."""

import argparse
import os
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time

REPO = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..")
sys.path[:0] = [os.path.join(REPO, "scripts", "lib"), os.path.join(REPO, "kit", "python")]

import board  # noqa: E402
import kit_facts  # noqa: E402

SCAN = ["950", "2150", "1000", "45000"]
SKY = ["--satellite", "Hotbird-13.0E"]


# A front end's four sweeps: both polarisations in both bands.
SWEEP = "for band in 0 1; do for pol in 0 1; do mivo_blindscan 0 950 2150 1000 45000 $pol $band; done; done"


def recording(replay):
    """The strace command replay-trace gives box owners, recording the sweep."""
    line = subprocess.run([replay, "--recording-line"], capture_output=True, text=True, check=True).stdout.strip()
    if not line.endswith(" COMMAND"):
        raise ValueError(f"replay-trace --recording-line: no COMMAND at the end of {line!r}")
    return line.removesuffix("COMMAND") + 'sh -c "$sweep"'


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    for name in ("box", "tool", "emulator", "sysroot", "host-emulator"):
        parser.add_argument("--" + name, required=True)
    options = parser.parse_args()
    parts = ["--tool", options.tool, "--emulator", options.emulator, "--sysroot", options.sysroot]

    def box(*arguments):
        done = subprocess.run([options.box, *parts, *arguments], capture_output=True, timeout=100)
        return done.stdout, done.stderr, done.returncode

    failed = 0

    def check(what, got, expected):
        nonlocal failed
        print(f"{'ok  ' if got == expected else 'FAIL'} {what}")
        if got != expected:
            print(f"  gave {got!r}\n  expected {expected!r}")
            failed += 1

    # What the box refuses before it is built or booted, which needs none
    # of its parts: the status and what it says, with no traceback.
    with tempfile.TemporaryDirectory(prefix="box-test-") as scratch:
        node_2 = os.path.join(scratch, "node2.trace")
        with open(node_2, "w") as out:
            out.write('5 openat(AT_FDCWD, "/dev/blindscan2", O_RDWR) = 3\n'
                      "5 ioctl(3, 0x40186201, 0x7ffd) = -1 EBUSY (Device or resource busy)\n")
        for name in ("a", "b"):
            os.makedirs(os.path.join(scratch, name))
            open(os.path.join(scratch, name, "note"), "w").close()
        refusals = {
            "--trace with --tuners": (["--trace", node_2, "--tuners", "2"], 2, b"no --tuners with it"),
            "two --add files of one name": (["--add", os.path.join(scratch, "a", "note"), "--add",
                                             os.path.join(scratch, "b", "note")], 2, b"added already"),
            "a trace of node 2, and no tool": (["--trace", node_2, "--tool", os.path.join(scratch, "none")], 125,
                                               b"box: "),
        }
        for what, (arguments, status, saying) in refusals.items():
            _, stderr, got = box(*arguments, "--", "true")
            check(what, (got, saying in stderr, b"Traceback" in stderr), (status, True, False))

    _, missing = board.find_parts(options.sysroot, options.tool, options.emulator)
    host_tool = os.path.join(os.path.dirname(options.host_emulator), "mivo_blindscan")
    for path in (options.host_emulator, host_tool):
        if missing is None and not os.access(path, os.X_OK):
            missing = f"the host build (cmake --preset host) lacks {path}"
    if missing is None and not os.path.isfile(os.path.join(kit_facts.PUBLISHED_LISTS, SKY[1])):
        missing = f"no {SKY[1]} in {kit_facts.PUBLISHED_LISTS} (Debian: dtv-scan-tables)"
    if missing is None and shutil.which("strace") is None:
        missing = "strace is not installed"
    if missing is not None:
        print(f"box test: {missing}")
        return 1 if failed or os.environ.get("CI") == "true" else 77

    def host(*arguments):
        done = subprocess.run([options.host_emulator, *arguments], capture_output=True, timeout=60)
        return done.stdout, done.stderr, done.returncode

    sky_scan = ["mivo_blindscan", "0", *SCAN, "0", "0"]
    on_host = host(*SKY, "--", host_tool, *sky_scan[1:])
    check("a published sky", box(*SKY, "--", *sky_scan), on_host)
    check("it holds carriers", on_host[0].count(b"OK ") >= 20, True)

    # Two tuners, one of them refusing its scan, as a front end sweeps them.
    session = "; ".join(f"mivo_blindscan {n} {' '.join(SCAN)} {n} 1; echo status $?" for n in (0, 1))
    with tempfile.TemporaryDirectory(prefix="box-test-") as scratch:
        trace = os.path.join(scratch, "scan.trace")
        answers = os.path.join(scratch, "answers")
        with open(answers, "w") as out:
            out.write("device 0\nscan\nread 4c1d0f00 6c6b0000 00000000\ndevice 1\nscan failed EBUSY\n")
        recorded = host("--answers", answers, "--", "strace", "-f", "-o", trace, "-e", "trace=open,openat,ioctl,read",
                        "-e", "read=all", "sh", "-c", session.replace("mivo_blindscan", host_tool))
        check("a two-tuner session, replayed", box("--trace", trace, "--", "sh", "-c", session), recorded)

    # The recording line runs in the box as on a real one; the trace it
    # writes, brought out on standard error, replays here to the same bytes.
    replay = os.path.join(REPO, "replay", "replay-trace")
    in_box = box(*SKY, "--", "sh", "-c", f"sweep={shlex.quote(SWEEP)}; {recording(replay)} && cat scan.trace >&2")
    check("the recording line in the box", (in_box[2], in_box[0].count(b"open path")), (0, 4))
    with tempfile.TemporaryDirectory(prefix="box-test-") as scratch:
        trace = os.path.join(scratch, "scan.trace")
        with open(trace, "wb") as out:
            out.write(in_box[1])
        replayed = subprocess.run([replay, "--emulator", options.host_emulator, trace, "--", "sh", "-c", SWEEP],
                                  capture_output=True, timeout=60, env={**os.environ, "PATH": f"{os.path.dirname(host_tool)}:{os.environ['PATH']}"})
        check("its trace replayed on the host", (replayed.stdout, replayed.returncode), (in_box[0], 0))

    # An empty name is the box's stand-in's to refuse, as the host's does,
    # and its refusal alone comes back.
    stdout, stderr, status = box("--satellite", "", "--", "true")
    check("an empty satellite name, refused", (status, stdout, stderr[:5], b"no satellite ''" in stderr),
          (2, b"", b"box: ", True))
    check("the command's exit status", box("--", "exit", "3"), (b"", b"", 3))

    # One boot for what a command may do: read standard input, read a file
    # it was given, write standard error, leave two tuners' scans of a sky
    # pending until it kills them, and kill itself (which the shell the box
    # runs it in reports).
    with tempfile.TemporaryDirectory(prefix="box-test-") as scratch:
        for name, text in (("one.sky", "10714000 H 22000 DVB-S\n"), ("note", "added\n")):
            with open(os.path.join(scratch, name), "w") as out:
                out.write(text)
        scans = " ".join(f"mivo_blindscan {n} {' '.join(SCAN)} 0 0 >/dev/null & p{n}=$!;" for n in (0, 1))
        script = (f"cat; cat note; echo stderr >&2; exec 2>/dev/null; {scans} i=0; until grep -q ioctl /tmp/blindscan1.log && "
                  "grep -q ioctl /tmp/blindscan0.log || [ $((i+=1)) -gt 300 ]; do sleep 0.1; done; "
                  "kill $p0 $p1; wait $p0; echo $?; wait $p1; echo $?; kill $$")
        check("a command's streams, files, tuners and end",
              box("--sky", os.path.join(scratch, "one.sky"), "--tuners", "2", "--scan-ms", "3600000",
                  "--add", os.path.join(scratch, "note"), "--", "sh", "-c", script),
              (b"added\n143\n143\n", b"stderr\nTerminated\n", 143))
        # A root directory that links elsewhere is not written through.
        found = board.find_parts(options.sysroot, options.tool, options.emulator)[0]
        os.makedirs(os.path.join(scratch, "elsewhere"))
        os.symlink("elsewhere", os.path.join(scratch, "root"))
        try:
            board.build_initramfs(found, __file__, scratch, {})
        except RuntimeError:
            pass
        check("a linked root directory", os.listdir(os.path.join(scratch, "elsewhere")), [])
        # A sysroot whose kernel lacks fuse.ko is named, before any boot.
        os.makedirs(os.path.join(scratch, "boot"))
        os.symlink(found.kernel, os.path.join(scratch, "boot", os.path.basename(found.kernel)))
        stdout, stderr, status = box("--sysroot", scratch, "--", "true")
        check("a kernel without fuse.ko", (status, stderr.startswith(b"box: the kernel's fuse.ko missing")), (125, True))

    # Ctrl-C, once the box runs, ends it as an interrupted command ends.
    process = subprocess.Popen([options.box, *parts, "--", "sleep", "600"], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
    while process.poll() is None and not qemu_started(process.pid):
        time.sleep(0.1)
    process.send_signal(signal.SIGINT)
    check("SIGINT to the box", process.communicate(timeout=30)[1:] + (process.returncode,), (b"", 130))
    return 1 if failed else 0


def qemu_started(pid):
    try:
        children = open(f"/proc/{pid}/task/{pid}/children").read().split()
        return any(open(f"/proc/{child}/comm").read().startswith("qemu") for child in children)
    except OSError:
        return False


if __name__ == "__main__":
    sys.exit(main())
