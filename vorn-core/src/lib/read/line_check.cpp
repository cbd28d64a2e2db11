#include "read/line_check.hpp"

#include "vorn/format_version.hpp"

#include "read/read_document.hpp"

namespace vorn {

namespace {

std::optional<std::string> scalar_of(const DocValue& value) {
    if (!value.is_scalar()) return std::nullopt;
    return scalar_text(value);
}

std::optional<std::string> comment_of(const DocNode& node) {
    if (node.notes == nullptr || !node.notes->inline_comment) return std::nullopt;
    return std::string(*node.notes->inline_comment);
}

}  // namespace

std::optional<LineReading> read_line_alone(LineSite site, std::string_view line) {
    // The line inside a mapping of its own, so that its key can be any,
    // the version's included.
    std::string document(version_key);
    document += ": ";
    document += format_version;
    document += "\nline:\n  ";
    document += line;
    document += '\n';
    const Result<Document> read = read_document(document);
    if (!read) return std::nullopt;
    const DocValue& held = read.value().root().find("line")->value;
    if (site == LineSite::block_entry) {
        if (!held.is_mapping() || held.entries().size() != 1) return std::nullopt;
        const DocEntry& entry = held.entries()[0];
        return LineReading{std::string(entry.key), scalar_of(entry.node.value), comment_of(entry.node)};
    }
    if (!held.is_sequence() || held.items().size() != 1) return std::nullopt;
    const DocNode& item = held.items()[0];
    if (site == LineSite::item) return LineReading{{}, scalar_of(item.value), comment_of(item)};
    if (!item.value.is_mapping() || item.value.entries().size() != 1) return std::nullopt;
    const DocEntry& entry = item.value.entries()[0];
    return LineReading{std::string(entry.key), scalar_of(entry.node.value), comment_of(item)};
}

}  // namespace vorn
