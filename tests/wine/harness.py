"""End-to-end test harness: the real program under Wine.

One throw-away Wine prefix, one virtual X display and one persistent
wineserver serve a whole ctest run. ctest creates them with the fixture test
"wine_setup" (``harness.py setup``) and removes them with "wine_cleanup"
(``harness.py cleanup``); their whereabouts are kept in a state file. A test
module run on its own (``python3 tests/wine/test_startup.py``) makes its own
and removes it at exit.

Each test starts the program in a throw-away folder of its own
(``Program``), drives its windows through the driver program (``Driver``)
and reads back what it wrote (``Program.read_ini``, ``Program.standin_log``).
Everything started is killed when the test ends, passed or failed.

Python standard library only.
"""

import atexit
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOURCE_DIR = Path(os.environ.get("RDP_SOURCE_DIR", HERE.parent.parent))
WIN64_DIR = Path(os.environ.get("RDP_WIN64_DIR", SOURCE_DIR / "build" / "win64"))
STATE_FILE = Path(os.environ.get("RDP_WINE_STATE", SOURCE_DIR / "build" / "host" / "wine-state.json"))

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"

PROGRAM_EXE = WIN64_DIR / "rdpconnector.exe"
DRIVER_EXE = WIN64_DIR / "tests" / "wine" / "driver.exe"
STANDIN_EXE = WIN64_DIR / "tests" / "wine" / "mstsc.exe"

MAIN_TITLE = "青岚3389远程连接器 v2.0"
SETTINGS_KEY = b"5826"
DEFAULT_LANG = "zh_CN.UTF-8"

# Window messages and keys the tests use.
WM_CLOSE = 0x0010
WM_QUERYENDSESSION = 0x0011
WM_ENDSESSION = 0x0016
VK_RETURN = 0x0D
VK_ESCAPE = 0x1B
VK_TAB = 0x09
VK_DOWN = 0x28
VK_UP = 0x26
BST_CHECKED = 1


# ---- control identifiers, read from the program's own header ---------------

def _read_control_ids():
    text = (SOURCE_DIR / "src" / "ui" / "control_ids.h").read_text(encoding="utf-8")
    ids = {}
    for ns, body in re.findall(r"namespace\s+(\w+)\s*\{(.*?)\}\s*;?\s*\}", text, re.S):
        ids[ns] = {name: int(value) for name, value in re.findall(r"(\S+)\s*=\s*(\d+)\s*,", body)}
    return ids


class _Ids:
    def __init__(self, table):
        self.__dict__.update(table)

    def __getitem__(self, name):
        return self.__dict__[name]


CONTROL_IDS = _read_control_ids()
MAIN = _Ids(CONTROL_IDS.get("main_ids", {}))
EDITOR = _Ids(CONTROL_IDS.get("editor_ids", {}))
CHECK = _Ids(CONTROL_IDS.get("check_ids", {}))
SETUP = _Ids(CONTROL_IDS.get("setup_ids", {}))


# ---- the settings cipher, written here again so the tests check it ----------

def rc4(data, key=SETTINGS_KEY):
    s = list(range(256))
    j = 0
    for i in range(256):
        j = (j + s[i] + key[i % len(key)]) & 0xFF
        s[i], s[j] = s[j], s[i]
    out = bytearray(len(data))
    i = j = 0
    for n, byte in enumerate(data):
        i = (i + 1) & 0xFF
        j = (j + s[i]) & 0xFF
        s[i], s[j] = s[j], s[i]
        out[n] = byte ^ s[(s[i] + s[j]) & 0xFF]
    return bytes(out)


def gbk(text):
    """A text as the program holds it: code-page 936 bytes."""
    return text.encode("gbk")


