"""The release zip: scripts/release.sh packs the program with its two read-me
files, and the program's version resource carries the project version."""

import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOURCE_DIR = Path(os.environ.get("RDP_SOURCE_DIR", HERE.parent.parent))
WIN64_DIR = Path(os.environ.get("RDP_WIN64_DIR", SOURCE_DIR / "build" / "win64"))
WIN32_EXE = SOURCE_DIR / "build" / "win32" / "rdpconnector.exe"


def project_version():
    text = (SOURCE_DIR / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(rdpconnector VERSION (\d+)\.(\d+)\.(\d+)", text).groups()


def release_exe():
    """The shipped 32-bit program when it is built, else the 64-bit twin."""
    named = os.environ.get("RDP_RELEASE_EXE")
    if named:
        return Path(named)
    return WIN32_EXE if WIN32_EXE.exists() else WIN64_DIR / "rdpconnector.exe"


def fixed_version(exe_bytes):
    """(file version, product version) of the VS_FIXEDFILEINFO, as 4-tuples."""
    at = exe_bytes.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    _, _, fms, fls, pms, pls = struct.unpack_from("<6I", exe_bytes, at)
    split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    return split(fms, fls), split(pms, pls)


def version_string(exe_bytes, key):
    """The value of a StringFileInfo entry (UTF-16, padded to 4 bytes)."""
    m = re.search(re.escape((key + "\0").encode("utf-16-le")) + rb"(?:\0\0)*((?:[^\0]\0)+)\0\0",
                  exe_bytes)
    return m.group(1).decode("utf-16-le") if m else None


class ReleaseTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.exe = release_exe()
        if not cls.exe.exists():
            raise AssertionError(f"{cls.exe} is missing: build the win32 or win64 preset first")
        cls.version = ".".join(project_version())
        cls.tmp = tempfile.TemporaryDirectory(prefix="rdp-release-")
        subprocess.run(["bash", str(SOURCE_DIR / "scripts" / "release.sh"), "--package",
                        str(cls.exe), cls.tmp.name], check=True, timeout=120,
                       stdout=subprocess.DEVNULL)
        cls.zip_path = Path(cls.tmp.name) / f"rdpconnector-{cls.version}-win32.zip"

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def member(self, name):
        with zipfile.ZipFile(self.zip_path) as z:
            return z.read(name)

    def test_zip_holds_the_program_and_two_read_me_files(self):
        listing = subprocess.run(["unzip", "-l", str(self.zip_path)], check=True, timeout=30,
                                 capture_output=True).stdout.decode("utf-8")
        names = re.findall(r"^\s*\d+\s+\S+\s+\S+\s+(.+?)\s*$", listing, re.M)
        self.assertEqual(sorted(names), sorted(["rdpconnector.exe", "说明.txt", "README-en.txt"]))
        self.assertEqual(self.member("rdpconnector.exe"), self.exe.read_bytes())
        with zipfile.ZipFile(self.zip_path) as z:
            # Names flagged as UTF-8, so Windows shows 说明.txt and not mojibake.
            self.assertTrue(z.getinfo("说明.txt").flag_bits & 0x800)

    def test_read_me_files_are_for_notepad(self):
        cases = [
            ("说明.txt", True, ["ms.ini", "启动密码", "远程桌面连接客户端", ".rdp"]),
            ("README-en.txt", False, ["ms.ini", "start-up password",
                                      "Remote Desktop Connection Client", ".rdp"]),
        ]
        for name, bom, phrases in cases:
            with self.subTest(name=name):
                data = self.member(name)
                self.assertEqual(data.startswith(b"\xef\xbb\xbf"), bom, "byte-order mark")
                text = data.decode("utf-8-sig")
                self.assertNotIn("@VERSION@", text)
                self.assertIn(self.version, text.splitlines()[0])
                self.assertTrue(text.endswith("\r\n"))
                self.assertEqual(text.count("\n"), text.count("\r\n"), "every line ends CR LF")
                self.assertEqual(text.count("\r"), text.count("\r\n"), "no lone CR")
                for phrase in phrases:
                    self.assertIn(phrase, text)
                if not bom:
                    data.decode("ascii")

    def test_version_resource_matches_the_project(self):
        exe = self.member("rdpconnector.exe")
        major, minor, patch = (int(v) for v in project_version())
        self.assertEqual(fixed_version(exe), ((major, minor, patch, 0), (major, minor, patch, 0)))
        for key in ("FileVersion", "ProductVersion"):
            with self.subTest(key=key):
                self.assertEqual(version_string(exe, key), self.version)

    def test_shipped_program_is_32_bit(self):
        if self.exe != WIN32_EXE:
            self.skipTest("the win32 preset is not built; packed the 64-bit twin")
        exe = self.member("rdpconnector.exe")
        pe = struct.unpack_from("<I", exe, 0x3C)[0]
        self.assertEqual(exe[pe:pe + 4], b"PE\0\0")
        self.assertEqual(struct.unpack_from("<H", exe, pe + 4)[0], 0x14C, "i386 machine")


if __name__ == "__main__":
    unittest.main()
