"""plot-scan drawing real scans of the built-in sky, and the
picture's geometry for carriers and listed transponders it is given."""

import pathlib
import re
import subprocess
import xml.etree.ElementTree as ElementTree

import pytest

from harness import BAD_INPUT_STATUS, EMULATOR, LOW_HORIZONTAL, REPO, missing, run
from kit_facts import COMPARISON_TSV_HEADER

PYTHON = "/usr/bin/python3"  # Debian's, with python3-matplotlib
PLOT_SCAN = str(REPO / "after_scan/plot-scan")
CHANNELS = str(pathlib.Path(EMULATOR).with_name("blindscan-channels"))
SVG = "{http://www.w3.org/2000/svg}"


@pytest.fixture(scope="module", autouse=True)
def matplotlib():
    if subprocess.run([PYTHON, "-c", "import matplotlib"], capture_output=True).returncode != 0:
        missing("Debian's python3-matplotlib is not installed")


@pytest.fixture(scope="module")
def scans():
    """Both polarisations of the low band as the demo collects them, with the
    horizontal sweep given twice, as the overlap of the two bands gives its
    carriers: headings, report lines and "open path" lines."""
    horizontal = run(LOW_HORIZONTAL).stdout
    vertical = run(LOW_HORIZONTAL[:5] + ["1", "0"]).stdout
    counts = tuple(sum(line.startswith(b"OK ") for line in out.splitlines()) for out in (horizontal, vertical))
    return b"== a heading\n" + horizontal + horizontal + vertical, counts


def plot(tmp_path, name, text, *options):
    output = tmp_path / name
    done = subprocess.run([PYTHON, PLOT_SCAN, "--channels", CHANNELS, "-o", str(output), *options], input=text,
                          capture_output=True)
    return done, output


def test_the_svg_counts_each_lane_s_carriers_once_and_is_reproducible(scans, tmp_path):
    text, (horizontal, vertical) = scans
    done, output = plot(tmp_path, "scan.svg", text)
    assert (done.returncode, done.stderr) == (0, b"")
    labels = [element.text for element in ElementTree.parse(output).iter() if element.tag.endswith("}text")]
    assert f"HORIZONTAL: {horizontal} carriers" in labels
    assert f"VERTICAL: {vertical} carriers" in labels
    assert plot(tmp_path, "again.svg", text)[1].read_bytes() == output.read_bytes()


def test_a_scan_that_found_nothing_draws_empty_lanes(tmp_path):
    done, output = plot(tmp_path, "scan.svg", b"open path /dev/blindscan0\n")
    assert (done.returncode, done.stderr) == (0, b"")
    labels = [element.text for element in ElementTree.parse(output).iter() if element.tag.endswith("}text")]
    assert {"HORIZONTAL: 0 carriers", "VERTICAL: 0 carriers"} <= set(labels)


def test_a_png_by_name(scans, tmp_path):
    done, output = plot(tmp_path, "scan.PNG", scans[0])
    assert done.returncode == 0
    assert output.read_bytes().startswith(b"\x89PNG\r\n\x1a\n")


def report_line(pol, khz, rate, system, rolloff):
    modulation = "8PSK" if system == "DVB-S2" else "QPSK"
    return f"OK {pol} {khz} {rate} {system} INVERSION_AUTO PILOT_ON FEC_AUTO {modulation} ROLLOFF_{rolloff}\n"


# Two carriers found, one per lane, with two roll-offs; and the list they
# were checked against, with a third transponder missed.
REPORT = (report_line("HORIZONTAL", 11_000_000, 27_500, "DVB-S", "35") +
          report_line("VERTICAL", 11_100_000, 27_500, "DVB-S2", "20") + "open path /dev/blindscan0\n").encode()
COMPARISON = (COMPARISON_TSV_HEADER +
              "found\tH\t11000000\t27500000\tDVB-S\t+0 kHz, +0 Sym/s\n"
              "found\tV\t11100000\t27500000\tDVB-S2\t+0 kHz, +0 Sym/s\n"
              "missed\tH\t11200000\t22000000\tDVB-S\tin range and not found\n"
              "extra\tV\t11300000\t1000000\tDVB-S\tnot listed\n")
