"""The main window of the real program under Wine: its layout read back from
the running window, the list view, the commands (delete, modify, connect by
Enter), the keys Esc and Enter, the option controls, the same texts on an
English Wine, and the colours as drawn on the screen.

Run on its own with "screenshot <png>" as arguments, it draws the window
with a few servers inside a Wine virtual desktop and saves the window's
picture (docs/screenshot.png).
"""

import socket
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import MAIN, MAIN_TITLE, VK_DOWN, VK_ESCAPE, VK_RETURN, VK_UP, gbk  # noqa: E402

# ---- Windows constants -----------------------------------------------------

WS_TABSTOP = 0x00010000
WS_GROUP = 0x00020000
WS_MAXIMIZEBOX = 0x00010000
WS_MINIMIZEBOX = 0x00020000
WS_THICKFRAME = 0x00040000
WS_SYSMENU = 0x00080000
WS_HSCROLL = 0x00100000
WS_VSCROLL = 0x00200000
WS_CAPTION = 0x00C00000
WS_CHILD = 0x40000000
WS_EX_CLIENTEDGE = 0x00000200
WS_EX_STATICEDGE = 0x00020000
WS_EX_APPWINDOW = 0x00040000

BS_TYPEMASK = 0x0F
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX, BS_GROUPBOX, BS_AUTORADIOBUTTON = 0, 1, 3, 7, 9
SS_TYPEMASK = 0x1F
SS_LEFT, SS_CENTER, SS_OWNERDRAW = 0, 1, 0x0D
SS_NOTIFY = 0x0100
SS_CENTERIMAGE = 0x0200
ES_MULTILINE = 0x0004
ES_READONLY = 0x0800

LVS_TYPEMASK = 0x0003
LVS_REPORT = 0x0001
LVS_SINGLESEL = 0x0004
LVS_SHOWSELALWAYS = 0x0008
LVS_SORTASCENDING = 0x0010
LVS_SORTDESCENDING = 0x0020
LVS_EDITLABELS = 0x0200
LVS_NOCOLUMNHEADER = 0x4000
LVS_NOSORTHEADER = 0x8000
LVS_EX_GRIDLINES = 0x0001
LVS_EX_CHECKBOXES = 0x0004
LVS_EX_TRACKSELECT = 0x0008
LVS_EX_HEADERDRAGDROP = 0x0010
LVS_EX_FULLROWSELECT = 0x0020
LVCFMT_JUSTIFYMASK = 0x0003
LVCFMT_LEFT, LVCFMT_CENTER = 0, 2

IDOK, IDCANCEL = 1, 2
MSGBOX_TEXT_ID = 0xFFFF  # the static that holds a message box's text
MSGBOX_ICON_ID = 0x0440  # the static that holds its icon
STM_GETICON = 0x0171

EN_LANG = "en_US.UTF-8"
SCREEN = (1024, 768)
STATUS_IMAGES = {"在线": 0, "离线": 1, "...": 2}

SELECTION_TEXT, SELECTION_TITLE = "请选择服务器列表！", "操作错误"
DELETE_TEXT, DELETE_TITLE = "确认删除该项？", "删除项目"

# ---- the layout, once ---------------------------------------------------------

