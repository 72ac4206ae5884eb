import pytest

import harness


@pytest.fixture(scope="session", autouse=True)
def emulator_can_run():
    """Every test needs the emulator; in CI a machine that cannot host it fails."""
    problem = harness.capability_problem()
    if problem is None:
        return
    if harness.in_ci():
        pytest.fail(f"blindscan-emulator cannot run here, and CI requires it: {problem}", pytrace=False)
    pytest.skip(f"blindscan-emulator cannot run here: {problem}")
