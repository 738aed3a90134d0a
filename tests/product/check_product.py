#!/usr/bin/python3
"""Static check of the product file Setup.exe.

Reads the file whole, lays it out with pefile (Debian's python3-pefile) and
checks what the program must be to start on every Windows it supports, from
the first release of Windows 95 (4.00.950) and from Windows NT 4.0 on:

- a PE32 program for i386 with the GUI subsystem, its entry point in code,
  OS and subsystem version at most 4.0, stripped (no symbol table, no debug sections), and at most
  16 KB (16384 bytes) large;
- imports only from kernel32, user32, gdi32, advapi32, shell32 and comctl32
  (no C runtime DLL), no delay-load imports, and only functions on the
  reviewed allow-list whose oldest Windows 95 release is 4.00.950 and whose
  oldest NT release is 4.0 or earlier (the list's format is described at the
  top of imports.allow; a malformed line fails the check);
- the resources: dialog 102 word for word as the program's dialog is laid
  out, icon group 128 with a 32x32 and a 16x16 image of 16 colours, the
  version information, and no manifest.

pefile reads the headers, the import tables, the resource tree and the
version block; the dialog template and the icon group are read here.

Usage: check_product.py [-v] Setup.exe imports.allow
Prints one line per failed check (with -v also the passed ones), the file
size, and "product check: N passed, N failed"; exits 1 when a check failed.
"""

import os
import re
import struct
import sys

DEBIAN_PYTHON = '/usr/bin/python3'
try:
    import pefile
except ImportError:
    # Debian's interpreter has python3-pefile; another python3 first on PATH
    # may not. Run once more under Debian's.
    if (__name__ == '__main__' and os.path.exists(DEBIAN_PYTHON)
            and os.path.realpath(sys.executable) != os.path.realpath(DEBIAN_PYTHON)):
        os.execv(DEBIAN_PYTHON, [DEBIAN_PYTHON] + sys.argv)
    pefile = None

ALLOWED_DLLS = ('kernel32', 'user32', 'gdi32', 'advapi32', 'shell32', 'comctl32')
SIZE_LIMIT = 16 * 1024

# The releases an allow-list line may name, oldest first; "none" means no
# release of that family exports the function. The program must start on
# TARGET_WIN95 and TARGET_NT, so every function it imports must be exported
# from those releases on.
WIN95_RELEASES = ('4.00.950', 'OSR2', '98', '98SE', 'ME', 'none')
NT_RELEASES = ('3.1', '3.5', '3.51', '4.0', '5.0', '5.1', '5.2', '6.0', 'none')
TARGET_WIN95 = '4.00.950'
TARGET_NT = '4.0'

IMAGE_FILE_MACHINE_I386 = 0x014C
IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002
IMAGE_FILE_DLL = 0x2000
PE32_MAGIC, PE32PLUS_MAGIC = 0x10B, 0x20B
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
IMAGE_SCN_CNT_CODE, IMAGE_SCN_MEM_EXECUTE = 0x00000020, 0x20000000
DIR_IMPORT, DIR_RESOURCE, DIR_DELAY_IMPORT = 1, 2, 13

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24

# Words in pefile's warnings that mean it could not read part of a table.
PARSE_TROUBLE = ('error', 'damaged', 'invalid', 'excessive', 'too many', 'exceeds', "can't")

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


# --- The PE file, through pefile ---------------------------------------------

