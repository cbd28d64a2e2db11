#include "anchors.hpp"

#include "parse_messages.hpp"

namespace vorn {

std::optional<ParseError> AnchorTable::record(std::string_view name, const Value& value,
                                              std::uint64_t line, std::uint64_t column) {
    Result<Value> copied = budget_.copy(value, line, column);
    if (!copied) return std::move(copied).error();
    if (auto found = values_.find(name); found != values_.end()) {
        found->second = std::move(copied).value();
    } else {
        values_.emplace(std::string(name), std::move(copied).value());
    }
    return std::nullopt;
}

const Value* AnchorTable::lookup(std::string_view name) const {
    auto found = values_.find(name);
    return found == values_.end() ? nullptr : &found->second;
}

Result<Value> AnchorTable::resolve(std::string_view name, std::uint64_t line, std::uint64_t column) {
    const Value* stored = lookup(name);
    if (stored == nullptr) return ParseError{unknown_anchor(name), line, column};
    return budget_.copy(*stored, line, column);
}

}  // namespace vorn
