#include "scan/line_reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace lorvex {
namespace {

// Drops every CR that a LF directly follows; returns the new length.
std::size_t squeeze_crlf(unsigned char* b, std::size_t len) {
  auto* r = static_cast<unsigned char*>(std::memchr(b, '\r', len));
  if (r == nullptr) return len;
  unsigned char* const end = b + len;
  unsigned char* w = r;
  while (r < end) {  // r is at a CR
    if (r + 1 < end && r[1] == '\n')
      ++r;
    else
      *w++ = *r++;
    auto* next = static_cast<unsigned char*>(std::memchr(r, '\r', static_cast<std::size_t>(end - r)));
    if (next == nullptr) next = end;
    const auto run = static_cast<std::size_t>(next - r);
    std::memmove(w, r, run);
    w += run;
    r = next;
  }
  return static_cast<std::size_t>(w - b);
}

// Reads and translates blocks until one yields at least one character.
// Returns false at the end of the input or on a read error.
bool refill(input_file& in) {
  while (!in.source_done) {
    std::size_t start = 0;
    if (in.held_cr) {
      in.block[0] = '\r';
      start = 1;
      in.held_cr = false;
    }
    ssize_t n;
    do n = ::read(in.fd, in.block + start, input_block_size);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
      in.failed = true;
      n = 0;
    }
    if (n == 0) in.source_done = true;
    std::size_t len = start + static_cast<std::size_t>(n);
    if (n > 0) {
      const void* eof = std::memchr(in.block + start, 0x1A, static_cast<std::size_t>(n));
      if (eof != nullptr) {
        len = static_cast<std::size_t>(static_cast<const unsigned char*>(eof) - in.block);
        if (!in.is_device) in.source_done = true;
      }
    }
    len = squeeze_crlf(in.block, len);
    if (len > 0 && in.block[len - 1] == '\r' && !in.source_done) {
      in.held_cr = true;
      --len;
    }
    in.pos = 0;
    in.len = len;
    if (len > 0) return true;
  }
  return false;
}

}  // namespace

void attach_input(input_file& in, int fd) {
  in.fd = fd;
  in.is_device = false;
  struct stat st;
  if (::fstat(fd, &st) == 0) in.is_device = S_ISCHR(st.st_mode);
  in.ended = in.failed = in.source_done = in.held_cr = false;
  in.pos = in.len = 0;
}

bool read_line(input_file& in, char (&line)[line_buffer_size]) {
  std::size_t n = 0;
  while (n < line_max) {
    if (in.pos == in.len && !refill(in)) {
      in.ended = true;
      break;
    }
    const unsigned char* src = in.block + in.pos;
    const std::size_t want = std::min(in.len - in.pos, line_max - n);
    const void* lf = std::memchr(src, '\n', want);
    const std::size_t take =
        lf != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - src) + 1 : want;
    std::memcpy(line + n, src, take);
    n += take;
    in.pos += take;
    if (lf != nullptr) break;
  }
  if (n == 0) return false;
  line[n] = '\0';
  return true;
}

}  // namespace lorvex
