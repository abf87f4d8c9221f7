"""Runs a Windows console program under Wine on a private Xvfb display and
answers its message boxes and open-file dialogs with keystrokes.

Every wait here is bounded: a window that never shows, a program that never
ends, an X server that never starts all end in a failure, never in a hang."""
import fcntl
import os
import re
import select
import shutil
import signal
import struct
import tempfile
import subprocess
import termios
import threading
import time

import screen as console_screen

BOX_CAPTION = "Quillmend"
# Only these calls are traced, so the trace says which box kind was shown with
# which text at no real cost.
RELAY_INCLUDE = ";".join([
    "user32.MessageBoxA", "user32.MessageBoxW",
    "comdlg32.GetOpenFileNameA", "comdlg32.GetOpenFileNameW",
])


class HarnessError(Exception):
    pass


def _quiet(cmd, env, timeout=60, check=True):
    p = subprocess.run(cmd, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, timeout=timeout)
    if check and p.returncode != 0:
        raise HarnessError("%s failed (%d): %s" % (cmd[0], p.returncode, p.stdout[-400:]))
    return p


class Xvfb:
    """A private X server; the display number is chosen by the server itself."""

    def __init__(self):
        self.proc = None
        self.display = None

    def start(self, timeout=15):
        r, w = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=(w,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(w)
        got = b""
        end = time.time() + timeout
        while not got.endswith(b"\n"):
            left = end - time.time()
            if left <= 0 or not select.select([r], [], [], left)[0]:
                break
            chunk = os.read(r, 32)
            if not chunk:
                break
            got += chunk
        os.close(r)
        if not got.strip():
            self.stop()
            raise HarnessError("Xvfb did not start")
        self.display = ":" + got.decode().strip()
        return self.display

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)
        self.proc = None


# Columns of the terminal a console run writes to: wide enough that no line
# of the program wraps.
SCREEN_COLUMNS = 200


class Run:
    """What one program run left: stdout (\\r removed), raw stdout, exit code,
    Wine's stderr without its own noise, and the traced box/dialog calls. A run
    on a console screen has its screen (screen.Screen) instead of stdout, and
    held tells whether it was still running a while after it asked for Enter."""

    def __init__(self, raw, rc, err, calls, answered, screen=None, held=None):
        self.raw = raw
        self.out = raw.replace(b"\r", b"")
        self.rc = rc
        self.err = err
        self.calls = calls
        self.answered = answered
        self.screen = screen
        self.held = held

    def text(self, encoding="ascii"):
        return self.out.decode(encoding, "replace")


_CALL = re.compile(r"Call (user32|comdlg32)\.(\w+)\((.*)\) ret=[0-9a-f]+$")
_RET = re.compile(r"Ret  (user32|comdlg32)\.(\w+)\(\) retval=([0-9a-f]+)")


def _unescape_wine(s, wide):
    """Undo Wine's debug-string escapes (\\n, \\r, \\\\, \\xNN narrow, \\NNNN wide)."""
    out = []
    i = 0
    while i < len(s):
        c = s[i]
        if c != "\\":
            out.append(c if wide else c.encode("latin-1"))
            i += 1
            continue
        n = s[i + 1]
        if n in "nrt\\\"":
            ch = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"'}[n]
            out.append(ch if wide else ch.encode())
            i += 2
        elif n == "x":  # narrow: exactly two hex digits
            v = int(s[i + 2:i + 4], 16)
            out.append(chr(v) if wide else bytes([v]))
            i += 4
        else:  # wide: \NNNN, four hex digits
            out.append(chr(int(s[i + 1:i + 5], 16)))
            i += 5
    return "".join(out) if wide else b"".join(out)


def parse_calls(stderr_text):
    """[(function, [string args], style, result, [arg was cut])] for the traced
    calls, in order."""
    calls = []
    for line in stderr_text.splitlines():
        m = _CALL.search(line)
        if m:
            name, args = m.group(2), m.group(3)
            wide = name.endswith("W")
            # Wine cuts long strings in the trace and marks that with "..."
            found = re.findall(r'L?"((?:[^"\\]|\\.)*)"(\.\.\.)?', args)
            strs = [_unescape_wine(s, wide) for s, _ in found]
            cut = [bool(c) for _, c in found]
            flags = args.rsplit(",", 1)[-1] if name.startswith("MessageBox") else ""
            calls.append([name, strs, flags, None, cut])
            continue
        m = _RET.search(line)
        if m and calls and calls[-1][0] == m.group(2) and calls[-1][3] is None:
            calls[-1][3] = int(m.group(3), 16)
    return [tuple(c) for c in calls]


