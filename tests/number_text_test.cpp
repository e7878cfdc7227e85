#include "convert/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace lorvex {
namespace {

std::string text_of(double v) {
  char buf[number_text_max];
  char* end = format_number(v, buf);
  EXPECT_LE(end - buf, static_cast<std::ptrdiff_t>(number_text_max));
  return std::string(buf, end);
}

std::string exact_text_of(double v) {
  char buf[number_text_max];
  char* end = format_number_exact(v, buf);
  EXPECT_LE(end - buf, static_cast<std::ptrdiff_t>(number_text_max));
  return std::string(buf, end);
}

// ---- Slow reference: exact decimal expansion, then rounding on the digits.

// A nonnegative integer in base-10^9 limbs, least significant first.
class big_decimal {
 public:
  explicit big_decimal(std::uint64_t n) {
    do {
      limbs_.push_back(static_cast<std::uint32_t>(n % 1000000000u));
      n /= 1000000000u;
    } while (n != 0);
  }

  void multiply(std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : limbs_) {
      const std::uint64_t t = std::uint64_t{limb} * factor + carry;
      limb = static_cast<std::uint32_t>(t % 1000000000u);
      carry = t / 1000000000u;
    }
    while (carry != 0) {
      limbs_.push_back(static_cast<std::uint32_t>(carry % 1000000000u));
      carry /= 1000000000u;
    }
  }

  std::string digits() const {
    std::string s = std::to_string(limbs_.back());
    for (std::size_t i = limbs_.size() - 1; i-- > 0;) {
      const std::string part = std::to_string(limbs_[i]);
      s += std::string(9 - part.size(), '0') + part;
    }
    return s;
  }

 private:
  std::vector<std::uint32_t> limbs_;
};

// Adds one unit at digits[i], carrying to the left; a carry out of the
// first digit adds a new leading "1" and lengthens the integer part.
void increment_at(std::string& digits, std::size_t i, std::size_t& int_len) {
  while (true) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
    if (i == 0) {
      digits.insert(digits.begin(), '1');
      ++int_len;
      return;
    }
    --i;
  }
}

std::string reference_text(double v) {
  if (std::isnan(v)) return "-1.#IO";
  if (std::isinf(v)) return v > 0 ? "1.#IO" : "-1.#IO";
  if (v == 0) return "0.000";

  // |v| = m * 2^e exactly.
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  int e = -1074;
  if (biased != 0) {
    m |= std::uint64_t{1} << 52;
    e = biased - 1075;
  }

  // The exact expansion: m * 2^e, or m * 5^-e with the point -e digits from
  // the right.
  big_decimal big(m);
  std::size_t frac_len = 0;
  if (e >= 0) {
    int twos = e;
    for (; twos >= 31; twos -= 31) big.multiply(std::uint32_t{1} << 31);
    for (; twos > 0; --twos) big.multiply(2);
  } else {
    frac_len = static_cast<std::size_t>(-e);
    int fives = -e;
    for (; fives >= 13; fives -= 13) big.multiply(1220703125);  // 5^13
    for (; fives > 0; --fives) big.multiply(5);
  }
  std::string digits = big.digits();
  if (digits.size() <= frac_len) digits.insert(0, frac_len + 1 - digits.size(), '0');
  std::size_t int_len = digits.size() - frac_len;

  // Round to 17 significant digits: the 18th decides; integer digits past
  // the 17th become 0, fraction digits past it are dropped.
  const std::size_t first = digits.find_first_not_of('0');
  const std::size_t last = first + 16;
  if (last + 1 < digits.size()) {
    const char decider = digits[last + 1];
    for (std::size_t j = last + 1; j < int_len; ++j) digits[j] = '0';
    digits.resize(std::max(int_len, last + 1));
    if (decider >= '5') increment_at(digits, last, int_len);
  }

  // Round that to three decimals: the fourth decides.
  if (digits.size() < int_len + 4) digits.resize(int_len + 4, '0');
  const char decider = digits[int_len + 3];
  digits.resize(int_len + 3);
  if (decider >= '5') increment_at(digits, int_len + 2, int_len);

  std::string integer = digits.substr(0, int_len);
  integer.erase(0, std::min(integer.find_first_not_of('0'), integer.size()));
  if (integer.empty()) integer = "0";
  return (v < 0 ? "-" : "") + integer + "." + digits.substr(int_len, 3);
}