# id, class, parent id (0: the window), x, y, width, height, text, enabled
LAYOUT = [
    (MAIN.图片框1, "Static", 0, 5, 4, 267, 62, "", True),
    (MAIN.标签1, "Static", 0, 285, 0, 192, 24, "青岚 - 我国知名IDC服务商", True),
    (MAIN.超级链接框1, "Static", 0, 288, 24, 48, 16, "域名注册", True),
    (MAIN.超级链接框2, "Static", 0, 348, 24, 48, 16, "虚拟主机", True),
    (MAIN.超级链接框3, "Static", 0, 408, 24, 56, 16, "VPS服务器", True),
    (MAIN.超级链接框4, "Static", 0, 280, 48, 60, 16, "服务器租用", True),
    (MAIN.超级链接框5, "Static", 0, 352, 48, 60, 16, "服务器托管", True),
    (MAIN.超级链接框6, "Static", 0, 424, 48, 48, 16, "网站建设", True),
    (MAIN.分组框2, "Button", 0, 4, 68, 465, 180, "服务器控制", True),
    (MAIN.超级列表框1, "SysListView32", MAIN.分组框2, 8, 12, 344, 160, "", True),
    (MAIN.按钮_连接服务器, "Button", MAIN.分组框2, 360, 12, 100, 30, "连接", False),
    (MAIN.按钮_添加服务器, "Button", MAIN.分组框2, 360, 44, 100, 30, "添加", True),
    (MAIN.按钮_删除服务器, "Button", MAIN.分组框2, 360, 76, 100, 30, "删除", False),
    (MAIN.按钮_设置服务器, "Button", MAIN.分组框2, 360, 108, 100, 30, "修改", True),
    (MAIN.按钮_启动密码, "Button", MAIN.分组框2, 360, 141, 100, 30, "启动密码", True),
    (MAIN.分组框4, "Button", 0, 5, 253, 344, 131, "备注", True),
    (MAIN.编辑框_备注, "Edit", MAIN.分组框4, 7, 14, 328, 109, "", True),
    (MAIN.分组框1, "Button", 0, 358, 256, 115, 56, "启动方式", True),
    (MAIN.选择框_onsole, "Button", MAIN.分组框1, 8, 16, 72, 16, "console", True),
    (MAIN.选择框_admin, "Button", MAIN.分组框1, 8, 35, 72, 16, "admin", True),
    (MAIN.分组框3, "Button", 0, 358, 312, 115, 72, "分辨率", True),
    (MAIN.单选框1, "Button", MAIN.分组框3, 8, 16, 72, 16, "全屏", True),
    (MAIN.单选框1024768, "Button", MAIN.分组框3, 8, 32, 80, 16, "1024*768", True),
    (MAIN.单选框800600, "Button", MAIN.分组框3, 8, 48, 88, 16, " 800*600", True),
]

PICTURE = {MAIN.图片框1}
LABELS = {MAIN.标签1}
HYPERLINKS = {MAIN.超级链接框1, MAIN.超级链接框2, MAIN.超级链接框3,
              MAIN.超级链接框4, MAIN.超级链接框5, MAIN.超级链接框6}
GROUPS = {MAIN.分组框2, MAIN.分组框4, MAIN.分组框1, MAIN.分组框3}
PUSH_BUTTONS = {MAIN.按钮_添加服务器, MAIN.按钮_删除服务器, MAIN.按钮_设置服务器, MAIN.按钮_启动密码}
CHECK_BOXES = {MAIN.选择框_onsole, MAIN.选择框_admin}
RADIOS = [MAIN.单选框1, MAIN.单选框1024768, MAIN.单选框800600]
NOT_TAB_STOPS = PICTURE | LABELS | HYPERLINKS | GROUPS

COLUMNS = [("主机IP地址", 130, LVCFMT_LEFT), ("端口", 50, LVCFMT_LEFT),
           ("登陆账号", 100, LVCFMT_CENTER), ("网络状态", 60, LVCFMT_CENTER)]


def server_lines(*lines):
    return b"".join(gbk(line) + b"\r\n" for line in lines)


class Listener:
    """A TCP port on 127.0.0.1 that accepts connections, so a server shows online."""

    def __init__(self):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(16)
        self.port = self.sock.getsockname()[1]

    def close(self):
        self.sock.close()


