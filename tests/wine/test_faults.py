"""Faults around the program under Wine: a settings file that cannot be
written or read, a program killed while it saves, a connection file that
cannot be written, and two copies of the program sharing one folder."""

import random
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import MAIN, MAIN_TITLE, WINE, gbk, rc4  # noqa: E402

HOLD_EXE = harness.WIN64_DIR / "tests" / "wine" / "hold_file.exe"

# Servers on loopback ports nothing listens on.
ORIGINAL = (
    gbk("127.0.0.1|1|Administrator|secret|机房一号\r\n")
    + gbk("127.0.0.1|2|用户甲|pw|\r\n")
    + b"#onsole:1\r\n#Start:1\r\n#LoadinPass:<>\r\n"
)


def expected_with(text, **changes):
    """The normalised text of a start from text with some options changed."""
    servers, options = harness.parse_settings(text)
    options.update(changes)
    return harness.settings_text(servers, options, harness.settings_password(text))


class Holder:
    """hold_file.exe keeping a file open with no sharing until release()."""

    def __init__(self, wine, path):
        self.proc = subprocess.Popen(
            [WINE, str(HOLD_EXE), harness.windows_path(path), "60000"], env=wine.env(),
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            start_new_session=True)
        self.answer = self.proc.stdout.readline().decode("ascii", "replace").strip()

    def release(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.close()
                self.proc.wait(10)
            except (OSError, subprocess.TimeoutExpired):
                pass
        harness._kill_group(self.proc)
        self.proc.stdout.close()


class FaultTest(harness.WineTestCase):

    time_limit = 180

    # ---- helpers ------------------------------------------------------------

    def toggle(self, d, hwnd, cid, want=1):
        d.click(d.control(hwnd, cid)["hwnd"])
        self.wait_for(f"check box {cid} at {want}", lambda: d.control(hwnd, cid)["check"] == want)

    def rows(self, d, hwnd):
        return d.list_view(d.control(hwnd, MAIN.超级列表框1)["hwnd"])["rows"]

    def leftovers(self, prog):
        return sorted(p.name for p in prog.dir.glob("ms.ini.*.tmp"))

    def hold(self, prog):
        if not HOLD_EXE.exists():
            self.fail(f"{HOLD_EXE} is missing: build the win64 preset")
        holder = Holder(prog.wine, prog.ini_path)
        self.addCleanup(holder.release)
        self.assertEqual(holder.answer, "held", "hold_file could not open ms.ini")
        return holder

    # ---- ms.ini that cannot be written ----------------------------------------

    def test_folder_named_ms_ini(self):
        prog = self.program()
        prog.ini_path.mkdir()
        (prog.ini_path / "inside.txt").write_bytes(b"keep")
        win, _ = self.main_window(prog)
        self.assertEqual(self.rows(prog.driver, win["hwnd"]), [])
        self.toggle(prog.driver, win["hwnd"], MAIN.选择框_admin)
        self.assertIsNone(prog.driver.close(win["hwnd"]).get("error"))
        self.assertEqual(prog.wait_exit(15), 0, "exit code")
        self.assertTrue(prog.ini_path.is_dir())
        self.assertEqual([p.name for p in prog.ini_path.iterdir()], ["inside.txt"])
        self.assertEqual((prog.ini_path / "inside.txt").read_bytes(), b"keep")
        self.assertEqual(self.leftovers(prog), [])

    def test_ms_ini_held_by_another_program_at_close(self):
        prog = self.program(ini=ORIGINAL)
        old = prog.ini_path.read_bytes()
        win, _ = self.main_window(prog)
        hwnd = win["hwnd"]
        self.assertEqual(len(self.rows(prog.driver, hwnd)), 2)
        holder = self.hold(prog)
        self.toggle(prog.driver, hwnd, MAIN.选择框_admin)
        prog.driver.close(hwnd)
        self.assertEqual(prog.wait_exit(15), 0, "exit code")
        holder.release()
        self.assertEqual(prog.ini_path.read_bytes(), old, "the old file is whole")
        self.assertEqual(self.leftovers(prog), [])

    def test_ms_ini_held_by_another_program_at_start(self):
        # The program cannot read the file at start, so it knows nothing of
        # the servers in it: its close must not write its empty state over them.
        prog = self.program(ini=ORIGINAL)
        old = prog.ini_path.read_bytes()
        holder = self.hold(prog)
        win, _ = self.main_window(prog)
        hwnd = win["hwnd"]
        self.assertEqual(self.rows(prog.driver, hwnd), [], "the file could not be read")
        holder.release()
        prog.driver.close(hwnd)
        self.assertEqual(prog.wait_exit(15), 0, "exit code")
        self.assertEqual(prog.ini_path.read_bytes(), old, "the unread file is kept")
        self.assertEqual(self.leftovers(prog), [])

    # ---- a save cut short ----------------------------------------------------

    def test_stale_temporary_files_beside_ms_ini(self):
        prog = self.program(ini=ORIGINAL)
        # What a save killed before its replace leaves: a cut temporary file.
        (prog.dir / "ms.ini.4242.tmp").write_bytes(rc4(ORIGINAL)[:17])
        (prog.dir / "ms.ini.0.tmp").write_bytes(b"")
        win, _ = self.main_window(prog)
        rows = self.rows(prog.driver, win["hwnd"])
        self.assertEqual([r["texts"][:3] for r in rows],
                         [["127.0.0.1", "1", "Administrator"], ["127.0.0.1", "2", "用户甲"]])
        saved = self.close_and_wait(prog, win["hwnd"])
        self.assertEqual(saved, harness.normalised(ORIGINAL))

    def test_killed_at_random_moments_around_the_close(self):
        old_raw = rc4(ORIGINAL)
        new_raw = rc4(expected_with(ORIGINAL, admin=True))
        rnd = random.Random(5826)
        outcomes = []
        prog = self.program(ini=ORIGINAL)
        for iteration in range(5):
            with self.subTest(iteration=iteration):
                prog.ini_path.write_bytes(old_raw)
                win, _ = self.main_window(prog)
                hwnd = win["hwnd"]
                self.toggle(prog.driver, hwnd, MAIN.选择框_admin)
                delay = rnd.uniform(0.0, 0.06)
                prog.driver.post(hwnd, harness.WM_CLOSE)
                time.sleep(delay)
                harness._kill_group(prog.proc)
                prog.driver.wait_gone(hwnd)
                content = prog.ini_path.read_bytes()
                self.assertIn(content, (old_raw, new_raw), f"ms.ini cut after {delay:.3f} s")
                outcomes.append("new" if content == new_raw else "old")
                # The next start reads it.
                win, _ = self.main_window(prog)
                self.assertEqual(len(self.rows(prog.driver, win["hwnd"])), 2)
                saved = self.close_and_wait(prog, win["hwnd"])
                self.assertEqual(saved, rc4(content))
        print(f"kill outcomes: {outcomes}", file=sys.stderr)

    # ---- a connection file that cannot be written --------------------------

    def test_client_starts_when_the_connection_file_cannot_be_written(self):
        # Wine takes TEMP and TMP from the prefix's registry, not from the
        # environment, so the user's temporary folder itself is put out of
        # reach: a plain file stands in its place while the connect runs.
        ini = gbk("127.0.0.1|1|管理员|pw|r\r\n")
        prog = self.program(ini=ini, standin=True)
        win, _ = self.main_window(prog)
        d, hwnd = prog.driver, win["hwnd"]
        temps = list((prog.wine.prefix / "drive_c" / "users").glob("*/Temp"))
        self.assertEqual(len(temps), 1, f"the user's temporary folder: {temps}")
        temp = temps[0]
        saved_temp = temp.with_name("Temp.rdp-faults")
        temp.rename(saved_temp)

        def restore():
            if saved_temp.exists():
                if temp.is_file():
                    temp.unlink()
                saved_temp.rename(temp)
        self.addCleanup(restore)
        temp.write_bytes(b"not a folder")

        d.select_row(d.control(hwnd, MAIN.超级列表框1)["hwnd"], 0)
        self.wait_for("连接 enabled", lambda: d.control(hwnd, MAIN.按钮_连接服务器)["enabled"])
        d.click(d.control(hwnd, MAIN.按钮_连接服务器)["hwnd"])
        starts = self.wait_for("the client start", prog.standin_log, timeout=30)
        self.assertEqual(len(starts), 1)
        self.assertRegex(starts[0]["file"], r"(?i)^C:\\users\\[^\\]+\\Temp\\[0-9a-f]+\.tmp$")
        self.assertIsNone(starts[0]["file_hex"], "no connection file could be written")
        self.assertEqual(temp.read_bytes(), b"not a folder")
        self.wait_for("连接 enabled again", lambda: d.control(hwnd, MAIN.按钮_连接服务器)["enabled"])
        self.assertTrue(prog.running())
        restore()
        self.assertEqual(self.close_and_wait(prog, hwnd), harness.normalised(ini))

    # ---- two copies in one folder --------------------------------------------

    def test_two_copies_in_one_folder(self):
        prog = self.program(ini=ORIGINAL)
        first, _ = self.main_window(prog)
        d = prog.driver
        second_proc = subprocess.Popen([WINE, str(prog.exe)], cwd=str(prog.root), env=prog.env(),
                                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL, start_new_session=True)
        self.addCleanup(harness._kill_group, second_proc)

        def second_window():
            for w in d.windows():
                if w["title"] == MAIN_TITLE and w["visible"] and w["hwnd"] != first["hwnd"]:
                    return w
            return None

        second = self.wait_for("the second main window", second_window, timeout=20)
        self.assertNotEqual(second["pid"], first["pid"])
        self.assertEqual(len(self.rows(d, second["hwnd"])), 2)

        self.toggle(d, first["hwnd"], MAIN.选择框_admin)          # first: admin on
        self.toggle(d, second["hwnd"], MAIN.选择框_onsole, want=0)  # second: console off

        d.close(first["hwnd"])
        self.assertEqual(prog.wait_exit(15), 0, "exit code of the first")
        self.assertEqual(prog.read_ini(), expected_with(ORIGINAL, admin=True))

        d.close(second["hwnd"])
        self.assertEqual(second_proc.wait(15), 0, "exit code of the second")
        saved = prog.read_ini()
        self.assertEqual(saved, expected_with(ORIGINAL, console=False), "the second's settings")
        self.assertEqual(saved, harness.normalised(saved), "well-formed")
        self.assertEqual(self.leftovers(prog), [])


if __name__ == "__main__":
    unittest.main()
