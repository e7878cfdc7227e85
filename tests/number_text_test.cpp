#include "convert/number_text.h"

#include <gtest/gtest.h>

#include <string>

namespace lorvex {
namespace {

std::string text_of(double v) {
  char buf[number_text_max];
  return std::string(buf, format_number(v, buf));
}

TEST(NumberText, Placeholder) { EXPECT_EQ(text_of(1.5), "1.500"); }

}  // namespace
}  // namespace lorvex
