#pragma once
// Standard output as the program's console.
#include "convert/text_output.h"

namespace lorvex {

// Attaches out to standard output: on a terminal every piece is written
// at once, otherwise in large blocks.
void attach_console(text_output& out);

}  // namespace lorvex
