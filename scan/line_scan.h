#pragma once
// The line grammar of the timing file.
//
// A line is taken apart as "%1s %12[0-9] %*c %x %*c %x %*c %x %*c %n":
// the kind character, 1 to 12 decimal id digits, then three hexadecimal
// header fields each after a one-character separator, a fourth separator,
// and the offset of the value list. Only the line text counts: the buffer
// up to its first zero byte.
#include <cstdint>

namespace lorvex {

struct scanned_line {
  char kind = 0;  // first non-white character; 0 for a blank line
  char id_digits[100] = {};
  std::int32_t clock_khz = 0;
  std::int32_t count = 0;
  std::int32_t ticks = 0;
  std::int32_t values_offset = 0;
  // -1 for a blank line, else how many of kind, id_digits, clock_khz,
  // count and ticks this scan assigned (in that order).
  std::int32_t fields_converted = -1;
  // This scan found the fourth separator and set values_offset.
  bool has_value_list = false;
};

// Scans line into s. Assigns only the fields the grammar reaches; the
// others keep what an earlier scan left. The caller clears kind first.
void scan_line(const char* line, scanned_line& s);

// The value-list scan from offset: step by step, a hexadecimal number and
// the white space after it, until a step finds no number. Stores up to
// max_values values and returns how many it stored. Every value takes at
// least two characters of a line but the first, so a line of at most 1199
// characters holds at most max_list_values.
//
// Hexadecimal numbers, here and in the header fields: white space, an
// optional sign, an optional 0x prefix, then at least one digit; the low 32
// bits are kept and a "-" applies after the digits.
inline constexpr int max_list_values = 600;
int scan_value_list(const char* line, std::int32_t offset, std::int32_t* values, int max_values);

}  // namespace lorvex
