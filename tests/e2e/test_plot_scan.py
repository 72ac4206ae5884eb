"""scripts/plot-scan drawing real scans of the built-in sky."""

import subprocess
import xml.etree.ElementTree as ElementTree

import pytest

from harness import LOW_HORIZONTAL, REPO, missing, run

PYTHON = "/usr/bin/python3"  # Debian's, with python3-matplotlib
PLOT_SCAN = str(REPO / "scripts/plot-scan")


@pytest.fixture(scope="module")
def scans():
    """Both polarisations of the low band as the demo collects them, with the
    horizontal sweep given twice, as the overlap of the two bands gives its
    carriers: headings, report lines and "open path" lines."""
    if subprocess.run([PYTHON, "-c", "import matplotlib"], capture_output=True).returncode != 0:
        missing("Debian's python3-matplotlib is not installed")
    horizontal = run(LOW_HORIZONTAL).stdout
    vertical = run(LOW_HORIZONTAL[:5] + ["1", "0"]).stdout
    counts = tuple(sum(line.startswith(b"OK ") for line in out.splitlines()) for out in (horizontal, vertical))
    return b"== a heading\n" + horizontal + horizontal + vertical, counts


def plot(tmp_path, name, text):
    output = tmp_path / name
    done = subprocess.run([PYTHON, PLOT_SCAN, "-o", str(output)], input=text, capture_output=True)
    return done, output


def test_the_svg_counts_each_lane_s_carriers_once_and_is_reproducible(scans, tmp_path):
    text, (horizontal, vertical) = scans
    done, output = plot(tmp_path, "scan.svg", text)
    assert (done.returncode, done.stderr) == (0, b"")
    labels = [element.text for element in ElementTree.parse(output).iter() if element.tag.endswith("}text")]
    assert f"HORIZONTAL: {horizontal} carriers" in labels
    assert f"VERTICAL: {vertical} carriers" in labels
    assert plot(tmp_path, "again.svg", text)[1].read_bytes() == output.read_bytes()


def test_a_png_by_name(scans, tmp_path):
    done, output = plot(tmp_path, "scan.PNG", scans[0])
    assert done.returncode == 0
    assert output.read_bytes().startswith(b"\x89PNG\r\n\x1a\n")


def test_a_broken_report_line_draws_nothing(scans, tmp_path):
    done, output = plot(tmp_path, "scan.svg", scans[0] + b"OK VERTICAL 11000000\n")
    assert done.returncode == 1
    assert b"standard input:" in done.stderr and b"not a whole report line" in done.stderr
    assert not output.exists()
