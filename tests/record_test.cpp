#include "convert/record.h"

#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace lorvex {
namespace {

// An output in memory: a text_output on a memfd.
struct memory_output {
  memory_output() : out(std::make_unique<text_output>()) {
    attach_output(*out, ::memfd_create("lorvex-test", 0), false);
  }
  ~memory_output() { ::close(out->fd); }
  std::string bytes() {
    flush_output(*out);
    std::string s(static_cast<std::size_t>(::lseek(out->fd, 0, SEEK_END)), '\0');
    EXPECT_EQ(::pread(out->fd, s.data(), s.size(), 0), static_cast<ssize_t>(s.size()));
    return s;
  }
  std::unique_ptr<text_output> out;
};

struct converted {
  std::string file;
  std::string echo;
};

// Scans each line and writes comments and records as the read loop does.
converted convert_lines(const std::vector<std::string>& lines, bool add_trailer = false,
                        sequence_state seq = {}) {
  memory_output file;
  memory_output echo;
  scanned_line s;
  for (const std::string& line : lines) {
    s.kind = 0;
    scan_line(line.c_str(), s);
    if (s.kind == '#') copy_comment_line(*file.out, line.c_str());
    if (s.kind == '*') convert_data_record(*file.out, s, line.c_str(), seq, add_trailer, echo.out.get());
  }
  return {file.bytes(), echo.bytes()};
}

TEST(Record, LineEchoAndTrailer) {
  const std::vector<std::string> input{"*000000000042,7D0,10,3E8,64 1 FFFFFFF0\n"};
  const std::string line = "*000000000042.0, 32.000, 0.500, 0.800, 0.008, -0.128";
  const converted plain = convert_lines(input);
  EXPECT_EQ(plain.file, line + "\r\n\r\n");
  EXPECT_EQ(plain.echo, line + "\r\n");
  const converted trailer = convert_lines(input, true);
  EXPECT_EQ(trailer.file, line + ", 9999\r\n\r\n");
  EXPECT_EQ(trailer.echo, line + "\r\n");
}

TEST(Record, SequenceNumbersCountRepeatsOfTheIdAsText) {
  const converted c = convert_lines({"*7,3E8,A,64,\n", "*7,3E8,A,64,\n", "# note\n", "*7,3E8,A,64,\n",
                                     "junk\n", "*8,3E8,A,64,\n", "*7,3E8,A,64,\n", "*0007,3E8,A,64,\n"});
  EXPECT_EQ(c.file,
            "*7.0, 100.000, 0.100\r\n\r\n*7.1, 100.000, 0.100\r\n\r\n# note\r\n*7.2, 100.000, 0.100\r\n\r\n"
            "*8.0, 100.000, 0.100\r\n\r\n*7.0, 100.000, 0.100\r\n\r\n*0007.0, 100.000, 0.100\r\n\r\n");
}

// The number after the dot wraps after 2^31 - 1 repeats, without
// undefined behaviour (the sanitizer build checks).
TEST(Record, SequenceNumberWrapsAround) {
  sequence_state seq;
  seq.has_previous = true;
  std::strcpy(seq.previous_id, "7");
  seq.sequence_number = INT32_MAX;
  const converted c = convert_lines({"*7,3E8,A,64,\n", "*7,3E8,A,64,\n"}, false, seq);
  EXPECT_EQ(c.file, "*7.-2147483648, 100.000, 0.100\r\n\r\n*7.-2147483647, 100.000, 0.100\r\n\r\n");
}

TEST(Record, CommentsAreCopiedAsRead) {
  const converted c = convert_lines({"  # indented\n", std::string("# cut\0 hidden\n", 14), "#last"});
  EXPECT_EQ(c.file, "  # indented\r\n# cut#last");
}

// A record line is converted from what its own scan assigned: no id,
// header field or value of an earlier line shows in it.
TEST(Record, IncompleteRecordsUseOnlyTheirOwnFields) {
  const converted c = convert_lines({"*42,7D0,10,3E8,64 1\n", "*12,3E8,A,64\n", "*12,3E8,A\n", "*\n"});
  EXPECT_EQ(c.file,
            "*42.0, 32.000, 0.500, 0.800, 0.008\r\n\r\n"
            "*12.0, 100.000, 0.100\r\n\r\n"
            "*12.1, 1.#IO, 0.000\r\n\r\n"  // ticks 0: period 0, rate +inf
            "*.0, -1.#IO, -1.#IO\r\n\r\n");
  EXPECT_EQ(c.echo,
            "*42.0, 32.000, 0.500, 0.800, 0.008\r\n*12.0, 100.000, 0.100\r\n*12.1, 1.#IO, 0.000\r\n"
            "*.0, -1.#IO, -1.#IO\r\n");
}

TEST(Record, NonFiniteAndSignedResults) {
  const converted c = convert_lines({
      "*1,0,5,A,10 -10 0\n",    // clock 0: period +inf, rate 0, values +inf, -inf, NaN
      "*2,3E8,5,0,\n",          // ticks 0: period 0, rate +inf
      "*3,3E8,-5,0,\n",         // rate -inf
      "*4,-7D0,10,3E8,0 -1\n",  // zero from a negative divisor; negative values
      "*5,186A0,1,1,-1 1F\n",   // -16/100000 rounds to -0.000; 496/100000 to 0.005
  });
  EXPECT_EQ(c.file,
            "*1.0, 0.000, 1.#IO, 1.#IO, -1.#IO, -1.#IO\r\n\r\n"
            "*2.0, 1.#IO, 0.000\r\n\r\n"
            "*3.0, -1.#IO, 0.000\r\n\r\n"
            "*4.0, -32.000, -0.500, 0.000, 0.008\r\n\r\n"
            "*5.0, 100000.000, 0.000, -0.000, 0.005\r\n\r\n");
}

// The longest value texts, as many as a line holds, fill the room the
// record line reserves for its list exactly as far as they need.
TEST(Record, LongestValuesOnALine) {
  std::string line = "*1,1,1,1,";
  std::string expected = "*1.0, 1.000, 1.000";
  while (line.size() + 9 <= 1198) {
    line += "-80000000";
    expected += ", -34359738368.000";
  }
  line += "\n";
  const converted c = convert_lines({line});
  EXPECT_EQ(c.file, expected + "\r\n\r\n");
  EXPECT_EQ(c.echo, expected + "\r\n");
}

TEST(Record, TimeStamp) {
  const char* old_tz = std::getenv("TZ");
  const std::string saved = old_tz != nullptr ? old_tz : "";
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  struct stamp_case {
    std::time_t t;
    const char* text;
  };
  const stamp_case cases[] = {
      {1299488702, "Mon Mar 07 09:05:02 2011\n"}, {2147483647, "Tue Jan 19 03:14:07 2038\n"},
      {2147483648, "Tue Jan 19 03:14:08 2038\n"}, {4102444800, "Fri Jan 01 00:00:00 2100\n"},
      {-1, "Wed Dec 31 23:59:59 1969\n"},         {static_cast<std::time_t>(1) << 60, "(null)"},
  };
  for (const stamp_case& c : cases) {
    char text[time_stamp_size];
    format_time_stamp(c.t, text);
    EXPECT_STREQ(text, c.text) << c.t;
  }
  if (old_tz != nullptr)
    ::setenv("TZ", saved.c_str(), 1);
  else
    ::unsetenv("TZ");
  ::tzset();
}

}  // namespace
}  // namespace lorvex
