"""The after-scan commands through an LNB other than the report's own: a
C-band list and a circular one scanned through the stand-in with --lnb and
checked with the same --lnb."""

import pytest

from test_after_scan import CHANNELS, COMPARE, SUMMARY, names, run, scan  # noqa: F401

# names is the fixture that skips where the lists or dvb-tools are missing:
# named here so that a checker sees the import used.
__all__ = ["names"]

# A list and the LNB that receives it.
THROUGH = {"C-band": ("AsiaSat3S_C-105.5E", "C-BAND"), "circular": ("Express-AT1-56.0E", "L10750")}


def runs_of(report):
    """Each run's lines, as a file holds them: its "open path" line last."""
    runs, lines = [], []
    for line in report.splitlines(keepends=True):
        lines.append(line)
        if line.startswith(b"open path"):
            runs.append(lines)
            lines = []
    return runs


def terminal_order(report):
    """The report as a terminal shows it: each run's "open path" line first."""
    return b"".join(b"".join(lines[-1:] + lines[:-1]) for lines in runs_of(report))


@pytest.mark.parametrize("name, lnb", THROUGH.values(), ids=THROUGH.keys())
def test_a_list_scanned_through_its_lnb_is_found_wherever_the_lnb_takes_it(names, name, lnb):
    report = scan(["--satellite", name, "--lnb", lnb])
    for shown in (report, terminal_order(report)):
        done = run([COMPARE, "--satellite", name, "--lnb", lnb, "--summary"], shown)
        assert (done.returncode, done.stderr) == (0, b"")
        listed, found, _, out_of_range, *_, not_found, extra = map(
            int, SUMMARY.fullmatch(done.stdout.decode().splitlines()[0].removeprefix(f"{name}: ")).groups())
        assert (found > 0, found + out_of_range, not_found, extra) == (True, listed, 0, 0)
    # The channel file holds the listed downlinks themselves.
    table = run([CHANNELS, "--tsv", "--lnb", lnb], report).stdout.decode().splitlines()[1:]
    listed = run([COMPARE, "--satellite", name, "--lnb", lnb, "--tsv"], report).stdout.decode().splitlines()[1:]
    found = sorted(row.split("\t")[1:3] for row in listed if row.startswith("found"))
    assert sorted(row.split("\t")[:2] for row in table) == found


ONE_SWEEP = ["--sweep", "0 950 2150 1 100000 0 0"]


def test_a_line_whose_sweep_cannot_be_told_is_refused(names):
    report = scan(["--satellite", "AsiaSat3S_C-105.5E", "--lnb", "C-BAND"])
    first_two = b"".join(b"".join(lines) for lines in runs_of(report)[:2])
    for command in (COMPARE, "--satellite", "AsiaSat3S_C-105.5E"), (CHANNELS,):
        done = run([*command, "--lnb", "C-BAND", *ONE_SWEEP], first_two)
        assert (done.returncode, done.stdout, "2 runs of the tool" in done.stderr.decode()) == (2, b"", True)
