#!/usr/bin/python3
"""Tests of check_product.py on synthetic PE files.

A small writer below lays out a PE file with an import table, a delay-load
import table and resources, independently of pefile, which the checker
reads them with. The sound file must pass every check; each row of the
tables breaks one property of it, or of the allow-list, and names exactly
the checks that must fail. The reviewed tests/product/imports.allow itself
must be readable, and refuse its examples of functions the first Windows 95
or NT 4.0 do not export.

Run: /usr/bin/python3 tests/product/test_check_product.py
"""

import io
import os
import struct
import sys
import unittest

DEBIAN_PYTHON = '/usr/bin/python3'
try:
    import pefile  # noqa: F401
except ImportError:
    # The checker needs Debian's python3-pefile; a python3 first on PATH may
    # not see it. Run once more under Debian's interpreter.
    if (os.path.exists(DEBIAN_PYTHON)
            and os.path.realpath(sys.executable) != os.path.realpath(DEBIAN_PYTHON)):
        os.execv(DEBIAN_PYTHON, [DEBIAN_PYTHON] + sys.argv)
    raise

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_product as cp  # noqa: E402

REVIEWED_LIST = os.path.join(HERE, 'imports.allow')

ALLOW = """
# comment line
kernel32!GetModuleHandleA  win95=4.00.950  nt=3.1
KERNEL32.DLL!ExitProcess   nt=3.1  win95=4.00.950   # DLL names ignore case and ".dll"
user32!DialogBoxParamA     win95=4.00.950  nt=3.1
comctl32!InitCommonControls win95=4.00.950 nt=3.51
shell32!SHGetMalloc        win95=4.00.950  nt=4.0
kernel32!GetFileAttributesExA win95=98     nt=4.0
kernel32!CreateToolhelp32Snapshot win95=4.00.950 nt=5.0
kernel32!GetLongPathNameA  win95=98        nt=5.0
kernel32!GetDiskFreeSpaceExA win95=OSR2    nt=4.0
user32!SetLayeredWindowAttributes win95=none nt=5.0
"""
IMPORTS = [('KERNEL32.dll', ['GetModuleHandleA', 'ExitProcess']),
           ('user32.dll', ['DialogBoxParamA']),
           ('comctl32.dll', ['InitCommonControls']),
           ('shell32.dll', ['SHGetMalloc'])]


# --- Writers -------------------------------------------------------------------

def wstr(text):
    return (text + '\0').encode('utf-16-le')


def name_or_ordinal(value):
    if value == '':
        return b'\0\0'
    if isinstance(value, int):
        return struct.pack('<HH', 0xFFFF, value)
    return wstr(value)


def pad4(data):
    return data + b'\0' * (-len(data) % 4)


def align(n, to):
    return (n + to - 1) // to * to


def dialog(head=None, controls=None):
    h = dict(cp.EXPECTED_DIALOG, **(head or {}))
    rows = controls if controls is not None else [
        dict(zip(cp.CONTROL_FIELDS, row)) for row in cp.EXPECTED_CONTROLS]
    out = struct.pack('<HHIIIHhhhh', h['version'], h['signature'], h['helpId'],
                      h['exStyle'], h['style'], len(rows), h['x'], h['y'], h['cx'], h['cy'])
    out += name_or_ordinal(h['menu']) + name_or_ordinal(h['class']) + wstr(h['title'])
    out += struct.pack('<HHBB', h['pointSize'], h['weight'], h['italic'], h['charset'])
    out += wstr(h['typeface'])
    for c in rows:
        out = pad4(out)
        out += struct.pack('<IIIhhhhi', 0, c.get('exStyle', 0), c['style'],
                           c['x'], c['y'], c['cx'], c['cy'], c['id'])
        out += name_or_ordinal(c['class']) + name_or_ordinal(c['title']) + b'\0\0'
    return out


def control_rows(**changes):
    """The expected controls, with {index: {field: value}} changes."""
    rows = [dict(zip(cp.CONTROL_FIELDS, row)) for row in cp.EXPECTED_CONTROLS]
    for index, fields in changes.items():
        rows[int(index[1:])].update(fields)
    return rows