def _noise(line):
    # Wine's own trace lines start with a thread id; only relay is switched on.
    return ("Read access denied for device" in line
            or re.search(r"^[0-9a-f]{4}:", line) is not None
            or not line.strip("\x00 ")
            or line.startswith("it looks like wine32 is missing")
            or line.startswith("multiarch needs to be enabled")
            or line.startswith('execute "dpkg --add-architecture')
            or line.startswith("apt-get install wine32"))


class Wine:
    """One Wine prefix and (optionally) one X display for a whole test run."""

    def __init__(self, prefix, display=None, verbose=False):
        self.prefix = prefix
        self.display = display
        self.verbose = verbose
        self.wine = shutil.which("wine") or "wine"

    def env(self, lang="C.UTF-8", display=True, relay=True):
        e = {k: v for k, v in os.environ.items()
             if not k.startswith(("LC_", "WINE", "DISPLAY", "LANG"))}
        e.update(WINEPREFIX=self.prefix, WINEARCH="win64", LANG=lang,
                 WINEDLLOVERRIDES="mscoree,mshtml=",
                 WINEDEBUG="-all,+relay" if relay else "-all")
        if display and self.display:
            e["DISPLAY"] = self.display
        return e

    def kill_server(self):
        _quiet(["wineserver", "-k"], self.env(), timeout=30, check=False)
        _quiet(["wineserver", "-w"], self.env(), timeout=30, check=False)

    def prepare(self):
        """Create the prefix once (about 15 s); later runs reuse it."""
        stamp = os.path.join(self.prefix, ".quillmend-ready-1")
        env = self.env(relay=False, display=False)
        if not os.path.exists(stamp):
            os.makedirs(self.prefix, exist_ok=True)
            _quiet(["wineboot", "-i"], env, timeout=180)
            # Without a window manager, managed windows linger and eat keys.
            _quiet([self.wine, "reg", "add", r"HKCU\Software\Wine\X11 Driver",
                    "/v", "Managed", "/d", "N", "/f"], env)
            _quiet([self.wine, "reg", "add", r"HKCU\Software\Wine\Debug",
                    "/v", "RelayInclude", "/d", RELAY_INCLUDE, "/f"], env)
            # One exe name that is told it runs on Windows 10, for the version line.
            _quiet([self.wine, "reg", "add", r"HKCU\Software\Wine\AppDefaults\qm-win10.exe",
                    "/v", "Version", "/d", "win10", "/f"], env)
            _quiet(["wineserver", "-w"], env, timeout=60, check=False)
            open(stamp, "w").close()

    # ---- X side -----------------------------------------------------------
    def _x(self, *args, timeout=10):
        e = dict(os.environ, DISPLAY=self.display)
        p = subprocess.run(["xdotool"] + list(args), env=e, stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout)
        return p.stdout.decode("utf-8", "replace").strip()

    def windows(self, wm_class):
        ids = self._x("search", "--onlyvisible", "--classname", "^%s$" % re.escape(wm_class))
        out = []
        for wid in ids.split():
            out.append((wid, self._x("getwindowname", wid)))
        return out

    def _wait_window(self, wm_class, proc, timeout):
        end = time.time() + timeout
        while time.time() < end:
            wins = self.windows(wm_class)
            if wins:
                return wins
            if proc.poll() is not None:
                return []
            time.sleep(0.1)
        return []

    def _wait_gone(self, wid, wm_class, timeout=10):
        end = time.time() + timeout
        while time.time() < end:
            if wid not in [w for w, _ in self.windows(wm_class)]:
                return True
            time.sleep(0.1)
        return False

    def _answer(self, wid, kind, answer):
        # Without a window manager the new window does not always own the focus.
        self._x("windowfocus", "--sync", wid)
        time.sleep(0.15)
        if kind == "dialog" and answer != "Escape":
            self._x("key", "--clearmodifiers", "ctrl+a")
            self._x("type", "--delay", "15", answer)
            time.sleep(0.1)
            self._x("key", "Return")
        else:
            self._x("key", answer)

    # ---- one program run -------------------------------------------------------
    def run(self, exe, args=(), cwd=None, answers=(), lang="C.UTF-8", console=False,
            display=True, timeout=60, window_timeout=20, codepage=None, screen=False,
            via_cmd=False, enter_on=None, hold=2.0):
        """Start exe with args; answer each expected window in turn.

        answers: ("box", key) or ("dialog", text or "Escape"), optionally with a
        third item, the expected window title (a dialog's title tells which
        texture it searches). console=True gives the program a terminal as its
        stdin, so it has a console and a console code page; codepage sets that
        code page first (chcp in a command prompt that then starts exe).
        screen=True gives it the terminal as stdout too: the program writes to
        its console, which is the program's alone (as for dropped files) unless
        via_cmd starts it from a command prompt. enter_on: a text that, once the
        screen shows it, is answered with Enter after hold seconds."""
        wm_class = os.path.basename(exe).lower()
        cmd = [self.wine, exe] + list(args)
        if codepage is not None or via_cmd:
            # A batch file: quotes on a cmd /c line do not survive Wine's quoting.
            line = " ".join('"%s"' % a for a in ["Z:" + os.path.abspath(exe).replace("/", "\\")] + list(args))
            bat = os.path.join(self.prefix, "with-codepage.bat")
            chcp = "@chcp %d >nul\r\n" % codepage if codepage is not None else ""
            with open(bat, "wb") as f:
                f.write(("%s@%s\r\n@exit /b %%errorlevel%%\r\n" % (chcp, line)).encode("ascii"))
            cmd = [self.wine, "cmd", "/c", "Z:" + bat.replace("/", "\\")]
        env = self.env(lang=lang, display=display)
        master = slave = None
        stdin = subprocess.DEVNULL
        if console or screen:
            import pty
            master, slave = pty.openpty()
            fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 50, SCREEN_COLUMNS, 0, 0))
            stdin = slave
        # A new file each run: Wine's helper processes keep the stderr they
        # inherited and go on writing into it.
        errf = tempfile.TemporaryFile(dir=self.prefix)
        outf = tempfile.TemporaryFile(dir=self.prefix)
        proc = subprocess.Popen(cmd, cwd=cwd, env=env, stdin=stdin, stdout=slave if screen else outf,
                                stderr=errf, start_new_session=True)
        if slave is not None:
            os.close(slave)
        drain = None
        shown = []
        shown_lock = threading.Lock()
        if master is not None:
            def _drain():
                try:
                    while True:
                        chunk = os.read(master, 4096)
                        if not chunk:
                            break
                        with shown_lock:
                            shown.append(chunk)
                except OSError:
                    pass
            drain = threading.Thread(target=_drain, daemon=True)
            drain.start()

        def screen_now():
            with shown_lock:
                data = b"".join(shown)
            return console_screen.render(data, SCREEN_COLUMNS)

        held = None
        answered = []
        problem = None
        try:
            for item in answers:
                kind, key = item[0], item[1]
                wins = self._wait_window(wm_class, proc, window_timeout)
                if not wins:
                    problem = "expected a %s (%s), none appeared" % (kind, key)
                    break
                wid, title = wins[-1]
                is_box = title == BOX_CAPTION
                if is_box != (kind == "box"):
                    problem = "expected a %s, found a window titled %r" % (kind, title)
                    break
                if len(item) > 2 and item[2] != title:
                    problem = "expected %s titled %r, found %r" % (kind, item[2], title)
                    break
                self._answer(wid, kind, key)
                if not self._wait_gone(wid, wm_class):
                    # A key can be lost while the window takes the focus; once more.
                    self._answer(wid, kind, key)
                    if not self._wait_gone(wid, wm_class):
                        problem = "%s %r did not close after %s" % (kind, title, key)
                        break
                answered.append((kind, title, key))
            if problem is None:
                end = time.time() + timeout
                while proc.poll() is None and time.time() < end:
                    wins = self.windows(wm_class) if display and self.display else []
                    if wins:
                        problem = "unexpected window %r after %d answers" % (wins[-1][1], len(answered))
                        break
                    if enter_on is not None and held is None and enter_on in screen_now().text():
                        time.sleep(hold)
                        held = proc.poll() is None
                        os.write(master, b"\r")
                    time.sleep(0.1)
                if problem is None and proc.poll() is None:
                    problem = "program did not end within %d s" % timeout
        finally:
            if proc.poll() is None:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait(10)
            if master is not None:
                # What the console still has to write arrives before the end of input.
                drain.join(1 if proc.returncode == 0 else 0.2)
                os.close(master)
                drain.join(5)
            errf.seek(0)
            err_text = errf.read().decode("utf-8", "replace")
            errf.close()
        outf.seek(0)
        raw = outf.read()
        outf.close()
        calls = parse_calls(err_text)
        err = "\n".join(l for l in err_text.splitlines() if not _noise(l))
        run = Run(raw, proc.returncode, err, calls, answered, screen_now() if screen else None, held)
        if problem:
            if proc.returncode is not None and proc.returncode < 0:
                self.kill_server()
            shown_text = run.screen.text() if run.screen else run.text("utf-8")
            raise HarnessError("%s\n--- %s ---\n%s\n--- stderr ---\n%s" %
                               (problem, "screen" if run.screen else "stdout", shown_text[-3000:], err[-1500:]))
        return run
