#!/usr/bin/env python3
"""The state of an emulated Windows machine (a Wine prefix), read from the
host while its wineserver is down: the registry files (system.reg is
HKEY_LOCAL_MACHINE, user.reg HKEY_CURRENT_USER, as the wineserver saves
them), the files of C: and D:, and C:\\windows\\system.ini; and settings
written into its registry files while it is off. The bench's only reader
and writer of a prefix's state.

A setting is a list of fields:

    set     <key>  <value name>  <type>  <data as reg add takes it>
    key     <key>
    unset   <key>  <value name>
    delete  <key>
"""
import os
import re
import struct
import time

REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD = 0, 1, 2, 3, 4
REG_DWORD_BIG_ENDIAN, REG_LINK, REG_MULTI_SZ, REG_QWORD = 5, 6, 7, 11
TYPE_NAMES = {
    REG_NONE: "REG_NONE", REG_SZ: "REG_SZ", REG_EXPAND_SZ: "REG_EXPAND_SZ",
    REG_BINARY: "REG_BINARY", REG_DWORD: "REG_DWORD", REG_DWORD_BIG_ENDIAN: "REG_DWORD_BIG_ENDIAN",
    REG_LINK: "REG_LINK", REG_MULTI_SZ: "REG_MULTI_SZ", 8: "REG_RESOURCE_LIST",
    9: "REG_FULL_RESOURCE_DESCRIPTOR", 10: "REG_RESOURCE_REQUIREMENTS_LIST", REG_QWORD: "REG_QWORD",
}
STRING_TYPES = (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ)

ROOTS = {"hklm": "HKLM", "hkey_local_machine": "HKLM", "hkcu": "HKCU", "hkey_current_user": "HKCU"}

# The C escapes of the registry files, both ways.
C_ESCAPES = {"a": "\a", "b": "\b", "t": "\t", "n": "\n", "v": "\v", "f": "\f", "r": "\r", "e": "\x1b"}
C_ESCAPED = {v: k for k, v in C_ESCAPES.items()}
HEX_DIGITS = "0123456789abcdefABCDEF"
OCT_DIGITS = "01234567"

HEADER_BASE = ";; All keys relative to "

_ASCII_LOWER = str.maketrans("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz")


def fold(name):
    """A name as compared: Windows ignores letter case (here: of ASCII letters)."""
    return name.lower() if name.isascii() else name.translate(_ASCII_LOWER)


def utf16(text):
    return text.encode("utf-16-le", "surrogatepass")


def from_utf16(data):
    if len(data) % 2:
        data = data[:-1]
    return data.decode("utf-16-le", "surrogatepass")


# ------------------------------------------------------------------ reading the registry files

_ESCAPE = re.compile(r"\\(x[0-9a-fA-F]{0,4}|[0-7]{1,3}|.)", re.S)
_BODY = {end: re.compile(r"(?:[^\\%s]|\\.)*" % re.escape(end), re.S) for end in '"]'}
_BODY[None] = re.compile(r"(?:[^\\]|\\.)*\\?", re.S)


def _unescape_one(m):
    e = m.group(1)
    if e[0] == "x":
        return chr(int(e[1:], 16)) if len(e) > 1 else "x"
    if e[0] in OCT_DIGITS:
        return chr(int(e, 8))
    return C_ESCAPES.get(e, e)


def unescape(line, pos, end):
    """The text of an escaped name or string of a registry file, from pos up
    to the unescaped character end (None: the end of the line); returns it
    and the position after end."""
    m = _BODY[end].match(line, pos)
    stop = m.end()
    if end is not None:
        if line[stop:stop + 1] != end:
            raise ValueError("no closing %s" % end)
        stop += 1
    body = m.group(0)
    return (_ESCAPE.sub(_unescape_one, body) if "\\" in body else body), stop


def escape(text, quote):
    """A name or string as the wineserver writes it (the inverse of unescape)."""
    out = []
    for i, c in enumerate(text):
        nxt = text[i + 1] if i + 1 < len(text) else ""
        code = ord(c)
        if code > 127:
            out.append(("\\x%04x" if nxt and nxt in HEX_DIGITS else "\\x%x") % code)
        elif code < 32:
            if c in C_ESCAPED:
                out.append("\\" + C_ESCAPED[c])
            else:
                out.append(("\\%03o" if nxt and nxt in OCT_DIGITS else "\\%o") % code)
        else:
            if c == "\\" or c in quote:
                out.append("\\")
            out.append(c)
    return "".join(out)