def windows_path(path):
    """The Wine name of a Unix path (through drive Z:)."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


# ---- what the program should make of a settings text ------------------------
# The reading and writing rules once more, independently of the program, so
# that a test can say what any input must come back as.

def _step(text, i):
    return 2 if text[i] >= 0x80 else 1


def split_text(text, sep):
    pieces, start, i = [], 0, 0
    while i < len(text):
        if text.startswith(sep, i):
            pieces.append(text[start:i])
            i += len(sep)
            start = i
        else:
            i += _step(text, i)
    if start < len(text):
        pieces.append(text[start:])
    return pieces


def find_text(text, marker, start=1):
    """1-based position of marker at or after start, never inside a character; 0 if none."""
    i = 0
    while i < len(text):
        if i + 1 >= start and text.startswith(marker, i):
            return i + 1
        i += _step(text, i)
    return 0


def settings_password(text):
    text = text.split(b"\0", 1)[0]
    start, end = b"#LoadinPass:<", b">"
    result, pos, count = b"", 1, 0
    while True:
        b = find_text(text, start, pos)
        if not b:
            return b"" if count == 0 else result
        c = find_text(text, end, b)
        if not c:
            return b""
        if count:
            result += b"||"
        result += text[b - 1 + len(start):c - 1]
        pos = c + len(end)
        count += 1
        if not find_text(text, start, pos):
            return result


def _marked_spans(text, start, end, boundary):
    """0-based (begin, end) of every start..end piece from boundary on; [] when one is open."""
    spans = []
    b = find_text(text, start, boundary + 1)
    while b:
        c = find_text(text, end, b)
        if not c:
            return []
        spans.append((b - 1, c - 1 + len(end)))
        b = find_text(text, start, c + len(end))
    return spans


def _apply_markers(line, options):
    last = line[-1:]
    if find_text(line, b"#onsole:"):
        if last == b"1":
            options["console"] = True
    elif find_text(line, b"#admin:"):
        if last == b"1":
            options["admin"] = True
    elif find_text(line, b"#Start:"):
        options["resolution"] = "1024x768" if last == b"1" else "800x600"


def parse_settings(text):
    """(servers as 5-tuples of bytes, {"console", "admin", "resolution"}) of a settings text.

    Besides the plain rules, as this program reads on purpose: the line (or
    lines) that the start-up password takes is never a server line, so a
    password holding "|" does not come back as a server; and a server line
    of five fields or more that a save writes back changed (further fields,
    a "|" after the fifth, a cut character at its end) is read for markers
    both whole and as the save writes it, so that a save reads back the
    same; and the text the password takes carries no option markers.
    """
    text = text.split(b"\0", 1)[0]
    servers = []
    options = {"console": False, "admin": False, "resolution": None}
    spans, spans_found = [], False
    offset = 0
    for line in _lines_with_offsets(text):
        line, offset = line
        password_line = find_text(line, b"#LoadinPass:<") > 0
        if password_line and not spans_found:
            spans_found = True
            spans = _marked_spans(text, b"#LoadinPass:<", b">", offset)
        if any(b < offset + len(line) and e > offset for b, e in spans):
            password_line = True
        saved_line = None
        if not password_line:
            fields = split_text(line, b"|")
            if len(fields) >= 3:
                servers.append(tuple((fields + [b"", b""])[:5]))
                if len(fields) >= 5:
                    # What a save writes of the line: its first five fields,
                    # the fifth without a cut character at its end.
                    saved = b"|".join(fields[:4] + [without_cut_character(fields[4])])
                    if saved != line:
                        saved_line = saved
        if password_line:
            continue
        _apply_markers(line, options)
        if saved_line:
            _apply_markers(saved_line, options)
    return servers, options


def _lines_with_offsets(text):
    """The CR LF lines of a text (as split_text makes them) with their 0-based offsets."""
    start, i = 0, 0
    while i < len(text):
        if text.startswith(b"\r\n", i):
            yield text[start:i], start
            i += 2
            start = i
        else:
            i += _step(text, i)
    if start < len(text):
        yield text[start:], start


def without_cut_character(text):
    """A text without a last lead byte that stands alone (a character cut in two).

    The program leaves such a byte out when it saves: written as it is, it
    would join the separator after it into one character."""
    i = 0
    while i < len(text):
        if text[i] >= 0x80 and i == len(text) - 1:
            return text[:-1]
        i += _step(text, i)
    return text


def settings_text(servers, options, password=b""):
    """The text the program writes for this state."""
    out = b"".join(b"|".join(without_cut_character(f) for f in s) + b"\r\n" for s in servers)
    if options.get("console"):
        out += b"#onsole:1\r\n"
    if options.get("admin"):
        out += b"#admin:1\r\n"
    out += b"#Start:1\r\n" if options.get("resolution") == "1024x768" else b"#Start:0\r\n"
    return out + b"#LoadinPass:<" + without_cut_character(password) + b">\r\n"


def normalised(text):
    """What a save right after a start with this settings text writes."""
    servers, options = parse_settings(text)
    return settings_text(servers, options, settings_password(text))


# ---- the shared Wine session ------------------------------------------------

def _devnull():
    return subprocess.DEVNULL


def _alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except (ProcessLookupError, TypeError):
        return False
    except PermissionError:
        return True


def _kill(pid, sig=signal.SIGKILL):
    try:
        os.kill(pid, sig)
    except (ProcessLookupError, TypeError):
        pass


def _kill_group(proc):
    if proc is None or proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except (ProcessLookupError, PermissionError):
        pass
    try:
        proc.kill()
    except ProcessLookupError:
        pass
    try:
        proc.wait(5)
    except subprocess.TimeoutExpired:
        pass


def base_env(prefix, display, lang=DEFAULT_LANG):
    env = {k: v for k, v in os.environ.items() if not k.startswith(("LC_", "WINE"))}
    env.pop("LANGUAGE", None)
    env.update(
        WINEPREFIX=str(prefix),
        WINEDEBUG="-all",
        WINEDLLOVERRIDES="mscoree,mshtml=",
        DISPLAY=display,
        LANG=lang,
    )
    return env


class WineSession:
    """The prefix, display and wineserver that the tests share."""

    def __init__(self, prefix, display, xvfb_pid, wineserver_pid, owned=False):
        self.prefix = Path(prefix)
        self.display = display
        self.xvfb_pid = xvfb_pid
        self.wineserver_pid = wineserver_pid
        self.owned = owned

    def env(self, lang=DEFAULT_LANG, **extra):
        env = base_env(self.prefix, self.display, lang)
        env.update(extra)
        return env

    def to_state(self):
        return dict(prefix=str(self.prefix), display=self.display,
                    xvfb_pid=self.xvfb_pid, wineserver_pid=self.wineserver_pid)

    @classmethod
    def create(cls, owned=False):
        for exe in (WINE, WINESERVER):
            if not os.access(exe, os.X_OK):
                raise RuntimeError(f"{exe} is missing: run scripts/setup.sh")
        prefix = Path(tempfile.mkdtemp(prefix="rdp-wine-prefix-"))
        xvfb = None
        try:
            read_fd, write_fd = os.pipe()
            xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                pass_fds=(write_fd,), stdin=_devnull(), stdout=_devnull(), stderr=_devnull(),
                start_new_session=True)
            os.close(write_fd)
            number = b""
            deadline = time.monotonic() + 20
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                ready, _, _ = select.select([read_fd], [], [], 0.5)
                if ready:
                    chunk = os.read(read_fd, 16)
                    if not chunk:
                        break
                    number += chunk
            os.close(read_fd)
            if not number.strip().isdigit():
                raise RuntimeError("Xvfb did not start")
            display = ":" + number.strip().decode()

            env = base_env(prefix, display)
            subprocess.run([WINE, "wineboot", "-i"], env=env, stdin=_devnull(), stdout=_devnull(),
                           stderr=_devnull(), timeout=180, check=False)
            subprocess.run([WINESERVER, "-w"], env=env, stdin=_devnull(), stdout=_devnull(),
                           stderr=_devnull(), timeout=120, check=False)
            server = subprocess.Popen([WINESERVER, "-f", "-p"], env=env, stdin=_devnull(),
                                      stdout=_devnull(), stderr=_devnull(), start_new_session=True)
            session = cls(prefix, display, xvfb.pid, server.pid, owned)
            # The display and the prefix answer: the screen is the one made above.
            with Driver(session) as d:
                screen = d.screen()
            if (screen["width"], screen["height"]) != (1024, 768):
                raise RuntimeError(f"unexpected screen {screen}")
            return session
        except BaseException:
            subprocess.run([WINESERVER, "-k"], env=base_env(prefix, ":0"), stdin=_devnull(),
                           stdout=_devnull(), stderr=_devnull(), timeout=30, check=False)
            _kill_group(xvfb)
            shutil.rmtree(prefix, ignore_errors=True)
            raise

    def destroy(self):
        env = self.env()
        try:
            subprocess.run([WINESERVER, "-k"], env=env, stdin=_devnull(), stdout=_devnull(),
                           stderr=_devnull(), timeout=30, check=False)
        except subprocess.TimeoutExpired:
            pass
        for pid in (self.wineserver_pid, self.xvfb_pid):
            _kill(pid)
        shutil.rmtree(self.prefix, ignore_errors=True)


_session = None


def session():
    """The shared session of this ctest run, or one of this process's own."""
    global _session
    if _session is None:
        if STATE_FILE.exists():
            state = _read_state()
            if state and _alive(state.get("xvfb_pid")) and Path(state["prefix"]).is_dir():
                _session = _session_of(state)
        if _session is None:
            _session = WineSession.create(owned=True)
            atexit.register(_session.destroy)
    return _session


