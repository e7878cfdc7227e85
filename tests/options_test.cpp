#include "app/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lorvex {
namespace {

struct option_case {
  std::vector<const char*> args;  // after the program name
  int quiet, debug_level, add_trailer;
  const char* input;
  const char* output;
};

TEST(CommandLine, ScanTable) {
  const option_case cases[] = {
      {{"-q", "A"}, 0, 0, 0, "-q", "A"},           {{"-q", "-d", "-N"}, 1, 0, 0, "-d", "-N"},
      {{"-qd", "A", "B"}, 1, 0, 0, "A", "B"},      {{"-quiet", "A", "B"}, 1, 0, 0, "A", "B"},
      {{"-x", "A", "B"}, 0, 0, 0, "A", "B"},       {{"-Q", "A", "B"}, 0, 0, 0, "A", "B"},
      {{"-", "A", "B"}, 0, 0, 0, "A", "B"},        {{"-d", "-D", "A", "B"}, 0, 2, 0, "A", "B"},
      {{"-D", "-d", "A", "B"}, 0, 1, 0, "A", "B"}, {{"-N", "-q", "A", "B"}, 1, 0, 1, "A", "B"},
      {{"A", "B", "C"}, 0, 0, 0, "A", "B"},        {{"-q", "A", "B", "C"}, 1, 0, 0, "A", "B"},
      {{"A", "-q", "B"}, 0, 0, 0, "A", "-q"},      {{"-d", "-", "-N", "-q"}, 0, 1, 0, "-N", "-q"},
  };
  for (const option_case& c : cases) {
    std::vector<const char*> argv{"anyname"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    command_line cmd;
    ASSERT_TRUE(parse_command_line(static_cast<int>(argv.size()), argv.data(), cmd));
    std::string label;
    for (const char* a : c.args) label += std::string(a) + " ";
    EXPECT_EQ(cmd.options.quiet, c.quiet) << label;
    EXPECT_EQ(cmd.options.debug_level, c.debug_level) << label;
    EXPECT_EQ(cmd.options.add_trailer, c.add_trailer) << label;
    EXPECT_STREQ(cmd.input_name, c.input) << label;
    EXPECT_STREQ(cmd.output_name, c.output) << label;
  }
}

TEST(CommandLine, FewerThanTwoArgumentsIsRefused) {
  const char* none[] = {"lorvex"};
  const char* one[] = {"lorvex", "-q"};
  command_line cmd;
  EXPECT_FALSE(parse_command_line(1, none, cmd));
  EXPECT_FALSE(parse_command_line(2, one, cmd));
}

}  // namespace
}  // namespace lorvex
