#include "scan/line_scan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace lorvex {
namespace {

using opt = std::optional<std::int32_t>;
constexpr std::nullopt_t kept = std::nullopt;

// What an earlier scan left, so that a field this scan skips shows.
scanned_line earlier_scan() {
  scanned_line s;
  std::strcpy(s.id_digits, "777");
  s.clock_khz = 0x1111;
  s.count = 0x2222;
  s.ticks = 0x3333;
  s.values_offset = 999;
  s.has_value_list = true;
  return s;
}

std::vector<std::int32_t> value_list(const std::string& line, std::int32_t offset) {
  std::int32_t values[max_list_values];
  const int count = scan_value_list(line.c_str(), offset, values, max_list_values);
  return std::vector<std::int32_t>(values, values + count);
}

struct scan_case {
  std::string line;
  std::int32_t fields;
  char kind;
  const char* id;  // nullptr: kept
  opt clock, count, ticks, offset;
  std::vector<std::int32_t> values;  // checked when the line has a value list
};

TEST(LineScan, GrammarTable) {
  const scan_case cases[] = {
      {"*000000000042,3E8,A,64,10 20\n", 5, '*', "000000000042", 1000, 10, 100, 23, {16, 32}},
      {"* 42 : 3e8 : 0a : 2710 : 1 2 3\n", 5, '*', "42", 1000, 10, 10000, 25, {1, 2, 3}},
      {"\t*\t7\t,\t3e8\t,\ta\t,\t64\t,\t10\t20\n", 5, '*', "7", 1000, 10, 100, 22, {16, 32}},
      {"*42 , 0x3E8 , 0XA , 064 , 10 20\n", 5, '*', "42", 1000, 10, 100, 26, {16, 32}},
      {"*42;-1;+2;0x10;7 8\n", 5, '*', "42", -1, 2, 16, 15, {7, 8}},
      {"*42,3E8,A,64,-10 +20 0x30\n", 5, '*', "42", 1000, 10, 100, 13, {-16, 32, 48}},
      {"*42,3E8,A,64,FFFFFFFF 123456789 80000000\n",
       5,
       '*',
       "42",
       1000,
       10,
       100,
       13,
       {-1, 591751049, INT32_MIN}},
      {"*42,3E8,A,64,10 20", 5, '*', "42", 1000, 10, 100, 13, {16, 32}},
      {"*12,3E8,A,2710,1,2,3\n", 5, '*', "12", 1000, 10, 10000, 15, {1}},
      {"*12,3E8,A,2710,10 0x 20\n", 5, '*', "12", 1000, 10, 10000, 15, {16}},
      {"*12,1,2,3,\n", 5, '*', "12", 1, 2, 3, 11, {}},
      {"*12,1,2,3\n", 5, '*', "12", 1, 2, 3, kept, {}},
      {"*12 1 2 3 4\n", 4, '*', "12", 2, 4, kept, kept, {}},
      {"*1234567890123,1F4,A,3E8,1 2\n", 2, '*', "123456789012", kept, kept, kept, kept, {}},
      {"*12345678901234,1F4,A,3E8,1 2\n", 5, '*', "123456789012", 4, 500, 10, 22, {1000}},
      {"*12,0x,A,64,1\n", 2, '*', "12", kept, kept, kept, kept, {}},
      {"*,1,2,3,4\n", 1, '*', nullptr, kept, kept, kept, kept, {}},
      {"*\n", 1, '*', nullptr, kept, kept, kept, kept, {}},
      {"**42\n", 1, '*', nullptr, kept, kept, kept, kept, {}},
      {"# logger 7 started\n", 1, '#', nullptr, kept, kept, kept, kept, {}},
      {"  # 12 comment\n", 2, '#', "12", kept, kept, kept, kept, {}},
      {"end\n", 1, 'e', nullptr, kept, kept, kept, kept, {}},
      {"\n", -1, 0, nullptr, kept, kept, kept, kept, {}},
      {"   \t\r\n", -1, 0, nullptr, kept, kept, kept, kept, {}},
      // Vertical tab and form feed are white space; 0xA0 is not.
      {"\v\f*5,1,2,3,4\n", 5, '*', "5", 1, 2, 3, 11, {4}},
      {"\xA0*5,1,2,3,4\n", 1, '\xA0', nullptr, kept, kept, kept, kept, {}},
      // A separator is any non-white character, a letter or digit too.
      {"*5x1y2z3w4\n", 5, '*', "5", 1, 2, 3, 9, {4}},
      // More than eight digits keep the low 32 bits; a sign applies after them.
      {"*5,123456789ABCDEF01,-80000000,7FFFFFFF,-FFFFFFFF\n",
       5,
       '*',
       "5",
       static_cast<std::int32_t>(0xABCDEF01),
       INT32_MIN,
       INT32_MAX,
       40,
       {1}},
      // A prefix followed by a sign, or a sign followed by white space, is no number.
      {"*5,0x-1,2,3,4\n", 2, '*', "5", kept, kept, kept, kept, {}},
      {"*5,1,2,3,- 4\n", 5, '*', "5", 1, 2, 3, 9, {}},
  };
  for (const scan_case& c : cases) {
    const std::string label = test::visible(c.line);
    scanned_line s = earlier_scan();
    s.kind = 0;
    scan_line(c.line.c_str(), s);
    EXPECT_EQ(s.fields_converted, c.fields) << label;
    EXPECT_EQ(s.kind, c.kind) << label;
    EXPECT_STREQ(s.id_digits, c.id != nullptr ? c.id : "777") << label;
    EXPECT_EQ(s.clock_khz, c.clock.value_or(0x1111)) << label;
    EXPECT_EQ(s.count, c.count.value_or(0x2222)) << label;
    EXPECT_EQ(s.ticks, c.ticks.value_or(0x3333)) << label;
    EXPECT_EQ(s.values_offset, c.offset.value_or(999)) << label;
    EXPECT_EQ(s.has_value_list, c.offset.has_value()) << label;
    if (c.offset) {
      EXPECT_EQ(value_list(c.line, *c.offset), c.values) << label;
    }
  }
}

TEST(LineScan, ZeroByteHidesTheRestOfTheLine) {
  const char line[] = "*42,3E8,A,64,10\0 20\n";
  scanned_line s;
  scan_line(line, s);
  EXPECT_EQ(s.fields_converted, 5);
  EXPECT_EQ(s.values_offset, 13);
  EXPECT_EQ(value_list(line, s.values_offset), std::vector<std::int32_t>{16});
}

// The value-list rule written out plainly, one character at a time.
std::vector<std::int32_t> plain_value_list(const std::string& text) {
  const auto white = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  const std::string t = text.substr(0, text.find('\0'));
  std::vector<std::int32_t> values;
  std::size_t i = 0;
  for (;;) {
    while (i < t.size() && white(t[i])) ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) i += 2;
    if (i >= t.size() || digit(t[i]) < 0) return values;
    std::uint32_t v = 0;
    for (; i < t.size() && digit(t[i]) >= 0; ++i) v = v * 16u + static_cast<std::uint32_t>(digit(t[i]));
    values.push_back(static_cast<std::int32_t>(negative ? 0u - v : v));
  }
}

