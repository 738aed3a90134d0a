#!/usr/bin/env python3
"""Tests of tools/machine_state.py on small registry files, system.ini files
and queues of settings, written here the way the wineserver and the bench
write them, and of the change report of tools/machine_diff.py.

Run: python3 tests/tools/test_machine_state.py
"""
import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
import machine_diff  # noqa: E402
import machine_state as ms  # noqa: E402

HEADER = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win32\n"
USER_HEADER = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win32\n"


def hive(body, header=HEADER, root="HKLM"):
    reg = ms.Registry()
    reg.load(root, header + body)
    return reg


class Values(unittest.TestCase):
    # value line of the key [Software\\T] -> name, type, reg query text
    TABLE = [
        ('"a"="text"', "a", "REG_SZ", "text"),
        ('@="default"', "", "REG_SZ", "default"),
        ('"Path"="C:\\\\WINDOWS\\\\SYSTEM\\\\STATEMGR.EXE"', "path", "REG_SZ", "C:\\WINDOWS\\SYSTEM\\STATEMGR.EXE"),
        ('"q\\"uote\\\\d"="x"', 'q"uote\\d', "REG_SZ", "x"),
        ('"say"="\\"hi\\" \\\\o/"', "say", "REG_SZ", '"hi" \\o/'),
        ('"c"="\\a\\b\\t\\n\\v\\f\\r\\e"', "c", "REG_SZ", "\a\b\t\n\v\f\r\x1b"),
        ('"oct"="\\012\\0011\\101"', "oct", "REG_SZ", "\n\x011A"),
        ('"hx"="\\x41\\x00e9\\xe9z\\x"', "hx", "REG_SZ", "A\u00e9\u00e9zx"),
        ('"cut"="before\\0after"', "cut", "REG_SZ", "before"),
        ('"x"=str(2):"%SystemRoot%\\\\system32"', "x", "REG_EXPAND_SZ", "%SystemRoot%\\system32"),
        ('"m"=str(7):"a\\0b c\\0"', "m", "REG_MULTI_SZ", "a\\0b c"),
        ('"one"=str(7):"C:\\\\pagefile.sys 27 77"', "one", "REG_MULTI_SZ", "C:\\pagefile.sys 27 77"),
        ('"m7"=hex(7):61,00,00,00,62,00,00,00,00,00', "m7", "REG_MULTI_SZ", "a\\0b"),
        ('"d"=dword:0000001f', "d", "REG_DWORD", "0x1f"),
        ('"big"=dword:ffffffff', "big", "REG_DWORD", "0xffffffff"),
        ('"bin"=hex:00,01,ab', "bin", "REG_BINARY", "0001AB"),
        ('"empty"=hex:', "empty", "REG_BINARY", ""),
        ('"long"=hex:00,01,02,\\\n  03,04,\\\n  0a', "long", "REG_BINARY", "00010203040A"),
        ('"h1"=hex(1):41,00,42,00', "h1", "REG_SZ", "AB"),
        ('"odd"=hex(1):41,00,42', "odd", "REG_SZ", "A"),
        ('"h2"=hex(2):25,00,41,00,25,00', "h2", "REG_EXPAND_SZ", "%A%"),
        ('"q"=hex(b):01,00,00,00,00,00,00,00', "q", "REG_QWORD", "0x1"),
        ('"n"=hex(0):', "n", "REG_NONE", ""),
    ]

    def test_value_lines(self):
        for line, name, type_name, text in self.TABLE:
            with self.subTest(line=line):
                reg = hive("\n[Software\\\\T] 1700000000\n#time=1d9\n%s\n" % line)
                value = reg.value("HKLM\\Software\\T", name)
                self.assertIsNotNone(value)
                self.assertEqual((value.type_name, value.text()), (type_name, text))

    def test_names_compare_without_regard_to_case(self):
        reg = hive('\n[Software\\\\Veltrano Card] 1\n"StaticVxD"="Scsikrn.vxd"\n'
                   '\n[System\\\\CurrentControlSet\\\\Services\\\\VNT] 1\n"Start"=dword:00000000\n')
        for key, name in [("HKLM\\software\\VELTRANO CARD", "staticvxd"),
                          ("HKEY_LOCAL_MACHINE\\Software\\Veltrano Card\\", "STATICVXD"),
                          ("hklm\\SYSTEM\\currentcontrolset\\services\\vnt", "START")]:
            with self.subTest(key=key, name=name):
                self.assertIsNotNone(reg.value(key, name))
        self.assertIsNone(reg.value("HKLM\\Software\\Veltrano", "StaticVxD"))
        self.assertIsNone(reg.value("HKCU\\Software\\Veltrano Card", "StaticVxD"))

    def test_key_names(self):
        # key line -> a key path that must exist (parents exist implicitly)
        for line, path in [("[Software\\\\a\\[1\\]] 1", "HKLM\\Software\\a[1]"),
                           ("[Software\\\\b\\]c] 1", "HKLM\\Software\\b]c"),
                           ("[Software\\\\x\\x00e9\\\\y] 1", "HKLM\\Software\\x\u00e9\\y"),
                           ("[Software\\\\Deep\\\\Er\\\\Est] 1", "HKLM\\Software\\Deep\\Er"),
                           ("[Software\\\\Deep\\\\Er\\\\Est] 1", "HKLM\\Software")]:
            with self.subTest(line=line):
                self.assertIsNotNone(hive("\n%s\n" % line).key(path))
        reg = hive("\n[Software\\\\a\\[1\\]] 1\n")
        self.assertIsNone(reg.key("HKLM\\Software\\a"))
        self.assertTrue(reg.key("HKLM\\Software\\a[1]").stored)
        self.assertFalse(reg.key("HKLM\\Software").stored)

    def test_broken_lines_are_reported(self):
        for line in ['"a"="no end', '"a"=bogus:1', '"a"=dword:xyz', '"noequals"']:
            with self.subTest(line=line):
                with self.assertRaises(ValueError):
                    hive("\n[Software\\\\T] 1\n%s\n" % line)

    def test_links(self):
        target = ms.utf16("\\Registry\\Machine\\System\\ControlSet001").hex(",")
        user_target = ms.utf16("\\REGISTRY\\User\\S-1-5-21-0-0-0-1000\\Software\\Real").hex(",")
        reg = ms.Registry()
        reg.load("HKLM", HEADER + '\n[System\\\\CurrentControlSet] 1\n#link\n"SymbolicLinkValue"=hex(6):%s\n'
                 '\n[System\\\\ControlSet001\\\\Services\\\\VNT] 1\n"Start"=dword:00000001\n'
                 '\n[Software\\\\Alias] 1\n#link\n"SymbolicLinkValue"=hex(6):%s\n' % (target, user_target))
        reg.load("HKCU", USER_HEADER + '\n[Software\\\\Real] 1\n"x"="y"\n')
        self.assertEqual(reg.value("HKLM\\SYSTEM\\CurrentControlSet\\Services\\VNT", "Start").text(), "0x1")
        self.assertEqual(reg.resolve("HKLM\\System\\CurrentControlSet"), "hklm\\system\\controlset001")
        self.assertEqual(reg.value("HKLM\\Software\\Alias", "x").text(), "y")
        self.assertIsNone(reg.key("HKLM\\System\\CurrentControlSetX"))

    def test_the_files_own_notation_comes_back(self):
        # as the wineserver writes values: parsed and written again unchanged
        for line in ['"a"="text"', '@=""', '"q\\"uote\\\\d"="\\\\\\"x\\""', '"c"="\\t\\n\\r\\e\\a"',
                     '"o"="\\0011\\1x"', '"h"="\\x00e9a\\xe9z\\x20ac"', '"x"=str(2):"%A%"',
                     '"m"=str(7):"a\\0b\\0"', '"d"=dword:0000001f', '"b"=hex:00,ff', '"e"=hex:',
                     '"h1"=hex(1):41,00,42,00', '"z"=hex(1):41', '"q"=hex(b):01,00,00,00,00,00,00,00',
                     '"dw3"=hex(4):01,02,03']:
            with self.subTest(line=line):
                name = "" if line.startswith("@") else ms.unescape(line, 1, '"')[0]
                value = hive("\n[T] 1\n%s\n" % line).value("HKLM\\T", name)
                label = "@" if not name else '"%s"' % ms.escape(name, '"')
                self.assertEqual(label + "=" + value.wine_text(), line)


