"""The start-up password windows of the real program under Wine: the setup
window opened from the main window, and the gate asked for at start when a
password is saved: their layouts, answers, refusals, the 16-byte limit of
their boxes, and what reaches ms.ini."""

import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import CHECK, MAIN, MAIN_TITLE, SETUP, gbk  # noqa: E402

GATE_TITLE = "身份验证"
SETUP_TITLE = "启动密码设置"
ERROR_TITLE = "输入出错"
DIFFER = "两次密码必须相同"
REFUSAL = "密码不能包含“>”、“|”或“#LoadinPass:<”。"
CLEAR_QUESTION = "您确定要清空密码吗？"

WS_MAXIMIZEBOX = 0x00010000
WS_MINIMIZEBOX = 0x00020000
WS_THICKFRAME = 0x00040000
WS_SYSMENU = 0x00080000
WS_EX_APPWINDOW = 0x00040000
ES_PASSWORD = 0x0020
BS_TYPEMASK = 0x000F
BS_DEFPUSHBUTTON = 0x0001
EM_GETPASSWORDCHAR = 0x00D2
IDOK, IDYES, IDNO = 1, 6, 7
MSGBOX_TEXT_ID = 0xFFFF

GATE_LAYOUT = {
    CHECK.图片框1: ("Static", 12, 20, 38, 38, ""),
    CHECK.标签1: ("Static", 57, 7, 175, 16, "请输入密码： "),
    CHECK.编辑框1: ("Edit", 64, 26, 152, 24, ""),
    CHECK.按钮1: ("Button", 64, 59, 72, 24, "确定"),
    CHECK.按钮2: ("Button", 144, 59, 72, 24, "取消"),
}

SETUP_LAYOUT = {
    SETUP.图片框1: ("Static", 16, 15, 40, 32, ""),
    SETUP.标签1: ("Static", 64, 9, 56, 16, "新的密码:"),
    SETUP.编辑框1: ("Edit", 120, 8, 152, 24, ""),
    SETUP.标签2: ("Static", 64, 36, 56, 16, "重复密码:"),
    SETUP.编辑框2: ("Edit", 120, 33, 152, 24, ""),
    SETUP.按钮1: ("Button", 120, 65, 70, 26, "确定"),
    SETUP.按钮2: ("Button", 205, 65, 70, 26, "取消"),
}


def settings(password, servers=b""):
    return servers + b"#Start:0\r\n#LoadinPass:<" + gbk(password) + b">\r\n"


def wait_for(what, timeout=10, step=0.1):
    return harness.poll(what, timeout, step)


