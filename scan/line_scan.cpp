#include "scan/line_scan.h"

#include <cstring>

namespace lorvex {
namespace {

// White space is the six ASCII bytes only, whatever the locale.
inline bool is_white(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The value of each byte as a hexadecimal digit, or -1.
constexpr struct hex_table {
  signed char value[256];
  constexpr hex_table() : value() {
    for (int c = 0; c < 256; ++c) value[c] = -1;
    for (int c = '0'; c <= '9'; ++c) value[c] = static_cast<signed char>(c - '0');
    for (int c = 'a'; c <= 'f'; ++c) value[c] = static_cast<signed char>(c - 'a' + 10);
    for (int c = 'A'; c <= 'F'; ++c) value[c] = static_cast<signed char>(c - 'A' + 10);
  }
} hex_digits;

inline int hex_digit(char c) { return hex_digits.value[static_cast<unsigned char>(c)]; }

inline const char* skip_white(const char* p) {
  while (is_white(*p)) ++p;
  return p;
}

inline const char* hex_number(const char* p, std::int32_t* value) {
  p = skip_white(p);
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
  int d = hex_digit(*p);
  if (d < 0) return nullptr;
  std::uint32_t v = 0;
  do {
    v = v * 16u + static_cast<std::uint32_t>(d);
    d = hex_digit(*++p);
  } while (d >= 0);
  if (negative) v = 0u - v;
  *value = static_cast<std::int32_t>(v);
  return p;
}

}  // namespace

void scan_line(const char* line, scanned_line& s) {
  s.has_value_list = false;
  const char* p = skip_white(line);
  if (*p == '\0') {
    s.fields_converted = -1;
    return;
  }
  s.kind = *p++;
  s.fields_converted = 1;

  p = skip_white(p);
  int n = 0;
  while (n < 12 && is_digit(p[n])) ++n;
  if (n == 0) return;
  std::memcpy(s.id_digits, p, static_cast<std::size_t>(n));
  s.id_digits[n] = '\0';
  p += n;
  s.fields_converted = 2;

  std::int32_t* const fields[3] = {&s.clock_khz, &s.count, &s.ticks};
  for (std::int32_t* field : fields) {
    p = skip_white(p);
    if (*p == '\0') return;
    p = hex_number(p + 1, field);  // past the separator
    if (p == nullptr) return;
    ++s.fields_converted;
  }

  p = skip_white(p);
  if (*p == '\0') return;
  p = skip_white(p + 1);
  s.values_offset = static_cast<std::int32_t>(p - line);
  s.has_value_list = true;
}

int scan_value_list(const char* line, std::int32_t offset, std::int32_t* values, int max_values) {
  const char* p = line + offset;
  int count = 0;
  while (count < max_values && (p = hex_number(p, &values[count])) != nullptr) {
    p = skip_white(p);
    ++count;
  }
  return count;
}

}  // namespace lorvex
