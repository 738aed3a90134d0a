#!/usr/bin/env python3
"""Static check of the product file Setup.exe.

Reads the PE file itself and checks what the program must be to start on
every Windows it supports, from Windows 95 on:

- a PE32 program for i386 with the GUI subsystem, OS and subsystem version
  at most 4.0;
- imports only from the system DLLs below, and only functions on the
  reviewed allow-list (lines "dll!function", "#" starts a comment);
- the resources: dialog 102 word for word as the program's dialog is laid
  out, icon group 128 with a 32x32 and a 16x16 image of 16 colours, the
  version information, and no manifest.

Usage: check_product.py [-v] Setup.exe imports.allow
Prints one line per failed check (with -v also the passed ones), the file
size, and "product check: N passed, N failed"; exits 1 when a check failed.
"""

import re
import struct
import sys

ALLOWED_DLLS = {'kernel32', 'user32', 'gdi32', 'advapi32', 'shell32',
                'comctl32', 'msvcrt'}
SIZE_WARNING = 32 * 1024

IMAGE_FILE_MACHINE_I386 = 0x014C
IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002
IMAGE_FILE_DLL = 0x2000
PE32_MAGIC, PE32PLUS_MAGIC = 0x10B, 0x20B
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
DIR_IMPORT, DIR_RESOURCE, DIR_DELAY_IMPORT = 1, 2, 13

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24

# --- Window styles, as in the Windows headers ------------------------------
WS_POPUP = 0x80000000
WS_CHILD = 0x40000000
WS_VISIBLE = 0x10000000
WS_CAPTION = 0x00C00000
WS_BORDER = 0x00800000
WS_SYSMENU = 0x00080000
WS_TABSTOP = 0x00010000
WS_EX_APPWINDOW = 0x00040000
DS_SETFONT = 0x00000040
DS_MODALFRAME = 0x00000080
BS_PUSHBUTTON = 0x0000
BS_AUTORADIOBUTTON = 0x0009
SS_LEFT = 0x0000
SS_ICON = 0x0003
ES_LEFT = 0x0000
ES_CENTER = 0x0001
ES_AUTOHSCROLL = 0x0080
ES_READONLY = 0x0800

# Ordinals of the predefined classes in a dialog template.
BUTTON, EDIT, STATIC = 0x0080, 0x0081, 0x0082
CLASS_NAMES = {BUTTON: 'Button', EDIT: 'Edit', STATIC: 'Static'}

# --- The expected dialog 102 -------------------------------------------------
EXPECTED_DIALOG = {
    'version': 1, 'signature': 0xFFFF, 'helpId': 0,
    'style': WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    'exStyle': WS_EX_APPWINDOW,
    'x': 0, 'y': 0, 'cx': 207, 'cy': 116,
    'menu': '', 'class': '', 'title': 'Setup',
    'pointSize': 8, 'weight': 0, 'italic': 0, 'charset': 1,
    'typeface': 'MS Sans Serif',
}
assert EXPECTED_DIALOG['style'] == 0x90C800C0

CHILD = WS_CHILD | WS_VISIBLE
PUSH = CHILD | BS_PUSHBUTTON | WS_TABSTOP                     # 0x50010000
RADIO = CHILD | BS_AUTORADIOBUTTON                            # 0x50000009
FIELD = CHILD | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP     # 0x50010880

# Template order is the tab order. Title: text, or the ordinal of the icon
# resource for the icon control. Class: the ordinal of a predefined class or
# a class name (compared without case). Every exStyle and help id is 0 and no
# control carries creation data. No control has WS_GROUP, so IDE and SCSI are
# one group of radio buttons although other controls stand between them.
EXPECTED_CONTROLS = [
    # id   class                style                  title                   x    y    cx   cy
    (1000, BUTTON,              PUSH,                  'Exit',                 165, 94,  35,  15),
    (1001, BUTTON,              PUSH,                  'Install',              37,  90,  61,  19),
    (1004, BUTTON,              RADIO,                 'IDE',                  72,  65,  38,  15),
    (1008, BUTTON,              PUSH,                  'Next >>',              43,  89,  53,  20),
    (1002, BUTTON,              PUSH,                  'Uninstall',            48,  90,  59,  19),
    (-1,   STATIC,              CHILD | SS_ICON,       128,                    87,  15,  20,  20),
    (-1,   STATIC,              CHILD | SS_LEFT,       'Version : Ultro 1.51', 119, 7,   81,  8),
    (1005, BUTTON,              RADIO,                 'SCSI',                 124, 63,  31,  18),
    (1006, 'msctls_progress32', CHILD | WS_BORDER,     '',                     31,  65,  149, 14),
    (1010, EDIT,                FIELD | ES_CENTER,     '',                     7,   52,  61,  12),
    (1011, EDIT,                FIELD | ES_LEFT,       '',                     73,  51,  127, 12),
    (1012, EDIT,                FIELD | ES_CENTER,     '',                     30,  46,  149, 16),
]
CONTROL_FIELDS = ('id', 'class', 'style', 'title', 'x', 'y', 'cx', 'cy')

