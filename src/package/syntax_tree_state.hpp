// What a vorn._native.SyntaxTree owns: the text it was read from (as the
// str and its UTF-8 form), the document's arena tree, the syntax records and
// the snapshot of the values as read. The records and the tree view the
// text; the types that answer questions about them share this state.
#pragma once

#include <Python.h>
#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "py_ref.hpp"
#include "read/syntax_index.hpp"
#include "tree/document.hpp"
#include "value_snapshot.hpp"

namespace vorn::binding {

// A place in the text as editors count it: 1-based line, 1-based column in
// characters.
struct TextPosition {
    std::uint64_t line;
    std::uint64_t column;
};

struct SyntaxTreeState {
    PyRef text;
    std::string_view utf8;
    Document document;
    SyntaxIndex index;
    // The values as read, for changes().
    ValueSnapshot snapshot;

    SyntaxTreeState(PyObject* text_object, std::string_view text_utf8, Document read, std::vector<SyntaxRecord> records,
                    ValueSnapshot values)
        : text(PyRef::borrow(text_object)),
          utf8(text_utf8),
          document(std::move(read)),
          index(std::move(records)),
          snapshot(std::move(values)) {}

    const std::vector<SyntaxRecord>& records() const noexcept { return index.records(); }

    // Where the line that holds byte `offset` starts.
    std::uint64_t line_start(std::uint64_t offset) {
        const std::vector<std::uint64_t>& starts = lines();
        return *(std::upper_bound(starts.begin(), starts.end(), offset) - 1);
    }

    TextPosition position(std::uint64_t offset) {
        const std::vector<std::uint64_t>& starts = lines();
        const auto after = std::upper_bound(starts.begin(), starts.end(), offset);
        const std::uint64_t start = *(after - 1);
        std::uint64_t column = 1;
        for (std::uint64_t at = start; at < offset; ++at)
            column += (static_cast<unsigned char>(utf8[at]) & 0xC0) != 0x80;
        return {static_cast<std::uint64_t>(after - starts.begin()), column};
    }

    std::string_view piece(ByteSpan span) const noexcept { return utf8.substr(span.begin, span.end - span.begin); }

private:
    // The offset where each line starts, found at the first question that
    // needs it.
    std::vector<std::uint64_t> line_starts_;

    const std::vector<std::uint64_t>& lines() {
        if (line_starts_.empty()) {
            line_starts_.push_back(0);
            for (std::size_t at = utf8.find('\n'); at != std::string_view::npos; at = utf8.find('\n', at + 1))
                line_starts_.push_back(at + 1);
        }
        return line_starts_;
    }
};

// The state of a SyntaxTree object.
SyntaxTreeState& tree_state(PyObject* tree) noexcept;

}  // namespace vorn::binding