def icon_image(size, bits=4, with_mask=True):
    stride = lambda bpp: (size * bpp + 31) // 32 * 4
    body = b'\x11' * (stride(bits) * size) + (b'\0' * (stride(1) * size) if with_mask else b'')
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, len(body), 0, 0, 0, 0)
    return header + b'\0' * (4 << bits) + body


def icon_group(images, colours=16, bits=4, size_error=0):
    """images: [(icon id, size, image bytes)]"""
    out = struct.pack('<HHH', 0, 1, len(images))
    for icon_id, size, image in images:
        out += struct.pack('<BBBBHHIH', size, size, colours, 0, 1, bits,
                           len(image) + size_error, icon_id)
    return out


def version_node(key, value=b'', children=(), text=False):
    """One node; a text value is given as str, its length counted in
    characters as the Windows resource compiler writes it."""
    raw = wstr(value) if isinstance(value, str) else value
    length = len(raw) // 2 if text else len(raw)
    body = pad4(struct.pack('<HHH', 0, length, 1 if text else 0) + wstr(key)) + raw
    for child in children:
        body = pad4(body) + child
    return struct.pack('<H', len(body)) + body[2:]


def version(strings=None, tables=('040904B0',), numbers=(1, 0, 0, 1), translation=(0x409, 1200)):
    strings = cp.EXPECTED_STRINGS if strings is None else strings
    ms, ls = numbers[0] << 16 | numbers[1], numbers[2] << 16 | numbers[3]
    fixed = struct.pack('<13I', 0xFEEF04BD, 0x10000, ms, ls, ms, ls, 0x3F, 0, 4, 1, 0, 0, 0)
    entries = [version_node(k, v, text=True) for k, v in strings.items()]
    return version_node('VS_VERSION_INFO', fixed, [
        version_node('StringFileInfo', children=[
            version_node(table, children=entries) for table in tables], text=True),
        version_node('VarFileInfo', children=[
            version_node('Translation', struct.pack('<HH', *translation))], text=True)])


def sound_resources():
    return {
        cp.RT_DIALOG: {102: dialog()},
        cp.RT_ICON: {1: icon_image(32), 2: icon_image(16)},
        cp.RT_GROUP_ICON: {128: icon_group([(1, 32, icon_image(32)), (2, 16, icon_image(16))])},
        cp.RT_VERSION: {1: version()},
    }


def resource_section(tree, base):
    """The .rsrc layout: directories, then data entries, then the data."""
    dirs, entries, blobs = bytearray(), bytearray(), bytearray()

    def directory(items):
        return 16 + 8 * len(items)
    # Sizes first, so that every offset is known when writing.
    size = directory(tree) + sum(directory(names) + sum(directory([0]) for _ in names)
                                 for names in tree.values())
    leaves = [(t, n) for t in sorted(tree) for n in sorted(tree[t])]
    entry_at = {leaf: size + 16 * k for k, leaf in enumerate(leaves)}
    data_at, pos = {}, size + 16 * len(leaves)
    for t, n in leaves:
        data_at[(t, n)] = pos
        blobs += pad4(tree[t][n])
        pos += len(pad4(tree[t][n]))

    def write(items):
        dirs.extend(struct.pack('<IIHHHH', 0, 0, 0, 0, 0, len(items)))
        for key, target in items:
            dirs.extend(struct.pack('<II', key, target))
    cursor = directory(tree)
    type_items, name_dirs, lang_dirs = [], [], []
    for t in sorted(tree):
        type_items.append((t, 0x80000000 | cursor))
        cursor += directory(tree[t])
    for t in sorted(tree):
        items = []
        for n in sorted(tree[t]):
            items.append((n, 0x80000000 | cursor))
            lang_dirs.append([(0x409, entry_at[(t, n)])])
            cursor += directory([0])
        name_dirs.append(items)
    write(type_items)
    for items in name_dirs:
        write(items)
    for items in lang_dirs:
        write(items)
    for t, n in leaves:
        entries.extend(struct.pack('<IIII', base + data_at[(t, n)], len(tree[t][n]), 0, 0))
    return bytes(dirs + entries + blobs)


