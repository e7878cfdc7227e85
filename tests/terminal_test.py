#!/usr/bin/env python3
"""The keypress stop of lorvex -d/-D, driven through a real terminal.

Usage: python3 tests/terminal_test.py /path/to/lorvex

Every run happens in a pane of a private tmux server, under a plain bash
script, so that the program has a controlling terminal of its own (the pty
of the pane). The scripts write their results to files (exit status,
`stty -g` before and after, what the next reader of the terminal got);
the screen is only watched to know how far a run has come.

Each pane's shell is started with the signal actions a login on a terminal
has (tmux hands its panes SIGTTIN and SIGTTOU ignored), so that a change
of the terminal mode from a background process group really stops the
process, as it would at a real terminal.

The test also opens the pane's tty itself, without making it its
controlling terminal, to look at the terminal mode while a run is going
on and to see (FIONREAD) when a key sent with send-keys has really reached
the terminal's input queue.

Exit status: 0 all checks passed, 1 a check failed, 77 skipped (no tmux,
or no tmux server could be started).
"""

import errno
import fcntl
import os
import re
import shlex
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import time
import traceback

SKIP = 77
DEADLINE = 10.0  # seconds, for every single wait
POLL = 0.05

COMMENT_1 = "# c1\n"
RECORD_IN = "*000000000042,3E8,A,64,10 20\n"
RECORD_ECHO = "*000000000042.0, 100.000, 0.100, 0.256, 0.512"
RECORD_OUT = RECORD_ECHO + "\r\n\r\n"
# Written in one write() after the key press: the blocked read returns
# both lines at once, so the second one sits read but not yet dispatched
# when the next pass looks at the keyboard.
AFTER_KEY = "# c2\n# c3\n"

RUN_STAMP = re.compile(
    rb"# run on (Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
    rb"[ 0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\r\n")

# The pane's command starts with SIGTTIN and SIGTTOU ignored (tmux leaves
# them so), and a shell cannot give an ignored signal back its default.
# Starts the pane's shell the way a login on a terminal would have it, so
# that a change of the terminal mode from the background really stops.
DEFAULT_SIGNALS = """\
import os, signal, sys
for sig in (signal.SIGTTIN, signal.SIGTTOU, signal.SIGPIPE, signal.SIGXFSZ):
    signal.signal(sig, signal.SIG_DFL)
os.execvp(sys.argv[1], sys.argv[1:])
"""

# Runs a command, writes its pid to "pid" and how it ended to "status".
WAITER = """\
import os, signal, sys
for sig in (signal.SIGINT, signal.SIGQUIT):
    signal.signal(sig, lambda *_: None)
pid = os.fork()
if pid == 0:
    os.execv(sys.argv[1], sys.argv[1:])
with open("pid.tmp", "w") as f:
    f.write("%d\\n" % pid)
os.rename("pid.tmp", "pid")
_, st = os.waitpid(pid, 0)
with open("status", "w") as f:
    if os.WIFSIGNALED(st):
        f.write("killed by signal %d\\n" % os.WTERMSIG(st))
    else:
        f.write("exit %d\\n" % os.WEXITSTATUS(st))
"""


class Failure(Exception):
    pass


class Skip(Exception):
    pass


def say(text):
    print(text, flush=True)


def check(ok, what, detail=""):
    if not ok:
        raise Failure(what + ("\n" + detail if detail else ""))
    say("  ok: " + what)


def check_equal(actual, expected, what):
    check(actual == expected, what, "    expected: %r\n    actual:   %r" % (expected, actual))


def wait_until(cond, what, context=None):
    """Polls cond() until it returns a true value; fails after DEADLINE."""
    end = time.monotonic() + DEADLINE
    while True:
        got = cond()
        if got:
            return got
        if time.monotonic() > end:
            detail = context() if context else ""
            raise Failure("timed out after %g s waiting for %s%s" % (DEADLINE, what, detail))
        time.sleep(POLL)


