#pragma once
// The command line: switches before the two file names.
#include <cstdint>

namespace lorvex {

struct run_options {
  std::int32_t quiet = 0;        // "-q": no per-line trace
  std::int32_t debug_level = 0;  // "-d" 1, "-D" 2: a key press ends the run
  std::int32_t add_trailer = 0;  // "-N": ", 9999" after every record line
};

struct command_line {
  run_options options;
  const char* input_name = nullptr;
  const char* output_name = nullptr;
};

// Fills cmd from argv[1..argc-1]. Returns false when fewer than two
// arguments follow the program name; cmd is then left unchanged.
bool parse_command_line(int argc, const char* const* argv, command_line& cmd);

}  // namespace lorvex