def thunk_tables(imports, base, start, wide):
    """Lookup tables and names of imports, laid out from offset start:
    (bytes, [offset of each DLL's table], [offset of each DLL's name])."""
    fmt, flag = ('<Q', 1 << 63) if wide else ('<I', 1 << 31)
    width = struct.calcsize(fmt)
    tables, names, lookups = bytearray(), bytearray(), []
    names_at = start + sum(width * (len(f) + 1) for _, f in imports)
    for _, functions in imports:
        lookups.append(start + len(tables))
        for f in functions:
            if f.startswith('#'):
                tables += struct.pack(fmt, flag | int(f[1:]))
            else:
                tables += struct.pack(fmt, base + names_at + len(names))
                names += pad4(b'\0\0' + f.encode() + b'\0')
        tables += struct.pack(fmt, 0)
    dll_names = []
    for dll, _ in imports:
        dll_names.append(names_at + len(names))
        names += pad4(dll.encode() + b'\0')
    return bytes(tables + names), lookups, dll_names


def import_section(imports, base, wide):
    """Import descriptors, then lookup tables (also the address tables) and
    names."""
    start = 20 * (len(imports) + 1)
    tables, lookups, dll_names = thunk_tables(imports, base, start, wide)
    out = bytearray()
    for lookup, name in zip(lookups, dll_names):
        out += struct.pack('<IIIII', base + lookup, 0, 0, base + name, base + lookup)
    out += b'\0' * 20
    return bytes(out + tables)


def delay_import_section(imports, base, wide):
    """Delay-load descriptors (addresses as RVAs), module handle slots, then
    name tables (also the address tables) and names."""
    handles = 32 * (len(imports) + 1)
    start = handles + 4 * len(imports)
    tables, lookups, dll_names = thunk_tables(imports, base, start, wide)
    out = bytearray()
    for k, (lookup, name) in enumerate(zip(lookups, dll_names)):
        out += struct.pack('<8I', 1, base + name, base + handles + 4 * k,
                           base + lookup, base + lookup, 0, 0, 0)
    out += b'\0' * 32 + b'\0' * (4 * len(imports))
    return bytes(out + tables)


def pe_file(machine=0x14C, wide=False, subsystem=2, os_version=(4, 0), subsys_version=(4, 0),
            characteristics=0x0102, imports=IMPORTS, delay_imports=(), resources=None,
            symbols=0, extra_sections=(), size=None, entry=0x1000, code=True):
    """A PE file: one section with the tables (marked as code unless code is
    false, and holding the entry point), then extra_sections (names of empty
    sections); padded at the end to size bytes when size is given."""
    resources = sound_resources() if resources is None else resources
    va, file_align, section_align = 0x1000, 0x200, 0x1000
    dirs = [(0, 0)] * 16
    body = b''
    if imports:
        idata = import_section(imports, va, wide)
        dirs[cp.DIR_IMPORT] = (va, len(idata))
        body = pad4(idata)
    if delay_imports:
        ddata = delay_import_section(delay_imports, va + len(body), wide)
        dirs[cp.DIR_DELAY_IMPORT] = (va + len(body), len(ddata))
        body += pad4(ddata)
    if resources:
        rsrc = resource_section(resources, va + len(body))
        dirs[cp.DIR_RESOURCE] = (va + len(body), len(rsrc))
        body += rsrc
    sections = [(b'.data', body)] + [(name.encode(), b'\0' * 16) for name in extra_sections]
    opt_size = (112 if wide else 96) + 128
    headers_size = align(0x40 + 4 + 20 + opt_size + 40 * len(sections), file_align)
    table, raw, section_va, raw_at = b'', b'', va, headers_size
    for k, (name, data) in enumerate(sections):
        raw_size = align(len(data), file_align)
        flags = 0xE0000060 if code and k == 0 else 0xC0000040
        table += struct.pack('<8sIIIIIIHHI', name, len(data), section_va, raw_size, raw_at,
                             0, 0, 0, 0, flags)
        raw += data.ljust(raw_size, b'\0')
        section_va += align(len(data), section_align)
        raw_at += raw_size
    opt = bytearray(opt_size)
    struct.pack_into('<H', opt, 0, cp.PE32PLUS_MAGIC if wide else cp.PE32_MAGIC)
    struct.pack_into('<I', opt, 16, entry)
    if wide:
        struct.pack_into('<Q', opt, 24, 0x140000000)            # image base
    else:
        struct.pack_into('<I', opt, 28, 0x400000)
    struct.pack_into('<II', opt, 32, section_align, file_align)
    struct.pack_into('<HHHHHH', opt, 40, os_version[0], os_version[1], 0, 0, *subsys_version)
    struct.pack_into('<II', opt, 56, section_va, headers_size)  # image size, header size
    struct.pack_into('<H', opt, 68, subsystem)
    struct.pack_into('<I', opt, opt_size - 132, 16)
    for k, d in enumerate(dirs):
        struct.pack_into('<II', opt, opt_size - 128 + 8 * k, *d)
    head = bytearray(b'MZ' + b'\0' * 0x3A + struct.pack('<I', 0x40))
    head += b'PE\0\0' + struct.pack('<HHIIIHH', machine, len(sections), 0,
                                    raw_at if symbols else 0, symbols, opt_size, characteristics)
    head += opt + table
    data = bytes(head.ljust(headers_size, b'\0')) + raw
    return data if size is None else data.ljust(size, b'\0')