def foreground_group_of(pid):
    """The foreground process group of pid's controlling terminal (from /proc)."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[5])  # tpgid, the 8th field of the whole line


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def mask_run_stamp(output):
    m = RUN_STAMP.search(output)
    if m is None:
        return output
    return output[:m.start()] + b"# run on <stamp>\r\n" + output[m.end():]


def crlf(text):
    return text.replace("\n", "\r\n").encode()


class Tmux:
    """A private tmux server; every scenario gets a window of its own."""

    def __init__(self, folder):
        self.exe = shutil.which("tmux")
        if self.exe is None:
            raise Skip("tmux not found")
        self.sock = os.path.join(folder, "tmux.sock")
        self.env = dict(os.environ)
        self.env.pop("TMUX", None)
        self.env.pop("TMUX_PANE", None)
        self.started = False
        try:
            r = self._tmux("-f", "/dev/null", "new-session", "-d", "-s", "lorvex", "-x", "200", "-y", "50",
                           "bash", "--norc", "--noprofile", check_rc=False)
        except (OSError, subprocess.TimeoutExpired) as e:
            raise Skip("tmux server cannot start: %s" % e)
        self.started = True
        if r.returncode != 0:
            raise Skip("tmux server cannot start: %s" % (r.stderr.strip() or "exit status %d" % r.returncode))
        # A finished script leaves its pane, so the screen can still be read.
        self._tmux("set-option", "-g", "remain-on-exit", "on")
        self._tmux("set-option", "-g", "history-limit", "5000")

    def _tmux(self, *args, check_rc=True):
        r = subprocess.run([self.exe, "-S", self.sock] + list(args), env=self.env, stdin=subprocess.DEVNULL,
                           capture_output=True, text=True, timeout=DEADLINE)
        if check_rc and r.returncode != 0:
            raise Failure("tmux %s failed: %s" % (" ".join(args), r.stderr.strip()))
        return r

    def new_pane(self, script):
        # Several arguments: tmux runs the command itself, with no shell
        # of the user's between.
        r = self._tmux("new-window", "-d", "-P", "-F", "#{pane_id}", "-t", "lorvex:",
                       sys.executable, "-c", DEFAULT_SIGNALS, "bash", "--norc", "--noprofile", script)
        return r.stdout.strip()

    def tty_of(self, pane):
        return self._tmux("display-message", "-p", "-t", pane, "#{pane_tty}").stdout.strip()

    def screen(self, pane):
        return self._tmux("capture-pane", "-p", "-J", "-S", "-", "-t", pane).stdout

    def send(self, pane, *keys):
        self._tmux("send-keys", "-t", pane, *keys)

    def send_literal(self, pane, text):
        self._tmux("send-keys", "-t", pane, "-l", text)

    def kill_pane(self, pane):
        self._tmux("kill-pane", "-t", pane, check_rc=False)

    def close(self):
        if self.started:
            try:
                self._tmux("kill-server", check_rc=False)
            except (OSError, subprocess.TimeoutExpired):
                pass


class Scenario:
    """One bash script in its own pane, with a folder for its files."""

    def __init__(self, tmux, root, name, lorvex, body):
        self.tmux = tmux
        self.dir = os.path.join(root, name)
        os.mkdir(self.dir)
        self.fifo_fd = None
        self.tty_fd = None
        script = os.path.join(self.dir, "script.sh")
        with open(script, "w") as f:
            # The shell stays on after the end: the last output written
            # by a process that then closes the pty can be lost to tmux.
            f.write("cd %s || exit 1\nLORVEX=%s\n%s\n: > done\necho END-OF-SCRIPT\nexec sleep 30\n"
                    % (shlex.quote(self.dir), shlex.quote(lorvex), body))
        self.pane = tmux.new_pane(script)

    def path(self, name):
        return os.path.join(self.dir, name)

    def read(self, name):
        return read_bytes(self.path(name))

    def text(self, name):
        return self.read(name).decode(errors="replace").strip()

    def screen(self):
        return self.tmux.screen(self.pane)

    def context(self):
        return "\n--- screen of the pane ---\n%s\n--------------------------" % self.screen().rstrip()

    def wait_file(self, name):
        wait_until(lambda: os.path.exists(self.path(name)), "file %r" % name, self.context)

    def wait_done(self):
        self.wait_file("done")

    def wait_screen(self, pattern, what):
        rx = re.compile(pattern)

        def seen():
            if rx.search(self.screen()):
                return True
            if os.path.exists(self.path("done")) and "END-OF-SCRIPT" in self.screen() \
                    and not rx.search(self.screen()):
                rc = self.text("rc") if os.path.exists(self.path("rc")) else "no rc file"
                raise Failure("the script ended (%s) before %s was on the screen%s" % (rc, what, self.context()))
            return False
        wait_until(seen, what + " on the screen", self.context)

    # The pane's terminal, seen from outside.

    def open_tty(self):
        self.tty_fd = os.open(self.tmux.tty_of(self.pane), os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)

    def mode(self):
        return termios.tcgetattr(self.tty_fd)

    def pending(self):
        buf = fcntl.ioctl(self.tty_fd, termios.FIONREAD, struct.pack("i", 0))
        return struct.unpack("i", buf)[0]

    def wait_key_queued(self, count=1):
        """Waits until the keys sent have reached the terminal's input queue."""
        wait_until(lambda: self.pending() >= count, "the key in the terminal's input queue", self.context)

    # The FIFO the program reads.

    def make_fifo(self):
        os.mkfifo(self.path("fifo"))

    def open_fifo(self):
        """Opens the FIFO for writing once the program has it open for reading."""
        def try_open():
            try:
                return os.open(self.path("fifo"), os.O_WRONLY | os.O_NONBLOCK)
            except OSError as e:
                if e.errno == errno.ENXIO:
                    return None
                raise
        self.fifo_fd = wait_until(try_open, "lorvex to open its input", self.context)

    def feed(self, text):
        data = text.encode()
        try:
            n = os.write(self.fifo_fd, data)
        except BrokenPipeError:
            raise Failure("lorvex stopped reading before %r was written%s" % (text, self.context()))
        if n != len(data):
            raise Failure("short write to the FIFO")

    def close_fifo(self):
        if self.fifo_fd is not None:
            os.close(self.fifo_fd)
            self.fifo_fd = None

    def close(self):
        self.close_fifo()
        if self.tty_fd is not None:
            os.close(self.tty_fd)
            self.tty_fd = None
        self.tmux.kill_pane(self.pane)


