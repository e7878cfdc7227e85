#include "console/keypress.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iterator>

namespace lorvex {
namespace {

enum class keyboard_state { not_opened, open, unavailable };

// The one connection to the keyboard. The signal handlers read it, so it
// lives for the whole process.
keyboard_state state = keyboard_state::not_opened;
int tty_fd = -1;
termios found_mode;  // as the run found the terminal
termios key_mode;    // single keys, no echo
volatile std::sig_atomic_t key_mode_set = 0;

// Signals that end the program while the terminal is switched.
constexpr int ending_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction previous_endings[std::size(ending_signals)];
struct sigaction previous_suspend;

void give_back_mode() {
  if (key_mode_set != 0) ::tcsetattr(tty_fd, TCSANOW, &found_mode);
  key_mode_set = 0;
}

// Only from the foreground: a background process group that changes the
// mode is stopped by the terminal.
void take_key_mode() {
  if (::tcgetpgrp(tty_fd) == ::getpgrp() && ::tcsetattr(tty_fd, TCSANOW, &key_mode) == 0) key_mode_set = 1;
}

// Restores the terminal, then lets the signal end the program the default
// way, so that the parent sees the real cause. Async-signal-safe only.
extern "C" void restore_and_reraise(int sig) {
  give_back_mode();
  ::signal(sig, SIG_DFL);
  ::raise(sig);  // blocked while the handler runs: acts once it returns
}

void catch_suspend();

// Ctrl+Z: give the terminal back for as long as the program is stopped,
// and take it again when it continues in the foreground.
extern "C" void restore_and_suspend(int) {
  const int saved_errno = errno;
  give_back_mode();
  ::signal(SIGTSTP, SIG_DFL);
  sigset_t tstp;
  ::sigemptyset(&tstp);
  ::sigaddset(&tstp, SIGTSTP);
  ::sigprocmask(SIG_UNBLOCK, &tstp, nullptr);
  ::raise(SIGTSTP);  // stops here until SIGCONT
  catch_suspend();
  take_key_mode();
  errno = saved_errno;
}

void catch_suspend() {
  struct sigaction act = {};
  act.sa_handler = restore_and_suspend;
  ::sigemptyset(&act.sa_mask);
  ::sigaction(SIGTSTP, &act, nullptr);
}

void catch_signals() {
  struct sigaction act = {};
  act.sa_handler = restore_and_reraise;
  ::sigemptyset(&act.sa_mask);
  for (int sig : ending_signals) ::sigaddset(&act.sa_mask, sig);
  ::sigaddset(&act.sa_mask, SIGTSTP);
  for (std::size_t i = 0; i < std::size(ending_signals); ++i) {
    ::sigaction(ending_signals[i], nullptr, &previous_endings[i]);
    // A signal the caller chose to ignore stays ignored.
    if (previous_endings[i].sa_handler != SIG_IGN) ::sigaction(ending_signals[i], &act, nullptr);
  }
  ::sigaction(SIGTSTP, nullptr, &previous_suspend);
  if (previous_suspend.sa_handler != SIG_IGN) catch_suspend();
}

void release_signals() {
  for (std::size_t i = 0; i < std::size(ending_signals); ++i)
    ::sigaction(ending_signals[i], &previous_endings[i], nullptr);
  ::sigaction(SIGTSTP, &previous_suspend, nullptr);
}

bool open_keyboard() {
  tty_fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (tty_fd < 0) return false;
  if (::tcgetpgrp(tty_fd) != ::getpgrp() || ::tcgetattr(tty_fd, &found_mode) != 0) {
    ::close(tty_fd);
    tty_fd = -1;
    return false;
  }
  key_mode = found_mode;
  key_mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  key_mode.c_cc[VMIN] = 1;
  key_mode.c_cc[VTIME] = 0;

  // Handlers first, so that no signal can find the mode changed and the
  // handler missing. TCSANOW keeps whatever input is pending.
  catch_signals();
  take_key_mode();
  if (key_mode_set == 0) {
    release_signals();
    ::close(tty_fd);
    tty_fd = -1;
    return false;
  }
  return true;
}

}  // namespace

bool key_pending() {
  if (state == keyboard_state::not_opened)
    state = open_keyboard() ? keyboard_state::open : keyboard_state::unavailable;
  if (state != keyboard_state::open) return false;
  // Continued in the background after Ctrl+Z, the keys belong to the shell;
  // back in the foreground the program takes the keyboard again.
  if (key_mode_set == 0) take_key_mode();
  if (key_mode_set == 0) return false;
  int pending = 0;
  return ::ioctl(tty_fd, FIONREAD, &pending) == 0 && pending > 0;
}

void release_keyboard() {
  if (state != keyboard_state::open) return;
  give_back_mode();
  release_signals();
  ::close(tty_fd);
  tty_fd = -1;
  state = keyboard_state::unavailable;
}

}  // namespace lorvex