def refused_port():
    """A port on 127.0.0.1 that nothing listens on: the probe marks it offline at once."""
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class MainWindowTest(harness.WineTestCase):

    # ---- helpers ------------------------------------------------------------

    def listener(self):
        listener = Listener()
        self.addCleanup(listener.close)
        return listener

    def start(self, **kwargs):
        prog = self.program(**kwargs)
        win, controls = self.main_window(prog)
        return prog, prog.driver, win, controls

    def list_view(self, d, controls):
        return d.list_view(controls[MAIN.超级列表框1]["hwnd"])

    def wait_probed(self, d, controls, timeout=15):
        """The list view once every row shows its probe result."""
        deadline = time.monotonic() + timeout
        while True:
            view = self.list_view(d, controls)
            if all(r["texts"][3] != "..." for r in view["rows"]):
                return view
            if time.monotonic() > deadline:
                self.fail(f"probe results did not arrive: {view['rows']}")
            time.sleep(0.2)

    def answer_message(self, d, main_hwnd, title, text, button, icon):
        """Finds the message box, checks its text, whether it shows an icon
        and that it blocks the main window, and clicks one of its buttons;
        gives its controls."""
        box = d.wait_window(title, 10)
        self.assertEqual(box["owner"], 0, "no owner window")
        controls = d.controls_by_id(box["hwnd"])
        self.assertEqual(controls[MSGBOX_TEXT_ID]["text"], text)
        shown = MSGBOX_ICON_ID in controls and d.send(controls[MSGBOX_ICON_ID]["hwnd"], STM_GETICON) != 0
        self.assertEqual(shown, icon, "icon")
        self.assertFalse(d.info(main_hwnd)["enabled"], "the message box is task-modal")
        d.click(controls[button]["hwnd"])
        d.wait_gone(box["hwnd"])
        self.wait_for("the main window to take input again", lambda: d.info(main_hwnd)["enabled"])
        return controls

    def assert_no_window(self, d, title):
        self.assertIsNone(d.find_window(title), f"unexpected window {title!r}")

    def assert_layout(self, win, controls):
        """The window and its controls against the layout table."""
        self.assertEqual(win["title"], MAIN_TITLE)
        left, top, right, bottom = win["rect"]
        self.assertEqual((right - left, bottom - top), (486, 423), "outer size")
        self.assertEqual((left, top), ((SCREEN[0] - 486) // 2, (SCREEN[1] - 423) // 2), "centred")
        style, exstyle = win["style"], win["exstyle"]
        self.assertEqual(style & WS_CAPTION, WS_CAPTION)
        for bit, wanted in ((WS_SYSMENU, True), (WS_MINIMIZEBOX, True),
                            (WS_MAXIMIZEBOX, False), (WS_THICKFRAME, False), (WS_CHILD, False)):
            self.assertEqual(bool(style & bit), wanted, f"window style bit {bit:#x}")
        self.assertTrue(exstyle & WS_EX_APPWINDOW, "shown in the task bar")
        self.assertEqual(win["owner"], 0)

        # The list view's own header is not one of the window's controls.
        lv = controls[MAIN.超级列表框1]["hwnd"]
        controls = {cid: c for cid, c in controls.items() if c["parent"] != lv}
        parents = {0: win["hwnd"]}
        parents.update({cid: controls[cid]["hwnd"] for cid in GROUPS if cid in controls})
        self.assertEqual(sorted(controls), sorted(row[0] for row in LAYOUT), "the set of controls")
        for cid, cls, parent, x, y, w, h, text, enabled in LAYOUT:
            c = controls[cid]
            with self.subTest(control=cid, text=text):
                self.assertEqual(c["class"], cls)
                self.assertEqual(c["parent"], parents[parent], "parent")
                self.assertEqual(c["rect"], [x, y, x + w, y + h], "position and size")
                self.assertEqual(c["text"], text)
                self.assertEqual(c["enabled"], enabled)
                self.assertTrue(c["visible"])
                self.assertEqual(bool(c["style"] & WS_TABSTOP), cid not in NOT_TAB_STOPS, "tab stop")
                self.assert_kind_style(cid, c)

    def assert_kind_style(self, cid, c):
        style, exstyle = c["style"], c["exstyle"]
        if cid in PICTURE:
            self.assertEqual(style & SS_TYPEMASK, SS_OWNERDRAW)
            self.assertTrue(exstyle & WS_EX_STATICEDGE, "thin sunken edge")
        elif cid in LABELS:
            self.assertEqual(style & SS_TYPEMASK, SS_LEFT)
            self.assertTrue(style & SS_CENTERIMAGE, "vertically centred")
        elif cid in HYPERLINKS:
            self.assertEqual(style & SS_TYPEMASK, SS_CENTER)
            self.assertTrue(style & SS_NOTIFY, "clicks reach the window")
        elif cid in GROUPS:
            self.assertEqual(style & BS_TYPEMASK, BS_GROUPBOX)
        elif cid == MAIN.按钮_连接服务器:
            self.assertEqual(style & BS_TYPEMASK, BS_DEFPUSHBUTTON, "the default button")
        elif cid in PUSH_BUTTONS:
            self.assertEqual(style & BS_TYPEMASK, BS_PUSHBUTTON)
        elif cid in CHECK_BOXES:
            self.assertEqual(style & BS_TYPEMASK, BS_AUTOCHECKBOX)
        elif cid in RADIOS:
            self.assertEqual(style & BS_TYPEMASK, BS_AUTORADIOBUTTON)
            self.assertEqual(bool(style & WS_GROUP), cid == RADIOS[0], "one group of three")
        elif cid == MAIN.编辑框_备注:
            self.assertEqual(style & (ES_MULTILINE | ES_READONLY), ES_MULTILINE | ES_READONLY)
            self.assertFalse(style & (WS_VSCROLL | WS_HSCROLL), "no scroll bars")
            self.assertTrue(exstyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE), "sunken edge")
        elif cid == MAIN.超级列表框1:
            self.assertTrue(exstyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE), "sunken edge")

    def assert_list_view_setup(self, view):
        style = view["style"]
        self.assertEqual(style & LVS_TYPEMASK, LVS_REPORT)
        for bit in (LVS_SINGLESEL, LVS_SHOWSELALWAYS, LVS_NOSORTHEADER):
            self.assertTrue(style & bit, f"list view style {bit:#x}")
        for bit in (LVS_EDITLABELS, LVS_NOCOLUMNHEADER, LVS_SORTASCENDING, LVS_SORTDESCENDING):
            self.assertFalse(style & bit, f"list view style {bit:#x}")
        ex = view["lvexstyle"]
        self.assertEqual(ex & (LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES),
                         LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES)
        for bit in (LVS_EX_HEADERDRAGDROP, LVS_EX_TRACKSELECT, LVS_EX_CHECKBOXES):
            self.assertFalse(ex & bit, f"list view extended style {bit:#x}")
        self.assertEqual([(c["text"], c["width"], c["format"] & LVCFMT_JUSTIFYMASK)
                          for c in view["columns"]], COLUMNS)

    def checks(self, d, win):
        controls = d.controls_by_id(win["hwnd"])
        return [controls[cid]["check"] for cid in [MAIN.选择框_onsole, MAIN.选择框_admin] + RADIOS]

    def enabled(self, d, win, cid):
        return d.controls_by_id(win["hwnd"])[cid]["enabled"]

    def remark(self, d, controls):
        return d.text(controls[MAIN.编辑框_备注]["hwnd"])

    # ---- layout -------------------------------------------------------------

    def test_layout_of_a_first_start(self):
        prog, d, win, controls = self.start()
        self.assert_layout(win, controls)
        self.assertEqual(self.checks(d, win), [0, 0, 0, 0, 0], "nothing checked or selected")
        view = self.list_view(d, controls)
        self.assert_list_view_setup(view)
        self.assertEqual((view["rows"], view["selected"]), ([], -1))
        self.assertEqual(self.close_and_wait(prog, win["hwnd"]), b"#Start:0\r\n#LoadinPass:<>\r\n")

    def test_same_texts_on_an_english_windows(self):
        # The program converts with code page 936 itself, so an ANSI code page
        # of 1252 changes nothing it shows; the ms.ini texts are 936 bytes.
        port = str(refused_port())
        ini = server_lines(f"127.0.0.1|{port}|管理员|pw|华东机房\n二号柜",
                           "127.0.0.1|0003389 |用户甲||")
        prog, d, win, controls = self.start(ini=ini, lang=EN_LANG)
        self.assert_layout(win, controls)
        self.assertEqual(self.checks(d, win), [0, 0, 0, 0, 0])
        view = self.list_view(d, controls)
        self.assert_list_view_setup(view)
        self.assertEqual([r["texts"][:3] for r in view["rows"]],
                         [["127.0.0.1", port, "管理员"],
                          ["127.0.0.1", "0003389 ", "用户甲"]])
        d.select_row(controls[MAIN.超级列表框1]["hwnd"], 0)
        self.wait_for("the remark", lambda: self.remark(d, controls) == "华东机房\r\n二号柜")
        self.assertEqual(self.close_and_wait(prog, win["hwnd"]),
                         ini + b"#Start:0\r\n#LoadinPass:<>\r\n", "saved as read")

    # ---- selection, remark --------------------------------------------------

    def test_buttons_and_remark_follow_the_focused_row(self):
        ini = server_lines(f"127.0.0.1|{refused_port()}|admin|pw|第一行\n第二行",
                           "127.0.0.1|2|user|pw|",
                           "127.0.0.1|3|acct")
        prog, d, win, controls = self.start(ini=ini)
        lv = controls[MAIN.超级列表框1]["hwnd"]
        self.wait_probed(d, controls)
        for cid in (MAIN.按钮_连接服务器, MAIN.按钮_删除服务器):
            self.assertFalse(self.enabled(d, win, cid), "disabled at start even with rows")
        self.assertEqual(self.remark(d, controls), "")

        d.select_row(lv, 0)
        self.wait_for("the buttons", lambda: self.enabled(d, win, MAIN.按钮_删除服务器))
        self.assertTrue(self.enabled(d, win, MAIN.按钮_连接服务器))
        self.wait_for("the remark", lambda: self.remark(d, controls) == "第一行\r\n第二行")
        # A row without a remark, and a server line with only three fields.
        for row in (1, 2):
            d.select_row(lv, row)
            self.wait_for(f"the empty remark of row {row}", lambda: self.remark(d, controls) == "")
        d.select_row(lv, 0)
        self.wait_for("the remark again", lambda: self.remark(d, controls) == "第一行\r\n第二行")
        view = self.list_view(d, controls)
        self.assertEqual([r["selected"] for r in view["rows"]], [True, False, False])

        # Arrow keys in the list view move selection and focus together.
        d.key(lv, VK_DOWN)
        self.wait_for("row 1 after Down", lambda: self.list_view(d, controls)["selected"] == 1)
        self.wait_for("its empty remark", lambda: self.remark(d, controls) == "")
        d.key(lv, VK_UP)
        self.wait_for("row 0 after Up", lambda: self.list_view(d, controls)["selected"] == 0)
        self.wait_for("its remark", lambda: self.remark(d, controls) == "第一行\r\n第二行")

        # Losing the selection changes neither the buttons nor the remark.
        d.clear_selection(lv)
        time.sleep(0.3)
        self.assertTrue(self.enabled(d, win, MAIN.按钮_删除服务器))
        self.assertTrue(self.enabled(d, win, MAIN.按钮_连接服务器))
        self.assertEqual(self.remark(d, controls), "第一行\r\n第二行")
        self.close_and_wait(prog, win["hwnd"])

    # ---- delete and modify ----------------------------------------------------

    def test_delete_cancelled_then_confirmed(self):
        online = self.listener()
        off = refused_port()
        lines = [f"127.0.0.1|{off}|a1|p1|备注一",
                 f"127.0.0.1|{off}|a2|p2|要删除的备注",
                 f"127.0.0.1|{online.port}|账号三|p3|备注三",
                 f"127.0.0.1|{off}|a4|p4|备注四"]
        prog, d, win, controls = self.start(ini=server_lines(*lines))
        main, lv = win["hwnd"], controls[MAIN.超级列表框1]["hwnd"]
        delete = controls[MAIN.按钮_删除服务器]["hwnd"]
        before = self.wait_probed(d, controls)
        self.assertEqual([r["texts"][3] for r in before["rows"]], ["离线", "离线", "在线", "离线"])

        d.select_row(lv, 1)
        self.wait_for("the remark", lambda: self.remark(d, controls) == "要删除的备注")
        before = self.list_view(d, controls)

        d.click(delete)
        box = self.answer_message(d, main, DELETE_TITLE, DELETE_TEXT, IDCANCEL, icon=False)
        self.assertEqual(sorted(cid for cid, c in box.items() if c["class"] == "Button" and c["visible"]),
                         [IDOK, IDCANCEL], "OK and Cancel")
        self.assertEqual(self.list_view(d, controls), before, "Cancel changes nothing")

        d.click(delete)
        self.answer_message(d, main, DELETE_TITLE, DELETE_TEXT, IDOK, icon=False)
        after = self.wait_for("the refill", lambda: (lambda v: len(v["rows"]) == 3 and v)(
            self.list_view(d, controls)))
        kept = [before["rows"][i] for i in (0, 2, 3)]
        self.assertEqual([r["texts"] for r in after["rows"]], [r["texts"] for r in kept])
        self.assertEqual([r["state_image"] for r in after["rows"]], [1, 0, 1], "state images moved up")
        self.assertEqual([r["param"] for r in after["rows"]], [1, 2, 3], "renumbered")
        self.assertEqual(after["selected"], -1, "no row selected after a delete")
        self.assertTrue(self.enabled(d, win, MAIN.按钮_删除服务器))
        self.assertTrue(self.enabled(d, win, MAIN.按钮_连接服务器))
        self.assertEqual(self.remark(d, controls), "要删除的备注", "the removed server's remark stays")

        for button in (MAIN.按钮_删除服务器, MAIN.按钮_设置服务器):
            d.click(controls[button]["hwnd"])
            self.answer_message(d, main, SELECTION_TITLE, SELECTION_TEXT, IDOK, icon=True)
        self.assertEqual(len(self.list_view(d, controls)["rows"]), 3)

        saved = self.close_and_wait(prog, main)
        self.assertEqual(saved, server_lines(lines[0], lines[2], lines[3]) + b"#Start:0\r\n#LoadinPass:<>\r\n")

    def test_modify_and_delete_without_a_selection(self):
        ini = server_lines("127.0.0.1|1|admin|pw|r")
        prog, d, win, controls = self.start(ini=ini)
        main = win["hwnd"]
        # 修改 is enabled from the start; 删除 becomes usable once a row had the
        # focus, and the selection is then cleared again.
        d.click(controls[MAIN.按钮_设置服务器]["hwnd"])
        self.answer_message(d, main, SELECTION_TITLE, SELECTION_TEXT, IDOK, icon=True)
        lv = controls[MAIN.超级列表框1]["hwnd"]
        d.select_row(lv, 0)
        self.wait_for("the buttons", lambda: self.enabled(d, win, MAIN.按钮_删除服务器))
        d.clear_selection(lv)
        for button in (MAIN.按钮_删除服务器, MAIN.按钮_设置服务器):
            d.click(controls[button]["hwnd"])
            self.answer_message(d, main, SELECTION_TITLE, SELECTION_TEXT, IDOK, icon=True)
            self.assert_no_window(d, DELETE_TITLE)
        self.assertEqual(len(self.list_view(d, controls)["rows"]), 1)
        self.assertEqual(self.close_and_wait(prog, main), ini + b"#Start:0\r\n#LoadinPass:<>\r\n")

    # ---- keys ----------------------------------------------------------------

    def test_escape_closes_and_saves(self):
        ini = server_lines("127.0.0.1|1|管理员|pw|备注") + b"#onsole:1\r\n#admin:1\r\n#Start:1\r\n#LoadinPass:<>\r\n"
        prog, d, win, controls = self.start(ini=ini)
        d.key(win["hwnd"], VK_ESCAPE)
        self.assertEqual(prog.wait_exit(15), 0)
        self.assertEqual(prog.read_ini(), ini)

    def test_enter_connects_only_while_connect_is_enabled(self):
        listener = self.listener()
        ini = server_lines(f"127.0.0.1|{listener.port}|管理员|pw|r")
        prog, d, win, controls = self.start(ini=ini, standin=True)
        main = win["hwnd"]
        self.assertFalse(self.enabled(d, win, MAIN.按钮_连接服务器))
        d.key(main, VK_RETURN)
        time.sleep(1.5)
        self.assertEqual(prog.standin_log(), [], "Enter does nothing while 连接 is disabled")
        self.assert_no_window(d, SELECTION_TITLE)
        self.assertTrue(d.info(main)["enabled"])

        d.select_row(controls[MAIN.超级列表框1]["hwnd"], 0)
        self.wait_for("连接 enabled", lambda: self.enabled(d, win, MAIN.按钮_连接服务器))
        d.key(main, VK_RETURN)
        starts = self.wait_for("the client start", prog.standin_log, timeout=15)
        self.assertEqual(len(starts), 1)
        sent = bytes.fromhex(starts[0]["file_hex"] or "")
        self.assertIn(f"full address:s:127.0.0.1:{listener.port}".encode(), sent.replace(b"\x00", b""))
        self.wait_for("连接 enabled again", lambda: self.enabled(d, win, MAIN.按钮_连接服务器))
        self.assertTrue(prog.running(), "Enter does not close the window")
        self.close_and_wait(prog, main)

    # ---- option controls ------------------------------------------------------------

    def test_resolution_from_the_settings_and_back(self):
        cases = [
            # settings markers, checks (console, admin, full, 1024, 800) after start
            (b"#onsole:1\r\n", [1, 0, 0, 0, 0]),
            (b"#Start:1\r\n", [0, 0, 0, 1, 0]),
        ]
        for markers, expected in cases:
            with self.subTest(markers=markers):
                prog, d, win, controls = self.start(ini=server_lines("127.0.0.1|1|a|b|c") + markers)
                self.assertEqual(self.checks(d, win), expected)
                d.click(controls[MAIN.单选框1]["hwnd"])
                self.wait_for("全屏 selected", lambda: self.checks(d, win)[2:] == [1, 0, 0])
                saved = self.close_and_wait(prog, win["hwnd"])
                self.assertIn(b"\r\n#Start:0\r\n", saved)
                self.assertNotIn(b"#Start:1", saved)
                prog.finish()

    # ---- colours as drawn --------------------------------------------------------

    def test_colours_on_the_screen(self):
        with DesktopRun(server_lines("127.0.0.1|1|a|b|c")) as run:
            self.addCleanup(run.prog.finish)
            time.sleep(1.0)  # let the window paint
            shot = screen_pixels(run.prog.wine.display)

            def colours(cid):
                x0, y0, x1, y1 = run.control_on_screen(cid)
                return shot.colours(x0, y0, x1, y1)

            self.assertIn((255, 0, 0), colours(MAIN.标签1), "the red label")
            for cid in HYPERLINKS:
                with self.subTest(link=cid):
                    link = colours(cid)
                    self.assertIn((0, 0, 255), link, "blue hyperlink text")
                    self.assertFalse({c for c in link if c[2] < 128 and max(c) > 96 and c[0] > 128},
                                     "no other text colour")
            self.assertGreater(len(colours(MAIN.图片框1)), 16, "the banner is drawn")
            run.close()
            run.driver.wait_gone(run.win["hwnd"])


