#pragma once
// The run driver: command line, both files, the read loop, exit status.
#include "app/options.h"
#include "convert/text_output.h"
#include "scan/line_reader.h"

namespace lorvex {

// Exit statuses; a shell sees -1 as 255 and -2 as 254.
enum exit_status : int {
  exit_ok = 0,
  exit_cannot_read = -1,   // too few arguments, or the input failed
  exit_cannot_write = -2,  // the output failed
};

// The whole program: returns the exit status.
int run(int argc, const char* const* argv);

// Writes the output header, then runs the read loop from the first pass to
// whichever end comes first: the end of the input, the 31st non-record line
// in a row, a key press in debug mode, or a failed write to out. The trace
// goes to console unless opt.quiet.
void convert_file(input_file& in, text_output& out, const run_options& opt, text_output& console);

}  // namespace lorvex
