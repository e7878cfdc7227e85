#include "app/options.h"

namespace lorvex {

// Switches are looked for only among the arguments that precede the last
// two, so the last two are always names, even when they begin with "-".
// Only the second character of a switch counts; an unknown one is passed
// over as a switch all the same.
bool parse_command_line(int argc, const char* const* argv, command_line& cmd) {
  const int n = argc - 1;
  if (n < 2) return false;
  run_options opt;
  int k = 1;
  for (; k <= n - 2 && argv[k][0] == '-'; ++k) {
    switch (argv[k][1]) {
      case 'D':
        opt.debug_level = 2;
        break;
      case 'N':
        opt.add_trailer = 1;
        break;
      case 'd':
        opt.debug_level = 1;
        break;
      case 'q':
        opt.quiet = 1;
        break;
      default:
        break;
    }
  }
  cmd.options = opt;
  cmd.input_name = argv[k];
  cmd.output_name = argv[k + 1];
  return true;
}

}  // namespace lorvex
