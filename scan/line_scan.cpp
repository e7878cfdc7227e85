#include "scan/line_scan.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {

// The value list in its common shape, hexadecimal digits and white space,
// is read without a branch per character: the varying digit counts of a
// real list would make such a branch miss at nearly every value. Each
// 64-byte block of the list text is classified at once into a mask of
// digit bytes and a mask of white-space bytes. Up to the first byte that is
// neither, every run of digits followed by white space is a value exactly
// as the stepwise scan reads it, and its low 32 bits are its last eight
// digits. The stepwise scan goes on from there.
constexpr std::size_t block_size = 64;
constexpr std::size_t max_blocks = 20;  // more than a 1199-character line needs

struct block_masks {
  std::uint64_t digit;
  std::uint64_t white;
};

#if defined(__SSE2__)
block_masks classify(const char* p) {
  std::uint64_t digit = 0;
  std::uint64_t white = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i x = _mm_load_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    // Unsigned range tests: c - lo <= n - 1 as min(c - lo, n - 1) == c - lo.
    const auto in_range = [](__m128i c, char lo, char n) {
      const __m128i d = _mm_sub_epi8(c, _mm_set1_epi8(lo));
      return _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(static_cast<char>(n - 1))), d);
    };
    const __m128i is_digit =
        _mm_or_si128(in_range(x, '0', 10), in_range(_mm_or_si128(x, _mm_set1_epi8(0x20)), 'a', 6));
    const __m128i is_white = _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(' ')), in_range(x, '\t', 5));
    const auto bits = [](__m128i m) {
      return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(m)));
    };
    digit |= bits(is_digit) << (16 * i);
    white |= bits(is_white) << (16 * i);
  }
  return {digit, white};
}
#else
block_masks classify(const char* p) {
  std::uint64_t digit = 0;
  std::uint64_t white = 0;
  for (std::size_t i = 0; i < block_size; ++i) {
    digit |= std::uint64_t{hex_digit(p[i]) >= 0} << i;
    white |= std::uint64_t{is_white(p[i])} << i;
  }
  return {digit, white};
}
#endif

// The low 32 bits of the len hexadecimal digits that end just before end
// (8 bytes before end readable): its last eight digits.
inline std::uint32_t last_hex_digits(const char* end, std::size_t len) {
  std::uint64_t x;
  std::memcpy(&x, end - 8, 8);  // the last digit in the top byte
  // '0'-'9' keep their low nibble; 'A'-'F' and 'a'-'f' (bit 6 set) add 9.
  x = (x & 0x0F0F0F0F0F0F0F0Fu) + ((x >> 6) & 0x0101010101010101u) * 9;
  if (len < 8) x &= ~std::uint64_t{0} << (8 * (8 - len));
  x = __builtin_bswap64(x);  // the last digit in the lowest byte
  x = (x | (x >> 4)) & 0x00FF00FF00FF00FFu;
  x = (x | (x >> 8)) & 0x0000FFFF0000FFFFu;
  return static_cast<std::uint32_t>(x | (x >> 16));
}

// The stepwise scan: a number and the white space after it, until a step
// finds no number.
int scan_values_stepwise(const char* p, std::int32_t* values, int count, int max_values) {
  while (count < max_values && (p = hex_number(p, &values[count])) != nullptr) {
    p = skip_white(p);
    ++count;
  }
  return count;
}

}  // namespace

int scan_value_list(const char* line, std::int32_t offset, std::int32_t* values, int max_values) {
  const char* const list = line + offset;
  const std::size_t n = std::strlen(list);
  const std::size_t blocks = n / block_size + 1;  // the zero byte included
  if (blocks > max_blocks) return scan_values_stepwise(list, values, 0, max_values);

  // The text after a block of zero bytes (room for last_hex_digits), and
  // zero bytes up to the end of its last block.
  alignas(16) char buffer[(max_blocks + 1) * block_size];
  char* const text = buffer + block_size;
  std::memset(buffer, 0, block_size);
  std::memcpy(text, list, n);
  std::memset(text + n, 0, blocks * block_size - n);

  // Digit and white-space masks up to the first other byte (there is one:
  // the zero byte), then where digit runs start and where they end with
  // white space after them.
  std::uint64_t digit[max_blocks + 1];
  std::uint64_t white[max_blocks + 1];
  std::size_t used = 0;
  for (;;) {
    const block_masks m = classify(text + used * block_size);
    const std::uint64_t other = ~(m.digit | m.white);
    const std::uint64_t before_other = (other & (0 - other)) - 1;  // all bits when other == 0
    digit[used] = m.digit & before_other;
    white[used] = m.white & before_other;
    ++used;
    if (other != 0) break;
  }
  white[used] = 0;
  std::uint64_t starts[max_blocks];
  std::uint64_t ends[max_blocks];
  std::uint64_t previous_digit = 0;
  for (std::size_t b = 0; b < used; ++b) {
    starts[b] = digit[b] & ~((digit[b] << 1) | previous_digit);
    ends[b] = digit[b] & ((white[b] >> 1) | (white[b + 1] << 63));
    previous_digit = digit[b] >> 63;
  }

  // The k-th end closes the run of the k-th start.
  int count = 0;
  std::size_t resume = 0;
  std::size_t sb = 0;
  std::size_t eb = 0;
  std::uint64_t s = starts[0];
  std::uint64_t e = ends[0];
  while (count < max_values) {
    while (e == 0 && ++eb < used) e = ends[eb];
    if (e == 0) break;
    while (s == 0) s = starts[++sb];
    const std::size_t first = sb * block_size + static_cast<std::size_t>(std::countr_zero(s));
    const std::size_t last = eb * block_size + static_cast<std::size_t>(std::countr_zero(e));
    s &= s - 1;
    e &= e - 1;
    values[count++] = static_cast<std::int32_t>(last_hex_digits(text + last + 1, last + 1 - first));
    resume = last + 1;
  }
  return scan_values_stepwise(list + resume, values, count, max_values);
}

}  // namespace lorvex
