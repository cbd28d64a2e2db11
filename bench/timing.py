"""Time per call: a warm-up, then at least five timed runs.

Times are the process's CPU time (user and system), not wall-clock time:
on a shared machine the wall clock also counts the time the process waits
for a core, which swamps the differences being measured, while for these
single-threaded calls CPU time equals wall time on an idle machine.
Garbage collection stays enabled, as in normal use. Calls that take less
than a few milliseconds are repeated within one run and the run's time is
divided by the repeat count; the results made during a run are kept until
the run ends, so their deallocation is not timed.
"""

import statistics
import time
from dataclasses import dataclass

MIN_RUNS = 5
DEFAULT_RUNS = 7
# A run of a fast call lasts at least this long, so that timer resolution
# and scheduling noise stay small against it.
TARGET_RUN_SECONDS = 0.02
# Calls slower than this get only MIN_RUNS runs.
SLOW_CALL_SECONDS = 0.5


@dataclass(frozen=True)
class Timing:
    min_s: float
    median_s: float
    runs: int
    loops: int


def warm_up(call, argument):
    """Calls once and returns the result with the call's duration."""
    start = time.process_time()
    result = call(argument)
    return result, time.process_time() - start


def time_calls(call, argument, first_call_seconds: float, runs: int = DEFAULT_RUNS) -> Timing:
    """The minimum and median time per call over `runs` runs (fewer for slow
    calls, never fewer than MIN_RUNS)."""
    if first_call_seconds > SLOW_CALL_SECONDS:
        runs = MIN_RUNS
    runs = max(runs, MIN_RUNS)
    loops = max(1, min(100_000, int(TARGET_RUN_SECONDS / max(first_call_seconds, 1e-9))))
    per_call = []
    for _ in range(runs):
        kept = [None] * loops
        start = time.process_time()
        for index in range(loops):
            kept[index] = call(argument)
        elapsed = time.process_time() - start
        del kept
        per_call.append(elapsed / loops)
    return Timing(min(per_call), statistics.median(per_call), runs, loops)