class Value:
    """A registry value: its name as stored, type and data bytes."""

    def __init__(self, name, type_, data):
        self.name, self.type, self.data = name, type_, data

    @property
    def type_name(self):
        return TYPE_NAMES.get(self.type, "0x%x" % self.type)

    def strings(self):
        """The strings of a REG_MULTI_SZ: up to the empty string that ends the
        list, or to the end of the data when that is missing."""
        text = from_utf16(self.data)
        if text.endswith("\0"):
            text = text[:-1]
        if text.endswith("\0"):
            text = text[:-1]
        return text.split("\0") if text else []

    def text(self):
        """The data as reg query shows it (REG_MULTI_SZ strings joined by \\0)."""
        if self.type in (REG_SZ, REG_EXPAND_SZ):
            return from_utf16(self.data).split("\0", 1)[0]
        if self.type == REG_MULTI_SZ:
            return "\\0".join(self.strings())
        if self.type == REG_DWORD and len(self.data) == 4:
            return "0x%x" % struct.unpack("<I", self.data)[0]
        if self.type == REG_QWORD and len(self.data) == 8:
            return "0x%x" % struct.unpack("<Q", self.data)[0]
        return self.data.hex().upper()

    def wine_text(self):
        """The data as the wineserver writes it in its files (on one line)."""
        data, t = self.data, self.type
        if t in STRING_TYPES and len(data) >= 2 and len(data) % 2 == 0 and data[-2:] == b"\0\0":
            prefix = "" if t == REG_SZ else "str(%x):" % t
            return '%s"%s"' % (prefix, escape(from_utf16(data[:-2]), '"'))
        if t == REG_DWORD and len(data) == 4:
            return "dword:%08x" % struct.unpack("<I", data)[0]
        prefix = "hex:" if t == REG_BINARY else "hex(%x):" % t
        return prefix + ",".join("%02x" % b for b in data)


class Key:
    def __init__(self, path):
        self.path = path          # root and names as stored: HKLM\Software\...
        self.values = {}          # folded name -> Value
        self.stored = False       # has a line of its own in the file
        self.link = None          # "" when the key is a link (#link)

    def value(self, name):
        return self.values.get(fold(name))


def parse_value(data_text):
    """Type and data of a value from the text after its '='."""
    m = re.match(r'(?:str\(([0-9a-fA-F]+)\):)?"', data_text)
    if m:
        text, end = unescape(data_text, m.end(), '"')
        if data_text[end:].strip():
            raise ValueError("text after the string")
        return (int(m.group(1), 16) if m.group(1) else REG_SZ), utf16(text + "\0")
    m = re.match(r"dword:([0-9a-fA-F]{1,8})\s*$", data_text)
    if m:
        return REG_DWORD, struct.pack("<I", int(m.group(1), 16))
    m = re.match(r"hex(?:\(([0-9a-fA-F]+)\))?:", data_text)
    if m:
        body = re.sub(r"\s", "", data_text[m.end():])
        data = bytes(int(h, 16) for h in body.split(",")) if body else b""
        return (int(m.group(1), 16) if m.group(1) else REG_BINARY), data
    raise ValueError("unknown value notation")


