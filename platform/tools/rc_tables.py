#!/usr/bin/env python3
"""The platform's resource compiler: turns a module's resource script (.rc)
into the C++ resource table a module carries here (platform/module_resources.h),
so that the Linux build serves the resources the Windows build's windres
compiles from the same script.

    rc_tables.py SCRIPT OUTPUT [--file NAME=PATH]...

It reads the part of the resource language the add-in's script uses, and
stops with the script's name and line on anything else:

    #include <header> | "header"            (emitted into the output)
    LANGUAGE primary, sub                   (language of what follows)
    NAME TYPE "file"                        (REGISTRY, TYPELIB, RT_MANIFEST, a number...)
    STRINGTABLE [LANGUAGE a, b] BEGIN id "text" ... END
    NAME VERSIONINFO fixed-info BEGIN BLOCK/VALUE ... END
    NAME DIALOG|DIALOGEX x, y, cx, cy  STYLE/EXSTYLE/CAPTION/FONT  BEGIN CONTROL ... END

Numbers and symbols (WS_POPUP | WS_CAPTION, IDR_BVOL) are written into the
C++ as they stand, so the platform's headers give them their values, as
windres takes them from the SDK's. --file replaces a file the script names:
the platform's type libraries are their IDL text, so the script's compiled
"BVOL.tlb" becomes the library's source here.
"""
import re
import sys
from pathlib import Path

STATEMENT_WORDS = {"STYLE", "EXSTYLE", "CAPTION", "FONT", "BEGIN", "{", "LANGUAGE", "CLASS",
                   "MENU", "CHARACTERISTICS", "VERSION"}
FIXED_INFO = ["FILEVERSION", "PRODUCTVERSION", "FILEFLAGSMASK", "FILEFLAGS", "FILEOS", "FILETYPE",
              "FILESUBTYPE"]


class ScriptError(Exception):
    pass


def strip_comments(text):
    """The script without comments, line breaks kept so that lines count."""
    out, i = [], 0
    while i < len(text):
        if text.startswith("//", i):
            i = text.find("\n", i)
            i = len(text) if i < 0 else i
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            if end < 0:
                raise ScriptError("a comment is left open")
            out.append("\n" * text.count("\n", i, end))
            i = end + 2
        elif text[i] == '"':
            end = i + 1
            while end < len(text) and text[end] != '"':
                end += 2 if text[end] == "\\" else 1
            out.append(text[i:end + 1])
            i = end + 1
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


TOKEN = re.compile(r'\s*("(?:[^"\\]|\\.|"")*"|[A-Za-z_][A-Za-z0-9_]*|0[xX][0-9A-Fa-f]+[lLuU]*|'
                   r'\d+[lLuU]*|[,|(){}+\-~&!])')


def tokens(line, where):
    result, at = [], 0
    while at < len(line.rstrip()):
        match = TOKEN.match(line, at)
        if not match:
            raise ScriptError(f"{where}: cannot read {line[at:].strip()!r}")
        result.append(match.group(1))
        at = match.end()
    return result


def split_arguments(words, where):
    """Comma-separated arguments, each a list of tokens (parentheses kept)."""
    arguments, current, depth = [], [], 0
    for word in words:
        depth += word == "("
        depth -= word == ")"
        if word == "," and depth == 0:
            arguments.append(current)
            current = []
        else:
            current.append(word)
    arguments.append(current)
    if any(not argument for argument in arguments):
        raise ScriptError(f"{where}: an argument is missing")
    return arguments


def is_string(word):
    return word.startswith('"')


def text_of(word, where):
    if not is_string(word):
        raise ScriptError(f"{where}: a string is expected, not {word}")
    body = word[1:-1].replace('""', '"')
    return bytes(body, "utf-8").decode("unicode_escape").encode("latin-1").decode("utf-8")


def wide(text):
    escaped = "".join(c if c.isprintable() and c not in '"\\' else f"\\x{ord(c):04x}\" L\""
                      for c in text)
    return f'L"{escaped}"'


def expression(words):
    return " ".join(words)