class SystemIni(unittest.TestCase):
    def test_sections_keys_and_values(self):
        text = ("woafont=dosapp.fon\r\n[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\n"
                "  PagingDrive = d:\r\nMaxPagingFileSize=307200\r\npagingdrive=\r\n"
                "no key line\r\n[ mci ]\r\nx=a=b\r\n")
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "system.ini")
            with open(path, "w", newline="") as f:
                f.write(text)
            got = [(i.section, i.key, i.value, i.section_line, i.line) for i in ms.read_ini(path)]
            missing = ms.read_ini(os.path.join(d, "absent.ini"))
        self.assertEqual(got, [
            ("", "woafont", "dosapp.fon", "", "woafont=dosapp.fon"),
            ("boot", "shell", "Explorer.exe", "[boot]", "shell=Explorer.exe"),
            ("386Enh", "PagingDrive", " d:", "[386Enh]", "PagingDrive = d:"),
            ("386Enh", "MaxPagingFileSize", "307200", "[386Enh]", "MaxPagingFileSize=307200"),
            ("386Enh", "pagingdrive", "", "[386Enh]", "pagingdrive="),
            (" mci ", "x", "a=b", "[ mci ]", "x=a=b"),
        ])
        self.assertEqual(missing, [])


class QueuedValues(unittest.TestCase):
    # type and data as reg add takes them -> the value as the wineserver writes it
    TABLE = [
        ("REG_SZ", "C:\\WINDOWS\\SYSTEM\\STATEMGR.EXE", '"C:\\\\WINDOWS\\\\SYSTEM\\\\STATEMGR.EXE"'),
        ("REG_SZ", 'say "hi"', '"say \\"hi\\""'),
        ("REG_SZ", "a\tb", '"a\\tb"'),
        ("REG_EXPAND_SZ", "%A%", 'str(2):"%A%"'),
        ("REG_MULTI_SZ", "a\\0b", 'str(7):"a\\0b\\0"'),
        ("REG_MULTI_SZ", "a\\0", 'str(7):"a\\0"'),
        ("REG_MULTI_SZ", "", 'str(7):""'),
        ("REG_DWORD", "0x600", "dword:00000600"),
        ("REG_DWORD", "31", "dword:0000001f"),
        ("REG_DWORD", "4294967295", "dword:ffffffff"),
        ("REG_BINARY", "00FFa0", "hex:00,ff,a0"),
        ("REG_BINARY", "abc", "hex:0a,bc"),
        ("REG_NONE", "x", "hex(0):78,00,00,00"),
    ]

    def test_values(self):
        for type_name, data, text in self.TABLE:
            with self.subTest(type=type_name, data=data):
                self.assertEqual(ms.Value("v", *ms.queued_value(type_name, data)).wine_text(), text)

    def test_values_that_cannot_be_written(self):
        for type_name, data in [("REG_DWORD", "4294967296"), ("REG_DWORD", "1x"), ("REG_BINARY", "0g"),
                                ("REG_MULTI_SZ", "a\\0\\0b"), ("REG_QWORD", "1")]:
            with self.subTest(type=type_name, data=data):
                with self.assertRaises(ValueError):
                    ms.queued_value(type_name, data)


