#include "anchors.hpp"

#include "parse_messages.hpp"

namespace vorn {

std::optional<ParseError> AnchorTable::record(std::string_view name, const DocValue& value,
                                              std::uint64_t line, std::uint64_t column) {
    if (auto refused = budget_.charge(value, line, column)) return refused;
    const Record record{value, budget_.last_cost()};
    if (auto found = records_.find(name); found != records_.end()) {
        found->second = record;
    } else {
        records_.emplace(std::string(name), record);
    }
    return std::nullopt;
}

const AnchorTable::Record* AnchorTable::lookup(std::string_view name) const {
    auto found = records_.find(name);
    return found == records_.end() ? nullptr : &found->second;
}

Result<DocValue> AnchorTable::resolve(std::string_view name, std::uint64_t line, std::uint64_t column) {
    const Record* found = lookup(name);
    if (found == nullptr) return ParseError{unknown_anchor(name), line, column};
    if (auto refused = charge(*found, line, column)) return std::move(*refused);
    return found->value;
}

}  // namespace vorn