# Two ctest runs in one build folder share one session: the state file lists
# the ctest processes that use it, and the last of them to clean up removes it.

def _locked_state():
    import fcntl
    STATE_FILE.parent.mkdir(parents=True, exist_ok=True)
    lock = open(str(STATE_FILE) + ".lock", "w")
    fcntl.flock(lock, fcntl.LOCK_EX)
    return lock


def _read_state():
    try:
        return json.loads(STATE_FILE.read_text())
    except (OSError, ValueError):
        return None


def _session_of(state):
    return WineSession(**{k: state[k] for k in ("prefix", "display", "xvfb_pid", "wineserver_pid")})


def fixture_setup():
    user = os.getppid()   # the ctest run
    with _locked_state():
        state = _read_state()
        if state and _alive(state.get("xvfb_pid")) and _alive(state.get("wineserver_pid")) \
                and Path(state["prefix"]).is_dir():
            state["users"] = [u for u in state.get("users", []) if _alive(u)] + [user]
            print(f"sharing Wine prefix {state['prefix']}, display {state['display']}")
        else:
            if state:
                _session_of(state).destroy()
            s = WineSession.create()
            state = dict(s.to_state(), users=[user])
            print(f"Wine prefix {s.prefix}, display {s.display}")
        STATE_FILE.write_text(json.dumps(state))


