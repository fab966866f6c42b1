"""End-to-end tests of the status probe: the real program under Wine, probing
listeners of the test's own on 127.0.0.1.

A host that never answers is made on loopback: a listener with a backlog of
0 whose accept queue the test has already filled with connections of its
own and that never accepts. Linux then drops every further SYN, so a connect
to it hangs (until the system gives up after about two minutes). Accepting
from the queue later lets the waiting connect through at its next SYN
retry, which is how a test releases such a host.
"""

import socket
import time
import unittest

from harness import EDITOR, MAIN, WineTestCase, gbk

ONLINE, OFFLINE, WAITING = "在线", "离线", "..."
STATUS_COLUMN = 3


class Loopback:
    """Sockets of the test on 127.0.0.1, all closed by close()."""

    def __init__(self):
        self.sockets = []
        self.fill = {}  # silent port -> local ports of the test's own queue fillers

    def _keep(self, s):
        self.sockets.append(s)
        return s

    def listening(self):
        s = self._keep(socket.socket())
        s.bind(("127.0.0.1", 0))
        s.listen(16)
        s.setblocking(False)
        return s.getsockname()[1]

    def closed(self):
        """A port that refuses: bound (so nobody else takes it), not listening."""
        s = self._keep(socket.socket())
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]

    def silent(self):
        """A port whose connects hang until release()."""
        s = self._keep(socket.socket())
        s.bind(("127.0.0.1", 0))
        s.listen(0)
        port = s.getsockname()[1]
        self.fill[port] = set()
        for _ in range(2):
            c = self._keep(socket.socket())
            c.setblocking(False)
            c.connect_ex(("127.0.0.1", port))
            self.fill[port].add(c.getsockname()[1])
        time.sleep(0.2)
        return port

    def listener(self, port):
        return next(s for s in self.sockets if s.getsockname()[1] == port)

    def hangs(self, port, wait=0.5):
        """True when a further connect to the port neither succeeds nor fails for a while."""
        c = socket.socket()
        try:
            c.settimeout(wait)
            c.connect(("127.0.0.1", port))
            return False
        except socket.timeout:
            return True
        except OSError:
            return False
        finally:
            c.close()

    def accepted(self, port):
        """How many connections wait on a listening port (they are taken and closed)."""
        listener = self.listener(port)
        count = 0
        while True:
            try:
                conn, _ = listener.accept()
            except BlockingIOError:
                return count
            conn.close()
            count += 1

    def release(self, port, connections, timeout=40):
        """Accepts on a silent port until that many connections other than the
        test's own fillers have come through; their count."""
        listener = self.listener(port)
        listener.settimeout(0.5)
        arrived = 0
        deadline = time.monotonic() + timeout
        while arrived < connections and time.monotonic() < deadline:
            try:
                conn, peer = listener.accept()
            except socket.timeout:
                continue
            if peer[1] not in self.fill[port]:
                arrived += 1
            conn.close()
        return arrived

    def close(self):
        for s in self.sockets:
            s.close()
        self.sockets = []


def fullwidth(number):
    """The digits of a number as full-width characters, code-page 936 bytes A3B0..A3B9."""
    return b"".join(bytes([0xA3, 0xB0 + int(d)]) for d in str(number))


def server_lines(entries):
    """Settings text of (address, port, account) entries: five fields per line."""
    return b"".join(address + b"|" + port + b"|" + account + b"||\r\n"
                    for address, port, account in entries)


class ProbeTestCase(WineTestCase):
    def setUp(self):
        super().setUp()
        self.net = Loopback()
        self.addCleanup(self.net.close)

    def start(self, entries):
        prog = self.program(ini=server_lines(entries) + b"#Start:0\r\n#LoadinPass:<>\r\n")
        win, controls = self.main_window(prog)
        return prog, win["hwnd"], controls

    def rows(self, prog, lv):
        return prog.driver.list_view(lv)["rows"]

    def wait_rows(self, prog, lv, done, timeout=20):
        """The rows once done(rows) holds; fails when it does not within the timeout."""
        deadline = time.monotonic() + timeout
        while True:
            rows = self.rows(prog, lv)
            if done(rows):
                return rows
            if time.monotonic() > deadline:
                self.fail(f"rows did not reach the expected state: {rows}")
            time.sleep(0.2)

    def status(self, row):
        return row["texts"][STATUS_COLUMN], row["state_image"]

    def silent_port(self):
        """A port whose connects hang until released, checked to hang."""
        port = self.net.silent()
        self.assertTrue(self.net.hangs(port), "a connect to the filled listener should hang")
        return port


