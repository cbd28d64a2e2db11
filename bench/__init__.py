"""Benchmark suite: vorn's loads/dumps against JSON, YAML and pickle peers.

Run it with scripts/bench (the full run writes bench/RESULTS.md and
bench/ratios.png) or `python -m bench.run --quick` for the headline ratios.
"""