EXPECTED_ICON_SIZES = [(32, 32), (16, 16)]

EXPECTED_VERSION_NUMBER = (1, 0, 0, 1)
EXPECTED_STRING_TABLE = '040904B0'
EXPECTED_STRINGS = {
    'CompanyName': '',
    'FileDescription': 'Setup MFC Application',
    'FileVersion': '1, 0, 0, 1',
    'InternalName': 'Setup',
    'LegalTrademarks': '',
    'OriginalFilename': 'Setup.EXE',
    'ProductName': 'Setup Application',
    'ProductVersion': '1, 0, 0, 1',
}
EXPECTED_TRANSLATION = (0x0409, 1200)


class FormatError(Exception):
    """The file is not laid out as the PE format says."""


class Reader:
    """Bounds-checked little-endian reads from a byte string."""

    def __init__(self, data, pos=0):
        self.data, self.pos = data, pos

    def take(self, fmt):
        size = struct.calcsize(fmt)
        if self.pos < 0 or self.pos + size > len(self.data):
            raise FormatError('read past the end at offset %d' % self.pos)
        values = struct.unpack_from('<' + fmt, self.data, self.pos)
        self.pos += size
        return values if len(values) > 1 else values[0]

    def align(self, n):
        self.pos = (self.pos + n - 1) // n * n

    def wstring(self):
        """A zero-terminated UTF-16 string."""
        chars = []
        while True:
            c = self.take('H')
            if c == 0:
                return ''.join(chars)
            chars.append(chr(c))

    def string_or_ordinal(self):
        """'' for none, an int for an ordinal (0xFFFF, n), else the string."""
        first = self.take('H')
        if first == 0:
            return ''
        if first == 0xFFFF:
            return self.take('H')
        self.pos -= 2
        return self.wstring()


# --- PE layout ----------------------------------------------------------------

class PeFile:
    def __init__(self, data):
        self.data = data
        r = Reader(data)
        if r.take('2s') != b'MZ':
            raise FormatError('no MZ header')
        r.pos = 0x3C
        r.pos = r.take('I')
        if r.take('4s') != b'PE\0\0':
            raise FormatError('no PE signature')
        (self.machine, sections, _, _, _, opt_size,
         self.characteristics) = r.take('HHIIIHH')
        opt = r.pos
        self.magic = r.take('H')
        if self.magic not in (PE32_MAGIC, PE32PLUS_MAGIC):
            raise FormatError('unknown optional header magic 0x%X' % self.magic)
        r.pos = opt + 40
        (self.os_major, self.os_minor, _, _,
         self.subsys_major, self.subsys_minor) = r.take('HHHHHH')
        r.pos = opt + 68
        self.subsystem = r.take('H')
        dirs = 96 if self.magic == PE32_MAGIC else 112
        r.pos = opt + dirs - 4
        count = r.take('I')
        self.directories = [r.take('II') for _ in range(min(count, 16))]
        r.pos = opt + opt_size
        self.sections = []
        for _ in range(sections):
            _, vsize, va, raw_size, raw_ptr = r.take('8sIIII')
            r.pos += 16
            self.sections.append((va, max(vsize, raw_size), raw_ptr, raw_size))

    def directory(self, index):
        if index < len(self.directories):
            return self.directories[index]
        return (0, 0)

    def offset(self, rva):
        for va, vsize, raw_ptr, raw_size in self.sections:
            if va <= rva < va + vsize and rva - va < raw_size:
                return raw_ptr + rva - va
        raise FormatError('address 0x%X lies in no section' % rva)

    def read(self, rva, size):
        off = self.offset(rva)
        if off + size > len(self.data):
            raise FormatError('data at 0x%X runs past the end of the file' % rva)
        return self.data[off:off + size]

    def cstring(self, rva):
        off = self.offset(rva)
        end = self.data.find(b'\0', off)
        if end < 0:
            raise FormatError('unterminated name at 0x%X' % rva)
        return self.data[off:end].decode('latin-1')


