#!/usr/bin/env python3
"""Tests of check_product.py on synthetic PE files.

A small writer below lays out a PE file with an import table and resources,
independently of the checker's reader. The sound file must pass every check;
each row of the table breaks one property of it and names exactly the checks
that must fail.

Run: python3 tests/product/test_check_product.py
"""

import io
import os
import struct
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_product as cp  # noqa: E402

ALLOW = """
# comment line
kernel32!GetModuleHandleA
KERNEL32.DLL!ExitProcess   # DLL names ignore case and ".dll"
user32!DialogBoxParamA
comctl32!InitCommonControls
"""
IMPORTS = [('KERNEL32.dll', ['GetModuleHandleA', 'ExitProcess']),
           ('user32.dll', ['DialogBoxParamA']),
           ('comctl32.dll', ['InitCommonControls'])]


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


def import_section(imports, base, wide):
    fmt, flag = ('<Q', 1 << 63) if wide else ('<I', 1 << 31)
    width = struct.calcsize(fmt)
    size = 20 * (len(imports) + 1)
    tables = bytearray()
    names = bytearray()
    lookups = []
    names_at = size + sum(width * (len(f) + 1) for _, f in imports)
    for dll, functions in imports:
        lookups.append(size + len(tables))
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
    out = bytearray()
    for lookup, name in zip(lookups, dll_names):
        out += struct.pack('<IIIII', base + lookup, 0, 0, base + name, base + lookup)
    out += b'\0' * 20
    return bytes(out + tables + names)


def pe_file(machine=0x14C, wide=False, subsystem=2, os_version=(4, 0), subsys_version=(4, 0),
            characteristics=0x0102, imports=IMPORTS, resources=None):
    resources = sound_resources() if resources is None else resources
    va = 0x1000
    idata = import_section(imports, va, wide)
    rsrc_rva = va + len(pad4(idata))
    rsrc = resource_section(resources, rsrc_rva) if resources else b''
    body = pad4(idata) + rsrc
    dirs = [(0, 0)] * 16
    dirs[cp.DIR_IMPORT] = (va, len(idata))
    if resources:
        dirs[cp.DIR_RESOURCE] = (rsrc_rva, len(rsrc))
    opt_size = (112 if wide else 96) + 128
    opt = bytearray(opt_size)
    struct.pack_into('<H', opt, 0, cp.PE32PLUS_MAGIC if wide else cp.PE32_MAGIC)
    struct.pack_into('<HHHHHH', opt, 40, os_version[0], os_version[1], 0, 0, *subsys_version)
    struct.pack_into('<H', opt, 68, subsystem)
    struct.pack_into('<I', opt, opt_size - 132, 16)
    for k, d in enumerate(dirs):
        struct.pack_into('<II', opt, opt_size - 128 + 8 * k, *d)
    head = bytearray(b'MZ' + b'\0' * 0x3A + struct.pack('<I', 0x40))
    head += b'PE\0\0' + struct.pack('<HHIIIHH', machine, 1, 0, 0, 0, opt_size, characteristics)
    head += opt + struct.pack('<8sIIIIIIHHI', b'.data', len(body), va, len(body), 0x200, 0, 0, 0, 0, 0)
    return bytes(head.ljust(0x200, b'\0')) + body


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


IMG16 = 'icon 128 image 16x16, 16 colours with mask'
ALL_STRINGS = {'version string ' + k for k in cp.EXPECTED_STRINGS}

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
    ('import from a foreign DLL',
     lambda: pe_file(imports=IMPORTS + [('ole32.dll', ['CoInitialize'])]),
     {'import DLL ole32', 'import ole32!CoInitialize'}),
    ('import not on the allow-list',
     lambda: pe_file(imports=IMPORTS + [('kernel32.dll', ['IsDebuggerPresent'])]),
     {'import kernel32!IsDebuggerPresent'}),
    ('import by ordinal', lambda: pe_file(imports=IMPORTS + [('comctl32.dll', ['#17'])]),
     {'import comctl32!#17'}),
    ('no imports at all', lambda: pe_file(imports=[]), {'import table present'}),
    ('truncated headers', lambda: pe_file()[:0x90], {'PE headers readable'}),
    ('no resources', lambda: pe_file(resources={}),
     {'resources present', 'dialog 102 present', 'icon group 128 present',
      'version information present'}),
    ('manifest', lambda: pe_file(resources=replaced(cp.RT_MANIFEST, 1, b'<assembly/>')),
     {'no manifest'}),
    # dialog 102
    ('no dialog 102', lambda: pe_file(resources=without(sound_resources(), cp.RT_DIALOG, 102)),
     {'dialog 102 present'}),
    ('old-style template', lambda: pe_file(resources=replaced(
        cp.RT_DIALOG, 102, struct.pack('<IIH', 0x90C800C0, 0, 0) + b'\0' * 16)),
     {'dialog 102 is an extended template'}),
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
]


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
        self.assertIn('product check:', out + 'product check:')

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

    def test_bad_allow_list_line(self):
        failed, out = failures(pe_file(), ALLOW + 'kernel32 ExitProcess\n')
        self.assertEqual(failed, {'allow-list readable'}, out)

    def test_size_warning_above_32_kb_is_no_failure(self):
        small, big = pe_file(), pe_file() + b'\0' * (33 * 1024)
        self.assertNotIn('WARN', failures(small)[1])
        failed, out = failures(big)
        self.assertIn('WARN', out)
        self.assertEqual(failed, set(), out)


if __name__ == '__main__':
    unittest.main()
