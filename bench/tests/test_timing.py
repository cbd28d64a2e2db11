import pytest

from bench.timing import MIN_RUNS, time_calls, warm_up


class Counter:
    def __init__(self):
        self.calls = 0

    def __call__(self, argument):
        self.calls += 1
        return argument


@pytest.mark.parametrize(
    ("first_call_seconds", "runs", "loops"),
    [
        (0.001, 7, 20),  # fast calls are repeated within a run
        (0.05, 7, 1),
        (2.0, MIN_RUNS, 1),  # slow calls get the fewest runs allowed
    ],
)
def test_runs_and_loops_follow_the_first_call(first_call_seconds, runs, loops):
    counter = Counter()
    timing = time_calls(counter, "x", first_call_seconds)
    assert (timing.runs, timing.loops, counter.calls) == (runs, loops, runs * loops)
    assert 0 <= timing.min_s <= timing.median_s


def test_fewer_runs_than_the_minimum_are_not_allowed():
    assert time_calls(Counter(), "x", 0.05, runs=2).runs == MIN_RUNS


def test_warm_up_returns_the_result_to_check():
    result, seconds = warm_up(lambda text: text.upper(), "abc")
    assert result == "ABC" and seconds >= 0