def read_imports(pe):
    """[(dll, function)] in table order; a function imported by ordinal is
    written '#n'."""
    rva, _ = pe.directory(DIR_IMPORT)
    if rva == 0:
        return []
    wide = pe.magic == PE32PLUS_MAGIC
    thunk_fmt, flag = ('Q', 1 << 63) if wide else ('I', 1 << 31)
    imports = []
    r = Reader(pe.data, pe.offset(rva))
    while True:
        lookup, _, _, name, first = r.take('IIIII')
        if lookup == 0 and name == 0 and first == 0:
            return imports
        dll = pe.cstring(name)
        t = Reader(pe.data, pe.offset(lookup or first))
        while True:
            entry = t.take(thunk_fmt)
            if entry == 0:
                break
            if entry & flag:
                imports.append((dll, '#%d' % (entry & 0xFFFF)))
            else:
                imports.append((dll, pe.cstring((entry & 0x7FFFFFFF) + 2)))


def read_resources(pe):
    """{type: {name: data}}; types and names are ints or upper-case strings.
    The first language of a name is taken."""
    rva, _ = pe.directory(DIR_RESOURCE)
    if rva == 0:
        return {}
    base = pe.offset(rva)

    def entries(off):
        r = Reader(pe.data, base + off)
        r.pos += 12
        named, ids = r.take('HH')
        for _ in range(named + ids):
            name, target = r.take('II')
            if name & 0x80000000:
                s = Reader(pe.data, base + (name & 0x7FFFFFFF))
                length = s.take('H')
                key = s.take('%ds' % (2 * length)).decode('utf-16-le', 'replace').upper()
            else:
                key = name & 0xFFFF
            yield key, target

    def leaf(target, depth):
        # type -> name -> language -> data
        while target & 0x80000000:
            if depth >= 2:
                raise FormatError('resource tree deeper than three levels')
            first = next(iter(entries(target & 0x7FFFFFFF)), None)
            if first is None:
                raise FormatError('empty resource directory')
            target = first[1]
            depth += 1
        data_rva, size = Reader(pe.data, base + target).take('II')
        return pe.read(data_rva, size)

    tree = {}
    for rtype, names in entries(0):
        if not names & 0x80000000:
            raise FormatError('resource type without a directory')
        tree[rtype] = {name: leaf(target, 1)
                       for name, target in entries(names & 0x7FFFFFFF)}
    return tree


# --- Resource formats --------------------------------------------------------

def parse_dialog(data):
    """Dialog header (dict) and controls (list of dicts) of a DLGTEMPLATEEX."""
    r = Reader(data)
    head = {}
    head['version'], head['signature'] = r.take('HH')
    if head['signature'] != 0xFFFF:
        return head, []
    head['helpId'], head['exStyle'], head['style'], count = r.take('IIIH')
    head['x'], head['y'], head['cx'], head['cy'] = r.take('hhhh')
    head['menu'] = r.string_or_ordinal()
    head['class'] = r.string_or_ordinal()
    head['title'] = r.wstring()
    if head['style'] & DS_SETFONT:
        (head['pointSize'], head['weight'], head['italic'],
         head['charset']) = r.take('HHBB')
        head['typeface'] = r.wstring()
    controls = []
    for _ in range(count):
        r.align(4)
        c = {}
        c['helpId'], c['exStyle'], c['style'] = r.take('III')
        c['x'], c['y'], c['cx'], c['cy'], c['id'] = r.take('hhhhi')
        cls = r.string_or_ordinal()
        c['class'] = cls.lower() if isinstance(cls, str) else cls
        c['title'] = r.string_or_ordinal()
        c['extra'] = r.take('H')
        r.pos += c['extra']
        controls.append(c)
    head['count'] = count
    return head, controls


def version_node(data, pos):
    """(key, start of the value, value length, end) of a VS_VERSIONINFO node."""
    r = Reader(data, pos)
    length, value_length, _ = r.take('HHH')
    end = pos + length
    if length < 6 or end > len(data):
        raise FormatError('version node with length %d' % length)
    key = r.wstring()
    r.align(4)
    return key, r.pos, value_length, end


