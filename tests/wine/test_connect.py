"""End-to-end tests of the connect command: the real program under Wine with
the stand-in mstsc.exe beside it, which logs its command line and the
connection file it was given and unprotects the password line.
"""

import glob
import os
import random
import re
import subprocess
import time
import unittest
from pathlib import Path

from harness import MAIN, VK_RETURN, WINE, WineTestCase, gbk, session

LOCAL_DEVICES = r"HKCU\Software\Microsoft\Terminal Server Client\LocalDevices"
TEMP_FILE = re.compile(r"^C:\\users\\[^\\]+\\Temp\\(0|[1-9a-f][0-9a-f]*)\.tmp$")
PASSWORD_PREFIX = b"password 51:b:"

TEMPLATE = [
    "screen mode id:i:1", "desktopwidth:i:800", "desktopheight:i:600", "session bpp:i:16",
    "winposstr:s:0,3,0,0,800,600", "compression:i:1", "keyboardhook:i:2",
    "displayconnectionbar:i:1", "username:s:{account}", "disable wallpaper:i:1",
    "disable full window drag:i:1", "allow desktop composition:i:0",
    "allow font smoothing:i:0", "disable menu anims:i:1", "disable themes:i:0",
    "disable cursor setting:i:0", "bitmapcachepersistenable:i:1",
    "full address:s:{address}", "{password}", "audiomode:i:0", "redirectprinters:i:1",
    "redirectcomports:i:0", "redirectsmartcards:i:1", "redirectclipboard:i:1",
    "redirectposdevices:i:0", "drivestoredirect:s:", "autoreconnection enabled:i:1",
    "authentication level:i:0", "prompt for credentials:i:0",
    "negotiate security layer:i:1", "remoteapplicationmode:i:0", "alternate shell:s:",
    "shell working directory:s:", "gatewayhostname:s:", "gatewayusagemethod:i:4",
    "gatewaycredentialssource:i:4", "gatewayprofileusagemethod:i:0",
    "promptcredentialonce:i:1",
]


def connection_file(account, address_port, password_line):
    """The expected file: the 38 lines with CR LF, code-page 936 bytes."""
    lines = []
    for line in TEMPLATE:
        raw = gbk(line)
        raw = raw.replace(b"{account}", account).replace(b"{address}", address_port)
        lines.append(raw.replace(b"{password}", password_line))
    return b"".join(l + b"\r\n" for l in lines)


def input_block(password):
    """What the protection call must have been given: UTF-16LE, terminator, zeros to 512 bytes."""
    return (password.encode("utf-16-le") + b"\0\0").ljust(512, b"\0")


def unique_address():
    return "127.%d.%d.%d" % (random.randint(1, 254), random.randint(1, 254), random.randint(1, 254))


class ConnectTestCase(WineTestCase):
    def start(self, entries, options=b"", standin=True, lang=None):
        """entries: (address, port, account, password) as code-page 936 bytes."""
        ini = b"".join(b"|".join(e) + b"|\r\n" for e in entries) + options
        kwargs = dict(ini=ini, standin=standin)
        if lang:
            kwargs["lang"] = lang
        prog = self.program(**kwargs)
        win, controls = self.main_window(prog)
        self.prog, self.d, self.main = prog, prog.driver, win["hwnd"]
        self.list_view = controls[MAIN["超级列表框1"]]["hwnd"]
        self.button = controls[MAIN["按钮_连接服务器"]]["hwnd"]
        return prog

    def connect_button_enabled(self):
        return self.d.info(self.button)["enabled"]

    def wait_launches(self, count, timeout=15):
        """The stand-in's records once there are count of them and the button is back."""
        deadline = time.monotonic() + timeout
        while True:
            log = self.prog.standin_log()
            if len(log) >= count and self.connect_button_enabled():
                return log
            if time.monotonic() > deadline:
                self.fail(f"expected {count} client starts, got {len(log)}")
            time.sleep(0.1)

    def click_connect(self):
        self.d.select_row(self.list_view, 0)
        self.d.click(self.button)

    def temp_folder(self):
        folders = [p for p in glob.glob(str(self.prog.wine.prefix / "drive_c" / "users" / "*" / "Temp"))
                   if not p.lower().endswith(os.sep + "public" + os.sep + "temp")]
        self.assertEqual(len(folders), 1, folders)
        return Path(folders[0])

    def unix_path(self, windows_path):
        self.assertTrue(windows_path.startswith("C:\\"), windows_path)
        return self.prog.wine.prefix / "drive_c" / windows_path[3:].replace("\\", "/")

    def reg(self, *args):
        return subprocess.run([WINE, "reg", *args], env=self.prog.wine.env(), stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=30)

    def local_devices_value(self, name):
        """The type and data of the value as reg query shows them; None when absent."""
        out = self.reg("query", LOCAL_DEVICES, "/v", name)
        if out.returncode != 0:
            return None
        for line in out.stdout.decode("utf-8", "replace").splitlines():
            parts = line.split()
            if len(parts) == 3 and parts[0] == name:
                return parts[1], parts[2]
        return None


