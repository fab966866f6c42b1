"""The server editor window of the real program under Wine: its layout, add
and modify through the main window's buttons, every way of leaving it
without a change, the texts it refuses, its keyboard rules, and what reaches
ms.ini when the main window closes."""

import socket
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import EDITOR, MAIN, gbk  # noqa: E402

ADD_TITLE = "添加服务器列表"
MODIFY_TITLE = "修改服务器列表"
ERROR_TITLE = "输入出错"
REFUSAL = "输入的内容不能包含“|”、换行或“#onsole:”“#admin:”“#Start:”“#LoadinPass:<”。"
FIELDS = [EDITOR.编辑框_域名, EDITOR.编辑框_端口, EDITOR.编辑框_账号, EDITOR.编辑框_密码, EDITOR.编辑框_备注]
DEFAULTS = ["127.0.0.1", "3389", "Administrator", "", ""]
TAIL = b"#Start:0\r\n#LoadinPass:<>\r\n"

WS_MAXIMIZEBOX = 0x00010000
WS_MINIMIZEBOX = 0x00020000
WS_THICKFRAME = 0x00040000
WS_SYSMENU = 0x00080000
WS_VSCROLL = 0x00200000
WS_HSCROLL = 0x00100000
WS_EX_APPWINDOW = 0x00040000
ES_MULTILINE = 0x0004
ES_PASSWORD = 0x0020
ES_READONLY = 0x0800
BS_TYPEMASK = 0x000F
BS_DEFPUSHBUTTON = 0x0001
BS_GROUPBOX = 0x0007
SS_TYPEMASK = 0x001F
SS_RIGHT = 0x0002
IDOK = 1
EM_GETLIMITTEXT = 0x00D5
MSGBOX_TEXT_ID = 0xFFFF

# The editor's layout: id -> (class, parent is the group box, x, y, w, h, text).
LAYOUT = {
    EDITOR.分组框1: ("Button", False, 4, 2, 248, 262, "服务器信息"),
    EDITOR.标签1: ("Static", True, 19, 24, 56, 24, "IP/域名："),
    EDITOR.编辑框_域名: ("Edit", True, 75, 24, 150, 20, "127.0.0.1"),
    EDITOR.标签2: ("Static", True, 19, 50, 56, 18, "端口："),
    EDITOR.编辑框_端口: ("Edit", True, 75, 48, 64, 20, "3389"),
    EDITOR.标签3: ("Static", True, 8, 76, 67, 14, "登陆账号："),
    EDITOR.编辑框_账号: ("Edit", True, 75, 72, 150, 20, "Administrator"),
    EDITOR.标签4: ("Static", True, 8, 96, 67, 24, "登陆密码："),
    EDITOR.编辑框_密码: ("Edit", True, 75, 96, 150, 20, ""),
    EDITOR.标签5: ("Static", True, 8, 120, 67, 14, "备注："),
    EDITOR.编辑框_备注: ("Edit", True, 75, 120, 150, 88, ""),
    EDITOR.按钮1: ("Button", True, 32, 223, 84, 30, "添 加 列 表"),
    EDITOR.按钮2: ("Button", True, 128, 223, 84, 30, "取 消\r\n"),
}


def closed_port():
    """A loopback port that nothing listens on (refused at once)."""
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def wait_for(what, timeout=15, step=0.1):
    return harness.poll(what, timeout, step)


