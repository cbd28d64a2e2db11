import _vorn_native
def test_imports():
    assert _vorn_native.__name__ == "_vorn_native"
