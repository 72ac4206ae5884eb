"""The demo's runs (what scripts/demo runs once it has built) over a
published list: a picture when every sweep is done, and the failed sweep's
status and no picture, not even the last run's, when one fails."""

import pathlib
import subprocess

from harness import EMULATOR, PUBLISHED_LISTS, REPO, TOOL, missing

SATELLITE = "Hotbird-13.0E"


def test_a_failed_sweep_ends_the_demo_with_its_status_and_no_picture(tmp_path):
    if not (pathlib.Path(PUBLISHED_LISTS) / SATELLITE).is_file():
        missing(f"no {SATELLITE} in {PUBLISHED_LISTS} (Debian: dtv-scan-tables)")
    if subprocess.run(["/usr/bin/python3", "-c", "import matplotlib"], capture_output=True).returncode != 0:
        missing("Debian's python3-matplotlib is not installed")
    build = tmp_path / "build"
    build.mkdir()
    for name in ("blindscan-emulator", "blindscan-compare", "blindscan-channels"):
        (build / name).symlink_to(pathlib.Path(EMULATOR).with_name(name))
    # The tool, whose last sweep (vertical, high band) fails once told to.
    failing = tmp_path / "fail"
    (build / "mivo_blindscan").write_text(f'#!/bin/sh\n[ "$6$7" = 11 ] && [ -e {failing} ] && exit 3\n'
                                          f'exec {TOOL} "$@"\n')
    (build / "mivo_blindscan").chmod(0o755)
    out = tmp_path / "demo"
    picture = out / f"{SATELLITE}.svg"

    def demo():
        done = subprocess.run([REPO / "scripts/lib/demo_runs.sh", build, out, "--satellite", SATELLITE],
                              capture_output=True, timeout=120)
        return done.returncode, done.stdout.splitlines()[-1:], done.stderr

    assert demo() == (0, [str(picture).encode()], b"")
    assert picture.stat().st_size > 0
    failing.touch()
    assert (demo()[0], picture.exists()) == (3, False)