class Registry:
    """The keys of HKLM and HKCU from a prefix's registry files."""

    def __init__(self):
        self.keys = {"hklm": Key("HKLM"), "hkcu": Key("HKCU")}
        self.users = {}           # folded \registry\user\<sid> -> root of user.reg
        self._links = None

    def load(self, root, text, source="registry"):
        """Adds the keys of one registry file, relative to root (HKLM or HKCU)."""
        key = None
        lines = text.split("\n")
        i = 0
        while i < len(lines):
            line = lines[i].rstrip("\r")
            number = i + 1
            i += 1
            try:
                if line.startswith(HEADER_BASE):
                    base = fold(unescape(line, len(HEADER_BASE), None)[0].strip("\\"))
                    if base.startswith("registry\\user\\"):
                        self.users["\\" + base] = root
                elif line.startswith("["):
                    name, end = unescape(line, 1, "]")
                    key = self.add_key(root + "\\" + name if name else root)
                    key.stored = True
                elif line.startswith("#link"):
                    if key is not None:
                        key.link = ""
                elif key is not None and (line.startswith('"') or line.startswith("@")):
                    if line.startswith("@"):
                        name, end = "", 1
                    else:
                        name, end = unescape(line, 1, '"')
                    if line[end:end + 1] != "=":
                        raise ValueError("no '=' after the value name")
                    data_text = line[end + 1:]
                    if data_text.startswith("hex"):
                        while data_text.endswith("\\") and i < len(lines):
                            data_text = data_text[:-1] + lines[i].strip()
                            i += 1
                    type_, data = parse_value(data_text)
                    key.values[fold(name)] = Value(name, type_, data)
            except ValueError as e:
                raise ValueError("%s line %d: %s: %s" % (source, number, e, line[:80])) from None
        self._links = None

    def add_key(self, path):
        """The key of that path, made with its parents when new."""
        folded = fold(path)
        key = self.keys.get(folded)
        if key is None:
            parent = path.rsplit("\\", 1)[0]
            if parent != path:
                self.add_key(parent)
            key = self.keys[folded] = Key(path)
        return key

    def _native_path(self, path):
        """HKLM\\... or HKCU\\... of a path of the native registry."""
        folded = fold(path)
        if folded.startswith("\\registry\\machine\\"):
            return "hklm" + folded[len("\\registry\\machine"):]
        for user, root in self.users.items():
            if folded.startswith(user + "\\"):
                return fold(root) + folded[len(user):]
        return None

    def links(self):
        """The links: folded path of the link -> folded path it stands for."""
        if self._links is None:
            self._links = {}
            for path, key in self.keys.items():
                target = key.value("SymbolicLinkValue") if key.link is not None else None
                native = self._native_path(from_utf16(target.data)) if target else None
                if native:
                    self._links[path] = native
        return self._links

    def resolve(self, path):
        """The folded path of a key path (root HKLM, HKEY_LOCAL_MACHINE, HKCU
        or HKEY_CURRENT_USER) after its links; None for another root."""
        parts = [p for p in fold(path).split("\\") if p]
        if not parts or parts[0] not in ROOTS:
            return None
        current = fold(ROOTS[parts[0]])
        links = self.links()
        for part in parts[1:]:
            current += "\\" + part
            for _ in range(16):
                if current not in links:
                    break
                current = links[current]
        return current

    def key(self, path):
        resolved = self.resolve(path)
        return self.keys.get(resolved) if resolved else None

    def value(self, path, name):
        key = self.key(path)
        return key.value(name) if key else None


def read_text_and_encoding(path):
    """A file's text and the encoding it was read with: UTF-8, or Latin-1
    for bytes that are not."""
    with open(path, "rb") as f:
        raw = f.read()
    try:
        return raw.decode("utf-8"), "utf-8"
    except UnicodeDecodeError:
        return raw.decode("latin-1"), "latin-1"


def read_text(path):
    return read_text_and_encoding(path)[0]


REGISTRY_FILES = (("HKLM", "system.reg"), ("HKCU", "user.reg"))


def registry(prefix):
    """The registry of a prefix: system.reg as HKLM, user.reg as HKCU."""
    reg = Registry()
    for root, name in REGISTRY_FILES:
        path = os.path.join(prefix, name)
        if os.path.exists(path):
            reg.load(root, read_text(path), name)
    return reg


# ------------------------------------------------------------------ files and system.ini

def drive_entries(prefix, medium=False):
    """(Windows path, host path, is a folder) of everything on C: and D:
    (drive_c and disk_d of the prefix), and with medium on E: (medium);
    links to files are left out."""
    for drive, top in (("C:", "drive_c"), ("D:", "disk_d"), ("E:", "medium"))[:3 if medium else 2]:
        root = os.path.join(prefix, top)
        for base, dirs, names in os.walk(root):
            rel = base[len(root):].replace("/", "\\")
            for d in dirs:
                yield drive + rel + "\\" + d + "\\", os.path.join(base, d), True
            for n in names:
                path = os.path.join(base, n)
                if not os.path.islink(path):
                    yield drive + rel + "\\" + n, path, False


