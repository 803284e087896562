#!/usr/bin/env python3
"""The platform's resource compiler refuses what it cannot read, naming the
script, the line and why, and writes nothing then; and it reads the forms
windres reads (a string table's own LANGUAGE, blocks in braces)."""
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

COMPILER = Path(__file__).resolve().parents[2] / "tools" / "rc_tables.py"


def compile_script(text, *extra):
    folder = Path(tempfile.mkdtemp())
    (folder / "module.rc").write_text(text)
    (folder / "script.rgs").write_text("HKCR { }")
    output = folder / "out.cpp"
    run = subprocess.run([sys.executable, COMPILER, folder / "module.rc", output, *extra],
                         capture_output=True, text=True)
    return run.returncode, run.stderr, output.read_text() if output.exists() else None


class Refusals(unittest.TestCase):
    def test_each_fault_names_its_line_and_writes_nothing(self):
        cases = {
            "1 REGISTRY \"script.rgs\"\nMENU1 MENU\n": "module.rc:2: not a statement read here",
            "#define X 1\n": "module.rc:1: only #include is read here",
            "1 DIALOG 0, 0, 10\nSTYLE 0\nBEGIN\nEND\n": "module.rc:1: a dialog takes x, y, width",
            "1 DIALOG 0, 0, 10, 10\nCAPTION \"x\"\nBEGIN\nEND\n": "module.rc:1: a dialog needs its STYLE",
            "1 DIALOG 0, 0, 10, 10\nSTYLE 0\nBEGIN\n CONTROL \"a\", 1, \"Button\", 0\nEND\n":
                "module.rc:4: CONTROL takes text, id, class",
            "1 DIALOG 0, 0, 10, 10\nSTYLE 0\nBEGIN\n LTEXT \"a\", 1, 0, 0, 5, 5\nEND\n":
                "module.rc:4: only CONTROL statements",
            "1 DIALOG 0, 0, 10, 10\nSTYLE 0\nBEGIN\n": "the script ends inside a statement",
            "1 REGISTRY \"missing.rgs\"\n": "module.rc:1: no file",
            "/* open\n1 REGISTRY \"script.rgs\"\n": "a comment is left open",
            "1 VERSIONINFO\nFILEVERSION 1, 2, 3, 4, 5\nBEGIN\nEND\n": "has more than four parts",
            "1 VERSIONINFO\nFILEDATE 1\nBEGIN\nEND\n": "module.rc:2: FILEDATE is not",
            "STRINGTABLE\nBEGIN\n 1 \"a\" \"b\"\nEND\n": "module.rc:3: a string table entry",
            "1 REGISTRY \"script.rgs\" @\n": "module.rc:1: cannot read '@'",
        }
        for script, reason in cases.items():
            with self.subTest(script=script):
                status, errors, output = compile_script(script)
                self.assertEqual(status, 1)
                self.assertIn(reason, errors)
                self.assertIsNone(output)

    def test_unknown_arguments_are_refused(self):
        status, errors, _ = compile_script("", "--files", "a=b")
        self.assertEqual(status, 2)
        self.assertIn("unknown argument --files", errors)


class Forms(unittest.TestCase):
    def test_braces_languages_and_replaced_files(self):
        status, errors, output = compile_script(
            "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n"
            "7 TYPELIB \"module.tlb\"\n"
            "STRINGTABLE\nLANGUAGE LANG_NEUTRAL, SUBLANG_NEUTRAL\n{\n 100, \"a \"\"b\"\"\"\n}\n"
            "3 DIALOGEX 1, 2, 3, 4\nSTYLE WS_POPUP\nFONT 8, \"Face\", 700, 0\n{\n"
            " CONTROL \"\", 5, \"msctls_progress32\", 0, 1, 2, 3, 4\n}\n",
            "--file", f"module.tlb={Path(__file__).resolve()}")
        self.assertEqual(status, 0, errors)
        self.assertIn("{L\"TYPELIB\", MAKEINTRESOURCEW(7), MAKELANGID(LANG_ENGLISH, "
                      "SUBLANG_ENGLISH_US), kFile1", output)
        self.assertIn("{100, L\"a \\x0022\" L\"b\\x0022\" L\"\"}", output)
        self.assertIn("dialog.Font(8, L\"Face\", 700);", output)
        # A class named as text is kept in capitals, as windres keeps it.
        self.assertIn("dialog.Item(L\"MSCTLS_PROGRESS32\", L\"\", 5, 0, 1, 2, 3, 4);", output)


if __name__ == "__main__":
    unittest.main()