def load_pe(data):
    """The file as pefile lays it out, with its import, delay-load import and
    resource directories parsed."""
    try:
        pe = pefile.PE(data=data, fast_load=True)
        pe.parse_data_directories(directories=[
            pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_IMPORT'],
            pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT'],
            pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_RESOURCE']])
    except pefile.PEFormatError as e:
        raise FormatError(e.value)
    except Exception as e:  # pefile trips over some damaged files
        raise FormatError('pefile cannot read the file: %r' % e)
    return pe


def parse_trouble(pe, *topics):
    """pefile's warnings that it could not read a part about one of topics."""
    return [w for w in pe.get_warnings()
            if any(t in w.lower() for t in topics)
            and any(t in w.lower() for t in PARSE_TROUBLE)]


def directory(pe, index):
    """(rva, size) of a data directory; (0, 0) when the header has none."""
    dirs = pe.OPTIONAL_HEADER.DATA_DIRECTORY
    if index < len(dirs):
        return dirs[index].VirtualAddress, dirs[index].Size
    return 0, 0


def import_name(imp):
    """A function imported by name, or '#n' for one imported by ordinal.
    pefile gives some ordinals a name from its own tables; the import table
    itself still names none."""
    if imp.import_by_ordinal or imp.name is None:
        return '#%d' % imp.ordinal
    return imp.name.decode('latin-1')


def read_imports(pe):
    """[(dll, function)] in table order."""
    return [(entry.dll.decode('latin-1'), import_name(imp))
            for entry in getattr(pe, 'DIRECTORY_ENTRY_IMPORT', [])
            for imp in entry.imports]


def resource_key(entry):
    """A resource type or name: its number, or its name in upper case."""
    if entry.name is not None:
        return str(entry.name).upper()
    return entry.id


def resource_data(pe, struct_):
    try:
        data = pe.get_data(struct_.OffsetToData, struct_.Size)
    except pefile.PEFormatError:
        data = b''
    if len(data) != struct_.Size:
        raise FormatError('resource data at 0x%X runs past the end of the file'
                          % struct_.OffsetToData)
    return data


def read_resources(pe):
    """{type: {name: data}}; types and names are ints or upper-case strings.
    The first language of a name is taken."""
    root = getattr(pe, 'DIRECTORY_ENTRY_RESOURCE', None)
    if root is None:
        return {}
    tree = {}
    for rtype in root.entries:
        if not hasattr(rtype, 'directory'):
            raise FormatError('resource type %s without a directory' % resource_key(rtype))
        names = {}
        for name in rtype.directory.entries:
            leaf = name
            if hasattr(name, 'directory'):
                if not name.directory.entries:
                    raise FormatError('empty resource directory')
                leaf = name.directory.entries[0]
            if not hasattr(leaf, 'data'):
                raise FormatError('resource tree deeper than three levels')
            names[resource_key(name)] = resource_data(pe, leaf.data.struct)
        tree[resource_key(rtype)] = names
    return tree


# --- The dialog template and the icon group ------------------------------------

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


def parse_icon_group(data):
    """(type, [(width, height, colours, reserved, planes, bits, size, id)])
    of a GRPICONDIR."""
    r = Reader(data)
    _, kind, count = r.take('HHH')
    return kind, [r.take('BBBBHHIH') for _ in range(count)]


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


ALLOW_LINE = re.compile(r'([A-Za-z0-9_]+(?:\.dll)?)!([A-Za-z_][A-Za-z0-9_]*)((?:\s+\S+)*)$',
                        re.IGNORECASE)


def parse_allow_line(line):
    """((dll, function), win95 release, NT release) of one allow-list line;
    ValueError says what is wrong with it."""
    m = ALLOW_LINE.match(line)
    if not m:
        raise ValueError('not of the form "dll!function win95=RELEASE nt=RELEASE"')
    dll, function = dll_key(m.group(1)), m.group(2)
    if dll not in ALLOWED_DLLS:
        raise ValueError('%s is not one of %s' % (dll, ', '.join(ALLOWED_DLLS)))
    fields = {}
    for field in m.group(3).split():
        key, sep, value = field.partition('=')
        if not sep or key not in ('win95', 'nt'):
            raise ValueError('%r is not win95=RELEASE or nt=RELEASE' % field)
        if key in fields:
            raise ValueError('%s given twice' % key)
        fields[key] = value
    for key, releases in (('win95', WIN95_RELEASES), ('nt', NT_RELEASES)):
        if key not in fields:
            raise ValueError('no %s=RELEASE' % key)
        if fields[key] not in releases:
            raise ValueError('%s=%s is none of %s' % (key, fields[key], ', '.join(releases)))
    return (dll, function), fields['win95'], fields['nt']


def parse_allow_list(text, report):
    """{(dll, function): (win95 release, NT release)} of the readable lines."""
    allowed, first_line, bad = {}, {}, []
    for number, line in enumerate(text.splitlines(), 1):
        line = re.split(r'(?:^|\s)#', line, 1)[0].strip()
        if not line:
            continue
        try:
            key, win95, nt = parse_allow_line(line)
        except ValueError as e:
            bad.append('line %d %r: %s' % (number, line, e))
            continue
        if key in allowed:
            bad.append('line %d %r: listed before on line %d' % (number, line, first_line[key]))
            continue
        allowed[key], first_line[key] = (win95, nt), number
    report.check(not bad, 'allow-list readable', '; '.join(bad))
    return allowed


def check_size(data, report):
    size = len(data)
    print('size  %d bytes (%.1f KB)' % (size, size / 1024.0), file=report.out)
    report.check(size <= SIZE_LIMIT, 'size at most %d KB (%d bytes)' % (SIZE_LIMIT // 1024, SIZE_LIMIT),
                 '%d bytes, %d too many' % (size, size - SIZE_LIMIT))


def check_header(pe, report):
    machine = pe.FILE_HEADER.Machine
    characteristics = pe.FILE_HEADER.Characteristics
    opt = pe.OPTIONAL_HEADER
    report.check(machine == IMAGE_FILE_MACHINE_I386, 'machine i386 (0x14C)',
                 'machine is 0x%X' % machine)
    report.check(opt.Magic == PE32_MAGIC, 'PE32 optional header (0x10B)',
                 'magic is 0x%X' % opt.Magic)
    exe = (characteristics & IMAGE_FILE_EXECUTABLE_IMAGE
           and not characteristics & IMAGE_FILE_DLL)
    report.check(exe, 'executable image, not a DLL', 'characteristics 0x%04X' % characteristics)
    report.check(opt.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI, 'GUI subsystem (2)',
                 'subsystem is %d' % opt.Subsystem)
    os_version = (opt.MajorOperatingSystemVersion, opt.MinorOperatingSystemVersion)
    report.check(os_version <= (4, 0), 'OS version at most 4.0', 'OS version %d.%d' % os_version)
    subsys_version = (opt.MajorSubsystemVersion, opt.MinorSubsystemVersion)
    report.check(subsys_version <= (4, 0), 'subsystem version at most 4.0',
                 'subsystem version %d.%d' % subsys_version)
    # Windows starts the program at the entry point; 0 is the image base,
    # the MZ header, which is no code.
    entry = opt.AddressOfEntryPoint
    section = pe.get_section_by_rva(entry)
    if section is None:
        where = 'lies in no section'
    else:
        where = 'lies in %s, which is not code' % section.Name.rstrip(b'\0').decode('latin-1')
    report.check(section is not None
                 and section.Characteristics & (IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE),
                 'entry point in code', 'entry point 0x%X %s' % (entry, where))
    # A linker keeps long section names (.debug_info) in the symbol table's
    # string table and writes them as "/offset".
    debug = [s.Name.rstrip(b'\0').decode('latin-1') for s in pe.sections
             if s.Name.startswith((b'.debug', b'/'))]
    problems = []
    if pe.FILE_HEADER.PointerToSymbolTable or pe.FILE_HEADER.NumberOfSymbols:
        problems.append('%d symbols at 0x%X' % (pe.FILE_HEADER.NumberOfSymbols,
                                                pe.FILE_HEADER.PointerToSymbolTable))
    if debug:
        problems.append('debug sections ' + ', '.join(debug))
    report.check(not problems, 'stripped (no symbol table, no debug sections)', '; '.join(problems))


def check_release(report, key, win95, nt):
    what = 'import %s!%s' % key
    report.check(win95 == TARGET_WIN95, what + ' exported by Windows 95 ' + TARGET_WIN95,
                 'the allow-list gives Windows 95 release ' + win95)
    report.check(NT_RELEASES.index(nt) <= NT_RELEASES.index(TARGET_NT),
                 what + ' exported by NT ' + TARGET_NT,
                 'the allow-list gives NT release ' + nt)


def check_imports(pe, allowed, report):
    trouble = parse_trouble(pe, 'import')
    report.check(not trouble, 'import table readable', '; '.join(trouble))
    imports = read_imports(pe)
    report.check(bool(imports), 'import table present', 'the file imports nothing')
    delayed = ['%s!%s' % (dll_key(entry.dll.decode('latin-1')), import_name(imp))
               for entry in getattr(pe, 'DIRECTORY_ENTRY_DELAY_IMPORT', [])
               for imp in entry.imports]
    report.check(directory(pe, DIR_DELAY_IMPORT)[0] == 0 and not delayed, 'no delay-load imports',
                 'delay-loaded functions are resolved by the program, not the loader: '
                 + (', '.join(delayed) or 'unreadable table'))
    for dll in sorted({dll_key(d) for d, _ in imports}):
        report.check(dll in ALLOWED_DLLS, 'import DLL %s' % dll,
                     'not one of ' + ', '.join(ALLOWED_DLLS))
    for dll, function in imports:
        key = (dll_key(dll), function)
        if report.check(key in allowed, 'import %s!%s' % key, 'not on the allow-list'):
            check_release(report, key, *allowed[key])
    unused = sorted(set(allowed) - {(dll_key(d), f) for d, f in imports})
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
    try:
        kind, entries = parse_icon_group(group)
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


def read_version(pe):
    """(fixed info, {string table: {name: text}}, (language, code page) or
    None) of the version block pefile has read."""
    fixed = pe.VS_FIXEDFILEINFO[0]
    tables, translation = {}, None
    for block in pe.FileInfo[0]:
        if block.Key == b'StringFileInfo':
            for table in getattr(block, 'StringTable', []):
                tables[table.LangID.decode('utf-8', 'replace')] = {
                    k.decode('utf-8', 'replace'): v.decode('utf-8', 'replace')
                    for k, v in table.entries.items()}
        elif block.Key == b'VarFileInfo':
            for var in getattr(block, 'Var', []):
                words = getattr(var, 'entry', {}).get(b'Translation')
                if words:
                    translation = tuple(int(w, 16) for w in words.split())
    return fixed, tables, translation


def check_version(pe, resources, report):
    if not report.check(1 in resources.get(RT_VERSION, {}), 'version information present'):
        return
    # pefile keeps a block only when it could read its name and fixed part.
    blocks = len(getattr(pe, 'VS_VERSIONINFO', []))
    readable = (blocks == 1 and len(getattr(pe, 'VS_FIXEDFILEINFO', [])) == 1
                and len(getattr(pe, 'FileInfo', [])) == 1)
    if not report.check(readable, 'version information readable',
                        '; '.join(parse_trouble(pe, 'version'))
                        or '%d version blocks read' % blocks):
        return
    fixed, tables, translation = read_version(pe)
    split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    numbers = None
    if fixed.Signature == 0xFEEF04BD:
        numbers = (split(fixed.FileVersionMS, fixed.FileVersionLS),
                   split(fixed.ProductVersionMS, fixed.ProductVersionLS))
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
    report.check(translation == EXPECTED_TRANSLATION, 'translation 0x409, 1200',
                 'found 0x%X, %d' % translation if translation and len(translation) == 2
                 else 'missing')


def check_product(data, allow_text, report):
    check_size(data, report)
    allowed = parse_allow_list(allow_text, report)
    try:
        pe = load_pe(data)
    except FormatError as e:
        report.check(False, 'PE headers readable', str(e))
        return
    report.check(True, 'PE headers readable')
    check_header(pe, report)
    check_imports(pe, allowed, report)
    trouble = parse_trouble(pe, 'resource')
    try:
        resources = read_resources(pe)
    except FormatError as e:
        trouble.append(str(e))
    if not report.check(not trouble, 'resources readable', '; '.join(trouble)):
        return
    report.check(bool(resources), 'resources present', 'the file has no resources')
    check_dialog(resources.get(RT_DIALOG, {}).get(102), report)
    check_icon(resources, report)
    check_version(pe, resources, report)
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
    if pefile is None:
        print('FAIL  pefile is missing: install python3-pefile and run with ' + DEBIAN_PYTHON)
        print('product check: 0 passed, 1 failed')
        return 1
    check_product(data, allow_text, report)
    print('product check: %d passed, %d failed' % (report.passed, report.failed))
    return 1 if report.failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