class EditorTestCase(harness.WineTestCase):

    # Windows are looked up by title and by the process of the program under
    # test, since other programs may show windows of the same titles.
    def start(self, ini=None):
        prog = self.program(ini=ini)
        prog.driver = harness.Driver(prog.wine, lang=prog.lang)
        before = {w["hwnd"] for w in prog.driver.windows()}
        prog.start()
        win = wait_for(lambda: next((w for w in prog.driver.windows() if w["visible"]
                                     and w["title"] == harness.MAIN_TITLE
                                     and w["hwnd"] not in before), None), 20)
        self.assertIsNotNone(win, "no main window")
        self.pid = win["pid"]
        controls = prog.driver.controls_by_id(win["hwnd"])
        self.d = prog.driver
        self.main = win["hwnd"]
        self.lv = controls[MAIN.超级列表框1]["hwnd"]
        self.main_controls = controls
        return prog

    def own(self, title, timeout=0):
        """The program's visible window with this title, or None."""
        return wait_for(lambda: next((w for w in self.d.windows() if w["visible"] and w["title"] == title
                                      and w["pid"] == self.pid), None), timeout)

    def wait_own(self, title, timeout=10):
        win = self.own(title, timeout)
        self.assertIsNotNone(win, f"no window {title!r}")
        return win

    def rows(self):
        return self.d.list_view(self.lv)["rows"]

    def open_editor(self, row=None):
        """Opens the editor: add mode, or modify mode for a row (0-based)."""
        if row is None:
            self.d.click(self.main_controls[MAIN.按钮_添加服务器]["hwnd"])
            win = self.wait_own(ADD_TITLE)
        else:
            self.d.select_row(self.lv, row)
            self.d.click(self.main_controls[MAIN.按钮_设置服务器]["hwnd"])
            win = self.wait_own(MODIFY_TITLE)
        return win["hwnd"], self.d.controls_by_id(win["hwnd"])

    def texts(self, boxes):
        return [self.d.text(boxes[i]["hwnd"]) for i in FIELDS]

    def set_texts(self, boxes, values):
        for i, value in zip(FIELDS, values):
            self.d.set_text(boxes[i]["hwnd"], value)
        self.assertEqual(self.texts(boxes), list(values))

    def message(self, title):
        """The message box with this title: (hwnd, text, {button id: caption})."""
        box = self.wait_own(title, 10)
        self.assertEqual(box["class"], "#32770", "not a message box")
        controls = self.d.controls(box["hwnd"])
        text = [c["text"] for c in controls if c["id"] == MSGBOX_TEXT_ID]
        buttons = {c["id"]: c for c in controls if c["class"].lower() == "button"}
        return box["hwnd"], (text[0] if text else None), buttons

    def answer(self, box, buttons, button_id):
        self.d.click(buttons[button_id]["hwnd"])
        self.d.wait_gone(box)

    def accept(self, editor, boxes):
        self.d.click(boxes[EDITOR.按钮1]["hwnd"])
        self.d.wait_gone(editor)

    def wait_status(self, row, status, timeout=15):
        got = wait_for(lambda: self.rows()[row]["texts"][3] == status, timeout)
        self.assertTrue(got, f"row {row} never showed {status}: {self.rows()[row]}")


