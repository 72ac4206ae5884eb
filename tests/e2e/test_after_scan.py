"""blindscan-compare and blindscan-channels over real scans: the demo's four
sweeps of every published list (Debian's dtv-scan-tables) through the
stand-in, compared against the same list and written as channel files."""

import os
import pathlib
import re
import shutil
import subprocess

import pytest

from harness import EMULATOR, PUBLISHED_LISTS, TOOL, missing

LISTS = pathlib.Path(PUBLISHED_LISTS)
COMPARE = str(pathlib.Path(EMULATOR).with_name("blindscan-compare"))
CHANNELS = str(pathlib.Path(EMULATOR).with_name("blindscan-channels"))
# The demo's sweeps, in one shell under one stand-in.
SWEEPS = 'for band in 0 1; do for pol in 0 1; do "$0" 0 950 2150 1 100000 $pol $band; done; done'
SUMMARY = re.compile(r"(\d+) listed, (\d+) found, (\d+) missed \((\d+) out of range, (\d+) symbol rate out of range, "
                     r"(\d+) record cap, (\d+) in range and not found\), (\d+) extra")


def run(argv, stdin=b""):
    return subprocess.run(argv, input=stdin, capture_output=True, timeout=60)


def scan(sky_options):
    done = run([EMULATOR, *sky_options, "--", "sh", "-c", SWEEPS, TOOL])
    assert (done.returncode, done.stderr) == (0, b""), sky_options
    return done.stdout


def compared(name, report):
    """The comparison's status, its summary's counts and its table's rows."""
    done = run([COMPARE, "--satellite", name], report)
    assert done.stderr == b"", name
    summary, _, *rows = done.stdout.decode().splitlines()
    counts = SUMMARY.fullmatch(summary.removeprefix(f"{name}: "))
    assert counts, summary
    return done.returncode, [int(count) for count in counts.groups()], [row.split(None, 5) for row in rows]


@pytest.fixture(scope="module")
def names():
    if not LISTS.is_dir():
        missing(f"{LISTS} is missing (Debian: dtv-scan-tables)")
    if not shutil.which("dvb-format-convert"):
        missing("dvb-format-convert is missing (Debian: dvb-tools)")
    # Under the sanitizers, which run every command ten times slower, every
    # Nth list: the code paths are the same, only the lists differ.
    every = int(os.environ.get("BLINDSCAN_EVERY_NTH_LIST", "1"))
    return sorted(path.name for path in LISTS.iterdir())[::every]


def test_every_list_is_found_or_explained_and_its_channel_file_scans_the_same(names, tmp_path):
    # Every list is scanned and compared, since only the lists themselves
    # hold the carriers that sit close or span both bands; every fourth is
    # scanned again with jitter and through its channel file, whose rules
    # the unit tests hold for every case.
    problems = []
    channels, converted = tmp_path / "scan.conf", tmp_path / "scan.channel"
    for number, name in enumerate(names):
        report = scan(["--satellite", name])
        status, (listed, found, missed, *reasons, not_found, extra), rows = compared(name, report)
        if (status, not_found, extra) != (0, 0, 0) or missed != sum(reasons) or found + missed != listed:
            problems.append(f"{name}: status {status}, counts {listed, found, missed, reasons, not_found, extra}")
        if found == 0 or number % 4:
            continue
        # Within the tolerance, a quarter of the narrowest carrier's rate.
        quarter = min(int(row[3]) for row in rows if row[0] == "found") // 4
        jittered = scan(["--satellite", name, "--jitter", f"{quarter},{quarter}", "--seed", "7"])
        if compared(name, jittered)[:2] != (0, [listed, found, missed, *reasons, 0, 0]):
            problems.append(f"{name}: not every carrier found with --jitter {quarter},{quarter}")
        written = run([CHANNELS, "-o", str(channels)], report)
        convert = run(["dvb-format-convert", "-I", "DVBV5", "-O", "CHANNEL", str(channels), str(converted)])
        if (written.returncode, convert.returncode, convert.stderr) != (0, 0, b""):
            problems.append(f"{name}: dvb-format-convert: {convert.stderr.decode()}")
        elif len(converted.read_text().splitlines()) != found:
            problems.append(f"{name}: {len(converted.read_text().splitlines())} channel lines, {found} found")
        if scan(["--sky", str(channels)]) != report:
            problems.append(f"{name}: its channel file scans differently")
    assert problems == []


def holds_c_band(name):
    return any(int(khz) < 5_000_000 for khz in re.findall(r"FREQUENCY\s*=\s*(\d+)", (LISTS / name).read_text()))


