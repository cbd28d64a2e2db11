#include "anchors.hpp"

#include "parse_messages.hpp"

namespace vorn {

std::optional<ParseError> AnchorTable::record(std::string_view name, const DocValue& value,
                                              std::uint64_t line, std::uint64_t column) {
    if (auto refused = budget_.charge(value, line, column)) return refused;
    if (auto found = values_.find(name); found != values_.end()) {
        found->second = value;
    } else {
        values_.emplace(std::string(name), value);
    }
    return std::nullopt;
}

const DocValue* AnchorTable::lookup(std::string_view name) const {
    auto found = values_.find(name);
    return found == values_.end() ? nullptr : &found->second;
}

Result<DocValue> AnchorTable::resolve(std::string_view name, std::uint64_t line, std::uint64_t column) {
    const DocValue* stored = lookup(name);
    if (stored == nullptr) return ParseError{unknown_anchor(name), line, column};
    if (auto refused = budget_.charge(*stored, line, column)) return std::move(*refused);
    return *stored;
}

}  // namespace vorn
