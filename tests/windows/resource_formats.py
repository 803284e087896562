"""Readers of the resource formats BVOL0000.dll carries, for both builds:
Windows lays text out in 16-bit units, the Linux platform in its own wchar_t
(32 bits). Each reader takes the unit's width and returns plain Python
values, so that the two builds' resources can be compared field by field.
"""
import re
import struct
import uuid


class Reader:
    def __init__(self, data, width):
        self.data, self.width, self.at = data, width, 0

    def take(self, form):
        values = struct.unpack_from("<" + form, self.data, self.at)
        self.at += struct.calcsize("<" + form)
        return values if len(values) > 1 else values[0]

    def unit(self):
        return self.take("H" if self.width == 2 else "I")

    def text(self):
        chars = []
        while (c := self.unit()) != 0:
            chars.append(chr(c))
        return "".join(chars)

    def name_or_ordinal(self):
        """A dialog's menu, class or title: nothing, 0xFFFF and a number, or text."""
        first = self.unit()
        if first == 0:
            return None
        if first == 0xFFFF:
            return self.unit()
        return chr(first) + self.text()

    def align(self, boundary=4):
        self.at = (self.at + boundary - 1) & ~(boundary - 1)


def string_table(block, block_id):
    """{id: text} of one RT_STRING block: 16 counted strings in 16-bit units."""
    reader, found = Reader(block, 2), {}
    for index in range(16):
        length = reader.unit()
        text = "".join(chr(reader.unit()) for _ in range(length))
        if text:
            found[(block_id - 1) * 16 + index] = text
    return found


def version_tree(block, width):
    """(key, value, children) of a version resource; a text value as text, a
    binary one as bytes; the root's value is the fixed file information."""
    def read(start):
        reader = Reader(block, width)
        reader.at = start
        length, value_length, kind = reader.take("HHH")
        key = reader.text()
        reader.align()
        if kind == 1:
            value = "".join(chr(reader.unit()) for _ in range(value_length)).rstrip("\0")
        else:
            value = block[reader.at:reader.at + value_length]
            reader.at += value_length
        children = []
        reader.align()
        while reader.at < start + length:
            child, child_end = read(reader.at)
            children.append(child)
            reader.at = child_end
            reader.align()
        return (key, value, children), start + length
    return read(0)[0]


def fixed_file_info(root_value):
    fields = struct.unpack_from("<13I", root_value)
    return {"signature": fields[0], "file_version": (fields[2], fields[3]),
            "product_version": (fields[4], fields[5]), "flags_mask": fields[6],
            "flags": fields[7], "os": fields[8], "type": fields[9], "subtype": fields[10]}


DS_SETFONT = 0x40


def dialog(block, width):
    """Everything a dialog template holds, as a dict; items as a list of dicts."""
    reader = Reader(block, width)
    extended = struct.unpack_from("<HH", block, 0) == (1, 0xFFFF)
    result = {"extended": extended}
    if extended:
        _, _, result["help"], result["exstyle"], result["style"] = reader.take("HHIII")
    else:
        result["style"], result["exstyle"] = reader.take("II")
    count = reader.take("H")
    result["box"] = reader.take("hhhh")
    result["menu"] = reader.name_or_ordinal()
    result["class"] = reader.name_or_ordinal()
    result["caption"] = reader.text()
    if result["style"] & DS_SETFONT:
        if extended:
            result["font"] = reader.take("HHBB") + (reader.text(),)
        else:
            result["font"] = (reader.take("H"), reader.text())
    items = []
    for _ in range(count):
        reader.align()
        item = {}
        if extended:
            item["help"], item["exstyle"], item["style"] = reader.take("III")
        else:
            item["style"], item["exstyle"] = reader.take("II")
        item["box"] = reader.take("hhhh")
        item["id"] = reader.take("I" if extended else "H")
        item["class"] = reader.name_or_ordinal()
        item["text"] = reader.name_or_ordinal()
        extra = reader.take("H")
        item["creation_data"] = block[reader.at:reader.at + extra]
        reader.at += extra
        items.append(item)
    result["items"] = items
    return result


TKIND = {3: "interface", 4: "dispatch", 5: "coclass"}
TYPEFLAG_FDUAL = 0x40


def type_library(data):
    """A compiled (MSFT) type library: its identifier, version and types, and
    the libraries it imports, as {"libid", "version", "types": {name: (kind,
    guid, flags)}, "imports": [(libid, version, file)]}."""
    if data[:4] != b"MSFT":
        raise ValueError("not an MSFT type library")
    header = struct.unpack_from("<21i", data, 0)
    posguid, varflags, version, count = header[2], header[5], header[6], header[8]
    at = 0x54 + (4 if varflags & 0x100 else 0) + 4 * count
    segments = [struct.unpack_from("<iiii", data, at + 16 * i)[:2] for i in range(15)]
    typeinfos, _, impfiles, _, _, guids, _, names = segments[:8]

    def guid(offset):
        return str(uuid.UUID(bytes_le=data[guids[0] + offset:guids[0] + offset + 16])).upper()

    def name(offset):
        start = names[0] + offset
        length = struct.unpack_from("<i", data, start + 8)[0] & 0xFF
        return data[start + 12:start + 12 + length].decode("latin-1")

    types = {}
    for i in range(count):
        base = typeinfos[0] + 0x64 * i
        kind = struct.unpack_from("<i", data, base)[0] & 0xF
        type_guid, flags, type_name = struct.unpack_from("<iii", data, base + 0x2C)
        types[name(type_name)] = (TKIND.get(kind, kind), guid(type_guid), flags)

    imports, at = [], impfiles[0]
    while at < impfiles[0] + impfiles[1]:
        file_guid, _, file_version, size = struct.unpack_from("<iiiH", data, at)
        length = size >> 2
        file_name = data[at + 14:at + 14 + length].decode("latin-1")
        imports.append((guid(file_guid), (file_version & 0xFFFF, file_version >> 16), file_name))
        at = (at + 14 + length + 3) & ~3
    return {"libid": guid(posguid), "version": (version & 0xFFFF, version >> 16),
            "types": types, "imports": imports}


IDL_ITEM = re.compile(r"\[([^\[\]]*)\]\s*(library|interface|coclass|dispinterface)\s+(\w+)")


def type_library_source(text):
    """The same of a type library's IDL text, which the Linux platform reads:
    {"libid", "version", "types": {name: (kind, guid, dual)}, "imports": [file]}."""
    text = re.sub(r"//[^\n]*", "", text)
    result = {"types": {}, "imports": re.findall(r'importlib\s*\(\s*"([^"]+)"', text)}
    for attributes, kind, name in IDL_ITEM.findall(text):
        found = re.search(r"uuid\(\s*([0-9A-Fa-f-]+)\s*\)", attributes)
        ident = found.group(1).upper() if found else None
        if kind == "library":
            version = re.search(r"version\(\s*(\d+)\.(\d+)\s*\)", attributes)
            result["libid"] = ident
            result["version"] = (int(version.group(1)), int(version.group(2))) if version else None
        elif ident:  # not a coclass's "[default] interface IConnect"
            result["types"][name] = (kind, ident, bool(re.search(r"\bdual\b", attributes)))
    return result