class IniLine:
    def __init__(self, section_line, section, key, value, line):
        self.section_line = section_line    # "[386Enh]" as written
        self.section = section              # 386Enh
        self.key = key                      # the name before '=', without blanks around it
        self.value = value                  # everything after the first '='
        self.line = line                    # the whole line, without blanks around it


def read_ini(path):
    """The key lines of an .ini file in order, each with its section; a key
    may be there more than once. Nothing when the file is missing."""
    if not os.path.exists(path):
        return []
    with open(path, encoding="latin-1", newline="") as f:
        text = f.read()
    out, section_line, section = [], "", ""
    for raw in text.replace("\r", "").split("\n"):
        line = raw.strip()
        if line.startswith("["):
            section_line = line
            section = line[1:].split("]", 1)[0]
        elif "=" in raw:
            key, value = raw.split("=", 1)
            out.append(IniLine(section_line, section, key.strip(" \t"), value, line))
    return out


def system_ini(prefix):
    return read_ini(os.path.join(prefix, "drive_c", "windows", "system.ini"))


# ------------------------------------------------------------------ settings as reg add takes them

def multi_sz(data):
    """The bytes of a REG_MULTI_SZ given as reg add takes it: strings
    separated by the two characters \\0, a trailing one allowed."""
    strings = data.split("\\0")
    if len(strings) > 1 and strings[-1] == "":
        strings.pop()
    if len(strings) > 1 and "" in strings:
        raise ValueError("an empty string inside the REG_MULTI_SZ %r" % data)
    if strings == [""]:
        return utf16("\0")
    return utf16("".join(s + "\0" for s in strings) + "\0")


def queued_value(type_name, data):
    """Type and data bytes of a value given as reg add takes it."""
    if type_name in ("REG_SZ", "REG_EXPAND_SZ", "REG_NONE"):
        return {"REG_SZ": REG_SZ, "REG_EXPAND_SZ": REG_EXPAND_SZ, "REG_NONE": REG_NONE}[type_name], utf16(data + "\0")
    if type_name == "REG_MULTI_SZ":
        return REG_MULTI_SZ, multi_sz(data)
    if type_name == "REG_DWORD":
        number = int(data, 16 if data[:2].lower() == "0x" else 10) if re.fullmatch(r"0[xX][0-9a-fA-F]+|[0-9]+", data) else None
        if number is None or number > 0xFFFFFFFF:
            raise ValueError("not a REG_DWORD: %r" % data)
        return REG_DWORD, struct.pack("<I", number)
    if type_name == "REG_BINARY":
        if not re.fullmatch(r"[0-9a-fA-F]*", data):
            raise ValueError("not hex digits for a REG_BINARY: %r" % data)
        if len(data) % 2:
            data = "0" + data
        return REG_BINARY, bytes.fromhex(data)
    raise ValueError("unknown type %r" % type_name)


def check_record(record):
    op, args = record[0], record[1:]
    want = {"set": 4, "key": 1, "unset": 2, "delete": 1}.get(op)
    if want is None or len(args) != want:
        raise ValueError("expected set/key/unset/delete with their fields")
    return op, args


# ------------------------------------------------------------------ settings into the registry files