class Suite:
    def __init__(self, lorvex, tmux, root):
        self.lorvex = lorvex
        self.tmux = tmux
        self.root = root
        self.stamp = None

    def scenario(self, name, body):
        return Scenario(self.tmux, self.root, name, self.lorvex, body)

    def header(self):
        return ("# lorvex built : %s\r\n# run on <stamp>\r\n\r\n" % self.stamp).encode()

    def check_output(self, sc, body, what):
        got = mask_run_stamp(sc.read("out"))
        check_equal(got, self.header() + body, what)

    def check_status(self, sc, status):
        check_equal(sc.text("rc"), "rc=%d" % status, "exit status %d" % status)

    def check_mode_kept(self, sc):
        before = sc.text("before")
        check(before != "", "stty -g read the terminal before the run")
        check_equal(sc.text("after"), before, "stty -g after the run is the same as before")

    def check_keyboard_mode(self, sc, found):
        """The mode while the keyboard is open: no canonical input, no echo, signals on."""
        now = sc.mode()
        lflag = now[3]
        check(lflag & termios.ICANON == 0, "while running, the terminal reads keys without Enter (-icanon)")
        check(lflag & termios.ECHO == 0, "while running, typed keys are not echoed (-echo)")
        check(lflag & termios.ISIG != 0, "while running, Ctrl+C still sends a signal (isig)")
        check(now[6][termios.VMIN] in (1, b"\x01") and now[6][termios.VTIME] in (0, b"\x00"),
              "while running, min 1 time 0")
        check_equal(now[:3], found[:3], "while running, input, output and control flags untouched")

    # -- the checks ---------------------------------------------------------

    def no_controlling_terminal(self):
        say("without a controlling terminal, -d runs to the end like a plain run")
        d = os.path.join(self.root, "no-tty")
        os.mkdir(d)
        with open(os.path.join(d, "in"), "w") as f:
            f.write(COMMENT_1 + RECORD_IN)
        r = subprocess.run([self.lorvex, "-d", "in", "out"], cwd=d, stdin=subprocess.DEVNULL,
                           capture_output=True, start_new_session=True, timeout=DEADLINE)
        check_equal(r.returncode, 0, "exit status 0")
        m = re.match(rb"lorvex in out : (.+)\r\n", r.stdout)
        check(m is not None, "the console starts with the start line", repr(r.stdout[:200]))
        self.stamp = m.group(1).decode()
        check(b"LINE # 3" in r.stdout, "the trace reaches the end of the input")
        got = mask_run_stamp(read_bytes(os.path.join(d, "out")))
        check_equal(got, self.header() + crlf(COMMENT_1) + RECORD_OUT.encode(), "the output is complete")

    def key_pending_at_start(self, flag):
        say("%s: a key pressed before the run starts ends it before the first line" % flag)
        sc = self.scenario("pending-at-start" + flag, """
stty -g > before
printf 'press a key: '
i=0; while [ ! -e go ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done
"$LORVEX" %s in out < /dev/null > console
echo "rc=$?" > rc
stty -g > after
IFS= read -rsn1 -t 10 k; echo "key=[$k]" > key
""" % flag)
        try:
            with open(sc.path("in"), "w") as f:
                f.write(COMMENT_1 + RECORD_IN + "# c2\n")
            sc.wait_screen(r"press a key:", "the prompt")
            sc.tmux.send_literal(sc.pane, "x")
            # The echo shows that the terminal has the key in its input queue.
            sc.wait_screen(r"press a key: x", "the echo of the key")
            open(sc.path("go"), "w").close()
            sc.wait_done()
            self.check_status(sc, 0)
            check_equal(sc.read("console"), ("lorvex in out : %s\r\n" % self.stamp).encode(),
                        "the console holds the start line alone (standard input was /dev/null)")
            self.check_output(sc, b"", "the output holds the two header lines alone")
            self.check_mode_kept(sc)
            check_equal(sc.text("key"), "key=[x]", "the key is still there for the next reader")
        finally:
            sc.close()

    def fifo_run(self, name, flags, tail="", background=False):
        """Starts lorvex on a FIFO in a pane and feeds it a comment and a
        record; returns when the run waits for its third line."""
        run = '"$LORVEX" %s fifo out' % flags
        if background:
            run = "set -m\n%s &\nwait $!" % run
        sc = self.scenario(name, """
# The trace goes to this terminal, from the background too.
stty -tostop
stty -g > before
%s
echo "rc=$?" > rc
stty -g > after
%s
""" % (run, tail))
        try:
            sc.make_fifo()
            sc.wait_file("before")
            sc.open_tty()
            found = sc.mode()
            sc.open_fifo()
            sc.wait_screen(r"LINE # 1\n", "the first line header")
            if "-d" in flags and not background:
                self.check_keyboard_mode(sc, found)
            else:
                check_equal(sc.mode(), found, "while running, the terminal mode is untouched")
            sc.feed(COMMENT_1)
            sc.wait_screen(r"LINE # 2\n", "the second line header")
            sc.feed(RECORD_IN)
            sc.wait_screen(re.escape(RECORD_ECHO) + r"\n+LINE # 3\n", "the record echo and the third line header")
            return sc
        except BaseException:
            sc.close()
            raise

    def key_while_blocked(self, reader):
        say("-d: a key pressed while the read waits on a FIFO ends the run at the next pass (%s)" % reader)
        if reader == "raw":
            tail = 'IFS= read -rsn1 -t 10 k; echo "key=[$k]" > key'
        else:  # a plain line read, the terminal back in canonical mode
            tail = 'IFS= read -r -t 10 k; echo "key=[$k]" > key'
        sc = self.fifo_run("key-while-blocked-" + reader, "-d", tail)
        try:
            sc.tmux.send_literal(sc.pane, "e")
            sc.wait_key_queued()
            # The blocked read returns this write: its first line is
            # dispatched, then the next pass finds the key and stops. The
            # FIFO stays open, so only the key can end the run.
            sc.feed(AFTER_KEY)
            sc.wait_file("rc")
            if reader == "line":
                sc.tmux.send(sc.pane, "Enter")
            sc.wait_done()
            self.check_status(sc, 0)
            self.check_output(sc, crlf(COMMENT_1) + RECORD_OUT.encode() + crlf("# c2\n"),
                              "the output ends with the line read before the stop; the line after it is dropped")
            sc.wait_screen(r"END-OF-SCRIPT", "the end of the script")
            screen = sc.screen()
            check("LINE # 3" in screen and "LINE # 4" not in screen, "no fourth line header was printed")
            self.check_mode_kept(sc)
            what = ("bash's read -n1" if reader == "raw" else
                    "a line read in canonical mode (Enter sent after the run)")
            check_equal(sc.text("key"), "key=[e]", "the key that stopped the run is received by " + what)
        finally:
            sc.close()

    def key_without_debug(self):
        say("without -d, a key press changes nothing: the run reads its input to the end")
        self.key_changes_nothing(self.fifo_run("no-debug", ""))

    def normal_end(self):
        say("-d: a run that reaches the end of its input gives the terminal back unchanged")
        sc = self.scenario("normal-end", """
stty -g > before
printf 'x\\ny\\n' | "$LORVEX" -d in out > console
echo "rc=$?" > rc
stty -g > after
""")
        try:
            with open(sc.path("in"), "w") as f:
                f.write(COMMENT_1 + RECORD_IN + "# c2\n")
            sc.wait_done()
            self.check_status(sc, 0)
            self.check_output(sc, crlf(COMMENT_1) + RECORD_OUT.encode() + crlf("# c2\n"),
                              "the output is complete (bytes on standard input are no key press)")
            check(b"LINE # 4" in sc.read("console"), "the trace reaches the end of the input")
            self.check_mode_kept(sc)
        finally:
            sc.close()

    def ended_by_signal(self, signame, keys):
        sig = getattr(signal, signame)
        how = "Ctrl+%s" % keys[2:] if keys else "kill -%s" % signame[3:]
        say("-d: %s (%s) while the read waits on a FIFO: the terminal is restored, "
            "the process dies of the signal" % (signame, how))
        # A shell's $? is 128 + n both for death by signal n and for exit
        # status 128 + n: a small waiter between the shell and lorvex tells
        # them apart. The script and the waiter catch the keyboard's
        # signals themselves, so that they live on to report; lorvex gets
        # the default actions all the same (exec resets caught signals).
        sc = self.scenario("signal-" + signame, """
trap 'echo trapped' INT QUIT
ulimit -c 0
stty -g > before
%s waiter.py "$LORVEX" -d fifo out
stty -g > after
""" % shlex.quote(sys.executable))
        with open(sc.path("waiter.py"), "w") as f:
            f.write(WAITER)
        try:
            sc.make_fifo()
            sc.wait_file("before")
            sc.open_tty()
            sc.open_fifo()
            sc.wait_screen(r"LINE # 1\n", "the first line header")
            check(sc.mode()[3] & termios.ICANON == 0, "while running, the terminal is switched (-icanon)")
            sc.feed(COMMENT_1)
            sc.wait_screen(r"LINE # 2\n", "the second line header")
            if keys:
                sc.tmux.send(sc.pane, keys)
            else:
                sc.wait_file("pid")
                os.kill(int(sc.text("pid")), sig)
            sc.wait_done()
            check_equal(sc.text("status"), "killed by signal %d" % sig, "lorvex died of %s" % signame)
            self.check_mode_kept(sc)
        finally:
            sc.close()

    def suspend_after_first_line(self, sc):
        """Starts the scenario's run on its FIFO, feeds it one comment and
        sends Ctrl+Z; returns the terminal mode found before the run."""
        sc.make_fifo()
        sc.wait_file("before")
        sc.open_tty()
        found = sc.mode()
        sc.open_fifo()
        sc.wait_screen(r"LINE # 1\n", "the first line header")
        sc.feed(COMMENT_1)
        sc.wait_screen(r"LINE # 2\n", "the second line header")
        sc.tmux.send(sc.pane, "C-z")
        return found

    def suspended_and_resumed(self):
        say("-d: Ctrl+Z gives the terminal back while the run is stopped; fg takes it again, keys stop it as before")
        sc = self.scenario("suspend", """
set -m
stty -g > before
"$LORVEX" -d fifo out
echo "rc=$?" > rc-stopped
stty -g > stopped.tmp && mv stopped.tmp stopped
fg > /dev/null
echo "rc=$?" > rc
stty -g > after
""")
        try:
            found = self.suspend_after_first_line(sc)
            sc.wait_file("stopped")
            check_equal(sc.text("rc-stopped"), "rc=%d" % (128 + signal.SIGTSTP), "the run is stopped by SIGTSTP")
            check_equal(sc.text("stopped"), sc.text("before"), "while stopped, stty -g is the same as before")
            wait_until(lambda: sc.mode()[3] & termios.ICANON == 0, "the keyboard mode after fg", sc.context)
            self.check_keyboard_mode(sc, found)
            sc.tmux.send_literal(sc.pane, "e")
            sc.wait_key_queued()
            sc.feed(AFTER_KEY)
            sc.wait_done()
            self.check_status(sc, 0)
            self.check_output(sc, crlf(COMMENT_1) + crlf("# c2\n"),
                              "the read goes on after the stop; the key ends the run at the next pass")
            self.check_mode_kept(sc)
        finally:
            sc.close()

    def suspended_then_background(self):
        say("-d: Ctrl+Z and bg: in the background keys change nothing; after fg the run takes the keyboard again")
        sc = self.scenario("suspend-bg", """
set -m
stty -tostop
stty -g > before
"$LORVEX" -d fifo out
echo "rc=$?" > rc-stopped
bg > /dev/null
jobs -p > job.tmp && mv job.tmp job
while [ ! -f go-fg ]; do sleep 0.05; done
fg > /dev/null
echo "rc=$?" > rc
stty -g > after
""")
        try:
            found = self.suspend_after_first_line(sc)
            sc.wait_file("job")
            sc.feed("# b1\n")
            sc.wait_screen(r"LINE # 3\n", "the run going on in the background")
            check_equal(sc.mode(), found, "in the background the terminal mode is the shell's")
            # Nobody reads the terminal now: the key waits in its queue.
            sc.tmux.send_literal(sc.pane, "e")
            sc.tmux.send(sc.pane, "Enter")
            sc.wait_key_queued(2)
            sc.feed("# b2\n")
            sc.wait_screen(r"LINE # 4\n", "a key not stopping the run in the background")
            job = int(sc.text("job"))
            with open(sc.path("go-fg"), "w"):
                pass
            wait_until(lambda: foreground_group_of(job) == job, "fg to give the run the terminal", sc.context)
            # Back in the foreground, the next pass takes the keyboard again
            # and finds the key that waits there.
            sc.feed("# b3\n")
            sc.wait_done()
            self.check_status(sc, 0)
            self.check_output(sc, crlf(COMMENT_1 + "# b1\n# b2\n# b3\n"),
                              "the run read on in the background and stopped in the foreground")
            self.check_mode_kept(sc)
        finally:
            sc.close()

    def background(self):
        say("-d in a background process group: the terminal is not touched, no SIGTTOU stop, keys change nothing")
        self.key_changes_nothing(self.fifo_run("background", "-d", background=True))

    def key_changes_nothing(self, sc):
        """A key and Enter on a run that must not see them: it reads its
        FIFO to the end."""
        try:
            sc.tmux.send_literal(sc.pane, "e")
            sc.tmux.send(sc.pane, "Enter")
            # In canonical mode the queue counts complete lines only.
            sc.wait_key_queued(2)
            sc.feed(AFTER_KEY)
            sc.wait_screen(r"LINE # 5\n", "the fifth line header")
            sc.close_fifo()
            sc.wait_done()
            self.check_status(sc, 0)
            self.check_output(sc, crlf(COMMENT_1) + RECORD_OUT.encode() + crlf(AFTER_KEY), "the output is complete")
            self.check_mode_kept(sc)
        finally:
            sc.close()