def fixture_cleanup():
    user = os.getppid()
    with _locked_state():
        state = _read_state()
        if not state:
            return
        users = [u for u in state.get("users", []) if u != user and _alive(u)]
        if users:
            state["users"] = users
            STATE_FILE.write_text(json.dumps(state))
            print(f"Wine session left to {users}")
            return
        _session_of(state).destroy()
        STATE_FILE.unlink()


# ---- the driver ---------------------------------------------------------------

class DriverError(Exception):
    """The driver refused or failed a command; .reason is its "error"."""

    def __init__(self, command, reason):
        super().__init__(f"{command}: {reason}")
        self.reason = reason


def _hex_text(text):
    return text.encode("utf-16-le").hex() if text else "-"


class Driver:
    """driver.exe, running for as long as this object lives."""

    def __init__(self, wine=None, desktop=None, lang=DEFAULT_LANG, image=None):
        """image: when given, windows() and the wait/find of windows by title
        see only windows of processes whose executable path contains it (a
        program's own throw-away folder, so that a window of an earlier
        program that is still going away is never taken for this one's)."""
        wine = wine or session()
        self.image = image
        self._args = [WINE, str(DRIVER_EXE)] + (["--desktop", desktop] if desktop else [])
        self._env = wine.env(lang)
        self._start()

    def _start(self):
        old = getattr(self, "proc", None)
        if old is not None:
            for f in (old.stdin, old.stdout):
                try:
                    f.close()
                except OSError:
                    pass
        self.proc = subprocess.Popen(self._args, env=self._env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=_devnull(),
                                     start_new_session=True)
        self._buffer = b""

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write(b"quit\n")
                self.proc.stdin.flush()
                self.proc.wait(3)
            except (BrokenPipeError, OSError, subprocess.TimeoutExpired):
                pass
        _kill_group(self.proc)
        for f in (self.proc.stdin, self.proc.stdout):
            try:
                f.close()
            except OSError:
                pass

    def _readline(self, timeout):
        deadline = time.monotonic() + timeout
        fd = self.proc.stdout.fileno()
        while b"\n" not in self._buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("the driver did not answer")
            ready, _, _ = select.select([fd], [], [], left)
            if ready:
                chunk = os.read(fd, 65536)
                if not chunk:
                    raise RuntimeError("the driver ended")
                self._buffer += chunk
        line, _, self._buffer = self._buffer.partition(b"\n")
        return line.decode("ascii").strip()

    def command(self, *parts, timeout=30, check=True):
        line = " ".join(str(p) for p in parts)
        if self.proc.poll() is not None:
            self._start()   # an earlier command was cut short
        try:
            self.proc.stdin.write(line.encode("ascii") + b"\n")
            self.proc.stdin.flush()
            answer = json.loads(self._readline(timeout))
        except BaseException:
            # An answer still to come would be taken for the next one's:
            # this driver is done, the next command starts another.
            _kill_group(self.proc)
            raise
        if check and not answer.get("ok"):
            raise DriverError(line.split(" ")[0], answer.get("error"))
        return answer

    # Windows.
    def _image(self, image):
        image = self.image if image is None else image
        return [_hex_text(image)] if image else []

    def windows(self, image=None):
        """Top-level windows (of this driver's program only, when it has one; image="" for all)."""
        return self.command("windows", *self._image(image))["windows"]

    def wait_window(self, title, timeout=15, image=None):
        """The first visible top-level window with exactly this title."""
        return self.command("wait", _hex_text(title), int(timeout * 1000), *self._image(image),
                            timeout=timeout + 10)

    def find_window(self, title, image=None):
        """Like wait_window, without waiting; None when there is none."""
        answer = self.command("wait", _hex_text(title), 0, *self._image(image), check=False)
        return answer if answer.get("ok") else None

    def wait_gone(self, hwnd, timeout=10):
        self.command("gone", hwnd, int(timeout * 1000), timeout=timeout + 10)

    def exists(self, hwnd):
        return self.command("info", hwnd, check=False).get("ok", False)

    def info(self, hwnd):
        return self.command("info", hwnd)

    def controls(self, hwnd):
        return self.command("controls", hwnd)["controls"]

    def controls_by_id(self, hwnd):
        return {c["id"]: c for c in self.controls(hwnd)}

    def control(self, hwnd, control_id):
        for c in self.controls(hwnd):
            if c["id"] == control_id:
                return c
        raise KeyError(f"no control {control_id} in window {hwnd}")

    def text(self, hwnd):
        return self.command("gettext", hwnd)["text"]

    def set_text(self, hwnd, text):
        return self.command("settext", hwnd, _hex_text(text))

    def click(self, hwnd):
        """Clicks a button as a user would; DriverError("disabled"/"hidden") if a user could not."""
        return self.command("click", hwnd)

    def list_view(self, hwnd):
        return self.command("listview", hwnd)

    def select_row(self, hwnd, row):
        return self.command("select", hwnd, row)

    def clear_selection(self, hwnd):
        return self.command("select", hwnd, -1)

    def dblclick_row(self, hwnd, row):
        return self.command("dblclick", hwnd, row)

    def key(self, hwnd, vk):
        return self.command("key", hwnd, vk)

    def char(self, hwnd, code):
        return self.command("char", hwnd, code)

    def close(self, hwnd):
        return self.command("close", hwnd)

    def post(self, hwnd, msg, wparam=0, lparam=0):
        return self.command("post", hwnd, msg, wparam, lparam)

    def send(self, hwnd, msg, wparam=0, lparam=0, timeout=5):
        return self.command("send", hwnd, msg, wparam, lparam, int(timeout * 1000),
                            timeout=timeout + 10)["result"]

    def focus(self, hwnd):
        return self.command("focus", hwnd)

    def screen(self):
        return self.command("screen")


