// The console trace of whole runs, compared as bytes.
#include <gtest/gtest.h>

#include <string>

#include "app/build_stamp.h"
#include "tests/test_support.h"

namespace lorvex {
namespace {

using test::visible;

// The console lines of a trace, written with LF line ends and "@" for the
// zero byte; the program writes CR LF and a real zero byte.
std::string console_bytes(const std::string& lines) {
  std::string s;
  for (char c : lines) {
    if (c == '\n')
      s += "\r\n";
    else if (c == '@')
      s += '\0';
    else
      s += c;
  }
  return s;
}

struct trace_case {
  const char* name;
  std::string input;
  std::string trace;          // after the start line
  const char* option = "-D";  // no key is pending in a test run
};

TEST(Trace, GoldenRuns) {
  const std::string long_line = "# " + std::string(1298, 'x') + "\n";
  const trace_case cases[] = {
      {"four-line example", "# test data\n*000000000042,3E8,A,64,10 20\n\nend\n",
       "\nLINE # 1\n[1] #               \nLINE # 2\n[5] *   000000000042 1000KHz  #10 100\n"
       "*000000000042.0, 100.000, 0.100, 0.256, 0.512\n\nLINE # 3\n[-1] @   000000000042\n"
       "LINE # 4\n[1] e   000000000042\nLINE # 5\n"},
      {"empty input", "", "\nLINE # 1\n"},
      {"last line without LF", "# 7", "\nLINE # 1\n[2] #              7"},
      {"comment digits fill the id column", "*1,7D0,10,3E8,64 1 FFFFFFF0\n# 7\n",
       "\nLINE # 1\n[5] *              1 2000KHz  #16 1000\n*1.0, 32.000, 0.500, 0.800, 0.008, -0.128\n"
       "\nLINE # 2\n[2] #              7\nLINE # 3\n"},
      {"incomplete records show the values they are converted from", "*5,1,2,3,4\n*\n*6,3E8,A\n",
       "\nLINE # 1\n[5] *              5 1KHz  #2 3\n*5.0, 0.667, 3.000, 64.000\n"
       "\nLINE # 2\n[1] *              5 0KHz  #0 0\n*.0, -1.#IO, -1.#IO\n"
       "\nLINE # 3\n[4] *              6 1000KHz  #10 0\n*6.0, 1.#IO, 0.000\n\nLINE # 4\n"},
      {"the echo never shows the trailer", "*2,3E8,A,64,10\n",
       "\nLINE # 1\n[5] *              2 1000KHz  #10 100\n*2.0, 100.000, 0.100, 0.256\n\nLINE # 2\n", "-N"},
      {"a long line takes one header per read", long_line,
       "\nLINE # 1\n[1] #               \nLINE # 2\n[1] x               \nLINE # 3\n"},
  };
  test::temp_dir dir;
  for (const trace_case& c : cases) {
    test::write_file(dir.path("in"), c.input);
    const auto r = test::run_lorvex({c.option, dir.path("in"), dir.path("out")});
    EXPECT_EQ(r.status, 0) << c.name;
    const std::string start =
        "lorvex " + dir.path("in") + " " + dir.path("out") + " : " + build_date + " " + build_time + "\r\n";
    EXPECT_EQ(visible(r.console), visible(start + console_bytes(c.trace))) << c.name;

    // The trace never changes the output file.
    const std::string traced = test::mask_stamp(test::read_file(dir.path("out")));
    EXPECT_EQ(test::run_lorvex({"-q", c.option, dir.path("in"), dir.path("out")}).console, start) << c.name;
    EXPECT_EQ(visible(test::mask_stamp(test::read_file(dir.path("out")))), visible(traced)) << c.name;
  }
}

}  // namespace
}  // namespace lorvex
