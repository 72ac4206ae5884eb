"""What the kit's Python commands share: where they find the kit's other
programs, and how they report a failure."""

import argparse
import os
import shutil
import sys

import kit_facts

# Bad input and files that cannot be read or written, as the C++ commands
# end for them.
FAILED = kit_facts.BAD_INPUT_STATUS


# The source tree this module is in, as its kit/python/; None where it is
# installed.
_MODULES = os.path.dirname(os.path.abspath(__file__))
SOURCE_TREE = (os.path.dirname(os.path.dirname(_MODULES))
               if _MODULES.endswith(os.path.join(os.sep, "kit", "python")) else None)


def find_program(name, command_dir):
    """The kit's program name for a command in command_dir: the host build's
    when the command runs from the source tree, else the one installed
    beside it, else the first on PATH."""
    candidates = [os.path.join(command_dir, name)]
    if SOURCE_TREE is not None:
        candidates.insert(0, os.path.join(SOURCE_TREE, "build", "host", name))
    for candidate in candidates:
        if os.path.isfile(candidate):
            return candidate
    return shutil.which(name) or name


def lookup_help(name, command):
    """Where find_program looks, as an option's help says it."""
    return (f"(default: the host build's {name} when {command} runs from the source tree, else the {name} "
            f"installed beside {command}, else the first on PATH)")


def not_a_program(path, option):
    """What to say of a kit program that is not there."""
    return (f"{path}: not a program: build it (cmake --preset host && cmake --build --preset host) or install "
            f"the kit's package, or name it with {option}")


class ArgumentParser(argparse.ArgumentParser):
    """argparse's parser, which ends a wrong command line with FAILED, as the
    C++ commands end theirs."""

    def error(self, message):
        self.print_usage(sys.stderr)
        self.exit(FAILED, f"{self.prog}: error: {message}\n")


def fail(command, what):
    """Says "COMMAND: WHAT: WHY" (what holds both) on standard error; the
    status to end with."""
    print(f"{command}: {what}", file=sys.stderr)
    return FAILED
