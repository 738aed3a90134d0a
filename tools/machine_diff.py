#!/usr/bin/env python3
"""Snapshots of an emulated Windows machine (a Wine prefix) and what changed
between two of them: files on C: and D: (and the medium E:), registry keys
and values of HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER, and system.ini
lines. The bench compares this report whole with its expected one, and
the run command prints it.
"""
import hashlib
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import machine_state  # noqa: E402

# What changes on every run whatever the program does: the restart
# detector's flag and the console settings of its cmd.exe, and what Wine
# rewrites at a boot: its display and monitor devices (their classes and
# the device tree), time zones, performance counters, and of the other
# device classes and the environment only these values.
NOISE = re.compile(r"\\bench-restart\.flag$", re.I)
REG_NOISE = re.compile(r"^HKCU\\Console(\\|$)|\\Control\\Class\\\{4D36E96[8E]-E325-11CE-BFC1-08002BE10318\}|"
                       r"\\Enum(\\|$)|\\DynDaylightTimeZones(\\|$)|\\Perflib(\\|$)|\\Wbem(\\|$)", re.I)
VALUE_NOISE = re.compile(r"\\Control\\Class\\\{[^\\]*\}(\\@|\\\d{4}\\DriverDateData)$|"
                         r"\\Session Manager\\Environment\\PROCESSOR_[A-Z]+$", re.I)


def files(prefix, medium=False):
    out = {}
    for key, path, is_dir in machine_state.drive_entries(prefix, medium):
        if is_dir:
            out[key] = "folder"
            continue
        try:
            st = os.stat(path)
            # Windows sees a file without write permission as read-only.
            ro = "" if st.st_mode & 0o222 else ", read-only"
            if st.st_size > 65536:
                # Wine's own programs and libraries: their time tells a change.
                out[key] = "%d bytes%s, written %d" % (st.st_size, ro, st.st_mtime_ns)
                continue
            with open(path, "rb") as f:
                data = f.read()
        except OSError:
            continue
        text = data.decode("latin-1").strip() if len(data) < 80 and data.isascii() else \
            hashlib.md5(data).hexdigest()[:8]
        text = "".join(c if " " <= c <= "~" else "\\x%02x" % ord(c) for c in text)
        out[key] = "%d bytes%s: %s" % (len(data), ro, text)
    return {k: v for k, v in out.items() if not NOISE.search(k)}


def registry(prefix):
    """The keys of HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER in system.reg
    and user.reg, each with its values in the file's own notation. A key
    without values of its own has no line in the file when it has subkeys:
    it is there as the path of one."""
    reg = machine_state.registry(prefix)
    keys = {}
    for key in reg.keys.values():
        if key.stored:
            keys[key.path] = {(v.name or "@"): v.wine_text() for v in key.values.values()
                              if not VALUE_NOISE.search("%s\\%s" % (key.path, v.name or "@"))}
            parts = key.path.split("\\")
            for n in range(2, len(parts)):
                keys.setdefault("\\".join(parts[:n]), {})
    return {k: v for k, v in keys.items() if not REG_NOISE.search(k)}


def system_ini(prefix):
    return {"%s %s" % (ini.section_line, ini.key.lower()): ini.line for ini in machine_state.system_ini(prefix)}


def snapshot(prefix, medium=False):
    return {"files": files(prefix, medium), "registry": registry(prefix), "ini": system_ini(prefix)}


def diff(before, after):
    """The lines of the report of what changed from one snapshot to the
    other: a heading for each part that changed, one line a change."""
    out = []

    def show(sign, text):
        out.append("  %s %s" % (sign, text))

    def part(name):
        if out and not out[-1].startswith(" "):
            out.pop()
        out.append(name)

    part("files:")
    for path in sorted(set(before["files"]) | set(after["files"]), key=str.lower):
        a, b = before["files"].get(path), after["files"].get(path)
        if a == b:
            continue
        if a is None:
            show("+", "%s (%s)" % (path, b))
        elif b is None:
            show("-", path)
        else:
            show("~", "%s (%s)" % (path, b))
    part("registry:")
    for key in sorted(set(before["registry"]) | set(after["registry"]), key=str.lower):
        a, b = before["registry"].get(key), after["registry"].get(key)
        if a == b:
            continue
        if a is None:
            show("+", "[%s]" % key)
            a = {}
        elif b is None:
            show("-", "[%s]" % key)
            continue
        for name in sorted(set(a) | set(b), key=str.lower):
            if a.get(name) != b.get(name):
                label = "@" if name == "@" else '"%s"' % name
                if name not in b:
                    show("-", "[%s] %s" % (key, label))
                else:
                    show("+" if name not in a else "~", "[%s] %s=%s" % (key, label, b[name]))
    part("system.ini:")
    for k in sorted(set(before["ini"]) | set(after["ini"])):
        a, b = before["ini"].get(k), after["ini"].get(k)
        if a != b:
            section = k.split(" ", 1)[0]
            show("-" if b is None else "+" if a is None else "~", "%s %s" % (section, b if b is not None else a))
    if not out[-1].startswith(" "):
        out.pop()
    return out or ["  (nothing changed)"]
