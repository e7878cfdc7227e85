#pragma once
// Decimal text of the program's numbers: integers, and doubles with exactly
// three decimals.
//
// A double is written from the exact decimal expansion of the value held:
// its magnitude is rounded to 17 significant digits (half up), that decimal
// is rounded to three decimals (half up), digits past the 17th significant
// one are written as 0, and there is never an exponent. A negative value
// that rounds to zero keeps its "-"; both zeros are "0.000". Positive
// infinity is "1.#IO"; negative infinity and NaN are "-1.#IO". The decimal
// mark is always ".", whatever the locale.
#include <cstddef>
#include <cstdint>

namespace lorvex {

// Room for the longest text: "-", 309 integer digits, ".", 3 decimals.
inline constexpr std::size_t number_text_max = 320;

// Writes the three-decimal text of v at out (no terminating zero) and
// returns one past its last character. out needs number_text_max bytes of
// room: the fast path stores whole words and may overwrite a few bytes
// past the end it returns.
char* format_number(double v, char* out);

// The general exact path alone, correct for every double; format_number
// uses it where its fast path does not apply. Exposed for tests.
char* format_number_exact(double v, char* out);

// Writes the decimal text of n ("-" before a negative) and returns one past
// its last character. At most 11 characters.
char* format_int(std::int32_t n, char* out);

}  // namespace lorvex