def patched(data, at, fmt, *values):
    """data with values packed at offset at."""
    data = bytearray(data)
    struct.pack_into(fmt, data, at, *values)
    return bytes(data)


# Offsets in a PE32 file from pe_file(): its data directories, and the
# import descriptors that open its first section.
DIRS_AT = 0x40 + 4 + 20 + 96
DESCRIPTORS_AT = 0x200


def failures(data, allow=ALLOW):
    report = cp.Report(out=io.StringIO())
    cp.check_product(data, allow, report)
    return set(report.failures), report.out.getvalue()


def without(tree, rtype, name=None):
    tree = {t: dict(names) for t, names in tree.items()}
    if name is None:
        del tree[rtype]
    else:
        del tree[rtype][name]
    return tree


def replaced(rtype, name, data, *more):
    """The sound resources with one or more (type, name, data) replaced."""
    tree = sound_resources()
    changes = (rtype, name, data) + more
    for k in range(0, len(changes), 3):
        tree.setdefault(changes[k], {})[changes[k + 1]] = changes[k + 2]
    return tree


def ctl(n, id_):
    return 'dialog 102 control %d (id %d)' % (n, id_)


def in_win95(key):
    return 'import %s exported by Windows 95 4.00.950' % key


def in_nt4(key):
    return 'import %s exported by NT 4.0' % key


IMG16 = 'icon 128 image 16x16, 16 colours with mask'
ALL_STRINGS = {'version string ' + k for k in cp.EXPECTED_STRINGS}
STRIPPED = 'stripped (no symbol table, no debug sections)'
SIZE = 'size at most 16 KB (16384 bytes)'

