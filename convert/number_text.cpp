#include "convert/number_text.h"

#include <bit>
#include <cstring>

// How a double becomes text.
//
// Write |v| = m * 2^e (m < 2^53). The text depends on the 17 significant
// digits of the exact value, rounded half up: N = floor(|v| * 10^p + 1/2)
// with p = 16 - floor(log10 |v|), so that 10^16 <= N <= 10^17. N stands for
// the decimal N * 10^-p, which is then rounded to thousandths.
//
// Direct path, 2^-11 <= |v| < 2^39 (most numbers): |v| * 1000 = f / 2^sh
// exactly, f = m * 1000 < 2^63, and is rounded to thousandths at once. The
// 17-digit step moves |v| by at most half a step of its grid, below
// m * 10^-13 / 2 < 451 units of 2^-sh thousandths, and below 10^12 every
// half-thousandth lies on that grid. So the 17-digit step cannot change the
// result unless |v| lies less than 1024 units below a half-thousandth; only
// those few go on to the 128-bit path.
//
// 128-bit path, 1e-4 <= |v| < 1e17 (p in [0, 20], e in [-66, 4]): m * 10^p is
// below 2^53 * 10^20 < 2^120, so it is held exactly in an unsigned 128-bit
// integer, and N = (m * 10^p + 2^(-e-1)) >> -e is exact. floor(log10 |v|) is
// estimated from the binary exponent, one too low at worst, and corrected by
// checking the integer part of |v| * 10^p against 10^17, which is exact too
// (the first try may use p = 21: still below 2^123). Nothing is rounded by
// floating point.
//
// Below 1e-4 the 17-digit value is at most 10^-4, which rounds to zero
// thousandths. From 1e17 on (and for any double when called directly) the
// general path finds the first 18 significant digits with fixed-size
// bignums on the stack: the integer part in base-10^9 limbs, the binary
// fraction in 32-bit limbs, multiplied by 10^9 to yield nine digits at a
// time. The 18th digit alone decides the rounding half up.

