#include "console/keypress.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <iterator>

namespace lorvex {
namespace {

enum class keyboard_state { not_opened, open, unavailable };

// The one connection to the keyboard. The signal handler reads it, so it
// lives for the whole process.
keyboard_state state = keyboard_state::not_opened;
int tty_fd = -1;
termios found_mode;

// Signals that end the program while the terminal is switched.
constexpr int ending_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction previous_actions[sizeof ending_signals / sizeof ending_signals[0]];

// Restores the terminal, then lets the signal end the program the default
// way, so that the parent sees the real cause. Async-signal-safe only.
extern "C" void restore_and_reraise(int sig) {
  ::tcsetattr(tty_fd, TCSANOW, &found_mode);
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

void catch_ending_signals() {
  struct sigaction act = {};
  act.sa_handler = restore_and_reraise;
  ::sigemptyset(&act.sa_mask);
  for (int sig : ending_signals) ::sigaddset(&act.sa_mask, sig);
  for (std::size_t i = 0; i < std::size(ending_signals); ++i) {
    ::sigaction(ending_signals[i], nullptr, &previous_actions[i]);
    // A signal the caller chose to ignore stays ignored.
    if (previous_actions[i].sa_handler != SIG_IGN) ::sigaction(ending_signals[i], &act, nullptr);
  }
}

void release_ending_signals() {
  for (std::size_t i = 0; i < std::size(ending_signals); ++i)
    ::sigaction(ending_signals[i], &previous_actions[i], nullptr);
}

bool open_keyboard() {
  tty_fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (tty_fd < 0) return false;
  // Changing the mode from a background process group would stop us.
  if (::tcgetpgrp(tty_fd) != ::getpgrp() || ::tcgetattr(tty_fd, &found_mode) != 0) {
    ::close(tty_fd);
    tty_fd = -1;
    return false;
  }
  termios keys = found_mode;
  keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  keys.c_cc[VMIN] = 1;
  keys.c_cc[VTIME] = 0;

  // Handlers first, so that no signal can find the mode changed and the
  // handler missing. TCSANOW keeps whatever input is pending.
  catch_ending_signals();
  if (::tcsetattr(tty_fd, TCSANOW, &keys) != 0) {
    release_ending_signals();
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
  int pending = 0;
  return ::ioctl(tty_fd, FIONREAD, &pending) == 0 && pending > 0;
}

void release_keyboard() {
  if (state != keyboard_state::open) return;
  ::tcsetattr(tty_fd, TCSANOW, &found_mode);
  release_ending_signals();
  ::close(tty_fd);
  tty_fd = -1;
  state = keyboard_state::unavailable;
}

}  // namespace lorvex
