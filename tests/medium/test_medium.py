#!/usr/bin/python3
"""Reads back the CD images that tools/medium.sh writes, with pycdlib.

Windows finds the card's files on the disc without regard to case, in the
plain ISO 9660 names or, where it reads them, the Joliet names; both trees
must hold every file with the right bytes. Bad input must be refused with a
line on stderr, a failing exit, and the output path left as it was. The same
inputs must give the same bytes.

Needs build/win32/Setup.exe (make win32). Run from the checkout's root:
    python3 tests/medium/test_medium.py
"""

import io
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

DEBIAN_PYTHON = '/usr/bin/python3'
try:
    import pycdlib
except ImportError:
    # Debian's interpreter has python3-pycdlib; another python3 first on PATH
    # may not. Run once more under Debian's.
    if (os.path.exists(DEBIAN_PYTHON)
            and os.path.realpath(sys.executable) != os.path.realpath(DEBIAN_PYTHON)):
        os.execv(DEBIAN_PYTHON, [DEBIAN_PYTHON] + sys.argv)
    raise

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MEDIUM = os.path.join(ROOT, 'tools', 'medium.sh')
SETUP = os.path.join(ROOT, 'build', 'win32', 'Setup.exe')
CARD = ['Peek_B.exe', 'QSPK2.DAT', '98/v98.vxd', 'NT/vnt4.sys', 'NT/VNT.sys']


def sample_text(name):
    return ('Veltrano sample medium: %s\r\n' % name).encode()


def run(*args, cwd=None):
    environ = dict(os.environ)
    environ.pop('SOURCE_DATE_EPOCH', None)
    return subprocess.run(['bash', MEDIUM] + list(args), cwd=cwd, env=environ,
                          capture_output=True, text=True, timeout=120)


def read_disc(path):
    """Both name trees of the image: {'iso': {path: bytes}, 'joliet': ...},
    and the two volume labels."""
    iso = pycdlib.PyCdlib()
    iso.open(path)
    try:
        trees = {}
        for tree, key in (('iso', 'iso_path'), ('joliet', 'joliet_path')):
            trees[tree] = {}
            for top, _, files in iso.walk(**{key: '/'}):
                for f in files:
                    p = top.rstrip('/') + '/' + f
                    data = io.BytesIO()
                    iso.get_file_from_iso_fp(data, **{key: p})
                    trees[tree][p] = data.getvalue()
        labels = (iso.pvd.volume_identifier.decode('ascii').rstrip(),
                  iso.joliet_vd.volume_identifier.decode('utf-16-be').rstrip())
    finally:
        iso.close()
    return trees, labels


def windows_name(path):
    """A disc path as Windows compares it: no ';1' version, no dot closing a
    name without extension, any case."""
    return re.sub(r'\.?;1$', '', path).lower()


def lookup(tree, name):
    """The one file that Windows opens as \\name, or None."""
    hits = [p for p in tree if windows_name(p) == '/' + name.lower()]
    assert len(hits) <= 1, 'two files for %s: %s' % (name, hits)
    return hits[0] if hits else None


def write_files(top, files):
    for rel, data in files.items():
        path = os.path.join(top, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'wb') as f:
            f.write(data)


def maker_files(**extra):
    """A card maker's folder: the card's files in other cases, host folders
    'nt' and 'Nt' that are one folder on the disc."""
    files = {'peek_b.EXE': b'MZ maker\x00\xff', 'qspk2.dat': b'\x01\x02data',
             '98/V98.VXD': b'vxd', 'nt/Vnt4.Sys': b'nt4 driver', 'Nt/vnt.SYS': b'nt driver'}
    files.update(extra)
    return files


def setUpModule():
    if not os.path.isfile(SETUP):
        raise AssertionError('build/win32/Setup.exe is missing: run make win32 first')


