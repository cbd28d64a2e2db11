import pytest

from bench.core_bench import CoreThroughput, parse_report
from bench.report import ms, ratio, scaling_section, table
from bench.scaling import ScalingCase, ScalingResult
from bench.timing import Timing


def test_table_lines():
    assert table(("a", "b"), [(1, "x"), (2, "y")]) == ["| a | b |", "|---|---|", "| 1 | x |", "| 2 | y |", ""]


@pytest.mark.parametrize(
    ("seconds", "text"),
    [
        (None, "–"),
        (0.0000123, "0.0123"),
        (0.0123, "12.3"),
        (0.1234, "123"),
        (2.5, "2500"),
    ],
)
def test_milliseconds(seconds, text):
    assert ms(seconds) == text


@pytest.mark.parametrize(("value", "text"), [(None, "–"), (0.456, "0.46"), (12.345, "12.35"), (123.4, "123")])
def test_ratios(value, text):
    assert ratio(value) == text


def test_core_report_rows_keep_document_order_and_errors():
    report = {
        "benchmarks": [
            {"name": "parse/b-2MB", "bytes_per_second": 250e6},
            {"name": "emit/b-2MB", "bytes_per_second": 500e6},
            {"name": "parse/a-2KB", "error_occurred": True, "error_message": "parse error at line 1"},
            {"name": "emit/a-2KB", "error_occurred": True, "error_message": "parse error at line 1"},
            {"name": "mapping_insert/shuffled/40000", "items_per_second": 5e6},
        ]
    }
    assert parse_report(report) == [
        CoreThroughput("b-2MB", 250.0, 500.0, None),
        CoreThroughput("a-2KB", None, None, "parse error at line 1"),
    ]


def test_scaling_rows_leave_out_what_does_not_grow():
    def timing(ms_value):
        return Timing(ms_value / 1e3, ms_value / 1e3, 7, 1)

    grows = ScalingResult(
        ScalingCase("keys", "keys", 10, None),
        2_000,
        (timing(1), timing(4.4)),
        (timing(2), timing(8)),
        (timing(1), timing(5)),
    )
    text_only = ScalingResult(
        ScalingCase("comments", "lines", 10, None, objects_grow=False), 3_000, (timing(1), timing(4)), (), ()
    )
    lines = scaling_section([grows, text_only])
    assert "| keys | 10 keys | 2.0 | 1 | 4.4 | 4.40 | 5.00 | 2 | 8 | 4.00 |" in lines
    assert "| comments | 10 lines | 3.0 | 1 | 4 | 4.00 | – | – | – | – |" in lines