namespace lorvex {
namespace {

__extension__ typedef unsigned __int128 u128;

// Powers of ten: 10^0 .. 10^19 fit 64 bits, 10^0 .. 10^21 are kept in 128.
template <typename T, std::size_t Size>
struct pow10_table {
  T v[Size];
  constexpr pow10_table() : v() {
    v[0] = 1;
    for (std::size_t i = 1; i < Size; ++i) v[i] = v[i - 1] * 10;
  }
  constexpr T operator[](int i) const { return v[i]; }
};
constexpr pow10_table<std::uint64_t, 20> pow10_u64;
constexpr pow10_table<u128, 22> pow10_u128;

constexpr std::uint64_t e17 = pow10_u64[17];

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

constexpr std::uint64_t mantissa_mask = (std::uint64_t{1} << 52) - 1;

// |v| = m * 2^e for a finite, nonzero double held as bits.
struct binary_double {
  std::uint64_t m;
  int e;
};

binary_double split(std::uint64_t bits) {
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  const std::uint64_t frac = bits & mantissa_mask;
  if (biased == 0) return {frac, -1074};
  return {frac | (std::uint64_t{1} << 52), biased - 1075};
}

int digit_count(std::uint64_t n) {
  if (n == 0) return 1;
  const int t = (static_cast<int>(std::bit_width(n)) * 1233) >> 12;  // about log10(n)
  return t + (n >= pow10_u64[t] ? 1 : 0);
}

char* write_u64(std::uint64_t n, char* out) {
  char* const end = out + digit_count(n);
  char* q = end;
  while (n >= 100) {
    const std::size_t r = static_cast<std::size_t>(n % 100);
    n /= 100;
    q -= 2;
    std::memcpy(q, digit_pairs + 2 * r, 2);
  }
  if (n >= 10) {
    std::memcpy(q - 2, digit_pairs + 2 * n, 2);
  } else {
    q[-1] = static_cast<char>('0' + n);
  }
  return end;
}

// (n + 10^s / 2) / 10^s for s in [1, 17]. Each case divides by a constant,
// which the compiler turns into a multiplication: a division by a variable
// costs more than all the rest of a number's text.
template <int S>
std::uint64_t round_off(std::uint64_t n) {
  return (n + 5 * pow10_u64[S - 1]) / pow10_u64[S];
}

std::uint64_t round_off_digits(std::uint64_t n, int s) {
  switch (s) {
    case 1:
      return round_off<1>(n);
    case 2:
      return round_off<2>(n);
    case 3:
      return round_off<3>(n);
    case 4:
      return round_off<4>(n);
    case 5:
      return round_off<5>(n);
    case 6:
      return round_off<6>(n);
    case 7:
      return round_off<7>(n);
    case 8:
      return round_off<8>(n);
    case 9:
      return round_off<9>(n);
    case 10:
      return round_off<10>(n);
    case 11:
      return round_off<11>(n);
    case 12:
      return round_off<12>(n);
    case 13:
      return round_off<13>(n);
    case 14:
      return round_off<14>(n);
    case 15:
      return round_off<15>(n);
    case 16:
      return round_off<16>(n);
    default:
      return round_off<17>(n);
  }
}

// Eight decimal digits of n < 10^8, one per byte (values 0 to 9), the
// first digit in the lowest byte: split into lanes of four, two and one
// digit by multiplications that stay within each lane.
inline std::uint64_t eight_digits(std::uint64_t n) {
  std::uint64_t x = (n / 10000) | ((n % 10000) << 32);
  const std::uint64_t hundreds = ((x * 10486) >> 20) & 0x0000007F0000007Fu;
  x = hundreds | ((x - hundreds * 100) << 16);
  const std::uint64_t tens = ((x * 103) >> 10) & 0x000F000F000F000Fu;
  return tens | ((x - tens * 10) << 8);
}

// ".000" to ".999".
constexpr struct decimals_table {
  char text[1000][4];
  constexpr decimals_table() : text() {
    for (int t = 0; t < 1000; ++t) {
      text[t][0] = '.';
      text[t][1] = static_cast<char>('0' + t / 100);
      text[t][2] = static_cast<char>('0' + t / 10 % 10);
      text[t][3] = static_cast<char>('0' + t % 10);
    }
  }
} decimals;

// Writes int_part and t thousandths (t < 1000). An integer part below 10^8
// is laid out in one word and its leading zeros shifted out, so that no
// branch depends on its number of digits; out needs room for 12 bytes.
char* write_fixed(bool negative, std::uint64_t int_part, std::size_t t, char* out) {
  out[0] = '-';
  out += negative ? 1 : 0;
  if (int_part < 100000000) {
    const std::uint64_t digits = eight_digits(int_part);
    // Leading zeros are the low zero bytes; the last digit stays.
    const int zeros = std::countr_zero(digits | (std::uint64_t{1} << 56)) >> 3;
    const std::uint64_t text = (digits | 0x3030303030303030u) >> (8 * zeros);
    std::memcpy(out, &text, 8);
    out += 8 - zeros;
  } else {
    out = write_u64(int_part, out);
  }
  std::memcpy(out, decimals.text[t], 4);
  return out + 4;
}

// Writes the text of the decimal N * 10^-p (10^16 <= N <= 10^17), rounded
// half up to thousandths.
char* write_rounded(bool negative, std::uint64_t n, int p, char* out) {
  if (p < 0) {  // an integer with -p zeros after the 17 digits
    if (negative) *out++ = '-';
    out = write_u64(n, out);
    std::memset(out, '0', static_cast<std::size_t>(-p));
    std::memcpy(out - p, ".000", 4);
    return out - p + 4;
  }
  if (p <= 3) {
    return write_fixed(negative, n / pow10_u64[p],
                       static_cast<std::size_t>((n % pow10_u64[p]) * pow10_u64[3 - p]), out);
  }
  const int s = p - 3;
  // For s >= 18, N < 5 * 10^(s-1): nothing reaches half a thousandth.
  const std::uint64_t m = s >= 18 ? 0 : round_off_digits(n, s);
  return write_fixed(negative, m / 1000, static_cast<std::size_t>(m % 1000), out);
}

char* write_zero(bool negative, char* out) {
  if (negative) *out++ = '-';
  std::memcpy(out, "0.000", 5);
  return out + 5;
}

// Handles zero and non-finite values; returns nullptr for any other.
char* write_edge_case(std::uint64_t bits, char* out) {
  const std::uint64_t magnitude = bits & ~(std::uint64_t{1} << 63);
  if (magnitude == 0) return write_zero(false, out);
  if ((magnitude >> 52) == 0x7ff) {
    const bool plus_inf = bits == (std::uint64_t{0x7ff} << 52);
    if (!plus_inf) *out++ = '-';
    std::memcpy(out, "1.#IO", 5);
    return out + 5;
  }
  return nullptr;
}

// Collects the first 18 significant digits of a value whose digits are fed
// from the most significant one on, and the power of ten of the first.
class leading_digits {
 public:
  explicit leading_digits(int first_position) : position_(first_position) {}

