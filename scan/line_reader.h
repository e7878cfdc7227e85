#pragma once
// Reading the input in text mode, one line at a time.
//
// The file is read in blocks and translated in place: CR LF becomes LF
// (also when the two bytes fall into different blocks), a lone CR stays,
// and a byte 0x1A ends the input. From a character device the 0x1A and the
// rest of its block are dropped and reading goes on.
#include <cstddef>

namespace lorvex {

inline constexpr std::size_t line_buffer_size = 1200;
inline constexpr std::size_t line_max = line_buffer_size - 1;
inline constexpr std::size_t input_block_size = 128 * 1024;

struct input_file {
  int fd = -1;
  bool is_device = false;  // a character device: 0x1A does not end it
  bool ended = false;      // a read ran into the end of the input
  bool failed = false;     // ... and that end was a read error
  bool source_done = false;
  bool held_cr = false;  // a CR ended the last block; its successor decides
  std::size_t pos = 0;
  std::size_t len = 0;
  unsigned char block[input_block_size + 1];  // + room for a held CR
};

// Prepares in for reading the open descriptor fd.
void attach_input(input_file& in, int fd);

// Reads the next line into line: up to and including its LF, at most
// line_max characters, then a zero byte. Returns false, leaving line as it
// was, when not a single character was left. Sets in.ended when the read
// stopped for want of characters (end of input or read error), never when
// it stopped at a LF or at the length limit.
bool read_line(input_file& in, char (&line)[line_buffer_size]);

}  // namespace lorvex
