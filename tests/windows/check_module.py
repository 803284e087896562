#!/usr/bin/env python3
"""Reads the export and resource tables of the built BVOL0000.dll and checks
them against what Windows and Outlook expect of the add-in's COM server.

    check_module.py DLL RESOURCE_DIR [LINUX_RESOURCES]

LINUX_RESOURCES is the Linux build's resource table of the same module as
tests/resource_dump writes it: the two builds' resources, compiled from one
script by windres and by platform/tools/rc_tables.py, must agree.
Exit status 0 when everything holds; otherwise each fault on a line of its own.
"""
import json
import struct
import sys
from pathlib import Path

import resource_formats as formats

EXPORTS = ["DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"]
# What a Windows machine has; the C++ runtime is linked in.
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
               "ole32.dll", "oleaut32.dll", "rpcrt4.dll", "shell32.dll", "user32.dll"}
RT_STRING, RT_DIALOG, RT_VERSION, RT_MANIFEST = 6, 5, 16, 24
STDOLE2 = "00020430-0000-0000-C000-000000000046"


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


def check(dll, sources, linux=None):
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

    sources = Path(sources)
    for ident, file in ((101, "BVOL.rgs"), (102, "Connect.rgs")):
        data = resource("REGISTRY", ident)
        if data is not None and data != (sources / file).read_bytes():
            faults.append(f"REGISTRY {ident} differs from {file}")
    manifest = resource(RT_MANIFEST, 2)
    if manifest is not None and manifest != (sources / "BVOL0000.manifest").read_bytes():
        faults.append("manifest 2 differs from BVOL0000.manifest")
    table = resource(RT_STRING, 100 // 16 + 1)
    if table is not None and formats.string_table(table, 100 // 16 + 1).get(100) != "BVOL":
        faults.append(f"string 100 is not 'BVOL': {formats.string_table(table, 7)}")

    library = resource("TYPELIB", 1)
    if library is not None:
        faults += check_type_library(library, sources)

    version = resource(RT_VERSION, 1)
    if version is not None:
        faults += check_version(formats.version_tree(version, 2))
        if resources[(RT_VERSION, 1)][0] != 0x0409:
            faults.append("version block not in language 0x0409")

    WS_DISABLED = 0x08000000
    for ident, extended, disabled, items in ((201, False, True, 0), (204, True, False, 9),
                                             (206, False, False, 0)):
        data = resource(RT_DIALOG, ident)
        if data is None:
            continue
        template = formats.dialog(data, 2)
        if template["extended"] != extended or bool(template["style"] & WS_DISABLED) != disabled \
                or len(template["items"]) != items:
            faults.append(f"dialog {ident}: extended {template['extended']}, "
                          f"style {template['style']:#x}, {len(template['items'])} items")
    if linux is not None:
        faults += compare_builds(resources, json.loads(Path(linux).read_text()))
    return faults


def check_type_library(data, sources):
    """The compiled library against its IDL and the class's registry script:
    the same identifiers, IConnect dual, IDispatch taken from stdole2.tlb."""
    faults = []
    try:
        library = formats.type_library(data)
    except (ValueError, struct.error) as error:
        return [f"TYPELIB 1 cannot be read: {error}"]
    source = formats.type_library_source((sources / "BVOL.idl").read_text())
    if (library["libid"], library["version"]) != (source["libid"], source["version"]):
        faults.append(f"TYPELIB 1 is {library['libid']} {library['version']}, the IDL says "
                      f"{source['libid']} {source['version']}")
    for name, (kind, guid, dual) in source["types"].items():
        found = library["types"].get(name)
        expected_kind = "dispatch" if dual else kind
        if not found or found[:2] != (expected_kind, guid):
            faults.append(f"TYPELIB 1: {name} is {found}, expected {expected_kind} {guid}")
        elif dual and not found[2] & formats.TYPEFLAG_FDUAL:
            faults.append(f"TYPELIB 1: {name} is not dual")
    if [(libid, version) for libid, version, _ in library["imports"]] != [(STDOLE2, (2, 0))]:
        faults.append(f"TYPELIB 1 imports {library['imports']}, expected stdole2.tlb 2.0")
    script = (sources / "Connect.rgs").read_text()
    for guid in (library["libid"], library["types"].get("Connect", (0, "?"))[1]):
        if guid.upper() not in script.upper():
            faults.append(f"Connect.rgs does not name {guid} of the type library")
    return faults


def check_version(tree):
    faults = []
    key, value, children = tree
    fixed = formats.fixed_file_info(value)
    if key != "VS_VERSION_INFO" or fixed["signature"] != 0xFEEF04BD \
            or fixed["file_version"] != (0x00010000, 0x00000001) \
            or fixed["os"] != 0x40004 or fixed["type"] != 2:
        faults.append(f"version block: wrong fixed file information {fixed}")
    texts = {k: v for group in children if group[0] == "StringFileInfo"
             for table in group[2] for k, v, _ in table[2]}
    expected = {"FileDescription": "Antispam plugin for Outlook", "InternalName": "BVOL.dll",
                "OriginalFilename": "BVOL0000.dll", "FileVersion": "1, 0, 0, 1"}
    for key, text in expected.items():
        if texts.get(key) != text:
            faults.append(f"version block: {key} is {texts.get(key)!r}, expected {text!r}")
    return faults


def dump_identifier(value):
    return value if isinstance(value, int) else "".join(map(chr, value))


def compare_builds(resources, linux):
    """The Windows build's resources against the Linux build's table, read in
    its own character width: the same resources, languages and contents."""
    width, faults = linux["wchar"], []
    theirs = {(dump_identifier(r["type"]), dump_identifier(r["name"])):
              (r["language"], bytes.fromhex(r["data"])) for r in linux["resources"]}
    ours = {key: value for key, value in resources.items() if key[0] != RT_STRING}
    if set(ours) != set(theirs):
        faults.append(f"the builds' resources differ: Windows only {sorted(map(str, set(ours) - set(theirs)))}, "
                      f"Linux only {sorted(map(str, set(theirs) - set(ours)))}")
    readers = {RT_VERSION: formats.version_tree, RT_DIALOG: formats.dialog}
    for key in sorted(set(ours) & set(theirs), key=str):
        (language, data), (linux_language, linux_data) = ours[key], theirs[key]
        if language != linux_language:
            faults.append(f"resource {key}: language {language:#x} on Windows, "
                          f"{linux_language:#x} on Linux")
        if key[0] == "TYPELIB":
            compiled = formats.type_library(data)
            source = formats.type_library_source(linux_data.decode("utf-8"))
            same = (compiled["libid"], compiled["version"]) == (source["libid"], source["version"]) \
                and {n: t[1] for n, t in compiled["types"].items()} == \
                {n: t[1] for n, t in source["types"].items()} \
                and [file for _, _, file in compiled["imports"]] == source["imports"]
        elif key[0] in readers:
            same = readers[key[0]](data, 2) == readers[key[0]](linux_data, width)
        else:
            same = data == linux_data
        if not same:
            faults.append(f"resource {key} differs between the builds")
    strings = {}
    for (kind, ident), (_, block) in resources.items():
        if kind == RT_STRING:
            strings.update(formats.string_table(block, ident))
    linux_strings = {s["id"]: "".join(map(chr, s["text"])) for s in linux["strings"]}
    if strings != linux_strings:
        faults.append(f"string tables differ: Windows {strings}, Linux {linux_strings}")
    return faults


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        print(__doc__)
        sys.exit(2)
    problems = check(*sys.argv[1:])
    for problem in problems:
        print(problem)
    print("BVOL0000.dll: exports and resources as expected" if not problems
          else f"{len(problems)} fault(s)")
    sys.exit(1 if problems else 0)
