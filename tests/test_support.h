#pragma once
// Helpers for the tests: temporary folders, whole-file I/O, and runs of the
// real lorvex executable with its standard output captured as bytes.
#include <string>
#include <vector>

namespace lorvex::test {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes away.
struct temp_dir {
  temp_dir();
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;
  std::string path(const std::string& name) const { return dir + "/" + name; }
  std::string dir;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

// How standard output of a run is connected.
enum class stdout_to { file, closed, broken_pipe };

struct run_result {
  int status = -1;      // exit status as a shell sees it, or 128 + signal
  std::string console;  // standard output, as bytes
};

struct run_setup {
  stdout_to out = stdout_to::file;
  bool close_stdin_and_stderr = false;
  std::vector<std::string> env;  // extra NAME=value entries
  std::string cwd;               // run in this folder when not empty
};

// Runs lorvex with args (the program name is added).
run_result run_lorvex(const std::vector<std::string>& args, const run_setup& setup = {});

// The output file's header as this build writes it, with the run line's
// time stamp as "<stamp>".
std::string expected_header();

// Replaces the run line's time stamp with "<stamp>"; fails the test when
// the text has no well-formed run line.
std::string mask_stamp(const std::string& output);

// Bytes made visible: "\r", "\n", "\0" and non-printing bytes escaped, for
// messages on a mismatch.
std::string visible(const std::string& bytes);

}  // namespace lorvex::test
