#include "convert/number_text.h"

#include <cstdio>

namespace lorvex {

// Placeholder: not exact. Replaced by the real formatter.
char* format_number(double v, char* out) { return format_number_exact(v, out); }

char* format_number_exact(double v, char* out) {
  int n = std::snprintf(out, number_text_max, "%.3f", v);
  return out + n;
}

char* format_int(std::int32_t n, char* out) {
  std::uint32_t u = static_cast<std::uint32_t>(n);
  if (n < 0) {
    *out++ = '-';
    u = 0u - u;
  }
  char tmp[10];
  int len = 0;
  do {
    tmp[len++] = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  while (len > 0) *out++ = tmp[--len];
  return out;
}

}  // namespace lorvex