def version_children(data, start, end):
    """The nodes from start to end, each as version_node gives it."""
    pos = (start + 3) // 4 * 4
    while pos < end:
        node = version_node(data, pos)
        yield node
        pos = (node[3] + 3) // 4 * 4


def version_text(data, node):
    # Compilers disagree on whether a text length counts characters or
    # bytes; the text runs to its terminator inside the node.
    _, start, _, end = node
    return data[start:end].decode('utf-16-le', 'replace').split('\0')[0]


def parse_version(data):
    """(fixed info bytes, {string table: {name: text}}, translation bytes)."""
    key, start, length, end = version_node(data, 0)
    if key != 'VS_VERSION_INFO':
        raise FormatError('root node is %r' % key)
    fixed = data[start:start + length]
    tables, translation = {}, None
    for block, bstart, _, bend in version_children(data, start + length, end):
        if block == 'StringFileInfo':
            for table in version_children(data, bstart, bend):
                tables[table[0]] = {s[0]: version_text(data, s)
                                    for s in version_children(data, table[1], table[3])}
        elif block == 'VarFileInfo':
            for var, vstart, vlength, _ in version_children(data, bstart, bend):
                if var == 'Translation':
                    translation = data[vstart:vstart + vlength]
    return fixed, tables, translation


def describe(field, value):
    """A value of a dialog field as the failure line shows it."""
    if value is None:
        return 'missing'
    if isinstance(value, str):
        return repr(value)
    if field in ('style', 'exStyle'):
        return '0x%08X' % value
    if field == 'class':
        return '0x%04X (%s)' % (value, CLASS_NAMES.get(value, 'unknown'))
    if field == 'title':
        return 'ordinal %d' % value
    if field in ('signature', 'helpId'):
        return '0x%X' % value
    return str(value)


# --- The checks ---------------------------------------------------------------

class Report:
    def __init__(self, verbose=False, out=sys.stdout):
        self.passed = self.failed = 0
        self.verbose, self.out = verbose, out
        self.failures = []

    def check(self, ok, what, detail=''):
        if ok:
            self.passed += 1
            if self.verbose:
                print('ok    ' + what, file=self.out)
        else:
            self.failed += 1
            self.failures.append(what)
            print('FAIL  ' + what + (': ' + detail if detail else ''), file=self.out)
        return ok

    def note(self, text):
        print('note  ' + text, file=self.out)


def dll_key(name):
    name = name.strip().lower()
    return name[:-4] if name.endswith('.dll') else name


def parse_allow_list(text, report):
    allowed = set()
    bad = []
    for number, line in enumerate(text.splitlines(), 1):
        line = re.split(r'(?:^|\s)#', line, 1)[0].strip()
        if not line:
            continue
        dll, sep, function = line.partition('!')
        if not sep or not dll.strip() or not function.strip() or ' ' in function.strip():
            bad.append('line %d %r' % (number, line))
            continue
        allowed.add((dll_key(dll), function.strip()))
    report.check(not bad, 'allow-list readable', 'not of the form dll!function: ' + ', '.join(bad))
    return allowed


def check_header(pe, report):
    report.check(pe.machine == IMAGE_FILE_MACHINE_I386, 'machine i386 (0x14C)',
                 'machine is 0x%X' % pe.machine)
    report.check(pe.magic == PE32_MAGIC, 'PE32 optional header (0x10B)',
                 'magic is 0x%X' % pe.magic)
    exe = (pe.characteristics & IMAGE_FILE_EXECUTABLE_IMAGE
           and not pe.characteristics & IMAGE_FILE_DLL)
    report.check(exe, 'executable image, not a DLL',
                 'characteristics 0x%04X' % pe.characteristics)
    report.check(pe.subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI, 'GUI subsystem (2)',
                 'subsystem is %d' % pe.subsystem)
    report.check((pe.os_major, pe.os_minor) <= (4, 0), 'OS version at most 4.0',
                 'OS version %d.%d' % (pe.os_major, pe.os_minor))
    report.check((pe.subsys_major, pe.subsys_minor) <= (4, 0),
                 'subsystem version at most 4.0',
                 'subsystem version %d.%d' % (pe.subsys_major, pe.subsys_minor))