  void put(unsigned d) {
    if (count_ == 0) {
      if (d == 0) {
        --position_;
        return;
      }
      exponent_ = position_;
    }
    value_ = value_ * 10 + d;
    ++count_;
    --position_;
  }

  // Feeds the `width` digits of n (leading zeros included), stopping once
  // 18 are taken.
  void put_digits(std::uint32_t n, int width) {
    char tmp[10];
    for (int i = width - 1; i >= 0; --i) {
      tmp[i] = static_cast<char>(n % 10);
      n /= 10;
    }
    for (int i = 0; i < width && !full(); ++i) put(static_cast<unsigned>(tmp[i]));
  }

  bool full() const { return count_ == 18; }

  // The 18 digits as an integer, missing ones counted as 0.
  std::uint64_t value() const { return value_ * pow10_u64[18 - count_]; }
  int exponent() const { return exponent_; }

 private:
  std::uint64_t value_ = 0;
  int count_ = 0;
  int position_;  // power of ten of the next digit
  int exponent_ = 0;
};

constexpr std::uint32_t base_1e9 = 1000000000u;

// Leading digits of the integer m * 2^e, m > 0, e >= 0, fed to a fresh
// collector.
leading_digits integer_digits(std::uint64_t m, int e) {
  std::uint32_t limbs[40];  // 2^1024 < 10^315: 35 limbs of 9 digits suffice
  int count = 0;
  do {
    limbs[count++] = static_cast<std::uint32_t>(m % base_1e9);
    m /= base_1e9;
  } while (m != 0);
  while (e > 0) {
    const int shift = e < 29 ? e : 29;  // limb * 2^29 + carry fits 64 bits
    e -= shift;
    std::uint64_t carry = 0;
    for (int i = 0; i < count; ++i) {
      const std::uint64_t t = (std::uint64_t{limbs[i]} << shift) + carry;
      limbs[i] = static_cast<std::uint32_t>(t % base_1e9);
      carry = t / base_1e9;
    }
    if (carry != 0) limbs[count++] = static_cast<std::uint32_t>(carry);
  }
  const int top_width = digit_count(limbs[count - 1]);
  leading_digits digits(top_width - 1 + 9 * (count - 1));
  digits.put_digits(limbs[count - 1], top_width);
  for (int i = count - 2; i >= 0 && !digits.full(); --i) digits.put_digits(limbs[i], 9);
  return digits;
}

// Leading digits of the fraction f / 2^bits, 0 < bits <= 1074, fed after
// the integer part.
void fraction_digits(std::uint64_t f, int bits, leading_digits& digits) {
  // limbs[0] is the most significant: the fraction is
  // sum(limbs[i] * 2^(-32 * (i + 1))).
  std::uint32_t limbs[34];
  const int count = (bits + 31) / 32;
  std::memset(limbs, 0, sizeof limbs);
  const u128 scaled = u128{f} << (32 * count - bits);  // < 2^53 * 2^31
  for (int i = 0; i < 3 && count - 1 - i >= 0; ++i) {
    limbs[count - 1 - i] = static_cast<std::uint32_t>(scaled >> (32 * i));
  }
  int low = count - 1;  // lowest limb that may be nonzero
  while (!digits.full()) {
    while (low >= 0 && limbs[low] == 0) --low;
    if (low < 0) break;
    std::uint64_t carry = 0;
    for (int i = low; i >= 0; --i) {
      const std::uint64_t t = std::uint64_t{limbs[i]} * base_1e9 + carry;
      limbs[i] = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    digits.put_digits(static_cast<std::uint32_t>(carry), 9);
  }
}

// The 128-bit path and everything the direct path leaves: kept out of
// line, so that the direct path needs no stack frame.
[[gnu::noinline]] char* format_number_wide(double v, char* out) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  const bool negative = (bits >> 63) != 0;
  const double x = negative ? -v : v;
  if (!(x >= 1e-4 && x < 1e17)) {
    if (char* end = write_edge_case(bits, out)) return end;
    if (x < 1e-4) return write_zero(negative, out);
    return format_number_exact(v, out);
  }
  const binary_double b = split(bits);
  // floor(log10 x) is k or k + 1 for this k = floor((E - 1023) * log10 2);
  // the estimate is exact over this path's range of binary exponents.
  const int k = ((b.e + 52) * 78913) >> 18;
  int p = 16 - k;  // in [0, 21]
  u128 t = u128{b.m} * pow10_u128[p];
  const u128 int_part = b.e >= 0 ? t << b.e : t >> -b.e;
  if (int_part >= e17) {
    --p;
    t = u128{b.m} * pow10_u128[p];
  }
  const std::uint64_t n = b.e >= 0 ? static_cast<std::uint64_t>(t << b.e)
                                   : static_cast<std::uint64_t>((t + (u128{1} << (-b.e - 1))) >> -b.e);
  return write_rounded(negative, n, p, out);
}

}  // namespace

char* format_number(double v, char* out) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  const std::uint64_t magnitude = bits & ~(std::uint64_t{1} << 63);
  // 2^-11 <= x < 2^39, by the bits: exponent field 1012 to 1061.
  if (magnitude - (std::uint64_t{1012} << 52) < (std::uint64_t{1062 - 1012} << 52)) {
    const binary_double b = split(bits);
    const int sh = -b.e;  // in [14, 63]
    // The integer part comes straight from the bits; only the fraction is
    // scaled to thousandths (below 2^53 * 1000 < 2^63).
    const std::uint64_t mask = (std::uint64_t{1} << sh) - 1;
    const std::uint64_t f = (b.m & mask) * 1000;
    const std::uint64_t r = f & mask;
    const std::uint64_t half = std::uint64_t{1} << (sh - 1);
    if (half - r > 1024) {  // wraps to large when r >= half
      const std::uint64_t t = (f >> sh) + (r >= half ? 1 : 0);
      const std::uint64_t carry = t == 1000 ? 1 : 0;
      return write_fixed(magnitude != bits, (b.m >> sh) + carry, static_cast<std::size_t>(t - 1000 * carry),
                         out);
    }
  }
  return format_number_wide(v, out);
}