def resource_name(word):
    """A resource's name as the table writes it: text in capitals, as the
    resource compiler stores names; a number or a symbol as an integer."""
    if is_string(word):
        return wide(word[1:-1].upper())
    return f"MAKEINTRESOURCEW({word})"


def resource_type(word):
    """A resource's type: the standard types by their RT_ symbols, numbers as
    integers, any other word as a name (REGISTRY, TYPELIB)."""
    if word.startswith("RT_"):
        return word
    if word[0].isdigit():
        return f"MAKEINTRESOURCEW({word})"
    return resource_name(f'"{word}"')


class Compiler:
    def __init__(self, script, files):
        self.script = Path(script)
        self.files = files
        self.lines = strip_comments(self.script.read_text(encoding="utf-8")).split("\n")
        self.at = 0
        self.language = "0"
        self.includes = []
        self.definitions = []
        self.resources = []
        self.strings = []
        self.counts = {}

    def where(self):
        return f"{self.script.name}:{self.at}"

    def next_line(self):
        """The next line with something on it, as tokens; None at the end."""
        while self.at < len(self.lines):
            line = self.lines[self.at]
            self.at += 1
            if line.strip().startswith("#"):
                self.directive(line.strip())
            elif line.strip():
                return tokens(line, self.where())
        return None

    def expect_line(self):
        words = self.next_line()
        if words is None:
            raise ScriptError(f"{self.script.name}: the script ends inside a statement")
        return words

    def directive(self, line):
        match = re.fullmatch(r'#\s*include\s*(<[^>]+>|"[^"]+")', line)
        if not match:
            raise ScriptError(f"{self.where()}: only #include is read here, not {line!r}")
        self.includes.append(match.group(1))

    def name(self, prefix):
        self.counts[prefix] = self.counts.get(prefix, 0) + 1
        return f"k{prefix}{self.counts[prefix]}"

    def add(self, kind, ident, data, size):
        self.resources.append(f"{{{kind}, {ident}, {self.language}, {data}, DWORD({size})}}")

    def compile(self):
        while (words := self.next_line()) is not None:
            if words[0] == "LANGUAGE":
                self.language = self.language_of(words[1:])
            elif words[0] == "STRINGTABLE":
                self.string_table(words[1:])
            elif len(words) >= 2 and words[1] == "VERSIONINFO":
                self.version_info(words)
            elif len(words) >= 2 and words[1] in ("DIALOG", "DIALOGEX"):
                self.dialog(words)
            elif len(words) == 3 and is_string(words[2]):
                self.file_resource(words)
            else:
                raise ScriptError(f"{self.where()}: not a statement read here: {' '.join(words)}")
        return self.output()

    def language_of(self, words):
        arguments = split_arguments(words, self.where())
        if len(arguments) != 2:
            raise ScriptError(f"{self.where()}: LANGUAGE takes a language and a sublanguage")
        return f"MAKELANGID({expression(arguments[0])}, {expression(arguments[1])})"

    def file_resource(self, words):
        file = text_of(words[2], self.where())
        path = Path(self.files.get(file, self.script.parent / file))
        if not path.is_file():
            raise ScriptError(f"{self.where()}: no file {path}")
        data = path.read_bytes()
        name = self.name("File")
        body = ", ".join(str(b) for b in data)
        self.definitions.append(f"// {path.name}\nconst unsigned char {name}[] = {{{body}}};")
        self.add(resource_type(words[1]), resource_name(words[0]), name, f"sizeof {name}")

    def block(self, where):
        """The lines between BEGIN and END, as token lists, nested blocks kept."""
        words = self.expect_line()
        if words[0] not in ("BEGIN", "{") or len(words) != 1:
            raise ScriptError(f"{where}: BEGIN expected")
        lines, depth = [], 1
        while True:
            words = self.expect_line()
            if words[0] in ("BEGIN", "{"):
                depth += 1
            elif words[0] in ("END", "}"):
                depth -= 1
                if depth == 0:
                    return lines
            lines.append((self.where(), words))

    def at_begin(self):
        """Whether the next line with something on it opens a block."""
        following = (line.strip() for line in self.lines[self.at:])
        return next((line for line in following if line), "") in ("BEGIN", "{")

    def string_table(self, words):
        # The loader serves a module's strings in every language: the table's
        # own LANGUAGE is read and checked, not kept.
        if words:
            raise ScriptError(f"{self.where()}: STRINGTABLE takes no {words[0]}")
        while not self.at_begin():
            line = self.expect_line()
            if line[0] != "LANGUAGE":
                raise ScriptError(f"{self.where()}: STRINGTABLE takes no {line[0]}")
            self.language_of(line[1:])
        for where, line in self.block(self.where()):
            arguments = split_arguments(line, where) if "," in line else [line[:-1], line[-1:]]
            if len(arguments) != 2 or len(arguments[1]) != 1 \
                    or any(is_string(word) for word in arguments[0]):
                raise ScriptError(f"{where}: a string table entry is an identifier and a string")
            self.strings.append(f"{{{expression(arguments[0])}, {wide(text_of(arguments[1][0], where))}}}")

    def version_info(self, words):
        where = self.where()
        fixed = {}
        while not self.at_begin():
            line = self.expect_line()
            if line[0] not in FIXED_INFO:
                raise ScriptError(f"{self.where()}: {line[0]} is not a version block's fixed field")
            fixed[line[0]] = [expression(a) for a in split_arguments(line[1:], self.where())]
        for version in ("FILEVERSION", "PRODUCTVERSION"):
            parts = fixed.get(version, ["0"] * 4)
            if len(parts) > 4:
                raise ScriptError(f"{where}: {version} has more than four parts")
            fixed[version] = parts + ["0"] * (4 - len(parts))
        fields = ", ".join([
            "{" + ", ".join(fixed["FILEVERSION"]) + "}",
            "{" + ", ".join(fixed["PRODUCTVERSION"]) + "}",
        ] + [fixed.get(field, ["0"])[0] for field in FIXED_INFO[2:]])
        children = self.version_children(self.block(where))
        name = self.name("Version")
        self.definitions.append(
            f"const std::vector<BYTE> {name} = platform::BuildVersionResource(\n"
            f"    {{{fields}}},\n    {children});")
        self.add("RT_VERSION", resource_name(words[0]), f"{name}.data()", f"{name}.size()")

    def version_children(self, lines):
        """BLOCK and VALUE lines as nested platform::VersionBlock initialisers."""
        children, i = [], 0
        while i < len(lines):
            where, line = lines[i]
            if line[0] == "BLOCK" and len(line) == 2:
                depth, j = 0, i + 1
                while j < len(lines):
                    word = lines[j][1][0]
                    depth += word in ("BEGIN", "{")
                    depth -= word in ("END", "}")
                    j += 1
                    if depth == 0:
                        break
                inner = lines[i + 2:j - 1]
                if lines[i + 1][1][0] not in ("BEGIN", "{"):
                    raise ScriptError(f"{where}: BEGIN expected after BLOCK")
                children.append(f"platform::VersionBlock::Group({wide(text_of(line[1], where))}, "
                                f"{self.version_children(inner)})")
                i = j
            elif line[0] == "VALUE":
                arguments = split_arguments(line[1:], where)
                key = wide(text_of(arguments[0][0], where))
                values = arguments[1:]
                if len(values) == 1 and is_string(values[0][0]):
                    children.append(f"platform::VersionBlock::Text({key}, "
                                    f"{wide(text_of(values[0][0], where))})")
                else:
                    words = ", ".join(expression(v) for v in values)
                    children.append(f"platform::VersionBlock::Words({key}, {{{words}}})")
                i += 1
            else:
                raise ScriptError(f"{where}: BLOCK or VALUE expected, not {line[0]}")
        return "{" + ", ".join(children) + "}"

    def dialog(self, words):
        where = self.where()
        extended = words[1] == "DIALOGEX"
        box = [expression(a) for a in split_arguments(words[2:], where)]
        if len(box) != 4:
            raise ScriptError(f"{where}: a dialog takes x, y, width and height")
        style, exstyle, caption, font = None, "0", '""', None
        while not self.at_begin():
            line = self.expect_line()
            if line[0] == "STYLE":
                style = expression(line[1:])
            elif line[0] == "EXSTYLE":
                exstyle = expression(line[1:])
            elif line[0] == "CAPTION":
                caption = wide(text_of(line[1], self.where()))
            elif line[0] == "FONT":
                arguments = split_arguments(line[1:], self.where())
                face = wide(text_of(arguments[1][0], self.where()))
                weight = expression(arguments[2]) if extended and len(arguments) > 2 else None
                font = f"{expression(arguments[0])}, {face}" + (f", {weight}" if weight else "")
            else:
                raise ScriptError(f"{self.where()}: {line[0]} is not a dialog option read here")
        if style is None:
            raise ScriptError(f"{where}: a dialog needs its STYLE")
        name = self.name("Dialog")
        setup = [f"platform::DialogTemplateBuilder dialog(({style}), {', '.join(box)}, {caption}, "
                 f"{exstyle});"]
        if extended:
            setup.append("dialog.Extended();")
        if font:
            setup.append(f"dialog.Font({font});")
        for item_where, line in self.block(where):
            if line[0] != "CONTROL":
                raise ScriptError(f"{item_where}: only CONTROL statements are read in a dialog")
            arguments = split_arguments(line[1:], item_where)
            if len(arguments) not in (8, 9):
                raise ScriptError(f"{item_where}: CONTROL takes text, id, class, style, x, y, "
                                  "width, height and an optional extended style")
            text = wide(text_of(arguments[0][0], item_where))
            # A class given as text is stored in capitals, as windres stores
            # it (Windows compares class names without regard to case).
            kind = arguments[2][0]
            kind = wide(text_of(kind, item_where).upper()) if is_string(kind) else kind
            rest = ", ".join(expression(a) for a in arguments[4:])
            setup.append(f"dialog.Item({kind}, {text}, {expression(arguments[1])}, "
                         f"{expression(arguments[3])}, {rest});")
        self.definitions.append(f"platform::DialogTemplateBuilder {name} = [] {{\n    "
                                + "\n    ".join(setup) + "\n    return dialog;\n}();")
        self.add("RT_DIALOG", resource_name(words[0]), f"{name}.Template()", f"{name}.Size()")

    def output(self):
        includes = "\n".join(f"#include {i}" for i in self.includes)
        strings = ",\n    ".join(self.strings)
        resources = ",\n    ".join(self.resources)
        return (f"// Generated by platform/tools/rc_tables.py from {self.script.name}; edit that.\n"
                f"{includes}\n#include <platform/dialog_template.h>\n"
                "#include <platform/module_resources.h>\n#include <platform/version_resource.h>\n\n"
                "namespace {\n\n" + "\n\n".join(self.definitions) + "\n\n"
                f"const platform::resources::Resource kResources[] = {{\n    {resources}}};\n\n"
                + (f"const platform::resources::String kStrings[] = {{\n    {strings}}};\n\n"
                   if self.strings else "")
                + "}  // namespace\n\n"
                f"BV_MODULE_RESOURCES(kResources, {'kStrings' if self.strings else 'nullptr'});\n")


def main(arguments):
    if len(arguments) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    script, output, rest = arguments[0], Path(arguments[1]), arguments[2:]
    files = {}
    while rest:
        if rest[0] != "--file" or len(rest) < 2 or "=" not in rest[1]:
            print(f"rc_tables.py: unknown argument {rest[0]}", file=sys.stderr)
            return 2
        name, path = rest[1].split("=", 1)
        files[name] = path
        rest = rest[2:]
    try:
        text = Compiler(script, files).compile()
    except (ScriptError, OSError, UnicodeDecodeError) as error:
        print(f"rc_tables.py: {error}", file=sys.stderr)
        return 1
    if not output.exists() or output.read_text(encoding="utf-8") != text:
        output.write_text(text, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
