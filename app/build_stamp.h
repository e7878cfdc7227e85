#pragma once
// When the program was built, as the compiler spells it ("Mar  7 2011",
// "09:05:02"), and the web address of the usage text.

namespace lorvex {

extern const char build_date[];
extern const char build_time[];
extern const char home_url[];

}  // namespace lorvex
