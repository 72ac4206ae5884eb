#!/usr/bin/python3
"""Checks docs/layout.md against the tree: its table names every folder
that holds a tracked file, and what the page names is there.

A row's first column names its folders from the root.  In its second, a
name in backticks is, relative to the row's folder (else to the root): a
sub-folder when it ends in '/'; a file or files when it holds a '/', '.' or
'*'; code or text one of the folder's files holds when it holds an '_', a
capital or a blank, or starts with '/' (a path on a box); otherwise a file
of the folder or a program its CMakeLists.txt builds.  A link's target is
relative to docs/.

layout_test.py SOURCE_DIR
Exit status: 0 when the page matches, 1 when not (each mismatch said), 77
when SOURCE_DIR is no git work tree, whose tracked folders are not known (1
with CI=true)."""

import glob
import os
import re
import subprocess
import sys

PAGE = "docs/layout.md"


def text_of(source, path):
    with open(os.path.join(source, path), encoding="utf-8", errors="replace") as text:
        return text.read()


def mismatch(source, files, folder, name):
    """Why the row of folder cannot name name, or None."""
    if " " in name or name.startswith("/") or (re.search(r"[_A-Z]", name) and not re.search(r"[./*]", name)):
        held = any(name in text_of(source, path) for path in files if path.startswith(folder + "/"))
        return None if held else "in no file of the folder"
    if re.search(r"[./*]", name):
        found = any(glob.glob(os.path.join(source, base, name)) for base in (folder, ""))
        return None if found else "no such path in the folder or the root"
    listing = os.path.join(folder, "CMakeLists.txt")
    built = os.path.isfile(os.path.join(source, listing)) and f"add_executable({name} " in text_of(source, listing)
    if os.path.isfile(os.path.join(source, folder, name)) or built:
        return None
    return "neither a file of the folder nor a program its CMakeLists.txt builds"


def problems(source, files):
    page = text_of(source, PAGE)
    named = set()
    for line in page.splitlines():
        cells = line.strip().strip("|").split("|")
        folders = re.findall(r"`([^`]+)/`", cells[0]) if len(cells) == 2 else []
        for folder in folders:
            named.add(folder)
            if not os.path.isdir(os.path.join(source, folder)):
                yield f"{folder}/: no such folder"
            for name in re.findall(r"`([^`]+)`", cells[1]):
                if name.endswith("/"):
                    named.add(os.path.normpath(os.path.join(folder, name)))
                why = mismatch(source, files, folder, name)
                if why:
                    yield f"the row of {folder}/ names {name}: {why}"
    for target in re.findall(r"\]\(([^)#]+)", page):
        if not os.path.exists(os.path.join(source, os.path.dirname(PAGE), target)):
            yield f"a link to {target}: no such file"
    # A folder is named by a row of its own, by its parent's row as a
    # sub-folder, or as the parent of a folder named.
    covered = {"/".join(parts[:end]) for parts in (folder.split("/") for folder in named)
               for end in range(1, len(parts) + 1)}
    for folder in sorted({os.path.dirname(path) for path in files} - {""} - covered):
        yield f"{folder}/: tracked, and named by no row"


def tracked(source):
    """The files git tracks in source; a work tree owned by another user
    (a clone checked by root) is read all the same."""
    listed = subprocess.run(["git", "-c", "safe.directory=*", "-C", source, "ls-files", "-z"], capture_output=True,
                            check=True).stdout
    return listed.decode().split("\0")[:-1]


def main(source):
    try:
        files = tracked(source)
    except (OSError, subprocess.CalledProcessError):
        print(f"{source}: no git work tree, so its tracked folders are not known")
        return 1 if os.environ.get("CI") == "true" else 77
    found = list(problems(source, files))
    for problem in found:
        print(f"{PAGE}: {problem}")
    return 1 if found else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: layout_test.py SOURCE_DIR")
    sys.exit(main(sys.argv[1]))
