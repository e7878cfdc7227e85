#include "console/console.h"

#include <unistd.h>

namespace lorvex {

void attach_console(text_output& out) { attach_output(out, STDOUT_FILENO, ::isatty(STDOUT_FILENO) == 1); }

}  // namespace lorvex
