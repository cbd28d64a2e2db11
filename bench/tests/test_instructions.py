"""The documents that bench.instructions --growth counts at N and 4N."""

import pytest

import _vorn_native
from bench.instructions import _arguments


# One of the six documents and one scaling case, the cheapest to build.
@pytest.mark.parametrize("name", ["config", "many anchors"])
def test_the_larger_document_holds_four_times_as_much_and_each_reads_back_to_its_objects(name):
    (small_text, small_obj), (large_text, large_obj) = (_arguments(name, factor) for factor in (1, 4))
    assert _vorn_native.loads(small_text) == small_obj
    assert _vorn_native.loads(large_text) == large_obj
    assert 3.6 < len(large_text) / len(small_text) < 4.4
