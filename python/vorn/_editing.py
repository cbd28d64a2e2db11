"""Writing changed data back into the text they were read from.

The native edit engine does the work: it finds what changed since the text
was read, plans each change as a splice of the text (every byte it does not
reach stays as it was), spells what it writes by the writer's own rules,
and reads the result back before it gives it. This module turns what it
gives into text or the package's errors, and applies ``default=``.
"""

from __future__ import annotations

from typing import Any

from ._errors import EditError
from ._native import EditOutcome, SyntaxTree, loads
from ._paths import path_text
from ._types import Default
from ._writing import checked_text, encode_error, note_unwritable, with_default


def edited_text(tree: SyntaxTree, data: Any, *, default: Default | None = None, rewrite: bool = False) -> str:
    """The text read as ``tree``, changed as ``data`` changed since. Data
    the format cannot carry raise EncodeError; a change the engine cannot
    make in place raises EditError, or with ``rewrite`` gives the writer's
    text of the whole data."""
    try:
        outcome = tree.edit(data)
    except TypeError as error:
        if default is None:
            note_unwritable(error, data)
            raise
        data = with_default(data, default)
        outcome = tree.edit(data)
    if _changed_while_compared(outcome, data):
        # The caller's own == or __hash__, run while the data were compared,
        # changed them since: compared again, they hold still.
        outcome = tree.edit(data)
        if _changed_while_compared(outcome, data):
            return _refused(data, "$", "an __eq__ or __hash__ of your own keeps changing the data", rewrite)
    return _text_of(outcome, data, rewrite)


def _changed_while_compared(outcome: EditOutcome, data: Any) -> bool:
    return outcome.foreign and outcome.text is not None and not _reads_back(outcome.text, data)


def _text_of(outcome: EditOutcome, data: Any, rewrite: bool) -> str:
    fault = outcome.fault
    if fault is None:
        assert outcome.text is not None, "an edit without a fault has its text"
        return outcome.text
    location = path_text(fault.steps)
    if fault.kind == "cannot_write":
        raise encode_error(location, fault.fault, data, lossy_helps=False)
    return _refused(data, location, fault.reason, rewrite)


def _refused(data: Any, location: str, reason: str, rewrite: bool) -> str:
    if not rewrite:
        raise EditError(location, reason)
    return checked_text(data, False)


def _reads_back(text: str, data: Any) -> bool:
    try:
        return bool(loads(text) == data)
    except ValueError:
        return False