# ---- the program in a throw-away folder -------------------------------------------

class Program:
    """rdpconnector.exe copied into a folder of its own, started under Wine.

    ini: the settings text (bytes), enciphered here into ms.ini; ini_raw: the
    bytes of ms.ini as they are. standin: put the stand-in mstsc.exe beside
    the program. The program is started from the folder's parent, not from
    its own folder, unless cwd says otherwise.
    """

    def __init__(self, ini=None, ini_raw=None, standin=False, lang=DEFAULT_LANG, cwd=None):
        self.wine = session()
        self.root = Path(tempfile.mkdtemp(prefix="rdp-e2e-"))
        self.dir = self.root / "app"
        self.dir.mkdir()
        self.exe = self.dir / "rdpconnector.exe"
        shutil.copy2(PROGRAM_EXE, self.exe)
        if standin:
            shutil.copy2(STANDIN_EXE, self.dir / "mstsc.exe")
        self.ini_path = self.dir / "ms.ini"
        if ini is not None:
            self.ini_path.write_bytes(rc4(ini))
        elif ini_raw is not None:
            self.ini_path.write_bytes(ini_raw)
        self.standin_log_path = self.root / "standin.log"
        self.lang = lang
        self.cwd = Path(cwd) if cwd else self.root
        self.proc = None
        self.driver = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.finish()

    def env(self):
        return self.wine.env(self.lang, RDP_STANDIN_LOG=windows_path(self.standin_log_path))

    def start(self):
        self.proc = subprocess.Popen([WINE, str(self.exe)], cwd=str(self.cwd), env=self.env(),
                                     stdin=_devnull(), stdout=_devnull(), stderr=_devnull(),
                                     start_new_session=True)
        if self.driver is None:
            self.driver = Driver(self.wine, lang=self.lang, image=self.image_filter())
        return self.proc

    def image_filter(self):
        """What identifies this program's windows: its own folder and file name."""
        return f"{self.root.name}\\app\\rdpconnector.exe"

    def start_main(self, timeout=20):
        """Starts the program and waits for its main window."""
        self.start()
        return self.driver.wait_window(MAIN_TITLE, timeout)

    def wait_exit(self, timeout=15):
        """The exit code; fails the caller with TimeoutExpired if it keeps running."""
        return self.proc.wait(timeout)

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def read_ini(self):
        """The settings text of ms.ini, deciphered; None when there is no file."""
        if not self.ini_path.exists():
            return None
        return rc4(self.ini_path.read_bytes())

    def standin_log(self):
        if not self.standin_log_path.exists():
            return []
        return [json.loads(l) for l in self.standin_log_path.read_text().splitlines() if l.strip()]

    def finish(self):
        _kill_group(self.proc)
        if self.driver is not None:
            # Its windows go with the process; wait for that, so that no later
            # test meets them.
            try:
                deadline = time.monotonic() + 5
                while self.driver.windows(self.image_filter()) and time.monotonic() < deadline:
                    time.sleep(0.05)
            except (DriverError, TimeoutError, RuntimeError, OSError, ValueError):
                pass
            self.driver.stop()
            self.driver = None
        shutil.rmtree(self.root, ignore_errors=True)


