// Fuzzes the three-decimal text of a double: the fast paths of
// format_number against the general path alone, for any 8 bytes taken as
// a double (missing bytes are 0).
//
// Both must write the same text, and nothing past number_text_max bytes.
// The text is "1.#IO" for positive infinity, "-1.#IO" for negative
// infinity and NaN, else an optional "-" (for a negative nonzero value
// only), integer digits without a leading zero, "." and three decimals,
// never an exponent. Read back, it lies within half a thousandth (plus the
// 17-digit step) of the value.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "convert/number_text.h"

namespace {

// Room past number_text_max, to see that nothing is written there. Bytes
// between the end of the text and number_text_max may serve as scratch.
constexpr std::size_t guard = 64;
constexpr unsigned char untouched = 0xA5;

[[noreturn]] void fail(double v, const char* what, std::string_view a, std::string_view b) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  (void)std::fprintf(stderr,
                     "fuzz_number: %s for %a (bits %016llx)\n  format_number       : \"%.*s\"\n  "
                     "format_number_exact : \"%.*s\"\n",
                     what, v, static_cast<unsigned long long>(bits), static_cast<int>(a.size()), a.data(),
                     static_cast<int>(b.size()), b.data());
  (void)std::fflush(stderr);
  std::abort();
}

// Formats v into a fresh buffer with f; checks the length and that
// nothing past number_text_max was written.
template <typename Format>
std::string_view format_into(unsigned char (&buf)[lorvex::number_text_max + guard], Format f, double v) {
  std::memset(buf, untouched, sizeof buf);
  char* const begin = reinterpret_cast<char*>(buf);
  char* const end = f(v, begin);
  if (end <= begin || static_cast<std::size_t>(end - begin) > lorvex::number_text_max)
    fail(v, "text length out of range", {}, {});
  const auto len = static_cast<std::size_t>(end - begin);
  for (std::size_t i = lorvex::number_text_max; i < sizeof buf; ++i)
    if (buf[i] != untouched) fail(v, "a byte past number_text_max was written", {begin, len}, {});
  return {begin, len};
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

void check_shape(double v, std::string_view t) {
  if (!std::isfinite(v)) {
    const bool plus_inf = std::isinf(v) && v > 0;
    if (t != (plus_inf ? "1.#IO" : "-1.#IO")) fail(v, "wrong text for a non-finite value", t, {});
    return;
  }
  const bool minus = std::signbit(v) && v != 0;
  std::string_view rest = t;
  if (minus != (!rest.empty() && rest[0] == '-')) fail(v, "wrong sign", t, {});
  if (minus) rest.remove_prefix(1);
  std::size_t digits = 0;
  while (digits < rest.size() && is_digit(rest[digits])) ++digits;
  if (digits == 0) fail(v, "no integer digit", t, {});
  if (digits > 1 && rest[0] == '0') fail(v, "leading zero", t, {});
  if (rest.size() != digits + 4 || rest[digits] != '.' || !is_digit(rest[digits + 1]) ||
      !is_digit(rest[digits + 2]) || !is_digit(rest[digits + 3]))
    fail(v, "not three decimals", t, {});
  if (t.find_first_of("eE") != std::string_view::npos) fail(v, "exponent", t, {});

  // |text - v| <= 0.0005 + 5e-17 |v|: the 17-digit step, then the
  // thousandths. The long double parse and difference add about 1e-19 |v|.
  const std::string z(t);
  const long double back = std::strtold(z.c_str(), nullptr);
  const long double x = v;
  const long double error = std::fabs(back - x);
  const long double bound = 0.0005L * (1 + 1e-15L) + 5.01e-17L * std::fabs(x);
  if (!(error <= bound)) fail(v, "text too far from the value", t, {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  unsigned char bytes[8] = {};
  std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
  double v;
  std::memcpy(&v, bytes, sizeof v);

  static unsigned char fast_buf[lorvex::number_text_max + guard];
  static unsigned char exact_buf[lorvex::number_text_max + guard];
  const std::string_view fast = format_into(fast_buf, lorvex::format_number, v);
  const std::string_view exact = format_into(exact_buf, lorvex::format_number_exact, v);
  if (fast != exact) fail(v, "the two paths differ", fast, exact);
  check_shape(v, exact);
  return 0;
}