def main(argv):
    if len(argv) != 2:
        print("usage: terminal_test.py /path/to/lorvex", file=sys.stderr)
        return 2
    lorvex = os.path.abspath(argv[1])
    if not os.access(lorvex, os.X_OK):
        print("FAIL: %s is not an executable" % lorvex, file=sys.stderr)
        return 1
    if shutil.which("bash") is None:
        print("SKIPPED: bash not found", flush=True)
        return SKIP

    # A test driver that gives up on us sends SIGTERM: clean up all the same.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    root = tempfile.mkdtemp(prefix="lorvex-terminal-")
    tmux = None
    failures = []
    try:
        try:
            tmux = Tmux(root)
        except Skip as e:
            print("SKIPPED: %s" % e, flush=True)
            return SKIP
        suite = Suite(lorvex, tmux, root)
        checks = [
            suite.no_controlling_terminal,
            lambda: suite.key_pending_at_start("-d"),
            lambda: suite.key_pending_at_start("-D"),
            lambda: suite.key_while_blocked("raw"),
            lambda: suite.key_while_blocked("line"),
            suite.key_without_debug,
            suite.normal_end,
            lambda: suite.ended_by_signal("SIGINT", "C-c"),
            lambda: suite.ended_by_signal("SIGQUIT", "C-\\"),
            lambda: suite.ended_by_signal("SIGTERM", None),
            lambda: suite.ended_by_signal("SIGHUP", None),
            suite.suspended_and_resumed,
            suite.suspended_then_background,
            suite.background,
        ]
        for run_check in checks:
            try:
                run_check()
            except Failure as e:
                say("  FAIL: %s" % e)
                failures.append(str(e).splitlines()[0])
            except Exception as e:  # a broken step of the test itself
                say("  FAIL: %s" % traceback.format_exc().rstrip())
                failures.append("%s: %s" % (type(e).__name__, e))
            if suite.stamp is None:
                say("FAIL: cannot go on without the build stamp")
                return 1
    finally:
        if tmux is not None:
            tmux.close()
        shutil.rmtree(root, ignore_errors=True)

    if failures:
        say("\n%d check(s) failed:" % len(failures))
        for f in failures:
            say("  - " + f)
        return 1
    say("\nall terminal checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