# ---- test base ------------------------------------------------------------------------

def poll(probe, timeout=10, step=0.1):
    """Calls probe until it gives a true value or timeout seconds have passed;
    gives its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(step)


class _TimeLimit(Exception):
    pass


class WineTestCase(unittest.TestCase):
    """A test with a time limit of its own; programs it starts are removed after it."""

    time_limit = 90

    def setUp(self):
        if not PROGRAM_EXE.exists() or not DRIVER_EXE.exists():
            self.fail(f"build the win64 preset first: {PROGRAM_EXE} or {DRIVER_EXE} is missing")
        session()

        def expired(signum, frame):
            raise _TimeLimit(f"test ran longer than {self.time_limit} s")

        previous = signal.signal(signal.SIGALRM, expired)
        signal.alarm(self.time_limit)

        def disarm():
            signal.alarm(0)
            signal.signal(signal.SIGALRM, previous)

        self.addCleanup(disarm)

    def wait_for(self, what, probe, timeout=10):
        """poll, failing the test when probe never gives a true value."""
        value = poll(probe, timeout)
        if not value:
            self.fail(f"timed out waiting for {what}")
        return value

    def program(self, **kwargs):
        prog = Program(**kwargs)
        self.addCleanup(prog.finish)
        return prog

    def main_window(self, prog, timeout=20):
        """Starts prog and gives its main window, its controls by id and its list view."""
        win = prog.start_main(timeout)
        return win, prog.driver.controls_by_id(win["hwnd"])

    def close_and_wait(self, prog, hwnd, timeout=15):
        prog.driver.close(hwnd)
        code = prog.wait_exit(timeout)
        self.assertEqual(code, 0, "exit code")
        return prog.read_ini()


def main():
    """harness.py setup | cleanup"""
    what = sys.argv[1] if len(sys.argv) > 1 else ""
    if what == "setup":
        fixture_setup()
    elif what == "cleanup":
        fixture_cleanup()
    else:
        print(main.__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
