"""The emulated board: a MIPS Malta under qemu-system-mipsel with Debian's
4kc-malta kernel and an initramfs of busybox, the kernel's fuse.ko, the
driver stand-in, the tool, an /init of the caller's and the shell functions
every /init sources, /lib/board_functions.sh.  scripts/box boots
it to run a command or a shell, and the target tests boot it to run their
scenarios.

Why the board's core is a release-2 24Kf: docs/target-build.md."""

import base64
import dataclasses
import glob
import gzip
import os
import shutil
import subprocess
import time

QEMU = "qemu-system-mipsel"
FUNCTIONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "board_functions.sh")
STRIP = "mipsel-linux-gnu-strip"
# How a missing Debian part is got.
FETCH_ADVICE = " (run scripts/fetch-mipsel-packages)"


@dataclasses.dataclass
class Parts:
    kernel: str
    fuse_module: str
    busybox: str
    tool: str
    emulator: str


def find_parts(sysroot, tool, emulator):
    """Locates what the initramfs and the boot need.  Returns (parts, None)
    or (None, the reason something is missing)."""
    if shutil.which(QEMU) is None:
        return None, f"{QEMU} not found (Debian package qemu-system-mips)"
    if shutil.which("cpio") is None:
        return None, "cpio not found"
    kernels = sorted(glob.glob(os.path.join(sysroot, "boot", "vmlinuz-*-4kc-malta")))
    if not kernels:
        return None, f"no 4kc-malta kernel under {sysroot}{FETCH_ADVICE}"
    kernel = kernels[-1]
    release = os.path.basename(kernel)[len("vmlinuz-") :]
    fuse_module = os.path.join(sysroot, "lib", "modules", release, "kernel", "fs", "fuse", "fuse.ko")
    busybox = os.path.join(sysroot, "bin", "busybox")
    for path, what in (
        (fuse_module, "the kernel's fuse.ko"),
        (busybox, "busybox-static"),
        (tool, "the tool"),
        (emulator, "the driver stand-in for mipsel (built with libfuse3 from the package cache)"),
    ):
        if not os.path.isfile(path):
            return None, f"{what} missing: {path}"
    return Parts(kernel, fuse_module, busybox, tool, emulator), None


def find_strace(sysroot):
    """Debian's mipsel strace with the loader and the C library it runs on,
    as files for build_initramfs (strace on the box's PATH).  Returns
    (files, None) or (None, the reason something is missing)."""
    libraries = os.path.join(sysroot, "lib", "mipsel-linux-gnu")
    files = {
        "bin/strace": os.path.join(sysroot, "usr", "bin", "strace"),
        "lib/ld.so.1": os.path.join(libraries, "ld.so.1"),
        "lib/mipsel-linux-gnu/libc.so.6": os.path.join(libraries, "libc.so.6"),
    }
    for path in files.values():
        if not os.path.isfile(path):
            return None, f"strace or its C library missing: {path}{FETCH_ADVICE}"
    return files, None


def build_initramfs(parts, guest_init, work_dir, files):
    """Writes work_dir/initramfs.gz and returns its path.  files maps a path
    in the guest, relative to its root, to the bytes it holds, or to a host
    file whose bytes and permission bits it takes."""
    root = os.path.join(work_dir, "root")
    # The tree is cleared for each build, but only one this module made, and
    # never through a link (this module makes none), which would clear, mark
    # or fill what the link points to.
    stamp = root + ".stamp"
    for path in (root, stamp):
        if os.path.islink(path):
            raise RuntimeError(f"{path} is a symbolic link: not ours to clear")
    if os.path.isdir(root) and os.listdir(root) and not os.path.exists(stamp):
        raise RuntimeError(f"{root} is not empty and has no {os.path.basename(stamp)} beside it: not ours to clear")
    shutil.rmtree(root, ignore_errors=True)
    open(stamp, "w").close()
    for directory in ("bin", "dev", "proc", "sys", "tmp", "lib/modules"):
        os.makedirs(os.path.join(root, directory))

    def install(source, target, mode=0o755, strip=False):
        path = os.path.join(root, target)
        if strip and shutil.which(STRIP):
            subprocess.run([STRIP, "-o", path, source], check=True)
        else:
            shutil.copyfile(source, path)
        os.chmod(path, mode)

    install(guest_init, "init")
    install(FUNCTIONS, "lib/board_functions.sh", 0o644)
    install(parts.busybox, "bin/busybox")
    install(parts.tool, "bin/mivo_blindscan")
    install(parts.fuse_module, "lib/modules/fuse.ko", 0o644)
    # The stand-in's debug information would only slow the boot.
    install(parts.emulator, "bin/blindscan-emulator", strip=True)
    for target, content in files.items():
        os.makedirs(os.path.dirname(os.path.join(root, target)), exist_ok=True)
        if isinstance(content, bytes):
            with open(os.path.join(root, target), "wb") as data:
                data.write(content)
        else:
            install(content, target, os.stat(content).st_mode & 0o777)

    names = subprocess.run(["find", "."], cwd=root, check=True, capture_output=True).stdout
    archive = subprocess.run(
        ["cpio", "-o", "-H", "newc", "-R", "0:0", "--quiet"], cwd=root, input=names, check=True, capture_output=True
    ).stdout
    initramfs = os.path.join(work_dir, "initramfs.gz")
    with gzip.open(initramfs, "wb", compresslevel=1) as out:
        out.write(archive)
    return initramfs


@dataclasses.dataclass
class Boot:
    console: bytes
    seconds: float
    finished: bool


def boot(parts, initramfs, timeout=None, terminal=False, second_serial=None):
    """Boots the board once; returns the console output and the wall time.
    With terminal, the console is this process's standard input and output
    instead (qemu's Ctrl-A X stops the board); second_serial names a host
    file that receives what the guest writes to /dev/ttyS1."""
    command = [
        # No network card and no graphics card: the guest needs neither, and
        # their boot ROMs are packages of their own that a minimal machine lacks.
        QEMU, "-M", "malta", "-cpu", "24Kf", "-m", "256", "-nographic", "-no-reboot", "-nic", "none", "-vga", "none",
        "-kernel", parts.kernel, "-initrd", initramfs,
        # Without early console the kernel prints nothing before /init does.
        "-append", "console=ttyS0 quiet loglevel=0 earlycon=off rdinit=/init panic=-1",
    ]  # fmt: skip
    if second_serial is not None:
        command += ["-serial", "mon:stdio", "-serial", f"file:{second_serial}"]
    start = time.monotonic()
    if terminal:
        subprocess.run(command)
        return Boot(b"", time.monotonic() - start, True)
    try:
        run = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
        console, finished = run.stdout + run.stderr, True
    except subprocess.TimeoutExpired as expired:
        console, finished = (expired.stdout or b"") + (expired.stderr or b""), False
    return Boot(console, time.monotonic() - start, finished)


def decode(field):
    return b"" if field == b"-" else base64.b64decode(field)
