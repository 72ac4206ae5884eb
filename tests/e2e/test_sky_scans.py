"""Blind scans of the built-in sky, checked against the sky file itself."""

import pytest

from harness import DEFAULT_SKY, open_path, oscillator_khz, parse_sky, report_line, run

SCANS = {
    "low band horizontal": ["0", "950", "1950", "1000", "45000", "0", "0"],
    "low band vertical": ["0", "950", "1950", "1000", "45000", "1", "0"],
    "high band horizontal": ["0", "1100", "2150", "1000", "45000", "0", "1"],
    "high band vertical": ["0", "1100", "2150", "1000", "45000", "1", "1"],
    "narrow feeds only": ["0", "950", "2150", "1000", "8000", "0", "0"],
    "one channel": ["0", "964", "965", "20000", "30000", "0", "0"],
}


def expected_report(arguments, sky=None):
    """What a scan of the sky file must print: the matching transponders in
    ascending frequency, as report lines."""
    _, min_freq, max_freq, min_symbol, max_symbol, pol, band = (int(a) for a in arguments)
    oscillator = oscillator_khz(band)
    found = sorted(
        (downlink, symbol_rate, dvb_s2)
        for downlink, vertical, symbol_rate, dvb_s2 in sky or parse_sky()
        if vertical == (pol != 0)
        and min_freq * 1000 <= downlink - oscillator <= max_freq * 1000
        and min_symbol <= symbol_rate <= max_symbol
    )
    return b"".join(report_line(pol != 0, *transponder) for transponder in found)


@pytest.mark.parametrize("arguments", SCANS.values(), ids=SCANS.keys())
def test_scan_of_the_built_in_sky(arguments):
    report = expected_report(arguments)
    assert report, "every scan here should find something"
    result = run(arguments)
    assert (result.stdout, result.stderr, result.status) == (report + open_path(0), b"", 0)
    delivered = 12 * report.count(b"\n")
    assert result.events("read") == [f"read size=1440 delivered={delivered}"]


def test_the_shipped_sky_file_is_the_built_in_sky():
    arguments = SCANS["low band horizontal"]
    assert run(arguments, ["--sky", str(DEFAULT_SKY)]).stdout == run(arguments).stdout


def test_a_scan_that_takes_seconds_still_delivers_everything():
    # The request blocks until the scan is done; the one read that follows
    # gets the whole result.
    arguments = SCANS["high band vertical"]
    result = run(arguments, ["--scan-ms", "2000"])
    report = expected_report(arguments)
    delivered = 12 * report.count(b"\n")
    assert (result.stdout, result.stderr, result.status) == (report + open_path(0), b"", 0)
    assert [line.split(" ", 1)[0] for line in result.log] == ["mounted", "open", "ioctl", "read", "release"]
    assert result.events("read") == [f"read size=1440 delivered={delivered}"]
