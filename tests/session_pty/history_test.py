#!/usr/bin/env python3
"""Types at kvst through a pseudo-terminal: line editing, the up-arrow, the
history file between runs, end of input, and no history file without HOME.

Usage: history_test.py BUILD_DIR. Every wait is bounded; a run that does not
answer in time fails the test.
"""
import os
import pty
import re
import select
import shutil
import sys
import tempfile
import termios
import time

EXE = os.path.abspath(os.path.join(sys.argv[1], 'kvst'))
UP = b'\x1b[A'
EOF_KEY = b'\x04'
WAIT = 20.0  # seconds for any one answer of the program
NO_FIT = b' NO FIT ATTEMPTS AVAILABLE FOR LISTING.'
OPTIONS = b' TYPE HELP OR OPTION:'  # the line before each command prompt
failures = []


def fail(message):
    failures.append(message)
    print('FAIL:', message)


class Run:
    """kvst on a pseudo-terminal, in folder `cwd`, with HOME set to `home`."""

    def __init__(self, cwd, home):
        env = {k: v for k, v in os.environ.items()
               if k not in ('DISPLAY', 'PGPLOT_ZOV_PPAGE', 'PGPLOT_ZOV_PRINT_CMD', 'HOME')}
        env.update(PGPLOT_ZOV_DEV_1='/NULL', PGPLOT_ZOV_DEV_2='/NULL', TERM='xterm')
        env['HOME'] = home
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            try:
                os.chdir(cwd)
                os.execve(EXE, [EXE], env)
            finally:
                os._exit(127)
        self.out = b''
        self.ended = False

    def _read(self, deadline):
        left = deadline - time.monotonic()
        if left <= 0 or self.ended:
            return False
        ready, _, _ = select.select([self.fd], [], [], left)
        if not ready:
            return False
        try:
            data = os.read(self.fd, 4096)
        except OSError:  # the program closed the terminal
            data = b''
        if not data:
            self.ended = True
            return False
        self.out += data
        return True

    def wait_for(self, text, count):
        """Reads until the output holds `text` `count` times."""
        deadline = time.monotonic() + WAIT
        while self.out.count(text) < count:
            if not self._read(deadline):
                raise TimeoutError('waiting for %r (%d times); output so far: %r'
                                   % (text, count, self.out))

    def wait_ready(self, text, count):
        """Waits until the output holds `text` `count` times and then until the
        line editor takes the terminal out of line mode (keys typed before that
        would be echoed by the terminal itself, as typing ahead is). `text` is
        output that comes after the previous line was read and before the next
        read, such as the option line before each prompt."""
        self.wait_for(text, count)
        deadline = time.monotonic() + WAIT
        while termios.tcgetattr(self.fd)[3] & termios.ICANON:
            if time.monotonic() > deadline:
                raise TimeoutError('the terminal stays in line mode after %r (%d times)'
                                   % (text, count))
            time.sleep(0.01)

    def type(self, keys):
        os.write(self.fd, keys)

    def finish(self):
        """Reads to the end and returns the exit status, killing a run that hangs."""
        deadline = time.monotonic() + WAIT
        while self._read(deadline):
            pass
        for _ in range(int(WAIT * 10)):
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                os.close(self.fd)
                return os.waitstatus_to_exitcode(status)
            time.sleep(0.1)
        os.kill(self.pid, 9)
        os.waitpid(self.pid, 0)
        os.close(self.fd)
        raise TimeoutError('the program did not end; output: %r' % self.out)


def screen(raw):
    """The lines a terminal shows for the output: carriage return, newline,
    backspace, and the cursor moves and erasures a line editor sends."""
    lines, row, col = [[]], 0, 0
    i = 0
    while i < len(raw):
        c = raw[i]
        i += 1
        if c == 0x1b:
            m = re.match(rb'\[(\d*)([A-Za-z])', raw[i:])
            if not m:
                raise ValueError('unknown escape at %r' % raw[i - 1:i + 8])
            i += m.end()
            n = int(m.group(1) or b'1')
            if m.group(2) == b'G':
                col = n - 1
            elif m.group(2) == b'C':
                col += n
            elif m.group(2) == b'D':
                col = max(0, col - n)
            elif m.group(2) == b'K':
                del lines[row][col:]
            else:
                raise ValueError('unknown escape %r' % m.group(0))
            continue
        if c == ord('\r'):
            col = 0
        elif c == ord('\n'):
            row += 1
            if row == len(lines):
                lines.append([])
        elif c == 8:
            col = max(0, col - 1)
        elif c >= 0x20:
            line = lines[row]
            line.extend(' ' * (col - len(line)))
            if col < len(line):
                line[col] = chr(c)
            else:
                line.append(chr(c))
            col += 1
    return [''.join(line) for line in lines]