class Medium(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix='medium-test-')
        self.addCleanup(shutil.rmtree, self.tmp)
        with open(SETUP, 'rb') as f:
            self.setup_exe = f.read()

    def path(self, *parts):
        return os.path.join(self.tmp, *parts)

    def build(self, *args, out='disc.iso', **kw):
        r = run(*args, '-o', self.path(out), **kw)
        self.assertEqual(r.returncode, 0, r.stderr)
        return r

    def check_common(self, trees, card_contents):
        """The card's files, Setup.exe and autorun.inf, in both trees."""
        for tree in ('iso', 'joliet'):
            for name in CARD + ['Setup.exe', 'autorun.inf']:
                p = lookup(trees[tree], name)
                # Plain ISO 9660 names are upper case; Joliet's keep the case.
                self.assertEqual(p, '/' + (name if tree == 'joliet' else name.upper() + ';1'))
                want = card_contents.get(name, self.setup_exe if name == 'Setup.exe' else None)
                if want is not None:
                    self.assertEqual(trees[tree][p], want, '%s in the %s names' % (name, tree))
            autorun = trees[tree][lookup(trees[tree], 'autorun.inf')]
            lines = autorun.split(b'\r\n')
            self.assertEqual(lines[0], b'[autorun]')
            self.assertEqual(lines[-1], b'', 'autorun.inf ends with CRLF')
            self.assertNotIn(b'\n', b''.join(lines), 'every line ends with CRLF')
            keys = dict(l.split(b'=', 1) for l in lines[1:-1])
            self.assertEqual(keys[b'open'], b'Setup.exe')
            self.assertEqual(keys[b'icon'].split(b',')[0], b'Setup.exe')

    def test_sample_medium(self):
        r = self.build()
        trees, labels = read_disc(self.path('disc.iso'))
        self.check_common(trees, {n: sample_text(n) for n in CARD})
        self.assertEqual(labels, ('VELTRANO_SAMPLE', 'VELTRANO_SAMPLE'))
        self.assertEqual(len(trees['iso']), 7)
        self.assertEqual(len(trees['joliet']), 7)
        # The printout: the image, then every file of both trees.
        lines = r.stdout.splitlines()
        self.assertEqual(lines[0], self.path('disc.iso'))
        self.assertEqual(sorted(lines[1:]), sorted(
            ['iso9660 ' + re.sub(r'\.?;1$', '', p) for p in trees['iso']]
            + ['joliet ' + p for p in trees['joliet']]))

    def test_maker_files(self):
        files = maker_files(**{'README.TXT': b'readme', 'Docs/Notes.txt': b'notes',
                               'nt/docs/x': b'x'})
        write_files(self.path('maker'), files)
        self.build('--files', self.path('maker'))
        trees, labels = read_disc(self.path('disc.iso'))
        self.check_common(trees, {
            'Peek_B.exe': files['peek_b.EXE'], 'QSPK2.DAT': files['qspk2.dat'],
            '98/v98.vxd': b'vxd', 'NT/vnt4.sys': b'nt4 driver', 'NT/VNT.sys': b'nt driver'})
        self.assertEqual(labels, ('VELTRANO', 'VELTRANO'))
        for tree in ('iso', 'joliet'):
            self.assertEqual(len(trees[tree]), 10)
        for joliet, iso, data in (('/README.TXT', '/README.TXT;1', b'readme'),
                                  ('/Docs/Notes.txt', '/DOCS/NOTES.TXT;1', b'notes'),
                                  ('/NT/docs/x', '/NT/DOCS/X.;1', b'x')):
            self.assertEqual(trees['joliet'].get(joliet), data, joliet)
            self.assertEqual(trees['iso'].get(iso), data, iso)

    # Each row: what is wrong, the folder's files (None: no folder), the
    # lines stderr must hold.
    BAD = [
        ('no folder', None, [r'medium: no folder .*/maker$']),
        ('empty folder', {}, [r'medium: .*/maker has no %s \(' % re.escape(n) for n in CARD]),
        ('one file missing', {k: v for k, v in maker_files().items() if k != 'Nt/vnt.SYS'},
         [r'medium: .*/maker has no NT/VNT\.sys \(']),
        ('one name twice', maker_files(**{'NT/VNT4.SYS': b'other'}),
         [r'medium: .*/maker/NT/VNT4\.SYS and .*/maker/nt/Vnt4\.Sys would land on one name']),
        ('readme twice', maker_files(**{'readme.txt': b'a', 'README.TXT': b'a'}),
         [r'medium: .*/maker/README\.TXT and .*/maker/readme\.txt would land on one name']),
        ('file named as a folder', maker_files(NT=b'x'),
         [r'medium: .*/maker/NT would land on the name of the folder NT']),
        ('own Setup.exe', maker_files(**{'SETUP.EXE': b'old'}),
         [r'medium: .*/maker/SETUP\.EXE: the disc\'s Setup\.exe and autorun\.inf are written']),
        ('own autorun.inf', maker_files(**{'Autorun.inf': b'[autorun]'}),
         [r'medium: .*/maker/Autorun\.inf: the disc\'s Setup\.exe']),
    ] + [
        ('not 8.3: ' + name, maker_files(**{name: b'x'}),
         [r'medium: .*/maker/%s: not a name plain ISO 9660 can hold' % re.escape(name)])
        for name in ('read-me.txt', 'readme123.txt', 'a.text', 'LongFolder/a.txt',
                     'a.b/c.txt', '.hidden', 'r\u00e9sum\u00e9.txt', 'a b.txt', 'x.')
    ]

    def test_bad_input(self):
        # An older image at the output path stays as it was, alone.
        for what, files, messages in self.BAD:
            with self.subTest(what=what):
                shutil.rmtree(self.path('maker'), ignore_errors=True)
                shutil.rmtree(self.path('out'), ignore_errors=True)
                write_files(self.path('out'), {'disc.iso': b'an older image'})
                if files is not None:
                    os.mkdir(self.path('maker'))
                    write_files(self.path('maker'), files)
                r = run('--files', self.path('maker'), '-o', self.path('out', 'disc.iso'))
                self.assertNotEqual(r.returncode, 0)
                self.assertEqual(r.stdout, '')
                lines = r.stderr.splitlines()
                self.assertEqual(len(lines), len(messages), r.stderr)
                for pattern in messages:
                    self.assertTrue(any(re.search(pattern, l) for l in lines),
                                    '%r not in %r' % (pattern, r.stderr))
                self.assertEqual(os.listdir(self.path('out')), ['disc.iso'])
                with open(self.path('out', 'disc.iso'), 'rb') as f:
                    self.assertEqual(f.read(), b'an older image')

    def test_interrupted_or_failed_write(self):
        # An xorriso that writes part of an image, then fails, or waits and
        # ends with success when interrupted: the command must stop anyway.
        write_files(self.path('bin'), {'xorriso': b'''#!/usr/bin/python3
import os, signal, sys, time
signal.signal(signal.SIGINT, lambda *_: sys.exit(0))
signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
out = sys.argv[sys.argv.index('-outdev') + 1][len('stdio:'):]
with open(out, 'wb') as f:
    f.write(bytes(65536))
if os.environ['FAKE'] == 'fail':
    sys.exit('libburn : FAILURE : no space')
open(os.environ['READY'], 'w').close()
time.sleep(60)
'''})
        os.chmod(self.path('bin', 'xorriso'), 0o755)
        ready = self.path('ready')
        for how in ('fail', signal.SIGINT, signal.SIGTERM):
            with self.subTest(how=how):
                shutil.rmtree(self.path('out'), ignore_errors=True)
                write_files(self.path('out'), {'disc.iso': b'an older image'})
                env = dict(os.environ, FAKE=str(how), READY=ready,
                           PATH=self.path('bin') + ':' + os.environ['PATH'])
                # Started as from a terminal, where Ctrl-C reaches it: a test
                # run in the background (CI) inherits SIGINT ignored, and a
                # shell cannot trap a signal ignored when it started.
                p = subprocess.Popen(['bash', MEDIUM, '-o', self.path('out', 'disc.iso')],
                                     env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     text=True, start_new_session=True,
                                     preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
                if how != 'fail':
                    deadline = time.time() + 30
                    while not os.path.exists(ready):
                        self.assertLess(time.time(), deadline, 'no image begun')
                        time.sleep(0.02)
                    os.remove(ready)
                    os.killpg(p.pid, how)
                try:
                    _, err = p.communicate(timeout=30)
                finally:
                    if p.poll() is None:
                        os.killpg(p.pid, signal.SIGKILL)
                        p.communicate()
                self.assertNotEqual(p.returncode, 0)
                if how == 'fail':
                    self.assertIn('medium: xorriso: libburn : FAILURE : no space', err)
                self.assertEqual(os.listdir(self.path('out')), ['disc.iso'])
                with open(self.path('out', 'disc.iso'), 'rb') as f:
                    self.assertEqual(f.read(), b'an older image')

    def test_same_inputs_same_bytes(self):
        write_files(self.path('maker'), maker_files(**{'README.TXT': b'readme'}))
        maker = ['--files', self.path('maker')]
        self.build(out='sample.iso')
        self.build(*maker, out='maker.iso')

        def touch_inputs():
            for top, _, names in os.walk(self.path('maker')):
                for n in names:
                    os.utime(os.path.join(top, n), (1234567890, 1234567890))

        # Each row: what differs from the first run.
        for what, args, prepare in (('a second run', [], None),
                                    ('a second run', maker, None),
                                    ('other mtimes', maker, touch_inputs)):
            with self.subTest(what=what, args=args):
                if prepare:
                    prepare()
                self.build(*args, out='again.iso')
                first = 'maker.iso' if args else 'sample.iso'
                with open(self.path(first), 'rb') as a, open(self.path('again.iso'), 'rb') as b:
                    self.assertTrue(a.read() == b.read(), '%s: %s differs' % (what, first))

    def test_paths(self):
        # A copy of the checkout's two files that matter: the default output
        # lies under its root wherever the command starts; -o and --files
        # are taken from where it starts.
        copy = self.path('checkout')
        os.makedirs(os.path.join(copy, 'tools'))
        os.makedirs(os.path.join(copy, 'build', 'win32'))
        shutil.copy(MEDIUM, os.path.join(copy, 'tools'))
        shutil.copy(SETUP, os.path.join(copy, 'build', 'win32'))
        write_files(self.path('elsewhere', 'maker'), maker_files())
        r = subprocess.run(['bash', os.path.join(copy, 'tools', 'medium.sh')],
                           cwd=self.path('elsewhere'), capture_output=True, text=True, timeout=60)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(os.path.isfile(os.path.join(copy, 'build', 'medium', 'veltrano.iso')))
        r = run('--files', 'maker', '-o', 'sub/rel.iso', cwd=self.path('elsewhere'))
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(read_disc(self.path('elsewhere', 'sub', 'rel.iso'))[1][0], 'VELTRANO')
        # An image inside the maker's folder would go onto the next disc.
        r = run('--files', 'maker', '-o', 'maker/sub/rel.iso', cwd=self.path('elsewhere'))
        self.assertNotEqual(r.returncode, 0)
        self.assertRegex(r.stderr, r'^medium: .*/maker/sub/rel\.iso lies inside .*/maker,')
        self.assertFalse(os.path.exists(self.path('elsewhere', 'maker', 'sub')))


if __name__ == '__main__':
    unittest.main()
