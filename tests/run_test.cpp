// End-to-end runs of the real executable: output file and console compared
// as bytes, exit status as a shell sees it.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/build_stamp.h"
#include "tests/test_support.h"

namespace lorvex {
namespace {

using test::mask_stamp;
using test::read_file;
using test::run_lorvex;
using test::visible;
using test::write_file;

std::string start_line(const std::string& in, const std::string& out) {
  return "lorvex " + in + " " + out + " : " + build_date + " " + build_time + "\r\n";
}

const char road_input[] = "# test data\n*000000000042,3E8,A,64,10 20\n";
const char road_output[] = "# test data\r\n*000000000042.0, 100.000, 0.100, 0.256, 0.512\r\n\r\n";

#define EXPECT_BYTES(actual, expected) EXPECT_EQ(visible(actual), visible(expected))

TEST(Run, UsageWithFewerThanTwoArguments) {
  const std::string usage =
      std::string("\r\n\r\nlorvex (") + build_date + " " + build_time + ") from : " + home_url +
      "\r\n"
      "Usage : lorvex <options> [input file name] [output file name] \r\n"
      "Reads the SD (encoded) datalogger timing file and writes it a an ASC-II format\r\n"
      "options: \r\n"
      "-q enable quiet mode\r\n"
      "-d enable debug level 1 (keypress stops) \r\n"
      "-D enable debug level 2 (no action at this time)\r\n"
      "-N add a trailing number to the end of each sequence\r\n";
  test::temp_dir dir;
  for (const auto& args : {std::vector<std::string>{}, {"-q"}, {"only"}}) {
    const auto r = run_lorvex(args, {.cwd = dir.dir});
    EXPECT_EQ(r.status, 255);
    EXPECT_BYTES(r.console, usage);
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.dir));
}

TEST(Run, ConvertsCommentsAndRecords) {
  test::temp_dir dir;
  write_file(dir.path("in"), road_input);
  for (const char* trailer : {"-d", "-N"}) {
    const auto r = run_lorvex({"-q", trailer, dir.path("in"), dir.path("out")});
    EXPECT_EQ(r.status, 0);
    EXPECT_BYTES(r.console, start_line(dir.path("in"), dir.path("out")));
  }
  EXPECT_BYTES(
      mask_stamp(read_file(dir.path("out"))),
      test::expected_header() + "# test data\r\n*000000000042.0, 100.000, 0.100, 0.256, 0.512, 9999\r\n\r\n");
  const auto r = run_lorvex({"-q", dir.path("in"), dir.path("out")});
  EXPECT_BYTES(mask_stamp(read_file(dir.path("out"))), test::expected_header() + road_output);
}

TEST(Run, EmptyInputGivesTheHeaderAlone) {
  test::temp_dir dir;
  write_file(dir.path("in"), "");
  EXPECT_EQ(run_lorvex({"-q", dir.path("in"), dir.path("out")}).status, 0);
  EXPECT_BYTES(mask_stamp(read_file(dir.path("out"))), test::expected_header());
}

// The 31st line in a row that is neither comment nor record ends the run;
// 30 of them followed by a comment do not. A 0x1A ends the input too.
TEST(Run, StopsAfterThirtyOneNonRecordLines) {
  test::temp_dir dir;
  std::string junk30;
  for (int i = 0; i < 30; ++i) junk30 += i % 2 ? "\n" : "junk\n";
  write_file(dir.path("a"), junk30 + "# kept\n" + junk30 + "x\n# never\n");
  write_file(dir.path("b"), "# one\n\x1a# two\n");
  EXPECT_EQ(run_lorvex({"-q", dir.path("a"), dir.path("a.out")}).status, 0);
  EXPECT_EQ(run_lorvex({"-q", dir.path("b"), dir.path("b.out")}).status, 0);
  EXPECT_BYTES(mask_stamp(read_file(dir.path("a.out"))), test::expected_header() + "# kept\r\n");
  EXPECT_BYTES(mask_stamp(read_file(dir.path("b.out"))), test::expected_header() + "# one\r\n");
}

TEST(Run, InputThatCannotBeOpened) {
  test::temp_dir dir;
  write_file(dir.path("out"), "precious");
  ::mkdir(dir.path("folder").c_str(), 0755);
  for (const std::string& in : {dir.path("missing"), dir.path("folder")}) {
    const auto r = run_lorvex({in, dir.path("out")});
    EXPECT_EQ(r.status, 255);
    EXPECT_BYTES(r.console, start_line(in, dir.path("out")) + "Can not read " + in + "\r\n");
    EXPECT_EQ(read_file(dir.path("out")), "precious");
  }
  const auto r = run_lorvex({dir.path("folder"), dir.path("new")});
  EXPECT_FALSE(test::file_exists(dir.path("new")));
}

TEST(Run, OutputThatCannotBeOpened) {
  test::temp_dir dir;
  write_file(dir.path("in"), road_input);
  write_file(dir.path("plain"), "x");
  for (const std::string& out : {dir.path("no/such/folder/out"), dir.path("plain/out"), dir.dir}) {
    const auto r = run_lorvex({"-q", dir.path("in"), out});
    EXPECT_EQ(r.status, 254);
    EXPECT_BYTES(r.console, start_line(dir.path("in"), out) + "Can not write " + out + "\r\n");
  }
  EXPECT_EQ(read_file(dir.path("in")), road_input);
}

// Opening the output would empty the input: any name of the same regular
// file is refused before anything is truncated.
TEST(Run, OutputNamingTheInputIsRefused) {
  test::temp_dir dir;
  write_file(dir.path("in"), road_input);
  ASSERT_EQ(::link(dir.path("in").c_str(), dir.path("hard").c_str()), 0);
  ASSERT_EQ(::symlink("in", dir.path("soft").c_str()), 0);
  for (const std::string& out : {std::string("./in"), dir.path("in"), dir.path("hard"), dir.path("soft")}) {
    const auto r = run_lorvex({"in", out}, {.cwd = dir.dir});
    EXPECT_EQ(r.status, 254) << out;
    EXPECT_BYTES(r.console, start_line("in", out) + "Can not write " + out + "\r\n");
    EXPECT_EQ(read_file(dir.path("in")), road_input);
  }
  // Devices are not refused: reading and writing /dev/null is a run.
  EXPECT_EQ(run_lorvex({"-q", "/dev/null", "/dev/null"}).status, 0);
}

TEST(Run, WriteFailureIsReported) {
  test::temp_dir dir;
  write_file(dir.path("in"), road_input);
  const auto r = run_lorvex({"-q", dir.path("in"), "/dev/full"});
  EXPECT_EQ(r.status, 254);
  EXPECT_BYTES(r.console, start_line(dir.path("in"), "/dev/full") + "Can not write /dev/full\r\n");
}

// A read error ends the run after the lines read before it and is
// reported; what was converted stays in the output.
TEST(Run, ReadErrorIsReported) {
  test::temp_dir dir;
  const std::string first = "# first\n*1,3E8,A,64,10\n";
  write_file(dir.path("in"), first + "# second\n");
  const auto r = run_lorvex({"-q", dir.path("in"), dir.path("out")},
                            {.env = {std::string("LD_PRELOAD=") + FAIL_READ_SHIM,
                                     // A sanitizer build wants its runtime first.
                                     "ASAN_OPTIONS=verify_asan_link_order=0",
                                     "LORVEX_TEST_FAIL_READ_AFTER=" + std::to_string(first.size())}});
  EXPECT_EQ(r.status, 255);
  EXPECT_BYTES(r.console,
               start_line(dir.path("in"), dir.path("out")) + "Can not read " + dir.path("in") + "\r\n");
  EXPECT_BYTES(mask_stamp(read_file(dir.path("out"))),
               test::expected_header() + "# first\r\n*1.0, 100.000, 0.100, 0.256\r\n\r\n");
}

// Console text never lands in the output file, and a console that cannot
// be written changes neither the file nor the exit status.
TEST(Run, ClosedOrBrokenStandardStreams) {
  test::temp_dir dir;
  write_file(dir.path("in"), road_input);
  const test::run_setup setups[] = {
      {.out = test::stdout_to::closed, .close_stdin_and_stderr = true},
      {.out = test::stdout_to::closed},
      {.out = test::stdout_to::broken_pipe},
  };
  for (const test::run_setup& setup : setups) {
    ::unlink(dir.path("out").c_str());
    EXPECT_EQ(run_lorvex({dir.path("in"), dir.path("out")}, setup).status, 0);
    EXPECT_BYTES(mask_stamp(read_file(dir.path("out"))), test::expected_header() + road_output);
  }
}

// A reader that takes one byte of the trace and goes away: the rest of the
// trace is lost, the output file is complete and the run succeeds.
TEST(Run, TraceIntoAPipeThatClosesEarly) {
  test::temp_dir dir;
  std::string input, expected;
  for (int i = 0; i < 5000; ++i) {
    input += "*1,3E8,A,64,10 20\n";
    expected += "*1." + std::to_string(i) + ", 100.000, 0.100, 0.256, 0.512\r\n\r\n";
  }
  write_file(dir.path("in"), input);
  const std::string script = "\"$0\" \"$1\" \"$2\" | head -c 1 >/dev/null; exit \"${PIPESTATUS[0]}\"";
  const int status = std::system(
      ("bash -c '" + script + "' " + LORVEX_BIN + " " + dir.path("in") + " " + dir.path("out")).c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_BYTES(mask_stamp(read_file(dir.path("out"))), test::expected_header() + expected);
}

// The shipped samples convert to the shipped results; only the two header
// lines, which carry the build and run times, may differ.
TEST(Run, SamplesGiveTheirShippedOutput) {
  const auto without_header = [](const std::string& out) {
    std::size_t end = out.find("\r\n# run on ");
    end = end == std::string::npos ? 0 : out.find("\r\n", end + 2);
    return end == std::string::npos ? out : out.substr(end);
  };
  test::temp_dir dir;
  for (const char* name : {"logger-run", "clean", "sd-noise"}) {
    const std::string sample = std::string(LORVEX_SAMPLES) + "/" + name;
    EXPECT_EQ(run_lorvex({"-q", sample + ".tim", dir.path("out")}).status, 0) << name;
    const std::string shipped = read_file(sample + ".txt");
    ASSERT_FALSE(shipped.empty()) << name;
    EXPECT_BYTES(without_header(read_file(dir.path("out"))), without_header(shipped));
  }
}

}  // namespace
}  // namespace lorvex
