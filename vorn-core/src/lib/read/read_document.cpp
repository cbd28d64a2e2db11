#include "read/read_document.hpp"

#include <string_view>

#include "vorn/parse.hpp"

#include "read/anchor_table.hpp"
#include "read/block_parser.hpp"
#include "read/copy_budget.hpp"
#include "read/root_fault.hpp"
#include "read/source_lines.hpp"

namespace vorn {

namespace {

enum class RootCheck { whole_document, none };

// [[gnu::hot]] marks each function that every loads runs, here and in the
// binding: the linker keeps them together, so a fresh process's first loads
// faults in a few dozen KB of the extension's code rather than the 240 KB
// over which its pieces lay, a fifth of a small document's peak memory.
//
// Reads the whole text; with `syntax`, recording it as written, or with
// `sink`, having it make the containers.
[[gnu::hot]] Result<Document> read_text(std::string_view text, Comments comments, SyntaxRecorder* syntax,
                                        ValueSink* sink = nullptr, RootCheck check = RootCheck::whole_document) {
    if (auto tab = find_tab(text)) return std::move(*tab);
    const LineCursor lines(text);
    Arena arena;
    if (lines.peek() == nullptr) return Document(std::move(arena), DocValue::mapping({}));

    AnchorTable anchors{CopyBudget(text)};
    Result<DocValue> root = parse_blocks(lines, anchors, arena, comments == Comments::kept, syntax, sink);
    if (!root) return std::move(root).error();
    // A root the sink made was checked before it was made.
    const bool checked = check == RootCheck::none || root.value().is_made();
    if (auto fault = checked ? std::nullopt : root_fault(root.value(), lines)) return std::move(*fault);
    return Document(std::move(arena), root.value(), anchors.copied());
}

}  // namespace

Result<Document> read_document(std::string_view text, Comments comments) { return read_text(text, comments, nullptr); }

Result<Document> read_document(std::string_view text, SyntaxRecorder& syntax) {
    return read_text(text, Comments::kept, &syntax);
}

[[gnu::hot]] Result<Document> read_document(std::string_view text, ValueSink& sink) {
    return read_text(text, Comments::may_drop, nullptr, &sink);
}

Result<Document> read_stretch(std::string_view text) {
    return read_text(text, Comments::may_drop, nullptr, nullptr, RootCheck::none);
}

Result<Value> parse_document(std::string_view text) {
    Result<Document> document = read_document(text);
    if (!document) return std::move(document).error();
    return to_value(document.value().root());
}

}  // namespace vorn
