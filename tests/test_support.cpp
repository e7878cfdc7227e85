#include "tests/test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "app/build_stamp.h"

extern char** environ;

namespace lorvex::test {

temp_dir::temp_dir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "lorvex-test-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir = tmpl;
}

temp_dir::~temp_dir() {
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

bool file_exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

run_result run_lorvex(const std::vector<std::string>& args, const run_setup& setup) {
  temp_dir tmp;
  const std::string console_path = tmp.path("console");

  std::vector<std::string> argv_s{LORVEX_BIN};
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> env_s;
  for (char** e = environ; *e != nullptr; ++e) env_s.emplace_back(*e);
  env_s.insert(env_s.end(), setup.env.begin(), setup.env.end());
  std::vector<char*> envp;
  for (auto& e : env_s) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  int pipe_fds[2] = {-1, -1};
  switch (setup.out) {
    case stdout_to::file:
      posix_spawn_file_actions_addopen(&fa, 1, console_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      break;
    case stdout_to::closed:
      posix_spawn_file_actions_addclose(&fa, 1);
      break;
    case stdout_to::broken_pipe:
      if (::pipe(pipe_fds) != 0) throw std::runtime_error("pipe failed");
      ::close(pipe_fds[0]);  // no reader: every write gets EPIPE
      posix_spawn_file_actions_adddup2(&fa, pipe_fds[1], 1);
      posix_spawn_file_actions_addclose(&fa, pipe_fds[1]);
      break;
  }
  if (setup.close_stdin_and_stderr) {
    posix_spawn_file_actions_addclose(&fa, 0);
    posix_spawn_file_actions_addclose(&fa, 2);
  }
  if (!setup.cwd.empty()) posix_spawn_file_actions_addchdir_np(&fa, setup.cwd.c_str());

  pid_t pid;
  const int rc = ::posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  if (pipe_fds[1] >= 0) ::close(pipe_fds[1]);
  if (rc != 0) throw std::runtime_error("cannot start " + argv_s[0]);

  int wstatus = 0;
  while (::waitpid(pid, &wstatus, 0) < 0) {
  }
  run_result r;
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  r.console = read_file(console_path);
  return r;
}

std::string expected_header() {
  return std::string("# lorvex built : ") + build_date + " " + build_time + "\r\n# run on <stamp>\r\n\r\n";
}

std::string mask_stamp(const std::string& output) {
  static const std::regex stamp(
      "# run on (Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
      "[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\r\n");
  std::smatch m;
  if (!std::regex_search(output, m, stamp)) {
    ADD_FAILURE() << "no run line in: " << visible(output.substr(0, 200));
    return output;
  }
  return m.prefix().str() + "# run on <stamp>\r\n" + m.suffix().str();
}

std::string visible(const std::string& bytes) {
  std::string s;
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\r')
      s += "\\r";
    else if (c == '\n')
      s += "\\n\n";
    else if (c == '\\')
      s += "\\\\";
    else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      s += hex;
    } else
      s += ch;
  }
  return s;
}

}  // namespace lorvex::test