// Compares both formatters with the reference; reports the first few
// mismatches of a run.
class agreement {
 public:
  void check(double v) {
    ++checked_;
    const std::string want = reference_text(v);
    const std::string fast = text_of(v);
    const std::string exact = exact_text_of(v);
    if (fast == want && exact == want) return;
    if (++failures_ <= 20) {
      char hex[64];
      std::snprintf(hex, sizeof hex, "%a", v);
      ADD_FAILURE() << hex << ": reference \"" << want << "\", format_number \"" << fast
                    << "\", format_number_exact \"" << exact << "\"";
    }
  }

  // v and its neighbours up to two steps each way.
  void check_around(double v) {
    double below = v;
    double above = v;
    check(v);
    for (int i = 0; i < 2; ++i) {
      below = std::nextafter(below, -std::numeric_limits<double>::infinity());
      above = std::nextafter(above, std::numeric_limits<double>::infinity());
      check(below);
      check(above);
    }
  }

  ~agreement() { EXPECT_EQ(failures_, 0) << "mismatches out of " << checked_ << " values"; }

 private:
  long checked_ = 0;
  long failures_ = 0;
};

double parse(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

TEST(NumberText, FormatsKnownValues) {
  const std::string dbl_max = "17976931348623157" + std::string(292, '0') + ".000";
  const double tiny = std::numeric_limits<double>::denorm_min();
  const struct {
    double v;
    std::string text;
  } cases[] = {
      {1 * 16 / 256.0, "0.063"},  // a half thousandth, rounded up
      {23.0 / 2000, "0.012"},
      {2001.0 / 2000, "1.000"},
      {1.0 / 2000, "0.001"},
      {49.0 / 100000, "0.000"},
      {-16.0 / 100000, "-0.000"},
      {0 * 16.0 / -2000, "0.000"},
      {-0.0, "0.000"},
      {0.0, "0.000"},
      {99996.0 / 10000, "10.000"},
      {123456789012345.671875, "123456789012345.670"},
      {4611686018427387904.0, "4611686018427387900.000"},
      {100.0, "100.000"},
      {0.1, "0.100"},
      {0.256, "0.256"},
      {32.0, "32.000"},
      {0.008, "0.008"},
      {-0.128, "-0.128"},
      {DBL_MAX, dbl_max},
      {-DBL_MAX, "-" + dbl_max},
      {tiny, "0.000"},
      {-tiny, "-0.000"},
      {1e17, "100000000000000000.000"},
      {99999999999999984.0, "99999999999999984.000"},  // largest double below 1e17
      {0.0005, "0.001"},
      {-0.0004999, "-0.000"},
      {std::numeric_limits<double>::infinity(), "1.#IO"},
      {-std::numeric_limits<double>::infinity(), "-1.#IO"},
      {std::numeric_limits<double>::quiet_NaN(), "-1.#IO"},
      {-std::numeric_limits<double>::quiet_NaN(), "-1.#IO"},
  };
  for (const auto& c : cases) {
    char hex[64];
    std::snprintf(hex, sizeof hex, "%a", c.v);
    EXPECT_EQ(text_of(c.v), c.text) << hex;
    EXPECT_EQ(exact_text_of(c.v), c.text) << hex;
    EXPECT_EQ(reference_text(c.v), c.text) << hex;
  }
}

TEST(NumberText, AgreesWithReferenceOnRandomBitPatterns) {
  std::mt19937_64 rng(20240611);
  agreement agreement;
  // Any exponent, subnormals and non-finite values included.
  for (int i = 0; i < 20000; ++i) agreement.check(std::bit_cast<double>(rng()));
  for (int i = 0; i < 2000; ++i) {
    agreement.check(std::bit_cast<double>(rng() & ((std::uint64_t{1} << 52) - 1)));
  }
  // Biased exponents around the fast path, 2^-20 .. 2^63.
  std::uniform_int_distribution<std::uint64_t> biased(1023 - 20, 1023 + 63);
  for (int i = 0; i < 150000; ++i) {
    const std::uint64_t bits = (rng() & 0x800fffffffffffffull) | (biased(rng) << 52);
    agreement.check(std::bit_cast<double>(bits));
  }
}

TEST(NumberText, AgreesWithReferenceOnQuotients) {
  std::mt19937_64 rng(7);
  agreement agreement;
  const double clocks[] = {1000, 2000, 500, 10000, 1, 3, 7, 1024, 32768, 48000, 1e6, 12e6};
  std::uniform_int_distribution<std::int32_t> value(std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max());
  std::uniform_int_distribution<std::int64_t> ticks(0, std::int64_t{1} << 53);
  std::uniform_int_distribution<std::int32_t> small(0, 1000000);
  for (int i = 0; i < 6000; ++i) {
    for (const double clock : clocks) {
      agreement.check(value(rng) * 16.0 / clock);
      agreement.check(static_cast<double>(ticks(rng)) / clock);
    }
    agreement.check(static_cast<double>(small(rng)) / (small(rng) + 1));
  }
}

TEST(NumberText, AgreesWithReferenceNearHalfThousandths) {
  std::mt19937_64 rng(11);
  agreement agreement;
  std::uniform_int_distribution<int> magnitude(0, 15);
  std::uniform_int_distribution<int> thousandths(0, 999);
  for (int i = 0; i < 12000; ++i) {
    const std::uint64_t n = rng() % (std::uint64_t{1} << 62) >> (62 - 3 * magnitude(rng));
    char text[64];
    std::snprintf(text, sizeof text, "%s%llu.%03d5", i % 2 ? "-" : "", static_cast<unsigned long long>(n),
                  thousandths(rng));
    agreement.check_around(parse(text));
  }
}

TEST(NumberText, AgreesWithReferenceNear17DigitHalves) {
  std::mt19937_64 rng(13);
  agreement agreement;
  std::uniform_int_distribution<std::uint64_t> digits17(10000000000000000ull, 99999999999999999ull);
  // 18 digits ending in 5, from about 1e-5 to 1e300; every other one below
  // 1e17, where the fast path works.
  std::uniform_int_distribution<int> exponent(-22, 283);
  std::uniform_int_distribution<int> fast_exponent(-22, -1);
  for (int i = 0; i < 12000; ++i) {
    char text[64];
    std::snprintf(text, sizeof text, "%llu5e%d", static_cast<unsigned long long>(digits17(rng)),
                  i % 2 ? exponent(rng) : fast_exponent(rng));
    agreement.check_around(parse(text));
  }
}

TEST(NumberText, AgreesWithReferenceAtPowersOfTenAndTwo) {
  agreement agreement;
  for (int k = -6; k <= 308; ++k) agreement.check_around(parse("1e" + std::to_string(k)));
  for (int b = -1074; b <= 1023; ++b) agreement.check_around(std::ldexp(1.0, b));
}

TEST(NumberText, FormatsIntegers) {
  const struct {
    std::int32_t n;
    const char* text;
  } cases[] = {
      {0, "0"},
      {7, "7"},
      {10, "10"},
      {-1, "-1"},
      {-10, "-10"},
      {1234567890, "1234567890"},
      {std::numeric_limits<std::int32_t>::max(), "2147483647"},
      {std::numeric_limits<std::int32_t>::min(), "-2147483648"},
  };
  for (const auto& c : cases) {
    char buf[11];
    EXPECT_EQ(std::string(buf, format_int(c.n, buf)), c.text);
  }
}

}  // namespace
}  // namespace lorvex
