// Runs one program and prints what it cost:
//
//     spawn_usage STDOUT_FILE PROGRAM [ARGS...]
//
// prints "WALL_S CPU_S MAX_RSS_KIB EXIT_CODE" on its own standard output.
// The program gets /dev/null as standard input and STDOUT_FILE (created or
// truncated) as standard output. Wall time is taken around fork and wait4.
//
// Linux keeps the peak RSS of the memory a process had before exec in its
// ru_maxrss, so a child forked from a big process (a Python driver, say)
// reports at least the parent's size. Forked from this small one, the
// figure is the program's own.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

double seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

double seconds(const timespec& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: spawn_usage STDOUT_FILE PROGRAM [ARGS...]\n", stderr);
    return 2;
  }
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("fork");
    return 2;
  }
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0) _exit(126);
    close(in);
    close(out);
    execv(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) {
    std::perror("wait4");
    return 2;
  }
  timespec end{};
  clock_gettime(CLOCK_MONOTONIC, &end);

  int code = -1;
  if (WIFEXITED(status))
    code = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    code = 128 + WTERMSIG(status);
  std::printf("%.6f %.6f %ld %d\n", seconds(end) - seconds(start),
              seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss, code);
  return 0;
}
