"""Takes a directory for a command that builds into, or clears out, the
directories it is given, so that it removes only what it made.

A DIR that holds anything but has no STAMP (a file in or beside it) was not
made by the command, which then refuses it.  So is a DIR or a STAMP that is
a symbolic link, whatever it points to: the command never makes one, and
following it would build into, mark or clear a directory or file the
command did not make.  Every DIR is checked before anything is made; then
each DIR is made if it is missing, and its STAMP created if it is not
there, marking DIR as the command's own for later runs.

replay-trace imports it; the shell scripts run it through claim-dir.sh:
  python3 claim_dir.py COMMAND DIR STAMP [DIR STAMP]...
which says why on standard error, "COMMAND: DIR: refused: WHY", and ends
with the status of bad input, kit_command.FAILED, when a DIR is refused."""

import os
import sys

import kit_command


class Refused(Exception):
    pass


def refusal(command, directory, stamp):
    """Why the command may not take directory, or None."""
    inside = directory.rstrip("/") + "/"
    named = stamp[len(inside):] if stamp.startswith(inside) else stamp
    if os.path.islink(directory.rstrip("/") or "/"):
        return f"it is a symbolic link, which {command} does not follow"
    if os.path.islink(stamp):
        return f"its {named} is a symbolic link, which {command} did not make"
    if not os.path.lexists(stamp) and os.path.isdir(directory) and os.listdir(directory):
        return f"it is not empty and has no {named}, so {command} did not make it"
    return None


def claim(command, pairs):
    """Takes each (DIR, STAMP) pair for command; Refused says which and why."""
    directory = None
    try:
        for directory, stamp in pairs:
            why = refusal(command, directory, stamp)
            if why:
                raise Refused(f"{directory}: refused: {why}")
        for directory, stamp in pairs:
            os.makedirs(directory, exist_ok=True)
            if not os.path.lexists(stamp):
                open(stamp, "a").close()
    except OSError as error:
        raise Refused(f"{directory}: cannot use: {error.strerror}") from None


def main(arguments):
    if len(arguments) < 3 or len(arguments) % 2 == 0:
        print("usage: claim_dir.py COMMAND DIR STAMP [DIR STAMP]...", file=sys.stderr)
        return kit_command.FAILED
    command, rest = arguments[0], arguments[1:]
    try:
        claim(command, list(zip(rest[::2], rest[1::2])))
    except Refused as error:
        return kit_command.fail(command, error)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
