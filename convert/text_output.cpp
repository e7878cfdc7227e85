#include "convert/text_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lorvex {
namespace {

bool write_all(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

}  // namespace

void attach_output(text_output& out, int fd, bool immediate) {
  out.fd = fd;
  out.immediate = immediate;
  out.failed = false;
  out.len = 0;
}

bool flush_output(text_output& out) {
  if (out.len > 0 && !out.failed && !write_all(out.fd, out.buf, out.len)) out.failed = true;
  out.len = 0;
  return !out.failed;
}

void put_raw(text_output& out, const char* p, std::size_t n) {
  while (n > 0) {
    if (out.len == output_block_size) flush_output(out);
    std::size_t room = output_block_size - out.len;
    std::size_t take = n < room ? n : room;
    std::memcpy(out.buf + out.len, p, take);
    out.len += take;
    p += take;
    n -= take;
  }
}

void put_text(text_output& out, std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    const char* stop = lf != nullptr ? static_cast<const char*>(lf) : end;
    put_raw(out, p, static_cast<std::size_t>(stop - p));
    if (lf == nullptr) break;
    put_raw(out, "\r\n", 2);
    p = stop + 1;
  }
}

bool close_output(text_output& out) {
  flush_output(out);
  // After EINTR the descriptor is closed all the same on Linux.
  if (::close(out.fd) != 0 && errno != EINTR) out.failed = true;
  out.fd = -1;
  return !out.failed;
}

}  // namespace lorvex
