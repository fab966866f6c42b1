"""Start-up and shutdown of the real program under Wine: the settings file
is read beside the executable, shown in the main window, and written back
when the window closes or Windows asks to end the session."""

import random
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import MAIN, gbk  # noqa: E402

EMPTY_SAVE = b"#Start:0\r\n#LoadinPass:<>\r\n"
STATUS_IMAGES = {"在线": 0, "离线": 1, "...": 2}

# Servers on 127.0.0.1 use ports nothing listens on, so the probe can only
# leave them at "..." or mark them offline.
CRAFTED = b"\r\n".join([
    gbk("127.0.0.1|1|Administrator|secret|机房一号"),
    gbk("127.0.0.1|2|用户甲|pw"),                  # four fields: no remark
    gbk("127.0.0.1|3|acct"),                       # three fields
    gbk("only|two"),                               # too few fields: nothing
    b"",
    gbk("127.0.0.2|0003389|亅倈|密|备注|extra|more"),  # trail bytes 0x7C; extra fields dropped
    gbk("#onsole:1"),
    gbk("#admin:0"),
    gbk("#Start:1"),
    gbk("#LoadinPass:<>"),
]) + b"\r\n"

CRAFTED_ROWS = [
    ["127.0.0.1", "1", "Administrator"],
    ["127.0.0.1", "2", "用户甲"],
    ["127.0.0.1", "3", "acct"],
    ["127.0.0.2", "0003389", "亅倈"],
]

CRAFTED_SAVED = (
    gbk("127.0.0.1|1|Administrator|secret|机房一号\r\n")
    + gbk("127.0.0.1|2|用户甲|pw|\r\n")
    + gbk("127.0.0.1|3|acct||\r\n")
    + gbk("127.0.0.2|0003389|亅倈|密|备注\r\n")
    + b"#onsole:1\r\n#Start:1\r\n#LoadinPass:<>\r\n"
)

OPTION_CONTROLS = {
    "console": MAIN.选择框_onsole,
    "admin": MAIN.选择框_admin,
    "full": MAIN.单选框1,
    "1024": MAIN.单选框1024768,
    "800": MAIN.单选框800600,
}