class ConnectLaunch(ConnectTestCase):
    def test_command_line_and_connection_file(self):
        account, password = "管理员", "密码Ab1"
        cases = [
            # options in ms.ini, expected switches, LANG of the run: the password
            # must convert with code page 936 whatever the ANSI code page is
            (b"#onsole:1\r\n#admin:1\r\n#Start:1\r\n", "/console /admin /w:1024 /h:768 ", None),
            (b"", "", "en_US.UTF-8"),
        ]
        for options, switches, lang in cases:
            with self.subTest(switches=switches, lang=lang):
                address = unique_address()
                self.addCleanup(self.reg, "delete", LOCAL_DEVICES, "/v", address, "/f")
                self.start([(gbk(address), b"3389", gbk(account), gbk(password))], options, lang=lang)
                try:
                    self.click_connect()
                    record = self.wait_launches(1)[0]

                    path = record["file"]
                    self.assertRegex(path, TEMP_FILE)
                    self.assertEqual(record["command_line"], f'mstsc.exe "{path}" {switches}')

                    pw = record["password"]
                    self.assertIsNotNone(pw, "no password line in the file")
                    digits = pw["digits"]
                    self.assertRegex(digits, r"^[0-9A-F]+$")
                    self.assertEqual(len(digits) % 2, 1, "the blob text has odd length")
                    self.assertEqual(pw["extra_digit"], "0")
                    self.assertTrue(pw["unprotected"], pw)
                    self.assertEqual(pw["description"], "psw")
                    self.assertEqual(bytes.fromhex(pw["data_hex"]), input_block(password))

                    expected = connection_file(gbk(account), gbk(address) + b":3389",
                                               PASSWORD_PREFIX + digits.encode())
                    written = bytes.fromhex(record["file_hex"])
                    self.assertEqual(written, expected)
                    self.assertEqual(written.count(b"\r\n"), 38)
                    self.assertEqual(self.unix_path(path).read_bytes(), expected)
                finally:
                    # The next case looks for a main window of the same title.
                    self.prog.finish()

    def test_empty_password_keeps_the_placeholder_line(self):
        address = unique_address()
        self.addCleanup(self.reg, "delete", LOCAL_DEVICES, "/v", address, "/f")
        self.start([(gbk(address), b"", b"", b"")])
        self.click_connect()
        record = self.wait_launches(1)[0]
        self.assertIsNone(record["password"])
        self.assertEqual(bytes.fromhex(record["file_hex"]),
                         connection_file(b"", gbk(address) + b":", gbk("%密码%")))

    def test_local_devices_value_is_created_once_and_never_reset(self):
        address = unique_address()
        self.addCleanup(self.reg, "delete", LOCAL_DEVICES, "/v", address, "/f")
        self.start([(gbk(address), b"3389", b"admin", b"")])
        self.assertIsNone(self.local_devices_value(address))

        self.click_connect()
        first = self.wait_launches(1)[0]
        self.assertEqual(self.local_devices_value(address), ("REG_DWORD", "0x4c"))

        self.assertEqual(self.reg("add", LOCAL_DEVICES, "/v", address, "/t", "REG_DWORD",
                                  "/d", "5", "/f").returncode, 0)
        self.click_connect()
        second = self.wait_launches(2)[1]
        self.assertEqual(self.local_devices_value(address), ("REG_DWORD", "0x5"))
        self.assertNotEqual(first["file"], second["file"], "two connects, two file names")

    def test_double_click_and_enter_connect_like_the_button(self):
        address = unique_address()
        self.addCleanup(self.reg, "delete", LOCAL_DEVICES, "/v", address, "/f")
        self.start([(gbk(address), b"3389", b"admin", b"secret")], b"#admin:1\r\n")

        self.click_connect()
        self.wait_launches(1)
        self.d.dblclick_row(self.list_view, 0)
        self.wait_launches(2)
        self.d.select_row(self.list_view, 0)
        self.assertTrue(self.connect_button_enabled())
        self.d.key(self.main, VK_RETURN)
        log = self.wait_launches(3)

        def shape(record):
            lines = bytes.fromhex(record["file_hex"]).split(b"\r\n")
            return (record["command_line"].replace(record["file"], "<file>"),
                    [l for l in lines if not l.startswith(PASSWORD_PREFIX)],
                    record["password"]["data_hex"])

        button, double_click, enter = (shape(r) for r in log)
        self.assertEqual(button[0], 'mstsc.exe "<file>" /admin ')
        self.assertEqual(double_click, button)
        self.assertEqual(enter, button)
        self.assertEqual(len({r["file"] for r in log}), 3)


