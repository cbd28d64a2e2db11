// The named values of one load: anchors record a copy of their block when
// it closes, and aliases and merges take copies of what was recorded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "copy_budget.hpp"
#include "vorn/result.hpp"
#include "vorn/value.hpp"

namespace vorn {

class AnchorTable {
public:
    explicit AnchorTable(std::uint64_t copy_limit) noexcept : budget_(copy_limit) {}

    // Stores a copy of `value` under `name`, replacing an earlier record.
    // Fails only when the copy would exceed the budget; (line, column) is
    // where the anchor was written.
    [[nodiscard]] std::optional<ParseError> record(std::string_view name, const Value& value,
                                                   std::uint64_t line, std::uint64_t column);

    // The recorded value, or null.
    const Value* lookup(std::string_view name) const;

    // A copy of the value recorded under `name`, or "unknown anchor: name",
    // or the budget's error, at (line, column).
    Result<Value> resolve(std::string_view name, std::uint64_t line, std::uint64_t column);

    // A counted copy of a value already looked up.
    Result<Value> copy(const Value& value, std::uint64_t line, std::uint64_t column) {
        return budget_.copy(value, line, column);
    }

private:
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const noexcept { return std::hash<std::string_view>{}(name); }
    };

    std::unordered_map<std::string, Value, NameHash, std::equal_to<>> values_;
    CopyBudget budget_;
};

}  // namespace vorn
