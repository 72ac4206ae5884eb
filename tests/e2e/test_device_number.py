"""The emulator's --device reads a number as the tool reads its first
argument, so both name the same node for the same text."""

import pytest

from harness import LOW_HORIZONTAL, open_path, run


@pytest.mark.parametrize("text, number", [("12abc", 12), ("0x1f", 31), ("010", 8), ("abc", 0)])
def test_emulator_serves_the_node_the_tool_opens(text, number):
    result = run([text] + LOW_HORIZONTAL[1:], ["--device", text])
    assert (result.stderr, result.status) == (b"", 0)
    assert result.stdout.endswith(open_path(number))
    assert result.log[0] == f"mounted path=/dev/blindscan{number}"
