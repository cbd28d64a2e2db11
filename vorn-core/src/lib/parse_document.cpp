#include <string>
#include <string_view>

#include "anchors.hpp"
#include "block_parser.hpp"
#include "copy_budget.hpp"
#include "scalar_syntax.hpp"
#include "source_lines.hpp"
#include "trim.hpp"
#include "vorn/parse.hpp"

namespace vorn {

namespace {

constexpr std::string_view accepted_version = "1.0";

// The root frame takes its kind and indentation from the first line alone,
// whatever that line holds.
Frame root_frame(const SourceLine& first) {
    if (is_item_line(first.text)) {
        SequenceFrame frame;
        frame.indent = first.indent;
        return frame;
    }
    MappingFrame frame;
    frame.indent = first.indent;
    return frame;
}

// The root must be a mapping that carries the accepted format version.
std::optional<std::string> root_fault(const Value& root) {
    if (!root.is_mapping()) return "root of document must be a mapping";
    const Node* version = root.mapping().find("_vorn_version");
    if (version == nullptr) return "missing required _vorn_version at root (Semantic Date Versioning)";
    if (!version->value.is_scalar()) return "_vorn_version must be a string scalar";
    const std::string& stored = version->value.scalar();
    if (trim(stored) == accepted_version) return std::nullopt;
    return "unsupported _vorn_version '" + stored + "', expected " + std::string(accepted_version);
}

}  // namespace

Result<Value> parse_document(std::string_view text) {
    Result<std::vector<SourceLine>> prepared = prepare_lines(text);
    if (!prepared) return std::move(prepared).error();
    const std::vector<SourceLine>& lines = prepared.value();
    if (lines.empty()) return Value::empty_mapping();

    AnchorTable anchors(copy_limit_for(lines.size()));
    Result<Value> root = parse_blocks(lines, anchors, root_frame(lines.front()));
    if (!root) return root;
    if (auto fault = root_fault(root.value())) return ParseError{std::move(*fault), lines.front().number, 1};
    return root;
}

}  // namespace vorn
