import pytest

from bench.core_bench import CoreThroughput, parse_report
from bench.report import ms, ratio, table


def test_table_lines():
    assert table(("a", "b"), [(1, "x"), (2, "y")]) == ["| a | b |", "|---|---|", "| 1 | x |", "| 2 | y |", ""]


@pytest.mark.parametrize(("seconds", "text"), [
    (None, "–"), (0.0000123, "0.0123"), (0.0123, "12.3"), (0.1234, "123"), (2.5, "2500"),
])
def test_milliseconds(seconds, text):
    assert ms(seconds) == text


@pytest.mark.parametrize(("value", "text"), [(None, "–"), (0.456, "0.46"), (12.345, "12.35"), (123.4, "123")])
def test_ratios(value, text):
    assert ratio(value) == text


def test_core_report_rows_keep_document_order_and_errors():
    report = {"benchmarks": [
        {"name": "parse/b-2MB", "bytes_per_second": 250e6},
        {"name": "emit/b-2MB", "bytes_per_second": 500e6},
        {"name": "parse/a-2KB", "error_occurred": True, "error_message": "parse error at line 1"},
        {"name": "emit/a-2KB", "error_occurred": True, "error_message": "parse error at line 1"},
    ]}
    assert parse_report(report) == [
        CoreThroughput("b-2MB", 250.0, 500.0, None),
        CoreThroughput("a-2KB", None, None, "parse error at line 1"),
    ]