// Lists of every shape: digit runs of 1 to 20 characters (so across the
// 8-digit word and the 64-byte blocks), every kind of white space, and now
// and then a byte that is neither (a sign, a prefix, a letter past F, a
// byte of 0x80 or more) somewhere in the list. Lengths up to a full line.
TEST(LineScan, ValueListAgreesWithThePlainRule) {
  std::mt19937 rng(20261211);
  const std::string digits = "0123456789abcdefABCDEF";
  const std::string whites = " \t\n\v\f\r";
  const std::string others = "+-xXgG,;\x80\xff";
  for (int round = 0; round < 20000; ++round) {
    const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 1199)(rng);
    const int max_run = round % 3 == 0 ? 20 : 6;
    const bool with_others = round % 4 == 0;
    std::string list;
    while (list.size() < length) {
      const int run = std::uniform_int_distribution<int>(1, max_run)(rng);
      for (int k = 0; k < run; ++k) list += digits[rng() % digits.size()];
      const int gap = std::uniform_int_distribution<int>(1, round % 5 == 0 ? 3 : 1)(rng);
      for (int k = 0; k < gap; ++k) list += round % 2 == 0 ? ' ' : whites[rng() % whites.size()];
      if (with_others && rng() % 16 == 0) list += others[rng() % others.size()];
    }
    list.resize(length);
    const std::string line = "*1,1,1,1," + list;
    ASSERT_EQ(value_list(line, 9), plain_value_list(list)) << test::visible(list);
  }
}

TEST(LineScan, ValueListStopsAtItsRoom) {
  std::string line = "*1,1,1,1,";
  for (int i = 0; i < 500; ++i) line += "1 ";
  std::int32_t values[max_list_values];
  EXPECT_EQ(scan_value_list(line.c_str(), 9, values, 7), 7);
  EXPECT_EQ(scan_value_list(line.c_str(), 9, values, max_list_values), 500);
}

}  // namespace
}  // namespace lorvex