class ApplyToRegistryFiles(unittest.TestCase):
    """Queued settings written into system.reg and user.reg of a machine
    that is off: read back as the wineserver would, every line they do not
    touch as it was."""

    SYSTEM = HEADER + (
        "\n[Software\\\\Keep] 1700000000\n#time=1d9\n\"a\"=\"1\"\n\"b\"=hex:00,01,\\\n  02,03\n\"c\"=dword:00000003\n"
        "\n[System\\\\ControlSet001\\\\Services\\\\VNT] 1700000000\n\"Start\"=dword:00000002\n"
        "\n[System\\\\ControlSet001\\\\Services\\\\VNT\\\\Enum] 1700000000\n\"0\"=\"x\"\n"
        "\n[System\\\\CurrentControlSet] 1700000000\n#link\n"
        "\"SymbolicLinkValue\"=hex(6):5c,00,52,00,65,00,67,00,69,00,73,00,74,00,72,00,79,00,5c,00,4d,00,61,00,63,00,68,00,"
        "69,00,6e,00,65,00,5c,00,53,00,79,00,73,00,74,00,65,00,6d,00,5c,00,43,00,6f,00,6e,00,74,00,72,00,6f,00,6c,00,"
        "53,00,65,00,74,00,30,00,30,00,31,00\n")
    USER = USER_HEADER + "\n[Software\\\\Wine] 1700000000\n\"Version\"=\"win7\"\n"

    def apply(self, records):
        out = ms.apply_settings({"HKLM": self.SYSTEM, "HKCU": self.USER}, records)
        reg = ms.Registry()
        reg.load("HKLM", out["HKLM"])
        reg.load("HKCU", out["HKCU"])
        return reg, out

    # settings -> key, value name, reg query text of the value (None: no value)
    TABLE = [
        ([["set", "HKLM\\Software\\New\\Deep", "v", "REG_SZ", 'a "q" \\ b']], "HKLM\\Software\\New\\Deep", "v", 'a "q" \\ b'),
        ([["set", "HKLM\\Software\\Keep", "a", "REG_SZ", "2"]], "HKLM\\Software\\Keep", "a", "2"),
        ([["set", "hklm\\software\\KEEP", "A", "REG_DWORD", "0x600"]], "HKLM\\Software\\Keep", "a", "0x600"),
        ([["set", "HKLM\\Software\\Keep", "b", "REG_SZ", "short"]], "HKLM\\Software\\Keep", "b", "short"),
        ([["set", "HKLM\\Software\\Keep", "", "REG_EXPAND_SZ", "%A%"]], "HKLM\\Software\\Keep", "", "%A%"),
        ([["set", "HKLM\\Software\\Keep", "m", "REG_MULTI_SZ", "C:\\pagefile.sys 27 77\\0D:\\x"]],
         "HKLM\\Software\\Keep", "m", "C:\\pagefile.sys 27 77\\0D:\\x"),
        ([["set", "HKLM\\Software\\Keep", "t", "REG_SZ", "\u00e9\ttab"]], "HKLM\\Software\\Keep", "t", "\u00e9\ttab"),
        ([["unset", "HKLM\\Software\\Keep", "b"]], "HKLM\\Software\\Keep", "b", None),
        ([["unset", "HKLM\\Software\\Keep", "b"]], "HKLM\\Software\\Keep", "c", "0x3"),
        ([["unset", "HKLM\\Software\\Keep", "nothing"]], "HKLM\\Software\\Keep", "a", "1"),
        ([["set", "HKLM\\System\\CurrentControlSet\\Services\\VNT", "Start", "REG_DWORD", "1"]],
         "HKLM\\System\\ControlSet001\\Services\\VNT", "Start", "0x1"),
        ([["delete", "HKLM\\System\\CurrentControlSet\\Services\\VNT"],
          ["set", "HKLM\\System\\CurrentControlSet\\Services\\VNT", "Type", "REG_DWORD", "1"]],
         "HKLM\\System\\ControlSet001\\Services\\VNT", "Start", None),
        ([["set", "HKCU\\Software\\Wine\\AppDefaults\\Setup.exe", "Version", "REG_SZ", "win95"]],
         "HKCU\\Software\\Wine\\AppDefaults\\Setup.exe", "Version", "win95"),
        ([["set", "HKLM\\Software\\Keep", "a", "REG_SZ", "x"], ["set", "HKLM\\Software\\Keep", "a", "REG_SZ", "y"]],
         "HKLM\\Software\\Keep", "a", "y"),
    ]

    def test_values(self):
        for records, key, name, text in self.TABLE:
            with self.subTest(records=records, value=name):
                reg, _ = self.apply(records)
                value = reg.value(key, name)
                self.assertEqual(value.text() if value else None, text)

    def test_keys(self):
        # settings -> key, whether it exists
        for records, key, exists in [
            ([["key", "HKLM\\system\\Veltrano Card"]], "HKLM\\System\\Veltrano Card", True),
            ([["delete", "HKLM\\System\\CurrentControlSet\\Services\\VNT"]], "HKLM\\System\\ControlSet001\\Services\\VNT\\Enum", False),
            ([["delete", "HKLM\\System\\CurrentControlSet\\Services\\VNT"]], "HKLM\\Software\\Keep", True),
            ([["delete", "HKLM\\Software\\Kee"]], "HKLM\\Software\\Keep", True),
            ([["delete", "HKLM\\Software\\Missing"]], "HKLM\\Software\\Missing", False),
            ([["unset", "HKLM\\Software\\Missing", "v"]], "HKLM\\Software\\Missing", True),
            ([["key", "HKLM\\A"], ["delete", "HKLM\\A"]], "HKLM\\A", False),
        ]:
            with self.subTest(records=records, key=key):
                reg, _ = self.apply(records)
                self.assertEqual(reg.key(key) is not None and reg.key(key).stored, exists)

    def test_untouched_lines_stay_and_links_are_followed(self):
        _, out = self.apply([["set", "HKLM\\System\\CurrentControlSet\\Services\\VNT", "Start", "REG_DWORD", "4"],
                             ["set", "HKLM\\Software\\New", "v", "REG_SZ", "1"]])
        lines = out["HKLM"].split("\n")
        before = self.SYSTEM.split("\n")
        self.assertEqual(lines[:len(before) - 1], [l.replace("dword:00000002", "dword:00000004") for l in before[:-1]])
        self.assertEqual(sum(l.startswith("[System\\\\CurrentControlSet") for l in lines), 1)
        self.assertEqual(lines[len(before):len(before) + 1][0][:16], "[Software\\\\New] ")
        self.assertEqual(out["HKCU"], self.USER)
        # A value of several lines goes whole.
        _, out = self.apply([["unset", "HKLM\\Software\\Keep", "b"]])
        self.assertEqual(out["HKLM"], self.SYSTEM.replace('"b"=hex:00,01,\\\n  02,03\n', ""))

    def test_settings_that_cannot_be_made(self):
        for record in [["set", "HKLM\\K", "d", "REG_DWORD", "x"], ["set", "HKU\\K", "v", "REG_SZ", "x"],
                       ["delete", "HKLM"], ["move", "HKLM\\K"]]:
            with self.subTest(record=record):
                with self.assertRaises(ValueError):
                    self.apply([record])

    def test_prefix_files(self):
        with tempfile.TemporaryDirectory() as d:
            for name, text in (("system.reg", self.SYSTEM), ("user.reg", self.USER)):
                with open(os.path.join(d, name), "w") as f:
                    f.write(text)
            ms.apply_queue(d, [["set", "HKCU\\Software\\Wine\\Bench", "Imported", "REG_SZ", "settings-1.reg"]])
            self.assertEqual(ms.registry(d).value("HKCU\\Software\\Wine\\Bench", "Imported").text(), "settings-1.reg")
            self.assertEqual(ms.registry(d).value("HKLM\\Software\\Keep", "c").text(), "0x3")


