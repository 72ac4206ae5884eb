"""Runs one pytest file for ctest: status 77 (ctest's skip) when no test ran
because none was collected or all were skipped, pytest's status otherwise."""

import sys

import pytest

SKIPPED = 77
NO_TESTS_COLLECTED = 5


class Outcomes:
    def __init__(self):
        self.ran = 0
        self.skipped = 0

    def pytest_runtest_logreport(self, report):
        if report.skipped:
            self.skipped += 1
        elif report.when == "call":
            self.ran += 1


def main(arguments):
    outcomes = Outcomes()
    status = pytest.main(["-q", "-rs", "-p", "no:cacheprovider", *arguments], plugins=[outcomes])
    if status == NO_TESTS_COLLECTED or (status == 0 and outcomes.ran == 0 and outcomes.skipped > 0):
        return SKIPPED
    return int(status)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
