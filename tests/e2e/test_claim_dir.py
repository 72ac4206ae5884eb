"""The directory guard the shell scripts (claim-dir.sh) and replay-trace
--keep share: what it refuses, in one set of words, and what it takes."""

import os
import subprocess

import pytest

from harness import BAD_INPUT_STATUS, REPO

CLAIM = f'. {REPO}/scripts/claim-dir.sh; claim_dir "$@"; echo claimed'


def claim(cwd, *paths):
    done = subprocess.run(["bash", "-c", CLAIM, "guarded", *paths], cwd=cwd, capture_output=True, text=True)
    return done.returncode, done.stdout + done.stderr


def prepared(tmp, layout):
    """Makes the layout's paths under tmp: "file", "dir/", "link->target"."""
    for entry in layout:
        path, _, target = entry.partition("->")
        (tmp / path).parent.mkdir(parents=True, exist_ok=True)
        if target:
            (tmp / path).symlink_to(target)
        elif path.endswith("/"):
            (tmp / path).mkdir()
        else:
            (tmp / path).write_text("")


# The paths there before, the DIR STAMP pairs claimed, and the words of the
# refusal (None: taken).
CASES = {
    "one pair, not its own": (["d/other"], ["d", "d/.stamp"],
                              "d: refused: it is not empty and has no .stamp, so guarded did not make it"),
    "a linked stamp": (["d/other", "d/.stamp->other"], ["d", "d/.stamp"],
                       "d: refused: its .stamp is a symbolic link, which guarded did not make"),
    "a linked directory, empty": (["e/", "d->e"], ["d/", "d/.stamp"],
                                  "d/: refused: it is a symbolic link, which guarded does not follow"),
    "the second pair refused, the first not made": (["f/other"], ["d", "d/.stamp", "f", "f.stamp"],
                                                    "f: refused: it is not empty and has no f.stamp"),
    "its own, as a second run finds it": (["d/built", "d/.stamp"], ["d", "d/.stamp"], None),
    "empty, not yet its own": (["d/"], ["d", "d/.stamp"], None),
    "missing, made": ([], ["d/e", "d/e.stamp"], None),
}


@pytest.mark.parametrize("layout,pairs,refusal", CASES.values(), ids=CASES.keys())
def test_a_directory_is_taken_only_when_it_is_the_scripts_own(tmp_path, layout, pairs, refusal):
    prepared(tmp_path, layout)
    before = sorted(str(path) for path in tmp_path.rglob("*"))
    status, said = claim(tmp_path, *pairs)
    if refusal is None:
        assert (status, said) == (0, "claimed\n")
        assert all(os.path.lexists(tmp_path / path) for path in pairs)
    else:
        assert (status, said.startswith(f"guarded: {refusal}")) == (BAD_INPUT_STATUS, True), said
        assert sorted(str(path) for path in tmp_path.rglob("*")) == before