class ProbeResults(ProbeTestCase):
    def test_each_row_gets_its_own_result_and_a_silent_host_keeps_waiting(self):
        net = self.net
        shared = net.listening()      # two entries with the same address and port
        wide = net.listening()        # reached only through the full-width port text
        untouched = net.listening()   # named by entries that must cause no connect
        refused = net.closed()
        silent = self.silent_port()

        cases = [
            # address, port text, expected status, why
            (b"127.0.0.1", str(shared).encode(), ONLINE, "listening port"),
            (b"127.0.0.1", str(refused).encode(), OFFLINE, "closed port"),
            (b"", str(untouched).encode(), OFFLINE, "empty address"),
            (b"no-such-host.invalid", str(untouched).encode(), OFFLINE, "unknown host name"),
            (b"127.0.0.1", fullwidth(wide), ONLINE, "full-width digits"),
            (b"127.0.0.1", str(shared).encode(), ONLINE, "same address and port again"),
            (b"127.0.0.1", str(silent).encode(), WAITING, "host that never answers"),
        ]
        images = {ONLINE: 0, OFFLINE: 1, WAITING: 2}
        entries = [(a, p, gbk(f"user{i}")) for i, (a, p, _, _) in enumerate(cases)]
        prog, main, controls = self.start(entries)
        lv = controls[MAIN["超级列表框1"]]["hwnd"]

        rows = self.wait_rows(prog, lv, lambda rows: len(rows) == len(cases) and all(
            row["texts"][STATUS_COLUMN] != WAITING
            for row, case in zip(rows, cases) if case[2] != WAITING))
        time.sleep(0.5)  # a moment more, for a result the silent row must not get
        rows = self.rows(prog, lv)
        for row, (address, port, expected, why) in zip(rows, cases):
            with self.subTest(why):
                self.assertEqual(self.status(row), (expected, images[expected]))

        # Each probe made its own connect; entries without an address to reach made none.
        self.assertEqual(net.accepted(shared), 2, "connects to the shared address and port")
        self.assertEqual(net.accepted(wide), 1, "connects through the full-width port")
        self.assertEqual(net.accepted(untouched), 0, "connects for unreachable addresses")

        # Closing does not wait for the outstanding probe, whose connect would
        # give up only after about two minutes. Under this Wine, destroying any
        # top-level window takes about 2 s (a bare window program measured
        # 2.0 s from WM_CLOSE to WM_DESTROY), so the program's own part is
        # what remains of the bound: under a second.
        started = time.monotonic()
        prog.driver.close(main)
        code = prog.wait_exit(10)
        took = time.monotonic() - started
        self.assertEqual(code, 0, "exit code")
        self.assertLess(took, 3.0, "seconds from close to exit with a probe outstanding")
        saved = prog.read_ini()
        self.assertIsNotNone(saved, "ms.ini was not written")
        self.assertTrue(saved.startswith(server_lines(entries)), saved)


class ProbeAndDelete(ProbeTestCase):
    time_limit = 120

    def test_deleting_the_last_entry_drops_its_late_result(self):
        net = self.net
        quick, silent = net.listening(), self.silent_port()
        entries = [(b"127.0.0.1", str(quick).encode(), b"quick"),
                   (b"127.0.0.1", str(silent).encode(), b"late"),
                   (b"127.0.0.1", str(silent).encode(), b"doomed")]
        prog, main, controls = self.start(entries)
        d = prog.driver
        lv = controls[MAIN["超级列表框1"]]["hwnd"]

        before = self.wait_rows(prog, lv, lambda rows: len(rows) == 3 and
                                rows[0]["texts"][STATUS_COLUMN] == ONLINE)
        self.assertEqual([self.status(r) for r in before[1:]], [(WAITING, 2)] * 2)

        d.select_row(lv, 2)
        d.click(controls[MAIN["按钮_删除服务器"]]["hwnd"])
        box = d.wait_window("删除项目")
        box_controls = d.controls(box["hwnd"])
        self.assertIn("确认删除该项？", [c["text"] for c in box_controls])
        d.click(next(c["hwnd"] for c in box_controls if c["id"] == 1))  # OK
        d.wait_gone(box["hwnd"])
        after_delete = self.wait_rows(prog, lv, lambda rows: len(rows) == 2)

        # Both outstanding connects now succeed: the result of item 2 lands,
        # that of the removed item 3 must be dropped.
        self.assertEqual(net.release(silent, 2), 2, "the waiting connects came through")
        rows = self.wait_rows(prog, lv, lambda rows: rows[1]["texts"][STATUS_COLUMN] != WAITING)
        time.sleep(1.0)
        rows = self.rows(prog, lv)
        self.assertEqual(len(rows), 2)
        self.assertEqual(rows[0], after_delete[0], "the untouched row changed")
        self.assertEqual(rows[1]["texts"][:STATUS_COLUMN], after_delete[1]["texts"][:STATUS_COLUMN])
        self.assertEqual(self.status(rows[1]), (ONLINE, 0))
        self.assertTrue(prog.running())

        saved = self.close_and_wait(prog, main)
        self.assertTrue(saved.startswith(server_lines(entries[:2]) + b"#"), saved)


class ProbeUnderModalWindow(ProbeTestCase):
    time_limit = 120

    def test_a_result_that_comes_while_the_editor_is_open_lands_on_its_row(self):
        # The editor runs a modal loop of its own: results reach the main
        # window through it, and the editor stays as it was.
        net = self.net
        quick, silent = net.listening(), self.silent_port()
        entries = [(b"127.0.0.1", str(quick).encode(), b"quick"),
                   (b"127.0.0.1", str(silent).encode(), b"late")]
        prog, main, controls = self.start(entries)
        d = prog.driver
        lv = controls[MAIN["超级列表框1"]]["hwnd"]
        self.wait_rows(prog, lv, lambda rows: rows[0]["texts"][STATUS_COLUMN] == ONLINE)

        d.click(controls[MAIN["按钮_添加服务器"]]["hwnd"])
        editor = d.wait_window("添加服务器列表")
        self.assertEqual(self.status(self.rows(prog, lv)[1]), (WAITING, 2))

        self.assertEqual(net.release(silent, 1), 1, "the waiting connect came through")
        rows = self.wait_rows(prog, lv, lambda rows: rows[1]["texts"][STATUS_COLUMN] != WAITING)
        self.assertEqual(self.status(rows[1]), (ONLINE, 0))
        self.assertEqual(len(rows), 2)
        self.assertIsNotNone(d.find_window("添加服务器列表"), "the editor closed")

        boxes = {c["id"]: c for c in d.controls(editor["hwnd"])}
        d.click(boxes[EDITOR.按钮2]["hwnd"])  # 取消
        d.wait_gone(editor["hwnd"])
        saved = self.close_and_wait(prog, main)
        self.assertTrue(saved.startswith(server_lines(entries) + b"#"), saved)


if __name__ == "__main__":
    unittest.main()