char* format_number_exact(double v, char* out) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  if (char* end = write_edge_case(bits, out)) return end;
  const bool negative = (bits >> 63) != 0;
  const binary_double b = split(bits);
  std::uint64_t lead;
  int exponent;
  if (b.e >= 0) {
    const leading_digits digits = integer_digits(b.m, b.e);
    lead = digits.value();
    exponent = digits.exponent();
  } else {
    const int bits_after_point = -b.e;
    const std::uint64_t int_part = bits_after_point >= 64 ? 0 : b.m >> bits_after_point;
    const std::uint64_t frac =
        bits_after_point >= 64 ? b.m : b.m & ((std::uint64_t{1} << bits_after_point) - 1);
    leading_digits digits(int_part == 0 ? -1 : digit_count(int_part) - 1);
    if (int_part != 0) {
      // int_part < 2^53 < 10^18: two 9-digit halves.
      const std::uint32_t hi = static_cast<std::uint32_t>(int_part / base_1e9);
      const std::uint32_t lo = static_cast<std::uint32_t>(int_part % base_1e9);
      if (hi != 0) {
        digits.put_digits(hi, digit_count(hi));
        digits.put_digits(lo, 9);
      } else {
        digits.put_digits(lo, digit_count(lo));
      }
    }
    if (frac != 0 && !digits.full()) fraction_digits(frac, bits_after_point, digits);
    lead = digits.value();
    exponent = digits.exponent();
  }
  // lead < 10^18 holds 18 digits; the 18th decides.
  return write_rounded(negative, (lead + 5) / 10, 16 - exponent, out);
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