def check_imports(pe, allowed, report):
    try:
        imports = read_imports(pe)
    except FormatError as e:
        report.check(False, 'import table readable', str(e))
        return
    report.check(bool(imports), 'import table present', 'the file imports nothing')
    report.check(pe.directory(DIR_DELAY_IMPORT)[0] == 0, 'no delay-load imports',
                 'delay-loaded DLLs are not reviewed')
    for dll in sorted({dll_key(d) for d, _ in imports}):
        report.check(dll in ALLOWED_DLLS, 'import DLL %s' % dll,
                     'not one of ' + ', '.join(sorted(ALLOWED_DLLS)))
    for dll, function in imports:
        key = (dll_key(dll), function)
        report.check(key in allowed, 'import %s!%s' % key, 'not on the allow-list')
    unused = sorted(allowed - {(dll_key(d), f) for d, f in imports})
    if unused and report.verbose:
        report.note('on the allow-list, not imported: ' + ', '.join('%s!%s' % k for k in unused))
    elif unused:
        report.note('%d allow-list entries not imported (-v lists them)' % len(unused))


def check_dialog(data, report):
    if not report.check(data is not None, 'dialog 102 present'):
        return
    try:
        head, controls = parse_dialog(data)
    except FormatError as e:
        report.check(False, 'dialog 102 readable', str(e))
        return
    if not report.check(head.get('signature') == 0xFFFF and head.get('version') == 1,
                        'dialog 102 is an extended template',
                        'version %s, signature 0x%X' % (head.get('version'), head.get('signature', 0))):
        return
    frame = ('helpId', 'style', 'exStyle', 'x', 'y', 'cx', 'cy', 'menu', 'class', 'title')
    diffs = ['%s %s, expected %s' % (k, describe(k, head.get(k)), describe(k, EXPECTED_DIALOG[k]))
             for k in frame if head.get(k) != EXPECTED_DIALOG[k]]
    report.check(not diffs, 'dialog 102 frame', '; '.join(diffs))
    font = ('pointSize', 'weight', 'italic', 'charset', 'typeface')
    diffs = ['%s %s, expected %s' % (k, describe(k, head.get(k)), describe(k, EXPECTED_DIALOG[k]))
             for k in font if head.get(k) != EXPECTED_DIALOG[k]]
    report.check(not diffs, 'dialog 102 font', '; '.join(diffs))
    report.check(len(controls) == len(EXPECTED_CONTROLS), 'dialog 102 control count',
                 '%d controls, expected %d' % (len(controls), len(EXPECTED_CONTROLS)))
    for n, row in enumerate(EXPECTED_CONTROLS, 1):
        want = dict(zip(CONTROL_FIELDS, row), helpId=0, exStyle=0, extra=0)
        what = 'dialog 102 control %d (id %d)' % (n, want['id'])
        if n > len(controls):
            report.check(False, what, 'missing')
            continue
        got = controls[n - 1]
        diffs = ['%s %s, expected %s' % (k, describe(k, got[k]), describe(k, want[k]))
                 for k in ('id', 'class', 'style', 'exStyle', 'title', 'x', 'y',
                           'cx', 'cy', 'helpId', 'extra') if got[k] != want[k]]
        report.check(not diffs, what, '; '.join(diffs))


