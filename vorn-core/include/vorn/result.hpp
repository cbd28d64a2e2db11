// A value or the ParseError that prevented it; the reading side returns
// failures as values and never throws them.
#pragma once

#include <utility>
#include <variant>

#include "vorn/parse_error.hpp"

namespace vorn {

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : data_(std::in_place_index<0>, std::move(value)) {}
    Result(ParseError error) : data_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const noexcept { return data_.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }

    T& value() & { return std::get<0>(data_); }
    const T& value() const& { return std::get<0>(data_); }
    T&& value() && { return std::get<0>(std::move(data_)); }
    ParseError& error() & { return std::get<1>(data_); }
    const ParseError& error() const& { return std::get<1>(data_); }
    ParseError&& error() && { return std::get<1>(std::move(data_)); }

private:
    std::variant<T, ParseError> data_;
};

}  // namespace vorn