# ---- screen pictures ------------------------------------------------------------

class Pixels:
    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def colours(self, x0, y0, x1, y1):
        found = set()
        for y in range(max(0, y0), min(self.height, y1)):
            row = y * self.width * 3
            for x in range(max(0, x0), min(self.width, x1)):
                i = row + x * 3
                found.add(tuple(self.data[i:i + 3]))
        return found


def screen_pixels(display):
    ppm = subprocess.run(["import", "-display", display, "-window", "root", "-depth", "8", "ppm:-"],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                         timeout=30, check=True).stdout
    # P6 <w> <h> <max>\n<data>
    parts = ppm.split(maxsplit=4)
    assert parts[0] == b"P6" and parts[3] == b"255", parts[:4]
    return Pixels(int(parts[1]), int(parts[2]), parts[4])


class DesktopRun:
    """The program inside a Wine virtual desktop of the screen's size, where
    Wine draws title bars and frames itself, and a driver on that desktop."""

    def __init__(self, ini):
        self.prog = harness.Program(ini=ini)
        self.driver = None

    def __enter__(self):
        prog = self.prog
        prog.proc = subprocess.Popen(
            [harness.WINE, "explorer", f"/desktop=shot,{SCREEN[0]}x{SCREEN[1]}", str(prog.exe)],
            cwd=str(prog.root), env=prog.env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        # The desktop exists only once explorer has made it.
        deadline = time.monotonic() + 30
        while True:
            self.driver = prog.driver = harness.Driver(prog.wine, desktop="shot")
            try:
                self.win = self.driver.wait_window(MAIN_TITLE, 30)
                break
            except (harness.DriverError, RuntimeError) as e:
                self.driver.stop()
                if time.monotonic() > deadline:
                    raise RuntimeError(f"no main window on the virtual desktop: {e}")
                time.sleep(0.5)
        self.controls = self.driver.controls_by_id(self.win["hwnd"])
        return self

    def __exit__(self, *exc):
        self.prog.finish()

    def control_on_screen(self, cid):
        """A control's rectangle in screen pixels: the desktop fills the
        screen, and the frame is as wide at the bottom as at the sides."""
        x0, y0, x1, y1 = self.driver.info(self.win["hwnd"])["rect"]
        client = self.win["client"]
        border = (x1 - x0 - client[2]) // 2
        left, top = x0 + border, y1 - border - client[3]
        c = self.controls[cid]
        parent = c["parent"]
        px, py = 0, 0
        if parent != self.win["hwnd"]:
            group = next(g for g in self.controls.values() if g["hwnd"] == parent)
            px, py = group["rect"][0], group["rect"][1]
        cx0, cy0, cx1, cy1 = c["rect"]
        return left + px + cx0, top + py + cy0, left + px + cx1, top + py + cy1

    def close(self):
        self.driver.close(self.win["hwnd"])


def make_screenshot(out_png):
    """The main window with a few servers and a row selected, cropped to the window."""
    listener = Listener()
    ini = server_lines(f"127.0.0.1|{listener.port}|Administrator|pw|华东一号机房\n联系人：张工",
                       f"127.0.0.2|{refused_port()}|管理员|pw|备用服务器",
                       f"127.0.0.3|{refused_port()}|运维账号|pw|测试机",
                       "no-such-host.invalid|3389|用户甲||")
    try:
        with DesktopRun(ini) as run:
            d, controls = run.driver, run.controls
            lv = controls[MAIN.超级列表框1]["hwnd"]
            deadline = time.monotonic() + 15
            while time.monotonic() < deadline:
                if all(r["texts"][3] != "..." for r in d.list_view(lv)["rows"][:3]):
                    break
                time.sleep(0.3)
            d.select_row(lv, 0)
            d.click(controls[MAIN.选择框_onsole]["hwnd"])
            d.click(controls[MAIN.单选框1024768]["hwnd"])
            time.sleep(1.5)
            x0, y0, x1, y1 = d.info(run.win["hwnd"])["rect"]
            with tempfile.TemporaryDirectory() as tmp:
                full = Path(tmp) / "full.png"
                subprocess.run(["import", "-display", run.prog.wine.display, "-window", "root", str(full)],
                               check=True, timeout=30, stdin=subprocess.DEVNULL)
                subprocess.run(["convert", str(full), "-crop", f"{x1 - x0}x{y1 - y0}+{x0}+{y0}", "+repage",
                                "-strip", "-colors", "256", f"PNG8:{out_png}"], check=True, timeout=30,
                               stdin=subprocess.DEVNULL)
            run.close()
            d.wait_gone(run.win["hwnd"])
    finally:
        listener.close()


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "screenshot":
        make_screenshot(sys.argv[2])
    else:
        unittest.main()
