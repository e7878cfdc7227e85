#include "scan/line_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/test_support.h"

namespace lorvex {
namespace {

struct read_result {
  std::vector<std::string> lines;
  std::vector<bool> ended_after;  // the end mark after each delivered line
  bool ended_at_last_read = false;
};

read_result read_all_fd(int fd) {
  auto in = std::make_unique<input_file>();
  attach_input(*in, fd);
  char line[line_buffer_size];
  read_result r;
  while (!in->ended) {
    if (!read_line(*in, line)) break;
    r.lines.emplace_back(line);
    r.ended_after.push_back(in->ended);
  }
  r.ended_at_last_read = in->ended;
  return r;
}

read_result read_all(const std::string& bytes) {
  test::temp_dir dir;
  test::write_file(dir.path("in"), bytes);
  const int fd = ::open(dir.path("in").c_str(), O_RDONLY);
  read_result r = read_all_fd(fd);
  ::close(fd);
  return r;
}

TEST(LineReader, TextModeLines) {
  const std::string x1199(1199, 'x');
  struct reader_case {
    std::string bytes;
    std::vector<std::string> lines;
    bool last_line_ends_input;  // the read of the last line set the end mark
  };
  const reader_case cases[] = {
      {"", {}, false},
      {"a\r\nb\n", {"a\n", "b\n"}, false},
      {"abc", {"abc"}, true},
      {"a\rb\n\r", {"a\rb\n", "\r"}, true},
      {"a\r\r\nb", {"a\r\n", "b"}, true},
      {"a\n\x1a"
       "b\n",
       {"a\n"},
       false},
      {"ab\x1a"
       "c\n",
       {"ab"},
       true},
      {"\x1a"
       "abc\n",
       {},
       false},
      {std::string("a\0b\n", 4) + "c\n", {"a", "c\n"}, false},
      {"\xff\x80\n", {"\xff\x80\n"}, false},
      {x1199 + "\n", {x1199, "\n"}, false},
      {x1199 + "yy\n", {x1199, "yy\n"}, false},
      {x1199 + x1199, {x1199, x1199}, false},
      {"\r\r\r", {"\r\r\r"}, true},
  };
  for (const reader_case& c : cases) {
    const read_result r = read_all(c.bytes);
    EXPECT_EQ(r.lines, c.lines) << test::visible(c.bytes);
    if (!c.lines.empty()) {
      EXPECT_EQ(r.ended_after.back(), c.last_line_ends_input) << test::visible(c.bytes);
    }
    EXPECT_TRUE(r.ended_at_last_read) << test::visible(c.bytes);
  }
}

// A CR LF pair split between two blocks is one line end; a CR that ends a
// block and is followed by something else stays.
TEST(LineReader, CarriageReturnAtBlockBoundary) {
  for (const char next : {'\n', 'z'}) {
    std::string bytes;
    while (bytes.size() + 101 < input_block_size) bytes += std::string(99, 'a') + "\r\n";
    bytes += std::string(input_block_size - 1 - bytes.size(), 'b');
    bytes += '\r';
    ASSERT_EQ(bytes.size(), input_block_size);
    bytes += next;
    bytes += "tail\r\n";

    std::string expected;
    for (std::size_t i = 0; i < bytes.size(); ++i)
      if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) expected += bytes[i];

    std::string joined;
    for (const std::string& l : read_all(bytes).lines) {
      EXPECT_LE(l.size(), line_max);
      joined += l;
    }
    EXPECT_EQ(joined, expected) << "byte after the CR: " << static_cast<int>(next);
  }
}

// From a pipe, a CR that arrives alone waits for the byte after it.
TEST(LineReader, CarriageReturnSplitAcrossPipeWrites) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::thread writer([w = fds[1]] {
    EXPECT_EQ(::write(w, "ab\r", 3), 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(::write(w, "\ncd\r", 4), 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(::write(w, "e\n", 2), 2);
    ::close(w);
  });
  const read_result r = read_all_fd(fds[0]);
  writer.join();
  ::close(fds[0]);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"ab\n", "cd\re\n"}));
}

}  // namespace
}  // namespace lorvex
