#pragma once
// The run driver: command line, both files, the read loop, exit status.

namespace lorvex {

// Exit statuses; a shell sees -1 as 255 and -2 as 254.
enum exit_status : int {
  exit_ok = 0,
  exit_cannot_read = -1,   // too few arguments, or the input failed
  exit_cannot_write = -2,  // the output failed
};

int run(int argc, const char* const* argv);

}  // namespace lorvex