# name, the broken file, the checks that must fail
BROKEN = [
    ('PE32+ for x64', lambda: pe_file(machine=0x8664, wide=True),
     {'machine i386 (0x14C)', 'PE32 optional header (0x10B)'}),
    ('console program', lambda: pe_file(subsystem=3), {'GUI subsystem (2)'}),
    ('DLL', lambda: pe_file(characteristics=0x2102), {'executable image, not a DLL'}),
    ('OS version 5.0', lambda: pe_file(os_version=(5, 0)), {'OS version at most 4.0'}),
    ('OS version 4.10', lambda: pe_file(os_version=(4, 10)), {'OS version at most 4.0'}),
    ('subsystem version 4.10', lambda: pe_file(subsys_version=(4, 10)),
     {'subsystem version at most 4.0'}),
    ('no entry point', lambda: pe_file(entry=0), {'entry point in code'}),
    ('entry point outside the image', lambda: pe_file(entry=0x90000), {'entry point in code'}),
    ('entry point in data', lambda: pe_file(code=False), {'entry point in code'}),
    ('symbol table left in', lambda: pe_file(symbols=12), {STRIPPED}),
    ('debug section', lambda: pe_file(extra_sections=['.debug_info']), {STRIPPED}),
    ('section with a long name from the symbols', lambda: pe_file(extra_sections=['/4']),
     {STRIPPED}),
    ('one byte over 16 KB', lambda: pe_file(size=16385), {SIZE}),
    ('32 KB', lambda: pe_file(size=32 * 1024), {SIZE}),
    # imports
    ('import from the C runtime', lambda: pe_file(imports=IMPORTS + [('msvcrt.dll', ['strlen'])]),
     {'import DLL msvcrt', 'import msvcrt!strlen'}),
    ('import from an older C runtime',
     lambda: pe_file(imports=IMPORTS + [('CRTDLL.DLL', ['strlen'])]),
     {'import DLL crtdll', 'import crtdll!strlen'}),
    ('import from a foreign DLL',
     lambda: pe_file(imports=IMPORTS + [('ole32.dll', ['CoInitialize'])]),
     {'import DLL ole32', 'import ole32!CoInitialize'}),
    ('import not on the allow-list',
     lambda: pe_file(imports=IMPORTS + [('kernel32.dll', ['IsDebuggerPresent'])]),
     {'import kernel32!IsDebuggerPresent'}),
    ('listed import from Windows 98 on',
     lambda: pe_file(imports=IMPORTS + [('kernel32.dll', ['GetFileAttributesExA'])]),
     {in_win95('kernel32!GetFileAttributesExA')}),
    ('listed import from Windows 95 OSR2 on',
     lambda: pe_file(imports=IMPORTS + [('kernel32.dll', ['GetDiskFreeSpaceExA'])]),
     {in_win95('kernel32!GetDiskFreeSpaceExA')}),
    ('listed import from NT 5.0 on',
     lambda: pe_file(imports=IMPORTS + [('kernel32.dll', ['CreateToolhelp32Snapshot'])]),
     {in_nt4('kernel32!CreateToolhelp32Snapshot')}),
    ('listed import neither has',
     lambda: pe_file(imports=IMPORTS + [('kernel32.dll', ['GetLongPathNameA']),
                                        ('user32.dll', ['SetLayeredWindowAttributes'])]),
     {in_win95('kernel32!GetLongPathNameA'), in_nt4('kernel32!GetLongPathNameA'),
      in_win95('user32!SetLayeredWindowAttributes'), in_nt4('user32!SetLayeredWindowAttributes')}),
    ('import by ordinal', lambda: pe_file(imports=IMPORTS + [('comctl32.dll', ['#17'])]),
     {'import comctl32!#17'}),
    ('import by ordinal pefile knows a name for',
     lambda: pe_file(imports=IMPORTS + [('oleaut32.dll', ['#2'])]),
     {'import DLL oleaut32', 'import oleaut32!#2'}),
    ('no imports at all', lambda: pe_file(imports=[]), {'import table present'}),
    ('import directory outside the image',
     lambda: patched(pe_file(), DIRS_AT + 8 * cp.DIR_IMPORT, '<I', 0x50000),
     {'import table readable', 'import table present'}),
    ('lookup tables of a DLL outside the image',
     lambda: patched(patched(pe_file(), DESCRIPTORS_AT, '<I', 0x90000),
                     DESCRIPTORS_AT + 16, '<I', 0x90000),
     {'import table readable'}),
    ('delay-load import of a listed function',
     lambda: pe_file(delay_imports=[('kernel32.dll', ['GetModuleHandleA'])]),
     {'no delay-load imports'}),
    ('truncated headers', lambda: pe_file()[:0x90], {'PE headers readable'}),
    ('no resources', lambda: pe_file(resources={}),
     {'resources present', 'dialog 102 present', 'icon group 128 present',
      'version information present'}),
    ('resource directory outside the image',
     lambda: patched(pe_file(), DIRS_AT + 8 * cp.DIR_RESOURCE, '<I', 0x50000),
     {'resources readable'}),
    ('manifest', lambda: pe_file(resources=replaced(cp.RT_MANIFEST, 1, b'<assembly/>')),
     {'no manifest'}),
    # dialog 102
    ('no dialog 102', lambda: pe_file(resources=without(sound_resources(), cp.RT_DIALOG, 102)),
     {'dialog 102 present'}),
    ('old-style template', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, struct.pack('<IIH', 0x90C800C0, 0, 0) + b'\0' * 16)),
     {'dialog 102 is an extended template'}),
    ('template cut short', lambda: pe_file(resources=replaced(cp.RT_DIALOG, 102, dialog()[:60])),
     {'dialog 102 readable'}),
    ('minimize box', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, dialog({'style': 0x90CA00C0}))), {'dialog 102 frame'}),
    ('no taskbar button', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, dialog({'exStyle': 0}))), {'dialog 102 frame'}),
    ('other caption', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, dialog({'title': 'Setup1'}))), {'dialog 102 frame'}),
    ('font weight 400', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, dialog({'weight': 400}))), {'dialog 102 font'}),
    ('ANSI character set', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, dialog({'charset': 0}))), {'dialog 102 font'}),
    ('radio button with a tab stop', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, dialog(controls=control_rows(c2={'style': 0x50010009})))),
     {ctl(3, 1004)}),
    ('static text starts a group', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, dialog(controls=control_rows(c6={'style': 0x50020000})))),
     {ctl(7, -1)}),
    ('edit with a border', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, dialog(controls=control_rows(c9={'style': 0x50810881})))),
     {ctl(10, 1010)}),
    ('class as a name, not the ordinal', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, dialog(controls=control_rows(c0={'class': 'BUTTON'})))),
     {ctl(1, 1000)}),
    ('icon control shows another icon', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, dialog(controls=control_rows(c5={'title': 129})))),
     {ctl(6, -1)}),
    ('other text', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, dialog(controls=control_rows(c3={'title': 'Next >'})))),
     {ctl(4, 1008)}),
    ('other height', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, dialog(controls=control_rows(c3={'cy': 19})))),
     {ctl(4, 1008)}),
    ('two controls swapped', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, dialog(controls=[control_rows()[k] for k in (0, 1, 3, 2) + tuple(range(4, 12))]))),
     {ctl(3, 1004), ctl(4, 1008)}),
    ('last control missing', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, dialog(controls=control_rows()[:11]))),
     {'dialog 102 control count', ctl(12, 1012)}),
    # icon 128
    ('no icon group', lambda: pe_file(resources=without(sound_resources(), cp.RT_GROUP_ICON)),
     {'icon group 128 present'}),
    ('icon group cut short', lambda: pe_file(resources=replaced(cp.RT_GROUP_ICON, 128, icon_group(
        [(1, 32, icon_image(32)), (2, 16, icon_image(16))])[:20])),
     {'icon group 128 readable'}),
    ('third image 48x48', lambda: pe_file(resources=replaced(cp.RT_GROUP_ICON, 128, icon_group(
        [(1, 32, icon_image(32)), (2, 16, icon_image(16)), (3, 48, icon_image(48))]))),
     {'icon group 128 holds 32x32 and 16x16', 'icon 128 image 48x48, 16 colours with mask'}),
    ('only the 32x32 image', lambda: pe_file(resources=replaced(
        cp.RT_GROUP_ICON, 128, icon_group([(1, 32, icon_image(32))]))),
     {'icon group 128 holds 32x32 and 16x16'}),
    ('group entry says 256 colours', lambda: pe_file(resources=replaced(cp.RT_GROUP_ICON, 128, icon_group(
        [(1, 32, icon_image(32)), (2, 16, icon_image(16))], colours=0, bits=8))),
     {'icon 128 image 32x32, 16 colours with mask', IMG16}),
    ('16x16 image of 256 colours', lambda: pe_file(resources=replaced(cp.RT_ICON, 2, icon_image(16, bits=8))),
     {IMG16}),
    ('group entry says 8 bits', lambda: pe_file(resources=replaced(cp.RT_GROUP_ICON, 128, icon_group(
        [(1, 32, icon_image(32)), (2, 16, icon_image(16))], bits=8))),
     {'icon 128 image 32x32, 16 colours with mask', IMG16}),
    ('16x16 image without its mask', lambda: pe_file(resources=replaced(
        cp.RT_ICON, 2, icon_image(16, with_mask=False), cp.RT_GROUP_ICON, 128, icon_group(
            [(1, 32, icon_image(32)), (2, 16, icon_image(16, with_mask=False))]))), {IMG16}),
    ('group entry gives the wrong size', lambda: pe_file(resources=replaced(cp.RT_GROUP_ICON, 128, icon_group(
        [(1, 32, icon_image(32)), (2, 16, icon_image(16))], size_error=4))),
     {'icon 128 image 32x32, 16 colours with mask', IMG16}),
    ('16x16 image missing', lambda: pe_file(resources=without(sound_resources(), cp.RT_ICON, 2)),
     {IMG16}),
    # version information
    ('no version information', lambda: pe_file(resources=without(sound_resources(), cp.RT_VERSION)),
     {'version information present'}),
    ('version block without its name', lambda: pe_file(resources=replaced(
        cp.RT_VERSION, 1, version().replace(wstr('VS_VERSION_INFO'), wstr('VS_VERSION_INFX')))),
     {'version information readable'}),
    ('file version 1.0.0.2', lambda: pe_file(resources=replaced(
        cp.RT_VERSION, 1, version(numbers=(1, 0, 0, 2)))), {'file and product version 1.0.0.1'}),
    ('product name changed', lambda: pe_file(resources=replaced(cp.RT_VERSION, 1, version(
        dict(cp.EXPECTED_STRINGS, ProductName='Setup')))), {'version string ProductName'}),
    ('company name missing', lambda: pe_file(resources=replaced(cp.RT_VERSION, 1, version(
        {k: v for k, v in cp.EXPECTED_STRINGS.items() if k != 'CompanyName'}))),
     {'version string CompanyName'}),
    ('copyright added', lambda: pe_file(resources=replaced(cp.RT_VERSION, 1, version(
        dict(cp.EXPECTED_STRINGS, LegalCopyright='(C)')))), {'no other version strings'}),
    ('German string table', lambda: pe_file(resources=replaced(
        cp.RT_VERSION, 1, version(tables=['040704B0']))),
     {'one string table 040904B0'} | ALL_STRINGS),
    ('a second string table', lambda: pe_file(resources=replaced(
        cp.RT_VERSION, 1, version(tables=['040904B0', '040704B0']))),
     {'one string table 040904B0'}),
    ('ANSI code page', lambda: pe_file(resources=replaced(
        cp.RT_VERSION, 1, version(translation=(0x409, 1252)))), {'translation 0x409, 1200'}),
]