def test_every_list_with_c_band_carriers_is_found_or_explained_through_a_c_band_lnb(names):
    problems = []
    for name in filter(holds_c_band, names):
        report = scan(["--satellite", name, "--lnb", "C-BAND"])
        done = run([COMPARE, "--satellite", name, "--lnb", "C-BAND", "--summary"], report)
        counts = SUMMARY.match(done.stdout.decode().removeprefix(f"{name}: "))
        listed, found, missed, *reasons, not_found, extra = map(int, counts.groups()) if counts else [-1] * 8
        if (done.returncode, done.stderr, not_found, extra, found + missed) != (0, b"", 0, 0, listed):
            problems.append(f"{name}: status {done.returncode}, {done.stdout.decode().strip()}")
    assert problems == []


def test_deleted_report_lines_are_named_in_range_and_not_found(names):
    name = "Eutelsat-10A-10.0E"
    report = scan(["--satellite", name]).splitlines(keepends=True)
    carriers = [line.split()[1:3] for line in report if line.startswith(b"OK ")]
    # Carriers outside the overlap of both bands are reported once.
    once = [i for i, line in enumerate(report) if line.startswith(b"OK ") and carriers.count(line.split()[1:3]) == 1]
    deleted = once[::40]
    assert len(deleted) >= 3
    status, counts, rows = compared(name, b"".join(line for i, line in enumerate(report) if i not in deleted))
    assert status == 1 and counts[6] == len(deleted)
    named = [(row[1], row[2]) for row in rows if row[5] == "in range and not found"]
    assert sorted(named) == sorted((report[i].split()[1].decode()[0], report[i].split()[2].decode()) for i in deleted)


def test_a_sweep_whose_read_is_cut_short_ends_early_with_status_0(names):
    name = "Eutelsat-10A-10.0E"
    done = run([COMPARE, "--satellite", name], scan(["--satellite", name, "--fault", "2:read-bytes=240"]))
    summary, _, *rows = done.stdout.decode().splitlines()
    early = [row for row in rows if "sweep ended early" in row]
    assert (done.returncode, done.stderr) == (0, b"")
    assert f" 0 record cap, {len(early)} sweep ended early, 0 in range and not found)" in summary
    assert len(early) > 2 and all("sweep '0 950 2150 1 100000 1 0' reported 20 carriers" in row for row in early)


def line(khz, ksym):
    return f"OK HORIZONTAL {khz} {ksym} DVB-S INVERSION_AUTO PILOT_ON FEC_AUTO QPSK ROLLOFF_35\n".encode()


ERRORS = {
    "no report line": ([CHANNELS], b"open path /dev/blindscan0\n", "no report line"),
    "not the tool's output": ([COMPARE, "--satellite", "Hotbird-13.0E"], b"hello\n", "no report line"),
    "a broken report line": ([CHANNELS], b"open path /dev/blindscan0\nOK VERTICAL 11000000 27500\n",
                             "standard input:2: not a whole report line"),
    "an endless report": ([CHANNELS, "/dev/zero"], b"", "/dev/zero: larger than 16777216 bytes, more than a report holds"),
    "an unknown satellite": ([COMPARE, "--satellite", "Nowhere-0.0E"], b"", "no satellite 'Nowhere-0.0E'"),
    "a sweep argument the tool reads in part": ([CHANNELS, "--sweep", "0 950 2150 1 1e5 0 0"], b"",
                                                "'1e5' is not a whole number as the tool reads one"),
    "both lists": ([COMPARE, "--satellite", "Hotbird-13.0E", "--list", "/dev/null"], b"", "one of them"),
    "a frequency past 32 bits": ([CHANNELS], line(4294967296, 27500), "frequency '4294967296' is not"),
}


@pytest.mark.parametrize("argv, stdin, message", ERRORS.values(), ids=ERRORS.keys())
def test_what_a_user_gets_wrong_is_said_with_status_2(names, argv, stdin, message):
    done = run(argv, stdin)
    assert (done.returncode, done.stdout) == (2, b"")
    assert message in done.stderr.decode()


@pytest.mark.parametrize("options", [[], ["--help"]], ids=["channel file", "help"])
def test_output_that_cannot_be_written_is_status_2_with_the_reason(options):
    with open("/dev/full", "wb") as full:
        done = subprocess.run([CHANNELS, *options], input=line(11000000, 27500), stdout=full, stderr=subprocess.PIPE,
                              timeout=60)
    assert (done.returncode, done.stderr) == (2, b"blindscan-channels: cannot write: No space left on device\n")