def check_icon(resources, report):
    group = resources.get(RT_GROUP_ICON, {}).get(128)
    if not report.check(group is not None, 'icon group 128 present'):
        return
    r = Reader(group)
    try:
        _, kind, count = r.take('HHH')
        entries = [r.take('BBBBHHIH') for _ in range(count)]
    except FormatError as e:
        report.check(False, 'icon group 128 readable', str(e))
        return
    sizes = [(e[0] or 256, e[1] or 256) for e in entries]
    report.check(kind == 1 and sizes == EXPECTED_ICON_SIZES, 'icon group 128 holds 32x32 and 16x16',
                 'type %d, images %s' % (kind, ', '.join('%dx%d' % s for s in sizes) or 'none'))
    images = resources.get(RT_ICON, {})
    for (w, h, colours, _, planes, bits, size, icon_id) in entries:
        what = 'icon 128 image %dx%d, 16 colours with mask' % (w, h)
        problems = []
        if (colours, planes, bits) != (16, 1, 4):
            problems.append('group entry says %d colours, %d planes, %d bits'
                            % (colours, planes, bits))
        image = images.get(icon_id)
        if image is None:
            report.check(False, what, 'icon resource %d missing' % icon_id)
            continue
        if len(image) != size:
            problems.append('group entry says %d bytes, image has %d' % (size, len(image)))
        try:
            hsize, bw, bh, bplanes, bbits, compression = Reader(image).take('IiiHHI')
        except FormatError:
            report.check(False, what, 'no bitmap header')
            continue
        if (hsize, bw, bh, bplanes, bbits, compression) != (40, w, 2 * h, 1, 4, 0):
            problems.append('bitmap header %dx%d, %d planes, %d bits, compression %d, header %d bytes'
                            % (bw, bh, bplanes, bbits, compression, hsize))
        expected_size = 40 + 16 * 4 + ((w * 4 + 31) // 32 * 4) * h + ((w + 31) // 32 * 4) * h
        if not problems and len(image) != expected_size:
            problems.append('%d bytes, a 16-colour %dx%d image with mask has %d'
                            % (len(image), w, h, expected_size))
        report.check(not problems, what, '; '.join(problems))


def check_version(resources, report):
    data = resources.get(RT_VERSION, {}).get(1)
    if not report.check(data is not None, 'version information present'):
        return
    try:
        fixed, tables, translation = parse_version(data)
    except FormatError as e:
        report.check(False, 'version information readable', str(e))
        return
    numbers = None
    if len(fixed) >= 52:
        sig, _, fms, fls, pms, pls = struct.unpack_from('<6I', fixed)
        if sig == 0xFEEF04BD:
            split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
            numbers = (split(fms, fls), split(pms, pls))
    report.check(numbers == (EXPECTED_VERSION_NUMBER,) * 2,
                 'file and product version 1.0.0.1', 'found %s' % (numbers,))
    report.check(list(tables) == [EXPECTED_STRING_TABLE],
                 'one string table %s' % EXPECTED_STRING_TABLE,
                 'string tables %s' % list(tables))
    strings = tables.get(EXPECTED_STRING_TABLE, {})
    for name, want in EXPECTED_STRINGS.items():
        got = strings.get(name)
        report.check(got == want, 'version string %s' % name,
                     'missing' if got is None else '%r, expected %r' % (got, want))
    extra = sorted(set(strings) - set(EXPECTED_STRINGS))
    report.check(not extra, 'no other version strings', ', '.join(extra))
    found = struct.unpack('<HH', translation) if translation and len(translation) == 4 else None
    report.check(found == EXPECTED_TRANSLATION, 'translation 0x409, 1200',
                 'found 0x%X, %d' % found if found else 'missing')


def check_product(data, allow_text, report):
    size = len(data)
    print('size  %d bytes (%.1f KB)' % (size, size / 1024.0), file=report.out)
    if size > SIZE_WARNING:
        print('WARN  larger than %d KB' % (SIZE_WARNING // 1024), file=report.out)
    allowed = parse_allow_list(allow_text, report)
    try:
        pe = PeFile(data)
    except FormatError as e:
        report.check(False, 'PE headers readable', str(e))
        return
    report.check(True, 'PE headers readable')
    check_header(pe, report)
    check_imports(pe, allowed, report)
    try:
        resources = read_resources(pe)
    except FormatError as e:
        report.check(False, 'resources readable', str(e))
        return
    report.check(bool(resources), 'resources present', 'the file has no resources')
    check_dialog(resources.get(RT_DIALOG, {}).get(102), report)
    check_icon(resources, report)
    check_version(resources, report)
    report.check(RT_MANIFEST not in resources, 'no manifest',
                 'a manifest resource is present')


def main(argv):
    args = [a for a in argv[1:] if a != '-v']
    if len(args) != 2:
        print(__doc__.strip().split('\n\n')[-1], file=sys.stderr)
        return 2
    report = Report(verbose='-v' in argv)
    try:
        with open(args[0], 'rb') as f:
            data = f.read()
        with open(args[1], encoding='utf-8') as f:
            allow_text = f.read()
    except OSError as e:
        print('FAIL  cannot read: %s' % e)
        print('product check: 0 passed, 1 failed')
        return 1
    check_product(data, allow_text, report)
    print('product check: %d passed, %d failed' % (report.passed, report.failed))
    return 1 if report.failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
