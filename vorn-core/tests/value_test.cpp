#include <gtest/gtest.h>
#include "vorn/value.hpp"
TEST(Value, placeholder) { EXPECT_TRUE(vorn::Value().is_scalar()); }