class PasswordTestCase(harness.WineTestCase):
    """Windows are looked up by title and by the process of the program under
    test, since other programs may show windows of the same titles."""

    def launch(self, prog, title, timeout=20):
        """Starts prog and waits for its first window; remembers its process."""
        if prog.driver is None:
            prog.driver = harness.Driver(prog.wine, lang=prog.lang)
        before = {w["hwnd"] for w in prog.driver.windows()}
        prog.start()
        win = wait_for(lambda: next((w for w in prog.driver.windows() if w["visible"]
                                     and w["title"] == title and w["hwnd"] not in before), None),
                       timeout)
        self.assertIsNotNone(win, f"no window {title!r}")
        self.pid = win["pid"]
        return win

    def own(self, d, title, timeout=0):
        """The program's visible window with this title, or None."""
        return wait_for(lambda: next((w for w in d.windows() if w["visible"] and w["title"] == title
                                      and w["pid"] == self.pid), None), timeout)

    def wait_own(self, d, title, timeout=10):
        win = self.own(d, title, timeout)
        self.assertIsNotNone(win, f"no window {title!r}")
        return win

    def assertFocusIn(self, d, window, control, what):
        # On a display shared with other programs the window may not become
        # the active one; when it is, the focus must be in the control.
        state = wait_for(lambda: (lambda f: f if f["active"] == window and f["focus"] else None)(
            d.focus(window)), 2)
        if state is not None:
            self.assertEqual(state["focus"], control, what)

    def message(self, d, title):
        """The message box with this title: (hwnd, text, {button id: control})."""
        box = self.wait_own(d, title, 10)
        self.assertEqual(box["class"], "#32770", "not a message box")
        controls = d.controls(box["hwnd"])
        text = [c["text"] for c in controls if c["id"] == MSGBOX_TEXT_ID]
        buttons = {c["id"]: c for c in controls if c["class"].lower() == "button"}
        return box["hwnd"], (text[0] if text else None), buttons

    def answer(self, d, box, buttons, button_id):
        d.click(buttons[button_id]["hwnd"])
        d.wait_gone(box)

    def assertWindowProperties(self, d, win, size, layout):
        left, top, right, bottom = win["rect"]
        self.assertEqual((right - left, bottom - top), size)
        self.assertEqual((left, top), ((1024 - size[0]) // 2, (768 - size[1]) // 2))
        self.assertTrue(win["style"] & WS_SYSMENU, "close box")
        self.assertFalse(win["style"] & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME))
        self.assertTrue(win["exstyle"] & WS_EX_APPWINDOW, "shown in the task bar")
        controls = d.controls_by_id(win["hwnd"])
        self.assertEqual(set(controls), set(layout))
        for cid, (cls, x, y, w, h, text) in layout.items():
            with self.subTest(control=cid):
                c = controls[cid]
                self.assertEqual(c["class"].lower(), cls.lower())
                self.assertEqual(c["parent"], win["hwnd"])
                self.assertEqual(c["rect"], [x, y, x + w, y + h])
                self.assertEqual(c["text"], text)
        return controls

    def limit_cases(self, d, box):
        """A box of a password window never holds more than 16 bytes of code page 936."""
        cases = [
            ("a" * 17, "a" * 16),
            ("中" * 9, "中" * 8),
            ("a" + "中" * 8, "a" + "中" * 7),
            ("b" * 16, "b" * 16),
            ("文" * 8, "文" * 8),
            # A refused character leaves the caret where it was: what comes next goes on at the end.
            ("a" + "中" * 8 + "b", "a" + "中" * 7 + "b"),
        ]
        for typed, kept in cases:
            with self.subTest(how="WM_SETTEXT", text=typed):
                d.set_text(box, "")
                d.set_text(box, typed)
                self.assertLessEqual(len(gbk(d.text(box))), 16)
            with self.subTest(how="WM_CHAR", text=typed):
                d.set_text(box, "")
                for ch in typed:
                    d.char(box, ord(ch))
                self.assertTrue(wait_for(lambda: d.text(box) == kept, 5),
                                f"typed {typed!r}, the box holds {d.text(box)!r}")
        d.set_text(box, "")


class GateTest(PasswordTestCase):

    def start_gate(self, ini):
        prog = self.program(ini=ini)
        gate = self.launch(prog, GATE_TITLE)
        return prog, gate, prog.driver.controls_by_id(gate["hwnd"])

    def test_layout_and_masking(self):
        prog, gate, controls = self.start_gate(settings("pw"))
        d = prog.driver
        self.assertWindowProperties(d, gate, (250, 123), GATE_LAYOUT)
        box = controls[CHECK.编辑框1]
        self.assertTrue(box["style"] & ES_PASSWORD, "the password is masked")
        self.assertEqual(d.send(box["hwnd"], EM_GETPASSWORDCHAR), ord("*"))
        self.assertEqual(controls[CHECK.按钮1]["style"] & BS_TYPEMASK, BS_DEFPUSHBUTTON)
        self.assertIsNone(self.own(d, MAIN_TITLE), "no main window before the password")
        self.assertFocusIn(d, gate["hwnd"], box["hwnd"], "the password can be typed at once")
        self.limit_cases(d, box["hwnd"])

    def test_wrong_passwords_then_the_right_one(self):
        password = "Secret中文"
        ini = settings(password, gbk("127.0.0.1|0|a|b|c\r\n"))
        prog, gate, controls = self.start_gate(ini)
        d = prog.driver
        box = controls[CHECK.编辑框1]["hwnd"]
        for typed, how in [("wrong", "click"), ("secret中文", "click"), ("SECRET中文", "enter"),
                           ("Secret中", "click"), ("", "enter"), ("Secret中文 ", "click")]:
            with self.subTest(typed=typed, how=how):
                d.set_text(box, typed)
                if how == "click":
                    d.click(controls[CHECK.按钮1]["hwnd"])
                else:
                    d.key(box, harness.VK_RETURN)
                msg, text, buttons = self.message(d, "错误")
                self.assertEqual(text, "密码错误")
                self.assertEqual(set(buttons), {IDOK})
                self.answer(d, msg, buttons, IDOK)
                self.assertTrue(wait_for(lambda: d.text(box) == ""), "the box is emptied")
                self.assertTrue(d.exists(gate["hwnd"]), "the gate stays open")
                self.assertFocusIn(d, gate["hwnd"], box, "ready for another attempt")
                self.assertIsNone(self.own(d, MAIN_TITLE))

        d.set_text(box, password)
        d.key(box, harness.VK_RETURN)
        main = self.wait_own(d, MAIN_TITLE, 20)
        self.assertFalse(d.exists(gate["hwnd"]))
        lv = d.control(main["hwnd"], MAIN.超级列表框1)["hwnd"]
        self.assertEqual([r["texts"][:3] for r in d.list_view(lv)["rows"]], [["127.0.0.1", "0", "a"]])
        saved = self.close_and_wait(prog, main["hwnd"])
        self.assertEqual(saved, gbk("127.0.0.1|0|a|b|c\r\n") + settings(password))

    def test_leaving_the_gate_ends_the_program_untouched(self):
        ini = settings("pw", gbk("127.0.0.1|0|a|b|c\r\n#admin:1\r\n"))
        for way in ("取消", "Esc", "close box"):
            with self.subTest(way=way):
                prog, gate, controls = self.start_gate(ini)
                d = prog.driver
                before = prog.ini_path.read_bytes()
                box = controls[CHECK.编辑框1]["hwnd"]
                d.set_text(box, "p")
                self.assertIsNone(self.own(d, MAIN_TITLE))
                if way == "取消":
                    d.click(controls[CHECK.按钮2]["hwnd"])
                elif way == "Esc":
                    d.key(box, harness.VK_ESCAPE)
                else:
                    d.close(gate["hwnd"])
                self.assertEqual(prog.wait_exit(15), 0)
                self.assertIsNone(self.own(d, MAIN_TITLE), "no main window")
                self.assertEqual(prog.ini_path.read_bytes(), before, "ms.ini byte for byte")
                prog.finish()

    def test_a_saved_password_longer_than_16_bytes_cannot_be_typed(self):
        password = "1234567890abcdefg"   # 17 bytes
        prog, gate, controls = self.start_gate(settings(password))
        d = prog.driver
        box = controls[CHECK.编辑框1]["hwnd"]
        for way in ("WM_SETTEXT", "WM_CHAR"):
            with self.subTest(way=way):
                d.set_text(box, "")
                if way == "WM_SETTEXT":
                    # A change that would make the text too long is undone whole.
                    d.set_text(box, password)
                    self.assertEqual(d.text(box), "")
                else:
                    for ch in password:
                        d.char(box, ord(ch))
                    wait_for(lambda: len(d.text(box)) >= 16, 5)
                    time.sleep(0.3)
                    self.assertEqual(d.text(box), password[:16])
                d.click(controls[CHECK.按钮1]["hwnd"])
                msg, text, buttons = self.message(d, "错误")
                self.assertEqual(text, "密码错误")
                self.answer(d, msg, buttons, IDOK)
        d.click(controls[CHECK.按钮2]["hwnd"])
        self.assertEqual(prog.wait_exit(15), 0)

    def test_empty_password_markers_open_no_gate(self):
        prog = self.program(ini=b"127.0.0.1|0|a||\r\n#LoadinPass:<>\r\n")
        main = self.launch(prog, MAIN_TITLE)
        self.assertIsNone(self.own(prog.driver, GATE_TITLE))
        self.assertTrue(main["enabled"])


class SetupTest(PasswordTestCase):

    def start(self, ini=None):
        prog = self.program(ini=ini)
        main = self.launch(prog, MAIN_TITLE)
        self.d = prog.driver
        self.main = main["hwnd"]
        self.button = self.d.control(self.main, MAIN.按钮_启动密码)["hwnd"]
        return prog

    def start_through_gate(self, password):
        """Starts with a saved password and passes the gate with it."""
        prog = self.program(ini=settings(password))
        gate = self.launch(prog, GATE_TITLE)
        d = prog.driver
        d.set_text(d.control(gate["hwnd"], CHECK.编辑框1)["hwnd"], password)
        d.click(d.control(gate["hwnd"], CHECK.按钮1)["hwnd"])
        self.d, self.main = d, self.wait_own(d, MAIN_TITLE, 20)["hwnd"]
        self.button = d.control(self.main, MAIN.按钮_启动密码)["hwnd"]
        return prog

    def open_setup(self):
        self.d.click(self.button)
        win = self.wait_own(self.d, SETUP_TITLE)
        return win, self.d.controls_by_id(win["hwnd"])

    def fill(self, controls, a, b):
        self.d.set_text(controls[SETUP.编辑框1]["hwnd"], a)
        self.d.set_text(controls[SETUP.编辑框2]["hwnd"], b)

    def boxes(self, controls):
        return (self.d.text(controls[SETUP.编辑框1]["hwnd"]), self.d.text(controls[SETUP.编辑框2]["hwnd"]))

    def test_layout(self):
        self.start(settings(""))
        win, _ = self.open_setup()
        controls = self.assertWindowProperties(self.d, win, (290, 130), SETUP_LAYOUT)
        for cid in (SETUP.编辑框1, SETUP.编辑框2):
            self.assertFalse(controls[cid]["style"] & ES_PASSWORD, "shown in clear text")
        self.assertEqual(controls[SETUP.按钮1]["style"] & BS_TYPEMASK, BS_DEFPUSHBUTTON)
        self.assertFalse(self.d.info(self.main)["enabled"], "the main window waits (modal)")
        self.limit_cases(self.d, controls[SETUP.编辑框2]["hwnd"])
        self.limit_cases(self.d, controls[SETUP.编辑框1]["hwnd"])

    def test_refusals_keep_the_window_and_both_texts(self):
        prog = self.start(settings(""))
        win, controls = self.open_setup()
        cases = [
            ("abc", "abd", DIFFER),
            ("abc", "", DIFFER),
            ("", "x", DIFFER),
            ("密码", "密吗", DIFFER),
            ("a>b", "a>", DIFFER),        # the comparison comes first
            ("a>b", "a>b", REFUSAL),
            ("a|b", "a|b", REFUSAL),
            ("#LoadinPass:<", "#LoadinPass:<", REFUSAL),
            (">", ">", REFUSAL),
        ]
        for a, b, expected in cases:
            with self.subTest(a=a, b=b):
                self.fill(controls, a, b)
                self.d.click(controls[SETUP.按钮1]["hwnd"])
                box, text, buttons = self.message(self.d, ERROR_TITLE)
                self.assertEqual(text, expected)
                self.assertEqual(set(buttons), {IDOK})
                self.answer(self.d, box, buttons, IDOK)
                self.assertTrue(self.d.exists(win["hwnd"]))
                self.assertEqual(self.boxes(controls), (a, b))
        self.d.click(controls[SETUP.按钮2]["hwnd"])
        self.d.wait_gone(win["hwnd"])
        self.assertEqual(self.close_and_wait(prog, self.main), settings(""))

    def test_leaving_without_ok_keeps_the_password(self):
        prog = self.start_through_gate("old")
        d = self.d
        for way in ("取消", "Esc", "close box"):
            with self.subTest(way=way):
                win, controls = self.open_setup()
                self.assertEqual(self.boxes(controls), ("", ""), "the current password is never shown")
                self.fill(controls, "new", "new")
                if way == "取消":
                    d.click(controls[SETUP.按钮2]["hwnd"])
                elif way == "Esc":
                    d.key(controls[SETUP.编辑框1]["hwnd"], harness.VK_ESCAPE)
                else:
                    d.close(win["hwnd"])
                d.wait_gone(win["hwnd"])
                self.assertTrue(d.info(self.main)["enabled"])
        self.assertEqual(self.close_and_wait(prog, self.main), settings("old"))

    def test_both_empty_asks_before_clearing(self):
        prog = self.start_through_gate("old")
        d = self.d

        win, controls = self.open_setup()
        for answer in (IDNO, IDYES):
            with self.subTest(answer=answer):
                d.click(controls[SETUP.按钮1]["hwnd"])
                box, text, buttons = self.message(d, "提示")
                self.assertEqual(text, CLEAR_QUESTION)
                self.assertEqual(set(buttons), {IDYES, IDNO})
                self.answer(d, box, buttons, answer)
                if answer == IDNO:
                    time.sleep(0.3)
                    self.assertTrue(d.exists(win["hwnd"]), "No keeps the window open")
                else:
                    d.wait_gone(win["hwnd"])
        self.assertEqual(prog.read_ini(), settings("old"), "nothing is written before the close")
        self.assertEqual(self.close_and_wait(prog, self.main), settings(""))

        # The next start asks for nothing.
        self.launch(prog, MAIN_TITLE)
        self.assertIsNone(self.own(d, GATE_TITLE))

    def test_a_new_password_guards_the_next_start_only(self):
        servers = gbk("127.0.0.1|0|a|b|c\r\n")
        prog = self.start(settings("", servers))
        password = "新亅Ab1"   # a second byte of 0x7C is no "|"
        win, controls = self.open_setup()
        self.fill(controls, password, password)
        self.d.key(controls[SETUP.编辑框2]["hwnd"], harness.VK_RETURN)
        self.d.wait_gone(win["hwnd"])
        # The running program goes on as before.
        self.assertTrue(self.d.info(self.main)["enabled"])
        self.assertIsNone(self.own(self.d, GATE_TITLE))
        self.assertEqual(prog.read_ini(), settings("", servers), "nothing is written before the close")
        self.assertEqual(self.close_and_wait(prog, self.main), settings(password, servers))

        gate = self.launch(prog, GATE_TITLE)
        self.assertIsNone(self.own(self.d, MAIN_TITLE))
        self.d.set_text(self.d.control(gate["hwnd"], CHECK.编辑框1)["hwnd"], password)
        self.d.click(self.d.control(gate["hwnd"], CHECK.按钮1)["hwnd"])
        main = self.wait_own(self.d, MAIN_TITLE, 20)
        self.assertEqual(self.close_and_wait(prog, main["hwnd"]), settings(password, servers))


if __name__ == "__main__":
    unittest.main()
