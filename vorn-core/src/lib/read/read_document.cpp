#include "read/read_document.hpp"

#include <string>
#include <string_view>

#include "vorn/format_version.hpp"
#include "vorn/parse.hpp"

#include "read/anchor_table.hpp"
#include "read/block_parser.hpp"
#include "read/copy_budget.hpp"
#include "read/source_lines.hpp"

namespace vorn {

namespace {

// The root must be a mapping that carries the accepted format version.
std::optional<std::string> root_fault(const DocValue& root) {
    if (!root.is_mapping()) return "root of document must be a mapping";
    const DocNode* version = root.find(version_key);
    if (version == nullptr) return "missing required _vorn_version at root (Semantic Date Versioning)";
    if (!version->value.is_scalar()) return "_vorn_version must be a string scalar";
    const std::string stored = scalar_text(version->value);
    if (is_accepted_version(stored)) return std::nullopt;
    return "unsupported _vorn_version '" + stored + "', expected " + std::string(format_version);
}

// Reads the whole text; with `syntax`, recording it as written.
Result<Document> read_text(std::string_view text, Comments comments, SyntaxRecorder* syntax) {
    if (auto tab = find_tab(text)) return std::move(*tab);
    const LineCursor lines(text);
    Arena arena;
    if (lines.peek() == nullptr) return Document(std::move(arena), DocValue::mapping({}));

    AnchorTable anchors{CopyBudget(text)};
    Result<DocValue> root = parse_blocks(lines, anchors, arena, comments == Comments::kept, syntax);
    if (!root) return std::move(root).error();
    if (auto fault = root_fault(root.value())) {
        const SourceLine& first = *lines.peek();
        return ParseError{std::move(*fault), first.number, 1, lines.offset_of(first.text.data())};
    }
    return Document(std::move(arena), root.value(), anchors.copied());
}

}  // namespace

Result<Document> read_document(std::string_view text, Comments comments) { return read_text(text, comments, nullptr); }

Result<Document> read_document(std::string_view text, SyntaxRecorder& syntax) {
    return read_text(text, Comments::kept, &syntax);
}

Result<Value> parse_document(std::string_view text) {
    Result<Document> document = read_document(text);
    if (!document) return std::move(document).error();
    return to_value(document.value().root());
}

}  // namespace vorn
