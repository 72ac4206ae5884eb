"""blindscan-compare --identify: a scan through the stand-in ranked against
every published list and LNB type, and the comparison's word when another
list fits clearly better."""

import pytest

from test_after_scan import COMPARE, names, run, scan

# names is a fixture the tests take by name.
__all__ = ["names"]

# A list, the LNB the stand-in scans it through (none: the report's own
# bands), and the name a ranking gives that LNB.
SCANNED = {"Ku-band": ("Eutelsat-16A-16.0E", None, "the tool's own bands"),
           "C-band": ("AsiaSat3S_C-105.5E", "C-BAND", "C-BAND")}


@pytest.mark.parametrize("name, lnb, ranked_as", SCANNED.values(), ids=SCANNED.keys())
def test_a_scanned_satellite_is_ranked_first_through_its_lnb(names, name, lnb, ranked_as):
    report = scan(["--satellite", name, *(["--lnb", lnb] if lnb else [])])
    done = run([COMPARE, "--identify"], report)
    assert (done.returncode, done.stderr) == (0, b"")
    lines = done.stdout.decode().splitlines()
    assert 1 < len(lines) <= 5
    assert lines[0].startswith(f"{name} through {ranked_as}: ")
    # Every reported carrier matched.
    matched, reported = map(int, lines[0].split(": ")[1].split(" reported")[0].split(" of "))
    assert matched == reported > 0
    # The comparison against the wrong list says which fits better.
    wrong = run([COMPARE, "--satellite", "Hotbird-13.0E", *(["--lnb", lnb] if lnb else []), "--summary"], report)
    assert wrong.stderr.decode().startswith(f"blindscan-compare: {name} through {ranked_as} fits better: ")
    right = run([COMPARE, "--satellite", name, *(["--lnb", lnb] if lnb else []), "--summary"], report)
    assert (right.returncode, right.stderr) == (0, b"")


def test_identify_names_the_lnbs_a_line_whose_sweep_cannot_be_told_keeps_it_from(names):
    report = scan(["--satellite", "AsiaSat3S_C-105.5E", "--lnb", "C-BAND"])
    bare = b"".join(line for line in report.splitlines(keepends=True) if line.startswith(b"OK "))
    done = run([COMPARE, "--identify"], bare)
    said = done.stderr.decode()
    assert (done.returncode, said.startswith("blindscan-compare: not ranked through "), "C-BAND" in said,
            "no 'open path' line" in said) == (0, True, True, True)