class ReportOfChanges(unittest.TestCase):
    """The change report (tools/machine_diff.py) between two prefixes: what
    Wine's boot rewrites stays out of it, anything a program does is in."""

    CLASS = "System\\\\ControlSet001\\\\Control\\\\Class\\\\{4D36E967-E325-11CE-BFC1-08002BE10318}"
    ENV = "System\\\\ControlSet001\\\\Control\\\\Session Manager\\\\Environment"

    def report(self, before, after):
        snaps = []
        for body in (before, after):
            with tempfile.TemporaryDirectory() as d:
                os.makedirs(os.path.join(d, "drive_c", "windows", "temp"))
                with open(os.path.join(d, "system.reg"), "w") as f:
                    f.write(HEADER + body[0])
                for name, text in body[1].items():
                    with open(os.path.join(d, "drive_c", *name.split("/")), "w") as f:
                        f.write(text)
                snaps.append(machine_diff.snapshot(d))
        return machine_diff.diff(*snaps)

    def test_only_the_boots_own_changes_are_left_out(self):
        before = ("\n[%s] 1\n@=\"Disk drives\"\n\n[%s\\\\0000] 1\n\"DriverDateData\"=hex:01\n"
                  "\n[%s] 1\n\"PROCESSOR_LEVEL\"=\"6\"\n\"Path\"=\"C:\\\\windows\"\n" % (self.CLASS, self.CLASS, self.ENV),
                  {"windows/temp/wine.log": "x"})
        after = ("\n[%s] 1\n\"UpperFilters\"=str(7):\"vnt\\0\"\n\n[%s\\\\0000] 1\n\"DriverDateData\"=hex:02\n"
                 "\n[%s] 1\n\"PROCESSOR_LEVEL\"=\"15\"\n\"Path\"=\"C:\\\\kmdrv\"\n"
                 "\n[Software\\\\A\\\\B] 1\n\"v\"=\"1\"\n" % (self.CLASS, self.CLASS, self.ENV),
                 {"windows/temp/wine.log": "y", "setup.log": "z"})
        cls, env = "HKLM\\System\\ControlSet001\\Control\\", "Session Manager\\Environment"
        self.assertEqual(self.report(before, after), [
            "files:",
            "  + C:\\setup.log (1 bytes: z)",
            "  ~ C:\\windows\\temp\\wine.log (1 bytes: y)",
            "registry:",
            "  + [HKLM\\Software]",
            "  + [HKLM\\Software\\A]",
            "  + [HKLM\\Software\\A\\B]",
            '  + [HKLM\\Software\\A\\B] "v"="1"',
            '  + [%sClass\\{4D36E967-E325-11CE-BFC1-08002BE10318}] "UpperFilters"=str(7):"vnt\\0"' % cls,
            '  ~ [%s%s] "Path"="C:\\\\kmdrv"' % (cls, env)])


if __name__ == "__main__":
    unittest.main()