class StartupTest(harness.WineTestCase):

    def checks(self, controls):
        return {name: controls[cid]["check"] for name, cid in OPTION_CONTROLS.items()}

    def rows(self, prog, controls):
        return prog.driver.list_view(controls[MAIN.超级列表框1]["hwnd"])["rows"]

    def assertRowsShow(self, rows, expected):
        self.assertEqual([r["texts"][:3] for r in rows], expected)
        self.assertEqual([r["param"] for r in rows], list(range(1, len(expected) + 1)))
        for r in rows:
            status = r["texts"][3]
            self.assertIn(status, ("...", "离线"), r)
            self.assertEqual(r["state_image"], STATUS_IMAGES[status], r)
            self.assertFalse(r["selected"], r)

    def test_first_start_without_settings_file(self):
        prog = self.program()
        win, controls = self.main_window(prog)
        left, top, right, bottom = win["rect"]
        self.assertEqual((right - left, bottom - top), (486, 423))
        self.assertEqual((left, top), ((1024 - 486) // 2, (768 - 423) // 2))
        self.assertEqual(self.rows(prog, controls), [])
        self.assertEqual(set(self.checks(controls).values()), {0})
        self.assertFalse(controls[MAIN.按钮_连接服务器]["enabled"])
        self.assertFalse(controls[MAIN.按钮_删除服务器]["enabled"])
        self.assertFalse(prog.ini_path.exists(), "nothing is written before the window closes")

        saved = self.close_and_wait(prog, win["hwnd"])
        self.assertEqual(len(prog.ini_path.read_bytes()), 26)
        self.assertEqual(saved, EMPTY_SAVE)

    def test_crafted_settings_are_shown_and_saved_normalised(self):
        self.assertEqual(harness.normalised(CRAFTED), CRAFTED_SAVED)  # the oracle agrees
        for lang in ("zh_CN.UTF-8", "en_US.UTF-8"):
            with self.subTest(lang=lang):
                prog = self.program(ini=CRAFTED, lang=lang)
                win, controls = self.main_window(prog)
                self.assertRowsShow(self.rows(prog, controls), CRAFTED_ROWS)
                self.assertEqual(self.checks(controls),
                                 {"console": 1, "admin": 0, "full": 0, "1024": 1, "800": 0})
                self.assertEqual(self.close_and_wait(prog, win["hwnd"]), CRAFTED_SAVED)
                prog.finish()

    def test_options_read_back_as_written(self):
        # A bare "#Start:" selects 800x600; a file without one leaves the
        # resolution buttons as the window made them.
        cases = [
            (b"#admin:1\r\n#Start:\r\n", {"console": 0, "admin": 1, "full": 0, "1024": 0, "800": 1},
             b"#admin:1\r\n#Start:0\r\n"),
            (b"#onsole:0\r\n", {"console": 0, "admin": 0, "full": 0, "1024": 0, "800": 0},
             b"#Start:0\r\n"),
        ]
        for text, checks, saved in cases:
            with self.subTest(text=text):
                prog = self.program(ini=text)
                win, controls = self.main_window(prog)
                self.assertEqual(self.checks(controls), checks)
                self.assertEqual(self.close_and_wait(prog, win["hwnd"]), saved + b"#LoadinPass:<>\r\n")
                prog.finish()

    def test_escape_closes_and_saves(self):
        text = b"127.0.0.1|4|a|b|c|d\r\n#admin:0\r\n"
        for target in ("main window", "focused control"):
            with self.subTest(target=target):
                prog = self.program(ini=text)
                win, _ = self.main_window(prog)
                hwnd = win["hwnd"]
                if target == "focused control":
                    focus = prog.driver.focus(hwnd)["focus"]
                    self.assertNotEqual(focus, 0, "no control has the focus")
                    hwnd = focus
                prog.driver.key(hwnd, harness.VK_ESCAPE)
                self.assertEqual(prog.wait_exit(15), 0)
                self.assertEqual(prog.read_ini(), b"127.0.0.1|4|a|b|c\r\n#Start:0\r\n#LoadinPass:<>\r\n")
                prog.finish()

    def test_settings_beside_the_executable_not_in_working_directory(self):
        prog = self.program(ini=b"127.0.0.1|5|own|pw|mine\r\n")
        decoy = prog.root / "ms.ini"   # the working directory the program is started from
        decoy_bytes = harness.rc4(b"127.0.0.1|6|decoy|pw|other\r\n#admin:1\r\n")
        decoy.write_bytes(decoy_bytes)
        self.assertEqual(prog.cwd, prog.root)

        win, controls = self.main_window(prog)
        self.assertRowsShow(self.rows(prog, controls), [["127.0.0.1", "5", "own"]])
        self.assertEqual(controls[MAIN.选择框_admin]["check"], 0)
        saved = self.close_and_wait(prog, win["hwnd"])
        self.assertEqual(saved, b"127.0.0.1|5|own|pw|mine\r\n#Start:0\r\n#LoadinPass:<>\r\n")
        self.assertEqual(decoy.read_bytes(), decoy_bytes)

    def test_end_of_session_query_saves_and_keeps_window_open(self):
        prog = self.program()
        win, controls = self.main_window(prog)
        hwnd = win["hwnd"]
        answer = prog.driver.send(hwnd, harness.WM_QUERYENDSESSION, 0, 0)
        self.assertNotEqual(answer, 0, "the session may end")
        self.assertEqual(prog.read_ini(), EMPTY_SAVE)
        self.assertTrue(prog.driver.exists(hwnd))
        self.assertTrue(prog.running())

        # The session went on: the window is still usable and a later close saves again.
        prog.driver.click(controls[MAIN.选择框_admin]["hwnd"])
        for _ in range(50):
            if prog.driver.control(hwnd, MAIN.选择框_admin)["check"] == 1:
                break
            time.sleep(0.1)
        self.assertEqual(prog.driver.control(hwnd, MAIN.选择框_admin)["check"], 1)
        self.assertEqual(self.close_and_wait(prog, hwnd), b"#admin:1\r\n" + EMPTY_SAVE)

    def test_damaged_settings_files(self):
        rnd = random.Random(3389)
        big_remark = gbk("长备注") * 700000          # about 4 MB in one field
        cases = {
            "random bytes": rnd.randbytes(4096),
            "random bytes without NUL, several MB":
                rnd.randbytes(3 * 1024 * 1024).replace(b"\0", b"\1"),
            "a remark of several MB": b"127.0.0.1|7|big|pw|" + big_remark + b"\r\n127.0.0.1|8|next||\r\n",
            "NUL bytes": b"127.0.0.1|9|before|pw|r\r\n#onsole:1\x00\r\n127.0.0.1|10|after||\r\n#admin:1\r\n\x00\x00",
            "LF line ends": b"127.0.0.1|11|a|b|c\n127.0.0.1|12|d|e|f\n",
            "lead byte before CR LF": b"127.0.0.1|13|a|b|\xb0\r\n127.0.0.1|14|c||\r\n",
            "character cut at the end": b"127.0.0.1|15|a|b|\xb0\xa1\xb0",
            "fields and a marker after the fifth": b"127.0.0.1|16|a|b|c|x#admin:1\r\n",
            "a marker and a lone \"|\" after the fifth field": b"127.0.0.1|17|x#admin:x||1|\r\n",
        }
        for name, text in cases.items():
            with self.subTest(case=name):
                self.assertEqual(harness.settings_password(text), b"", "no gate in these cases")
                expected = harness.normalised(text)
                servers, _ = harness.parse_settings(text)
                prog = self.program(ini=text)
                win, controls = self.main_window(prog, timeout=40)
                rows = self.rows(prog, controls)
                self.assertEqual(len(rows), len(servers))
                self.assertEqual([r["param"] for r in rows], list(range(1, len(servers) + 1)))
                saved = self.close_and_wait(prog, win["hwnd"], timeout=30)
                self.assertEqual(len(saved), len(expected))
                self.assertTrue(saved == expected, "the save is not the normalised text")
                prog.finish()


if __name__ == "__main__":
    unittest.main()
