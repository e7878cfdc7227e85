#pragma once
// A buffered text-mode writer: every LF is written as CR LF, every other
// byte unchanged. Used for the output file and for standard output.
#include <cstddef>
#include <string_view>

namespace lorvex {

inline constexpr std::size_t output_block_size = 128 * 1024;

struct text_output {
  int fd = -1;
  bool immediate = false;  // write out every piece at once (a terminal)
  bool failed = false;     // a write failed; everything after it is dropped
  std::size_t len = 0;
  char buf[output_block_size];
};

void attach_output(text_output& out, int fd, bool immediate);

// Appends text, LF written as CR LF.
void put_text(text_output& out, std::string_view text);

// Appends bytes that hold no LF, unchanged.
void put_raw(text_output& out, const char* p, std::size_t n);

// Room for n more bytes (n <= output_block_size) at the end of the
// buffer, written out first when needed. Bytes placed there count once
// out.len is moved past them.
inline char* reserve(text_output& out, std::size_t n);

// Writes out what is buffered. Returns false once any write has failed.
bool flush_output(text_output& out);

// Flushes, then closes the descriptor. Returns false when a write or the
// close failed.
bool close_output(text_output& out);

// End of one print: a terminal sees it at once.
inline void end_piece(text_output& out) {
  if (out.immediate) flush_output(out);
}

inline char* reserve(text_output& out, std::size_t n) {
  if (output_block_size - out.len < n) flush_output(out);
  return out.buf + out.len;
}

}  // namespace lorvex
