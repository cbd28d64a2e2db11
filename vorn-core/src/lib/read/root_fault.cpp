#include "read/root_fault.hpp"

#include <string>

#include "vorn/format_version.hpp"

namespace vorn {

namespace {

std::optional<std::string> root_message(const DocValue& root) {
    if (!root.is_mapping()) return "root of document must be a mapping";
    const DocNode* version = root.find(version_key);
    if (version == nullptr) return "missing required _vorn_version at root (Semantic Date Versioning)";
    if (!version->value.is_scalar()) return "_vorn_version must be a string scalar";
    const std::string stored = scalar_text(version->value);
    if (is_accepted_version(stored)) return std::nullopt;
    return "unsupported _vorn_version '" + stored + "', expected " + std::string(format_version);
}

}  // namespace

[[gnu::hot]] std::optional<ParseError> root_fault(const DocValue& root, const LineCursor& lines) {
    auto message = root_message(root);
    if (!message) return std::nullopt;
    const SourceLine& first = *lines.peek();
    return ParseError{std::move(*message), first.number, 1, lines.offset_of(first.text.data())};
}

}  // namespace vorn