class EditorLayoutTest(EditorTestCase):

    def test_add_mode_layout(self):
        self.start()
        editor, boxes = self.open_editor()
        info = self.d.info(editor)
        left, top, right, bottom = info["rect"]
        self.assertEqual((right - left, bottom - top), (262, 300))
        self.assertEqual((left, top), ((1024 - 262) // 2, (768 - 300) // 2))
        style = info["style"]
        self.assertTrue(style & WS_SYSMENU, "close box")
        self.assertFalse(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), "no minimize or maximize box")
        self.assertFalse(style & WS_THICKFRAME, "fixed border")
        self.assertTrue(info["exstyle"] & WS_EX_APPWINDOW, "shown in the task bar")
        self.assertFalse(self.d.info(self.main)["enabled"], "the main window waits (modal)")

        group = boxes[EDITOR.分组框1]["hwnd"]
        self.assertEqual(set(boxes), set(LAYOUT), "exactly the controls of the layout")
        for cid, (cls, in_group, x, y, w, h, text) in LAYOUT.items():
            with self.subTest(control=cid):
                c = boxes[cid]
                self.assertEqual(c["class"].lower(), cls.lower())
                self.assertEqual(c["parent"], group if in_group else editor)
                self.assertEqual(c["rect"], [x, y, x + w, y + h])
                self.assertEqual(c["text"], text)
                self.assertTrue(c["enabled"] and c["visible"])
                if cls == "Edit":
                    self.assertFalse(c["style"] & (ES_PASSWORD | ES_READONLY), "clear and editable")
                    multi = cid == EDITOR.编辑框_备注
                    self.assertEqual(bool(c["style"] & ES_MULTILINE), multi)
                    self.assertFalse(c["style"] & (WS_VSCROLL | WS_HSCROLL), "no scroll bars")
                if cls == "Static":
                    self.assertEqual(c["style"] & SS_TYPEMASK, SS_RIGHT, "right-aligned label")
        self.assertEqual(boxes[EDITOR.分组框1]["style"] & BS_TYPEMASK, BS_GROUPBOX)
        self.assertEqual(boxes[EDITOR.按钮1]["style"] & BS_TYPEMASK, BS_DEFPUSHBUTTON)
        self.assertNotEqual(boxes[EDITOR.按钮2]["style"] & BS_TYPEMASK, BS_DEFPUSHBUTTON)

        # No length limit: not even the edit control's own of 30,000 characters.
        for cid in FIELDS:
            self.assertGreaterEqual(self.d.send(boxes[cid]["hwnd"], EM_GETLIMITTEXT), 0x7FFFFFFE, cid)
        long_text = "x" * 40000
        self.d.set_text(boxes[EDITOR.编辑框_账号]["hwnd"], long_text)
        self.assertEqual(self.d.text(boxes[EDITOR.编辑框_账号]["hwnd"]), long_text)


class EditorAddTest(EditorTestCase):

    def test_add_with_defaults_appends_an_unprobed_row(self):
        port = closed_port()
        prog = self.start(ini=gbk(f"127.0.0.1|{port}|first|pw|r1\r\n"))
        self.wait_status(0, "离线")
        editor, boxes = self.open_editor()
        self.assertEqual(self.texts(boxes), DEFAULTS)
        self.accept(editor, boxes)

        rows = self.rows()
        self.assertEqual(len(rows), 2)
        self.assertEqual(rows[0]["texts"], ["127.0.0.1", str(port), "first", "离线"])
        self.assertEqual(rows[1]["texts"], ["127.0.0.1", "3389", "Administrator", "..."])
        self.assertEqual(rows[1]["state_image"], 2)
        self.assertEqual([r["param"] for r in rows], [1, 2])
        self.assertFalse(any(r["selected"] for r in rows), "no row is selected after OK")
        self.assertTrue(self.d.info(self.main)["enabled"])
        time.sleep(1)   # the new entry is never probed: it keeps "..."
        self.assertEqual(self.rows()[1]["texts"][3], "...")

        saved = self.close_and_wait(prog, self.main)
        self.assertEqual(saved, gbk(f"127.0.0.1|{port}|first|pw|r1\r\n127.0.0.1|3389|Administrator||\r\n") + TAIL)

    def test_texts_are_stored_as_typed(self):
        # Empty boxes, a port that is no number, blanks and two-byte characters
        # whose second byte is the code of "|" are all taken as they are.
        cases = [
            ["", "", "", "", ""],
            ["no-such-host.invalid", "abc", " 用户 ", "p#admin", "亅倈 #Start 1"],
        ]
        prog = self.start()
        for values in cases:
            editor, boxes = self.open_editor()
            self.set_texts(boxes, values)
            self.accept(editor, boxes)
        rows = self.rows()
        self.assertEqual([r["texts"] for r in rows],
                         [c[:3] + ["..."] for c in cases])
        saved = self.close_and_wait(prog, self.main)
        self.assertEqual(saved, b"".join(gbk("|".join(c) + "\r\n") for c in cases) + TAIL)


class EditorModifyTest(EditorTestCase):

    def test_modify_shows_the_entry_and_keeps_its_status(self):
        port = closed_port()
        ini = gbk(f"127.0.0.1|{port}||秘密|第一行\r\n127.0.0.3|{port}|b||\r\n")
        prog = self.start(ini=ini)
        self.wait_status(0, "离线")
        editor, boxes = self.open_editor(row=0)
        self.assertEqual(self.texts(boxes), ["127.0.0.1", str(port), "", "秘密", "第一行"],
                         "an empty account stays empty")
        self.assertEqual(self.d.text(boxes[EDITOR.按钮1]["hwnd"]), "修 改 列 表(EDIT LIST)")
        self.assertEqual(self.d.text(boxes[EDITOR.按钮2]["hwnd"]), "取 消\r\n")

        self.set_texts(boxes, ["127.0.0.2", "3390", "新账号", "", "改过"])
        self.accept(editor, boxes)
        rows = self.rows()
        self.assertEqual(rows[0]["texts"], ["127.0.0.2", "3390", "新账号", "离线"])
        self.assertEqual(rows[0]["state_image"], 1)
        self.assertEqual(rows[1]["texts"][:3], ["127.0.0.3", str(port), "b"])
        self.assertFalse(any(r["selected"] for r in rows), "no row is selected after OK")

        # The next opening shows the changed entry.
        editor, boxes = self.open_editor(row=0)
        self.assertEqual(self.texts(boxes), ["127.0.0.2", "3390", "新账号", "", "改过"])
        self.d.close(editor)
        self.d.wait_gone(editor)

        saved = self.close_and_wait(prog, self.main)
        self.assertEqual(saved, gbk(f"127.0.0.2|3390|新账号||改过\r\n127.0.0.3|{port}|b||\r\n") + TAIL)

    def test_leaving_without_ok_changes_nothing(self):
        ini = gbk("127.0.0.1|0|acct|pw|rem\r\n")
        prog = self.start(ini=ini)
        before = [r["texts"][:3] for r in self.rows()]
        changed = ["127.0.0.9", "1", "x", "y", "z"]
        ways = {
            "取 消": lambda editor, boxes: self.d.click(boxes[EDITOR.按钮2]["hwnd"]),
            "Esc": lambda editor, boxes: self.d.key(boxes[EDITOR.编辑框_账号]["hwnd"], harness.VK_ESCAPE),
            "close box": lambda editor, boxes: self.d.close(editor),
        }
        for mode in (None, 0):
            for name, leave in ways.items():
                with self.subTest(mode="add" if mode is None else "modify", way=name):
                    editor, boxes = self.open_editor(row=mode)
                    self.set_texts(boxes, changed)
                    leave(editor, boxes)
                    self.d.wait_gone(editor)
                    self.assertEqual([r["texts"][:3] for r in self.rows()], before)
                    self.assertTrue(self.d.info(self.main)["enabled"])
                    # The next opening starts again from the layout or the entry.
                    editor, boxes = self.open_editor(row=mode)
                    self.assertEqual(self.texts(boxes),
                                     DEFAULTS if mode is None else ["127.0.0.1", "0", "acct", "pw", "rem"])
                    self.d.click(boxes[EDITOR.按钮2]["hwnd"])
                    self.d.wait_gone(editor)
        saved = self.close_and_wait(prog, self.main)
        self.assertEqual(saved, ini + TAIL)


class EditorRefusalTest(EditorTestCase):

    def test_texts_the_settings_file_cannot_carry_are_refused(self):
        bad = ["a|b", "a\r\nb", "#onsole:1", "x#admin:", "#Start:1", "#LoadinPass:<", "a\nb", "a\rb",
               "服务器|二"]
        ini = gbk("127.0.0.1|0|acct|pw|rem\r\n")
        prog = self.start(ini=ini)
        for mode in (None, 0):
            editor, boxes = self.open_editor(row=mode)
            start = DEFAULTS if mode is None else ["127.0.0.1", "0", "acct", "pw", "rem"]
            for n, text in enumerate(bad):
                field = n % len(FIELDS)
                values = list(start)
                values[field] = text
                with self.subTest(mode="add" if mode is None else "modify", text=text, field=field):
                    self.set_texts(boxes, values)
                    self.d.click(boxes[EDITOR.按钮1]["hwnd"])
                    box, message, buttons = self.message(ERROR_TITLE)
                    self.assertEqual(message, REFUSAL)
                    self.assertEqual(set(buttons), {IDOK})
                    self.answer(box, buttons, IDOK)
                    self.assertTrue(self.d.exists(editor), "the editor stays open")
                    self.assertEqual(self.texts(boxes), values, "every text as it was")
            self.d.click(boxes[EDITOR.按钮2]["hwnd"])
            self.d.wait_gone(editor)
        self.assertEqual([r["texts"][:3] for r in self.rows()], [["127.0.0.1", "0", "acct"]])
        self.assertEqual(self.close_and_wait(prog, self.main), ini + TAIL)


class EditorKeyboardTest(EditorTestCase):

    def test_enter_in_the_remark_box_starts_a_line_elsewhere_accepts(self):
        prog = self.start()
        editor, boxes = self.open_editor()
        remark = boxes[EDITOR.编辑框_备注]["hwnd"]
        self.d.set_text(remark, "ab")
        self.d.key(remark, harness.VK_RETURN)
        got = wait_for(lambda: "\r\n" in self.d.text(remark), 5)
        self.assertTrue(got, f"no new line: {self.d.text(remark)!r}")
        text = self.d.text(remark)
        self.assertEqual(len(text), 4)
        self.assertEqual(text.replace("\r\n", ""), "ab")
        time.sleep(0.5)
        self.assertTrue(self.d.exists(editor), "Enter in the remark box does not accept")
        self.assertIsNone(self.own(ERROR_TITLE))

        # OK refuses the remark of two lines and keeps it.
        self.d.click(boxes[EDITOR.按钮1]["hwnd"])
        box, message, buttons = self.message(ERROR_TITLE)
        self.assertEqual(message, REFUSAL)
        self.answer(box, buttons, IDOK)
        self.assertEqual(self.d.text(remark), text)

        # Enter in another box clicks the default button.
        self.d.set_text(remark, "one line")
        for cid in (EDITOR.编辑框_端口,):
            self.d.key(boxes[cid]["hwnd"], harness.VK_RETURN)
        self.d.wait_gone(editor)
        self.assertEqual([r["texts"] for r in self.rows()],
                         [["127.0.0.1", "3389", "Administrator", "..."]])
        saved = self.close_and_wait(prog, self.main)
        self.assertEqual(saved, b"127.0.0.1|3389|Administrator||one line\r\n" + TAIL)


if __name__ == "__main__":
    unittest.main()
