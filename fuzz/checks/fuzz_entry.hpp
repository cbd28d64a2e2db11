// The body shared by every libFuzzer target: run one check and turn a
// failure into a crash that libFuzzer records with the input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "property_checks.hpp"

namespace vorn::fuzz {

inline int run_check(CheckFailure (*check)(std::string_view), const std::uint8_t* data, std::size_t size) {
    const CheckFailure failure = check(std::string_view(reinterpret_cast<const char*>(data), size));
    if (failure) {
        std::fprintf(stderr, "property violated: %s\n", failure->c_str());
        std::abort();
    }
    return 0;
}

}  // namespace vorn::fuzz
