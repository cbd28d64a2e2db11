// The named values of one load: anchors record their block when it closes,
// and aliases and merges take what was recorded. Values are immutable once
// built, so a record and every use of it share one value. Recording puts
// nothing new into the result, so only aliases and merges are charged to
// the copy budget, each as the copy it stands for.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "vorn/result.hpp"

#include "read/copy_budget.hpp"
#include "tree/document.hpp"

namespace vorn {

class AnchorTable {
public:
    // A recorded value and what each copy of it costs, found at its first
    // use: most anchors are used never or often.
    struct Record {
        DocValue value;
        std::optional<std::uint64_t> cost;
    };

    explicit AnchorTable(CopyBudget budget) noexcept : budget_(std::move(budget)) {}

    // Records `value` under `name`, replacing an earlier record.
    void record(std::string_view name, const DocValue& value);

    // The record under `name`, or null.
    Record* lookup(std::string_view name);

    // The value recorded under `name`, charged as a copy; or "unknown
    // anchor: name", or the budget's error, at `at`.
    Result<DocValue> resolve(std::string_view name, SourcePosition at);

    // Charges a copy of a record already looked up, or returns the
    // budget's error at `at`.
    [[nodiscard]] std::optional<ParseError> charge(Record& record, SourcePosition at);

    // Whether any alias or merge stood for a recorded value: the tree then
    // shares values between positions.
    bool copied() const noexcept { return budget_.used() > 0; }

private:
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const noexcept { return std::hash<std::string_view>{}(name); }
    };

    std::unordered_map<std::string, Record, NameHash, std::equal_to<>> records_;
    CopyBudget budget_;
};

}  // namespace vorn