# Variants that other tools write and Windows reads the same way.
ACCEPTED = [
    ('progress class in capitals', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, dialog(controls=control_rows(c8={'class': 'MSCTLS_PROGRESS32'}))))),
    ('DLL names in capitals', lambda: pe_file(imports=[('KERNEL32.DLL', ['ExitProcess'])])),
    ('text lengths counted in bytes', lambda: pe_file(resources=replaced(
        cp.RT_VERSION, 1, version_bytes_counted()))),
    ('exactly 16 KB', lambda: pe_file(size=16 * 1024)),
]

# Allow-list lines the checker must refuse as unreadable, whatever the
# file imports; appended to the sound list.
MALFORMED = [
    'kernel32 GetTickCount win95=4.00.950 nt=3.1',
    'kernel32!GetTickCount',
    'kernel32!GetTickCount win95=4.00.950',
    'kernel32!GetTickCount nt=3.1',
    'kernel32!GetTickCount win95=4.00.950 nt=3.1 nt=3.1',
    'kernel32!GetTickCount win95=4.00.950 nt=3.1 extra',
    'kernel32!GetTickCount win95:4.00.950 nt=3.1',
    'kernel32!GetTickCount win95=4.00.950 nt=3.1 win98=none',
    'kernel32!GetTickCount win95=4.00.951 nt=3.1',
    'kernel32!GetTickCount win95=4.00.950 nt=4',
    'kernel32!GetTickCount win95=4.00.950 nt=NT4',
    'kernel32!Get Tick Count win95=4.00.950 nt=3.1',
    'msvcrt!strlen win95=4.00.950 nt=3.1',
    'kernel32!GetModuleHandleA win95=4.00.950 nt=3.1',   # listed twice
]

