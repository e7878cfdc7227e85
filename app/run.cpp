#include "app/run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "app/build_stamp.h"
#include "app/options.h"
#include "console/console.h"
#include "console/keypress.h"
#include "console/trace.h"
#include "convert/record.h"
#include "scan/line_reader.h"
#include "scan/line_scan.h"

namespace lorvex {
namespace {

// A closed 0, 1 or 2 would be handed to one of the files by open(), and
// console text would then land in it: give each closed one /dev/null.
void reopen_standard_streams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int got = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (got >= 0 && got != fd) {
      ::dup2(got, fd);
      ::close(got);
    }
  }
}

// One console print, made of several texts.
void say(text_output& console, std::initializer_list<std::string_view> texts) {
  for (std::string_view t : texts) put_text(console, t);
  end_piece(console);
}

void print_usage(text_output& console) {
  say(console, {"\n\nlorvex (", build_date, " ", build_time, ") from : ", home_url, "\n",
                "Usage : lorvex <options> [input file name] [output file name] \n",
                "Reads the SD (encoded) datalogger timing file and writes it a an ASC-II format\n",
                "options: \n", "-q enable quiet mode\n", "-d enable debug level 1 (keypress stops) \n",
                "-D enable debug level 2 (no action at this time)\n",
                "-N add a trailing number to the end of each sequence\n"});
}

// Opens the input for reading; a directory counts as unreadable.
int open_input(const char* name) {
  const int fd = ::open(name, O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// True when name is the very regular file that in_fd reads, under any
// spelling or link; opening it for writing would empty the input.
bool is_same_file(int in_fd, const char* name) {
  struct stat in_st;
  struct stat out_st;
  return ::fstat(in_fd, &in_st) == 0 && ::stat(name, &out_st) == 0 && S_ISREG(in_st.st_mode) &&
         in_st.st_dev == out_st.st_dev && in_st.st_ino == out_st.st_ino;
}

int open_output(const char* name) {
  return ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC, 0666);
}

}  // namespace

void convert_file(input_file& in, text_output& out, const run_options& opt, text_output& console) {
  write_output_header(out);
  char line[line_buffer_size] = {};
  scanned_line s;
  sequence_state seq;
  std::int32_t non_record_run = 0;
  std::uint32_t line_number = 0;
  text_output* const trace = opt.quiet != 0 ? nullptr : &console;

  while (!out.failed && !in.ended && non_record_run <= 30) {
    if (opt.debug_level != 0 && key_pending()) break;
    if (trace != nullptr) trace_line_header(console, static_cast<std::int32_t>(++line_number));
    if (!read_line(in, line)) break;
    s.kind = 0;
    scan_line(line, s);
    if (trace != nullptr) trace_scan(console, s);
    switch (s.kind) {
      case '#':
        non_record_run = 0;
        copy_comment_line(out, line);
        break;
      case '*':
        non_record_run = 0;
        if (trace != nullptr) trace_header_fields(console, record_fields_of(s));
        convert_data_record(out, s, line, seq, opt.add_trailer != 0, trace);
        break;
      default:
        ++non_record_run;
        break;
    }
  }
  release_keyboard();
}

int run(int argc, const char* const* argv) {
  reopen_standard_streams();
  // A reader of standard output that goes away must not end the run.
  std::signal(SIGPIPE, SIG_IGN);

  text_output console;
  attach_console(console);

  command_line cmd;
  if (!parse_command_line(argc, argv, cmd)) {
    print_usage(console);
    flush_output(console);
    return exit_cannot_read;
  }
  const run_options& opt = cmd.options;
  say(console, {"lorvex ", cmd.input_name, " ", cmd.output_name, " : ", build_date, " ", build_time, "\n"});

  const int in_fd = open_input(cmd.input_name);
  if (in_fd < 0) {
    say(console, {"Can not read ", cmd.input_name, "\n"});
    flush_output(console);
    return exit_cannot_read;
  }
  const int out_fd = is_same_file(in_fd, cmd.output_name) ? -1 : open_output(cmd.output_name);
  if (out_fd < 0) {
    say(console, {"Can not write ", cmd.output_name, "\n"});
    ::close(in_fd);
    flush_output(console);
    return exit_cannot_write;
  }

  input_file in;
  text_output out;
  attach_input(in, in_fd);
  attach_output(out, out_fd, false);
  convert_file(in, out, opt, console);

  ::close(in_fd);
  const bool written = close_output(out);
  int status = exit_ok;
  if (in.failed) {
    say(console, {"Can not read ", cmd.input_name, "\n"});
    status = exit_cannot_read;
  }
  if (!written) {
    say(console, {"Can not write ", cmd.output_name, "\n"});
    if (status == exit_ok) status = exit_cannot_write;
  }
  flush_output(console);
  return status;
}

}  // namespace lorvex
