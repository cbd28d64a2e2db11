#include "anchors.hpp"

#include "parse_messages.hpp"

namespace vorn {

void AnchorTable::record(std::string_view name, const DocValue& value) {
    if (auto found = records_.find(name); found != records_.end()) {
        found->second = Record{value, std::nullopt};
    } else {
        records_.emplace(std::string(name), Record{value, std::nullopt});
    }
}

AnchorTable::Record* AnchorTable::lookup(std::string_view name) {
    auto found = records_.find(name);
    return found == records_.end() ? nullptr : &found->second;
}

std::optional<ParseError> AnchorTable::charge(Record& record, std::uint64_t line, std::uint64_t column) {
    if (record.cost) return budget_.charge_known(*record.cost, line, column);
    // The walk stops once past what is left, so a refused first use costs
    // no more than the budget.
    if (auto refused = budget_.charge(record.value, line, column)) return refused;
    record.cost = budget_.last_cost();
    return std::nullopt;
}

Result<DocValue> AnchorTable::resolve(std::string_view name, std::uint64_t line, std::uint64_t column) {
    Record* found = lookup(name);
    if (found == nullptr) return ParseError{unknown_anchor(name), line, column};
    if (auto refused = charge(*found, line, column)) return std::move(*refused);
    return found->value;
}

}  // namespace vorn
