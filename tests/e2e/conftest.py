import pytest

import harness


@pytest.fixture(scope="session", autouse=True)
def emulator_can_run():
    """Every test needs the stand-in.  A machine that cannot host it skips,
    naming what it lacks (in CI that fails too); a stand-in that fails on a
    machine that can host it fails everywhere."""
    lacking = harness.machine_lacks()
    if lacking is not None:
        harness.missing(f"blindscan-emulator cannot run on this machine: {lacking}")
    problem = harness.stand_in_problem()
    if problem is not None:
        pytest.fail(f"blindscan-emulator fails to run 'true': {problem}", pytrace=False)


@pytest.fixture(autouse=True)
def ends_its_process_tree():
    """Whatever a test started, passing or failing, ends with it: orphans
    come to this process, which ends them all."""
    harness.adopt_orphans()
    yield
    harness.end_process_tree()
