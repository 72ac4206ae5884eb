"""Scans of satellites' published transponder lists (Debian's
dtv-scan-tables), checked against the carriers read from the list itself."""

import os
import pathlib
import re

import pytest

from harness import FAILED_IOCTL, PUBLISHED_LISTS, TOOL, missing, open_path, oscillator_khz, report_line, run

LISTS = pathlib.Path(PUBLISHED_LISTS)
SATELLITE = "Eutelsat-10A-10.0E"
SWEEPS = {
    "low band horizontal": ["0", "950", "2150", "1000", "45000", "0", "0"],
    "low band vertical": ["0", "950", "2150", "1000", "45000", "1", "0"],
    "high band horizontal": ["0", "950", "2150", "1000", "45000", "0", "1"],
    "high band vertical": ["0", "950", "2150", "1000", "45000", "1", "1"],
}


def carriers(satellite):
    """(downlink_khz, vertical, ksym, dvb_s2) of each carrier of the list,
    the first entry of a carrier listed more than once."""
    path = LISTS / satellite
    if not path.exists():
        missing(f"{path} is missing (Debian: dtv-scan-tables)")
    entries, found = [], {}
    for line in path.read_text().splitlines():
        line = line.split("#", 1)[0].strip()
        if line.startswith("["):
            entries.append({})
        elif "=" in line:
            key, value = (part.strip() for part in line.split("=", 1))
            entries[-1][key] = value
    for entry in entries:
        key = (int(entry["FREQUENCY"]), entry["POLARIZATION"] in ("VERTICAL", "RIGHT"))
        found.setdefault(key, (*key, (int(entry["SYMBOL_RATE"]) + 500) // 1000, entry["DELIVERY_SYSTEM"] == "DVBS2"))
    return list(found.values())


def expected_report(carriers, arguments, lnb=None):
    """The report of a sweep through lnb, (oscillator, lowest, highest) MHz of
    one oscillator and the downlinks it takes, or the tool's own bands, which
    take every one.  An oscillator above its band turns the spectrum over."""
    _, min_freq, max_freq, min_symbol, max_symbol, pol, band = (int(a) for a in arguments)
    oscillator, lowest, highest = (mhz * 1000 for mhz in lnb or (oscillator_khz(band) // 1000, 0, 2**32))
    found = sorted(
        ((downlink - oscillator) * (-1 if oscillator > highest else 1), ksym, dvb_s2)
        for downlink, vertical, ksym, dvb_s2 in carriers
        if vertical == (pol != 0) and lowest <= downlink <= highest and min_symbol <= ksym <= max_symbol
    )
    # The tool adds its band's oscillator to the intermediate frequency.
    return b"".join(report_line(pol != 0, khz + oscillator_khz(band), *rest)
                    for khz, *rest in found if min_freq * 1000 <= khz <= max_freq * 1000)


# The satellite scanned through each dish, and for an LNB other than the
# tool's own bands its oscillator and the downlinks it takes, MHz, as
# dvbv5-scan -l help states them.  Each list holds carriers its LNB does not
# take.
DISHES = {
    "the tool's own bands": (SATELLITE, [], None),
    "C-BAND": ("AsiaSat-5-100.5E", ["--lnb", "C-BAND"], (5150, 3700, 4200)),
    "L10750": ("Eutelsat-36B-35.9E", ["--lnb", "L10750"], (10750, 11700, 12200)),
}


@pytest.mark.parametrize("arguments", SWEEPS.values(), ids=SWEEPS.keys())
@pytest.mark.parametrize("satellite, lnb_options, lnb", DISHES.values(), ids=DISHES.keys())
def test_sweep_of_a_published_list(satellite, lnb_options, lnb, arguments):
    report = expected_report(carriers(satellite), arguments, lnb)
    assert report.count(b"\n") >= 5, "every sweep of this satellite should find several carriers"
    result = run(arguments, ["--satellite", satellite, *lnb_options])
    assert (result.stderr, result.status) == (b"", 0)
    assert result.stdout.splitlines(keepends=True) == (report + open_path(0)).splitlines(keepends=True)


def test_unknown_satellite_says_how_to_list_the_names():
    if not LISTS.is_dir():
        missing(f"{LISTS} is missing (Debian: dtv-scan-tables)")
    result = run(SWEEPS["low band vertical"], ["--satellite", "Nowhere-0.0E"])
    assert result.status == 2 and result.stdout == b""
    assert result.stderr == (f"blindscan-emulator: no satellite 'Nowhere-0.0E' in {LISTS} "
                             f"(ls {LISTS} lists the names)\n").encode()


# A front end's four sweeps, calling the tool by name as front ends do, each
# with a time limit; the sweeps' outputs parted by their statuses.
FRONT_END = """for sweep in '0 0' '1 0' '0 1' '1 1'; do
  timeout 3 mivo_blindscan 0 950 2150 1000 45000 $sweep; echo "status $?"
done"""


def front_end_sweeps(options):
    path = f"{os.path.dirname(os.path.abspath(TOOL))}:{os.environ['PATH']}"
    result = run(command=["env", f"PATH={path}", "sh", "-c", FRONT_END], options=options)
    assert (result.stderr, result.status) == (b"", 0)
    return re.findall(rb"(?s).*?^status \d+\n", result.stdout, re.MULTILINE)


@pytest.mark.parametrize("fault, second_sweep", [
    ("2:fail-ioctl=EBUSY", lambda report: open_path(0) + FAILED_IOCTL + b"status 255\n"),
    # Killed by the front end's time limit: its buffered line dies with it.
    ("2:hang", lambda report: b"status 124\n"),
    # 100 bytes hold eight whole records.
    ("2:read-bytes=100", lambda report: b"".join(report.splitlines(keepends=True)[:8]) + open_path(0) + b"status 0\n"),
])
def test_a_fault_on_one_scan_of_a_published_sky(fault, second_sweep):
    if not (LISTS / "Hotbird-13.0E").exists():
        missing(f"{LISTS / 'Hotbird-13.0E'} is missing (Debian: dtv-scan-tables)")
    sky = ["--satellite", "Hotbird-13.0E"]
    clean, faulty = front_end_sweeps(sky), front_end_sweeps([*sky, "--fault", fault])
    report = clean[1][: -len(open_path(0) + b"status 0\n")]
    assert report.count(b"\n") >= 20
    assert faulty == [clean[0], second_sweep(report), *clean[2:]]
