#include "read/anchor_table.hpp"

#include "read/parse_messages.hpp"

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

std::optional<ParseError> AnchorTable::charge(Record& record, SourcePosition at) {
    if (record.cost) return budget_.charge_known(*record.cost, at);
    // The walk stops once past what is left, so a refused first use costs
    // no more than the budget.
    if (auto refused = budget_.charge(record.value, at)) return refused;
    record.cost = budget_.last_cost();
    return std::nullopt;
}

Result<DocValue> AnchorTable::resolve(std::string_view name, SourcePosition at) {
    Record* found = lookup(name);
    if (found == nullptr) return error_at(unknown_anchor(name), at);
    if (auto refused = charge(*found, at)) return std::move(*refused);
    return found->value;
}

}  // namespace vorn