# The same in the C band, through a C-band LNB, which inverts the spectrum:
# one sweep a polarisation, and the listed transponders drawn where the LNB
# takes them.
C_BAND = ["--lnb", "C-BAND", "--sweep", "0 950 2150 1000 45000 0 0", "--sweep", "0 950 2150 1000 45000 1 0"]
C_REPORT = (report_line("HORIZONTAL", 11_000_000, 27_500, "DVB-S", "35") + "open path /dev/blindscan0\n" +
            report_line("VERTICAL", 10_900_000, 27_500, "DVB-S2", "20") + "open path /dev/blindscan0\n").encode()
C_COMPARISON = COMPARISON.replace("11000000", "3900000").replace("11100000", "4000000").replace("11200000", "4100000")


def boxes(svg):
    """Each box drawn in the plot: its kind (carrier, listed, hatched), its
    centre's x, its width and its centre's y, in the picture's units."""
    found = []
    for path in ElementTree.parse(svg).iter(f"{SVG}path"):
        style = path.get("style", "")
        if path.get("clip-path") is None or not path.get("d", "").rstrip().endswith("z"):
            continue  # the axes' own lines and the frame
        points = [tuple(map(float, pair)) for pair in re.findall(r"([-\d.]+) ([-\d.]+)", path.get("d"))]
        xs, ys = [x for x, _ in points], [y for _, y in points]
        kind = "hatched" if "url(#h" in style else "listed" if "dasharray" in style else "carrier"
        found.append((kind, (min(xs) + max(xs)) / 2, max(xs) - min(xs), (min(ys) + max(ys)) / 2))
    return sorted(found)


@pytest.mark.parametrize("report,comparison,dish", [(REPORT, COMPARISON, []), (C_REPORT, C_COMPARISON, C_BAND)],
                         ids=["Ku band", "C band, --lnb C-BAND"])
def test_boxes_are_as_wide_as_their_carriers_in_their_lanes_and_only_the_missed_hatched(tmp_path, report,
                                                                                         comparison, dish):
    (tmp_path / "comparison.tsv").write_text(comparison)
    done, output = plot(tmp_path, "scan.svg", report, "--comparison", str(tmp_path / "comparison.tsv"), *dish)
    assert (done.returncode, done.stderr) == (0, b"")
    drawn = boxes(output)
    assert [kind for kind, *_ in drawn] == ["carrier", "carrier", "hatched", "listed", "listed"]
    (_, h_x, h_width, h_y), (_, v_x, v_width, v_y), missed, listed_h, listed_v = drawn
    # A listed outline is drawn with a 0.35 roll-off, as wide as the
    # horizontal carrier (ROLLOFF_35) and wider than the vertical (ROLLOFF_20).
    assert listed_h[1:] + listed_v[1:] == pytest.approx((h_x, h_width, h_y, v_x, h_width, v_y), abs=1e-3)
    assert (v_width / h_width, missed[2] / h_width) == pytest.approx((1.2 / 1.35, 22 / 27.5), rel=1e-3)
    # Vertical below horizontal; the missed one in the horizontal lane.
    assert (v_y > h_y, missed[1] > h_x, missed[3]) == (True, True, pytest.approx(h_y, abs=1e-3))


REFUSED = {
    "a broken report line": (b"OK VERTICAL 11000000\n", None, "plot-scan: standard input:1: not a whole report line"),
    "the comparison's table for people": (REPORT, "missed  H      11200000     22000 DVB-S   in range and not found\n",
                                          "plot-scan: {comparison}:1: not blindscan-compare --tsv's output (make the "
                                          "comparison with blindscan-compare --tsv)"),
    "a comparison's row cut short": (REPORT, COMPARISON + "missed\tH\t11200000\n",
                                     "plot-scan: {comparison}:6: not a row of blindscan-compare --tsv"),
}


@pytest.mark.parametrize("report,comparison,said", REFUSED.values(), ids=REFUSED.keys())
def test_what_cannot_be_drawn_is_refused_with_its_line_and_draws_nothing(tmp_path, report, comparison, said):
    options = []
    if comparison is not None:
        (tmp_path / "comparison").write_text(comparison)
        options = ["--comparison", str(tmp_path / "comparison")]
    done, output = plot(tmp_path, "scan.svg", report, *options)
    assert (done.returncode, done.stderr.decode().startswith(said.format(comparison=tmp_path / "comparison"))) == (
        BAD_INPUT_STATUS, True), done.stderr
    assert not output.exists()