def history(path):
    """The lines of a history file, without its header line and its escapes."""
    with open(path, encoding='ascii') as f:
        lines = f.read().split('\n')
    unescape = lambda s: re.sub(r'\\([0-7]{3}|\\)',
                                lambda m: '\\' if m.group(1) == '\\' else chr(int(m.group(1), 8)), s)
    return [unescape(line) for line in lines[1:] if line]


def main():
    scratch = tempfile.mkdtemp()
    try:
        home = os.path.join(scratch, 'home')
        work = os.path.join(scratch, 'work')
        os.mkdir(home)
        os.mkdir(work)
        history_file = os.path.join(home, '.kvst_history')

        # A command, then the up-arrow and Return: the command runs twice, and the
        # screen shows the prompt with each line as typed or recalled.
        run = Run(work, home)
        run.wait_ready(OPTIONS, 1)
        run.type(b'L F\r')
        run.wait_ready(OPTIONS, 2)
        run.type(UP + b'\r')
        run.wait_ready(OPTIONS, 3)
        run.type(b'E\r')
        run.wait_ready(b'(Y/N)[N] : ', 1)
        run.type(b'N\r')
        status = run.finish()
        shown = screen(run.out)[:11]
        expected = [
            ' kvst               version  2.0',
            ' TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z',
            ' kvst>L F',
            ' NO FIT ATTEMPTS AVAILABLE FOR LISTING.',
            ' TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z',
            ' kvst>L F',
            ' NO FIT ATTEMPTS AVAILABLE FOR LISTING.',
            ' TYPE HELP OR OPTION: H,R,D,X,Y,V,F,O,P,L,W,C,E,J,S,T,Z',
            ' kvst>E',
            ' DO YOU WISH TO SAVE THE CURRENT PARAMETER VALUES (Y/N)[N] : ',
            'N',
        ]
        if status != 0 or shown != expected:
            fail('first run: status %d, screen %r' % (status, shown))
        if not os.path.exists(history_file) or history(history_file) != ['L F', 'E', 'N']:
            fail('history after the first run: %r' % (
                history(history_file) if os.path.exists(history_file) else None))

        # The next run recalls the first run's command from the file; Ctrl-D at the
        # prompt is the end of input: the save question gets no answer, so nothing is saved.
        run = Run(work, home)
        run.wait_ready(OPTIONS, 1)
        run.type(UP * 3 + b'\r')
        run.wait_ready(OPTIONS, 2)
        run.type(EOF_KEY)
        status = run.finish()
        saved = os.path.join(work, 'kvst.kvn')
        if status != 0 or run.out.count(NO_FIT) != 1 or (os.path.exists(saved) and os.path.getsize(saved)):
            fail('second run: status %d, output %r' % (status, run.out))
        if history(history_file) != ['L F', 'E', 'N', 'L F']:
            fail('history after the second run: %r' % history(history_file))

        # HOME empty: no history file anywhere, not even at the root.
        root_file = '/.kvst_history'
        was_there = os.path.exists(root_file)
        run = Run(work, '')
        run.wait_ready(OPTIONS, 1)
        run.type(b'L F\r')
        run.wait_ready(OPTIONS, 2)
        run.type(EOF_KEY)
        status = run.finish()
        left = [name for name in os.listdir(work) if 'history' in name]
        if status != 0 or left or (not was_there and os.path.exists(root_file)):
            fail('run without HOME: status %d, files %r' % (status, left))
    except (TimeoutError, ValueError) as e:
        fail(str(e))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