# The examples of the reviewed list that the check must refuse, and how.
REFUSED_EXAMPLES = {
    ('kernel32.dll', 'GetFileAttributesExA'): {in_win95('kernel32!GetFileAttributesExA')},
    ('kernel32.dll', 'CreateToolhelp32Snapshot'): {in_nt4('kernel32!CreateToolhelp32Snapshot')},
    ('kernel32.dll', 'GetLongPathNameA'): {in_win95('kernel32!GetLongPathNameA'),
                                           in_nt4('kernel32!GetLongPathNameA')},
    ('comctl32.dll', 'InitCommonControlsEx'): {in_win95('comctl32!InitCommonControlsEx'),
                                               in_nt4('comctl32!InitCommonControlsEx')},
}


def version_bytes_counted():
    # The same block with every text length doubled, as some compilers write it.
    data = bytearray(version())
    for name, text in cp.EXPECTED_STRINGS.items():
        at = data.find(wstr(name)) - 6
        struct.pack_into('<H', data, at + 2, 2 * (len(text) + 1))
    return bytes(data)


class CheckProductTest(unittest.TestCase):
    def test_sound_file_passes(self):
        failed, out = failures(pe_file())
        self.assertEqual(failed, set(), out)
        self.assertIn('size  ', out)

    def test_broken_files_fail_exactly_their_checks(self):
        for name, build, expected in BROKEN:
            with self.subTest(name):
                failed, out = failures(build())
                self.assertEqual(failed, expected, out)

    def test_accepted_variants_pass(self):
        for name, build in ACCEPTED:
            with self.subTest(name):
                failed, out = failures(build())
                self.assertEqual(failed, set(), out)

    def test_malformed_allow_lines_fail(self):
        for line in MALFORMED:
            with self.subTest(line):
                failed, out = failures(pe_file(), ALLOW + line + '\n')
                self.assertEqual(failed, {'allow-list readable'}, out)

    def test_malformed_line_allows_nothing(self):
        allow = ALLOW.replace('kernel32!GetModuleHandleA  win95=4.00.950  nt=3.1',
                              'kernel32!GetModuleHandleA  win95=4.00.950')
        failed, out = failures(pe_file(), allow)
        self.assertEqual(failed, {'allow-list readable', 'import kernel32!GetModuleHandleA'}, out)


class ReviewedListTest(unittest.TestCase):
    """tests/product/imports.allow as the product is checked with it."""

    def setUp(self):
        with open(REVIEWED_LIST, encoding='utf-8') as f:
            self.text = f.read()
        report = cp.Report(out=io.StringIO())
        self.listed = cp.parse_allow_list(self.text, report)
        self.assertEqual(report.failures, [], report.out.getvalue())

    def test_every_entry_but_the_refused_examples_passes(self):
        keep = [(dll + '.dll', f) for dll, f in self.listed
                if (dll + '.dll', f) not in REFUSED_EXAMPLES]
        by_dll = {}
        for dll, f in keep:
            by_dll.setdefault(dll, []).append(f)
        failed, out = failures(pe_file(imports=sorted(by_dll.items())), self.text)
        self.assertEqual(failed, set(), out)

    def test_refused_examples_fail(self):
        for (dll, function), expected in REFUSED_EXAMPLES.items():
            with self.subTest(function):
                self.assertIn((dll[:-4], function), self.listed)
                failed, out = failures(pe_file(imports=IMPORTS + [(dll, [function])]), self.text)
                self.assertEqual(failed, expected, out)


if __name__ == '__main__':
    unittest.main()