class ConnectRefused(ConnectTestCase):
    def test_no_selection_shows_the_message_and_starts_nothing(self):
        self.start([(b"127.0.0.1", b"3389", b"admin", b"")])
        before = set(self.temp_folder().glob("*.tmp"))
        self.d.select_row(self.list_view, 0)  # the buttons come alive at the first focus
        self.d.clear_selection(self.list_view)
        self.d.click(self.button)

        box = self.d.wait_window("操作错误")
        self.addCleanup(lambda: self.d and self.d.exists(box["hwnd"]) and self.d.close(box["hwnd"]))
        controls = self.d.controls(box["hwnd"])
        self.assertIn("请选择服务器列表！", [c["text"] for c in controls])
        self.d.click(next(c["hwnd"] for c in controls if c["id"] == 1))  # OK
        self.d.wait_gone(box["hwnd"])

        time.sleep(0.5)
        self.assertEqual(self.prog.standin_log(), [])
        self.assertEqual(set(self.temp_folder().glob("*.tmp")), before, "a connection file was written")
        self.assertTrue(self.connect_button_enabled())

    def test_missing_client_is_silent(self):
        system = session().prefix / "drive_c" / "windows"
        self.assertEqual(glob.glob(str(system / "**" / "mstsc.exe"), recursive=True), [],
                         "Wine has a mstsc.exe of its own; this test needs none")
        self.start([(b"127.0.0.1", b"3389", b"admin", b"")], standin=False)
        temp = self.temp_folder()
        before = set(temp.glob("*.tmp"))
        self.click_connect()

        deadline = time.monotonic() + 10
        while not set(temp.glob("*.tmp")) - before:
            self.assertLess(time.monotonic(), deadline, "the connect wrote no connection file")
            time.sleep(0.1)
        time.sleep(1.5)  # the start attempt, and any window it might bring up
        self.assertTrue(self.connect_button_enabled())
        pid = self.d.info(self.main)["pid"]
        others = [w for w in self.d.windows()
                  if w["pid"] == pid and w["visible"] and w["hwnd"] != self.main]
        self.assertEqual(others, [], "a window appeared")
        self.assertTrue(self.prog.running())


if __name__ == "__main__":
    unittest.main()