class HiveText:
    """The text of one registry file as sections of lines, to change keys
    and values in place and leave every other line as the wineserver wrote
    it."""

    def __init__(self, text):
        self.head, self.sections = [], []      # sections: [folded name, lines]
        for line in text.split("\n"):
            if line.startswith("["):
                name = unescape(line.rstrip("\r"), 1, "]")[0]
                self.sections.append([fold(name), [line]])
            elif self.sections:
                self.sections[-1][1].append(line)
            else:
                self.head.append(line)

    def text(self):
        lines = list(self.head)
        for _, body in self.sections:
            lines += body
        return "\n".join(lines)

    def section(self, name):
        """The section of a key, added at the end when there is none."""
        folded = fold(name)
        for sec in self.sections:
            if sec[0] == folded:
                return sec
        now = time.time()
        filetime = int(now * 10000000) + 116444736000000000
        last = self.sections[-1][1] if self.sections else self.head
        if last and last[-1] == "":
            last.pop()
        if last and last[-1] != "":
            last.append("")
        sec = [folded, ["[%s] %d" % (escape(name, "[]"), int(now)), "#time=%x" % filetime, ""]]
        self.sections.append(sec)
        return sec

    @staticmethod
    def _value_span(lines, folded_name):
        """Start and end (exclusive) of a value's lines in a section, or None."""
        i = 1
        while i < len(lines):
            line = lines[i].rstrip("\r")
            end = i + 1
            if line.startswith('"') or line.startswith("@"):
                name, stop = ("", 1) if line.startswith("@") else unescape(line, 1, '"')
                if line[stop + 1:].startswith("hex"):
                    while lines[end - 1].rstrip("\r").endswith("\\") and end < len(lines):
                        end += 1
                if fold(name) == folded_name:
                    return i, end
            i = end
        return None

    def unset(self, key, name):
        sec = self.section(key)
        span = self._value_span(sec[1], fold(name))
        if span:
            del sec[1][span[0]:span[1]]

    def set(self, key, name, value):
        sec = self.section(key)
        lines = sec[1]
        line = "%s=%s" % ('"%s"' % escape(name, '"') if name else "@", value.wine_text())
        span = self._value_span(lines, fold(name))
        if span:
            lines[span[0]:span[1]] = [line]
            return
        at = len(lines)
        while at > 1 and lines[at - 1].strip() == "":
            at -= 1
        lines.insert(at, line)

    def delete(self, key):
        folded = fold(key)
        self.sections = [s for s in self.sections if s[0] != folded and not s[0].startswith(folded + "\\")]


def _file_key(reg, path):
    """The root (HKLM or HKCU) and the name in its file of a queued key
    path, after the links of the registry (CurrentControlSet stands for
    ControlSet001), its existing keys' names as stored."""
    parts = [p for p in path.split("\\") if p]
    root = ROOTS.get(fold(parts[0])) if parts else None
    if root is None or len(parts) < 2:
        raise ValueError("not a key below HKLM or HKCU: %r" % path)
    folded, actual = fold(root), root
    links = reg.links()
    for part in parts[1:]:
        folded += "\\" + fold(part)
        key = reg.keys.get(folded)
        actual = key.path if key else actual + "\\" + part
        for _ in range(16):
            if folded not in links:
                break
            folded = links[folded]
            key = reg.keys.get(folded)
            actual = key.path if key else folded
    return root, actual[len(root) + 1:]


def apply_settings(texts, records):
    """The texts of system.reg and user.reg ({"HKLM": text, "HKCU": text})
    with the queued settings made in order, as regedit makes them: a value
    of a missing key makes the key, even to delete the value."""
    reg = Registry()
    hives = {}
    for root, text in texts.items():
        reg.load(root, text)
        hives[root] = HiveText(text)
    for number, record in enumerate(records, 1):
        try:
            op, args = check_record(record)
            root, name = _file_key(reg, args[0])
            hive = hives.get(root)
            if hive is None:
                raise ValueError("the machine has no registry file for %s" % root)
            if op == "delete":
                hive.delete(name)
                gone = fold(root + "\\" + name)
                for path in [p for p in reg.keys if p == gone or p.startswith(gone + "\\")]:
                    del reg.keys[path]
                continue
            reg.add_key(root + "\\" + name)
            if op == "set":
                type_, data = queued_value(args[2], args[3])
                hive.set(name, args[1], Value(args[1], type_, data))
            elif op == "unset":
                hive.unset(name, args[1])
            else:
                hive.section(name)
        except ValueError as e:
            raise ValueError("setting %d (%s): %s" % (number, " ".join(record), e)) from None
    return {root: hive.text() for root, hive in hives.items()}


def apply_queue(prefix, records):
    """Settings (records as in a queue) into the registry files of a prefix
    whose wineserver is down; both files are read back before they replace
    the old ones."""
    texts, encodings = {}, {}
    for root, name in REGISTRY_FILES:
        texts[root], encodings[root] = read_text_and_encoding(os.path.join(prefix, name))
    changed = apply_settings(texts, records)
    check = Registry()
    for root, name in REGISTRY_FILES:
        check.load(root, changed[root], name + " as written")
    for root, name in REGISTRY_FILES:
        path = os.path.join(prefix, name)
        tmp = path + ".new"
        with open(tmp, "wb") as f:
            f.write(changed[root].encode(encodings[root]))
        os.replace(tmp, path)
