from bench.memory_probe import peak_rise

MB = 1_000_000


def test_the_peak_rise_sees_a_call_that_allocates_and_frees():
    def allocate_and_free(size):
        # bytearray(n) fills its buffer, so the pages are really touched.
        buffer = bytearray(size)
        del buffer
        return None

    assert 45 * MB <= peak_rise(allocate_and_free, 50 * MB) <= 60 * MB


def test_the_peak_rise_of_a_call_that_keeps_nothing_is_small():
    assert peak_rise(len, "text") < 2 * MB
