#!/usr/bin/env python3
"""Reads the export and resource tables of the built BVOL0000.dll and checks
them against what Windows and Outlook expect of the add-in's COM server.

    check_module.py DLL RESOURCE_DIR

Exit status 0 when everything holds; otherwise each fault on a line of its own.
"""
import struct
import sys
from pathlib import Path

EXPORTS = ["DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"]
# What a Windows machine has; the C++ runtime is linked in.
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
               "ole32.dll", "oleaut32.dll", "rpcrt4.dll", "shell32.dll", "user32.dll"}
RT_STRING, RT_DIALOG, RT_VERSION, RT_MANIFEST = 6, 5, 16, 24


class Module:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ image")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, _, _, _, optional_size, self.characteristics = \
            struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + 96  # PE32
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            _, vsize, vaddr, rsize, raddr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((vaddr, max(vsize, rsize), raddr))

    def offset(self, rva):
        for vaddr, size, raddr in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raddr
        raise ValueError(f"RVA {rva:#x} in no section")

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def exports(self):
        rva, _ = self.directories[0]
        if not rva:
            return []
        at = self.offset(rva)
        names, name_table = struct.unpack_from("<I", self.data, at + 24)[0], \
            struct.unpack_from("<I", self.data, at + 32)[0]
        functions = struct.unpack_from("<I", self.data, at + 20)[0]
        return [self.cstring(struct.unpack_from("<I", self.data, self.offset(name_table) + 4 * i)[0])
                for i in range(names)], functions

    def imports(self):
        rva, _ = self.directories[1]
        result, at = [], self.offset(rva)
        while True:
            name = struct.unpack_from("<I", self.data, at + 12)[0]
            if not name:
                return result
            result.append(self.cstring(name))
            at += 20

    def resources(self):
        """{(type, id): (language, bytes)}; names as text, numbers as int."""
        base_rva, _ = self.directories[2]
        base = self.offset(base_rva)

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + numbered):
                key, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                if key & 0x80000000:
                    at = base + (key & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, at)[0]
                    key = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                yield key, target

        found = {}
        for kind, types in entries(0):
            for ident, names in entries(types & 0x7FFFFFFF):
                for language, leaf in entries(names & 0x7FFFFFFF):
                    rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    start = self.offset(rva)
                    found[(kind, ident)] = (language, self.data[start:start + size])
        return found


def string_from_table(block, index):
    at = 0
    for i in range(16):
        length = struct.unpack_from("<H", block, at)[0]
        text = block[at + 2:at + 2 + 2 * length].decode("utf-16-le")
        if i == index:
            return text
        at += 2 + 2 * length
    return None


def version_strings(block):
    """The StringFileInfo values and the fixed file version of a version block."""
    signature = struct.unpack_from("<I", block, 40)[0]
    fixed = struct.unpack_from("<IIII", block, 48)
    texts = {}

    # Walk String entries: wLength, wValueLength, wType, key, padding, value.
    def walk(start, end):
        while start < end:
            length, value_length, kind = struct.unpack_from("<HHH", block, start)
            key_end = start + 6
            while block[key_end:key_end + 2] != b"\0\0":
                key_end += 2
            key = block[start + 6:key_end].decode("utf-16-le")
            value = (key_end + 2 + 3) & ~3
            if kind == 1 and value_length and key not in ("StringFileInfo", "VarFileInfo"):
                text = block[value:value + 2 * value_length].decode("utf-16-le").rstrip("\0")
                texts[key] = text
            elif length > value - start:
                child = value + (value_length if kind == 0 else 2 * value_length)
                walk((child + 3) & ~3, start + length)
            start = (start + length + 3) & ~3
    header = struct.unpack_from("<H", block, 0)[0]
    walk((40 + 52 + 3) & ~3, header)
    return signature, fixed, texts


def dialog_summary(block):
    """(extended, style, item count) of a dialog template."""
    if struct.unpack_from("<HH", block, 0) == (1, 0xFFFF):
        _, _, _, _, style, count = struct.unpack_from("<HHIIIH", block, 0)
        return True, style, count
    style, _, count = struct.unpack_from("<IIH", block, 0)
    return False, style, count


def check(dll, sources):
    faults = []
    module = Module(Path(dll).read_bytes())
    if module.machine != 0x14C or module.magic != 0x10B:
        faults.append(f"not a 32-bit x86 image (machine {module.machine:#x})")
    if not module.characteristics & 0x2000:
        faults.append("not a DLL")

    names, functions = module.exports()
    if names != EXPORTS:
        faults.append(f"exports by name {names}, expected {EXPORTS}")
    if functions != len(EXPORTS):
        faults.append(f"{functions} exported functions, expected {len(EXPORTS)}")
    for name in module.imports():
        if name.lower() not in SYSTEM_DLLS:
            faults.append(f"needs {name}, which Windows does not have")

    resources = module.resources()

    def resource(kind, ident):
        if (kind, ident) not in resources:
            faults.append(f"resource {kind} {ident} missing")
            return None
        return resources[(kind, ident)][1]

    for ident, file in ((101, "BVOL.rgs"), (102, "Connect.rgs")):
        data = resource("REGISTRY", ident)
        if data is not None and data != (Path(sources) / file).read_bytes():
            faults.append(f"REGISTRY {ident} differs from {file}")
    manifest = resource(RT_MANIFEST, 2)
    if manifest is not None and manifest != (Path(sources) / "BVOL0000.manifest").read_bytes():
        faults.append("manifest 2 differs from BVOL0000.manifest")
    table = resource(RT_STRING, 100 // 16 + 1)
    if table is not None and string_from_table(table, 100 % 16) != "BVOL":
        faults.append(f"string 100 is {string_from_table(table, 100 % 16)!r}, expected 'BVOL'")

    version = resource(RT_VERSION, 1)
    if version is not None:
        signature, fixed, texts = version_strings(version)
        if signature != 0xFEEF04BD or fixed[2:4] != (0x00010000, 0x00000001):
            faults.append("version block: wrong fixed file information")
        expected = {"FileDescription": "Antispam plugin for Outlook", "InternalName": "BVOL.dll",
                    "OriginalFilename": "BVOL0000.dll", "FileVersion": "1, 0, 0, 1"}
        for key, text in expected.items():
            if texts.get(key) != text:
                faults.append(f"version block: {key} is {texts.get(key)!r}, expected {text!r}")
        if resources[(RT_VERSION, 1)][0] != 0x0409:
            faults.append("version block not in language 0x0409")

    WS_DISABLED = 0x08000000
    for ident, extended, disabled, items in ((201, False, True, 0), (204, True, False, 9),
                                             (206, False, False, 0)):
        data = resource(RT_DIALOG, ident)
        if data is None:
            continue
        summary = dialog_summary(data)
        if summary[0] != extended or bool(summary[1] & WS_DISABLED) != disabled \
                or summary[2] != items:
            faults.append(f"dialog {ident}: (extended, style, items) = "
                          f"({summary[0]}, {summary[1]:#x}, {summary[2]})")
    return faults


if __name__ == "__main__":
    problems = check(sys.argv[1], sys.argv[2])
    for problem in problems:
        print(problem)
    print("BVOL0000.dll: exports and resources as expected" if not problems
          else f"{len(problems)} fault(s)")
    sys.exit(1 if problems else 0)
