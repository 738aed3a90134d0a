#!/usr/bin/env python3
"""Snapshots of an emulated Windows machine (a Wine prefix) and what changed
between two of them: files on C: and D:, registry keys and values of
HKEY_LOCAL_MACHINE, and system.ini lines.

    machine_diff.py save PREFIX SNAPSHOT.json
    machine_diff.py diff BEFORE.json AFTER.json
"""
import hashlib
import json
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import machine_state  # noqa: E402

# Wine's own bookkeeping, which changes on every start.
NOISE = re.compile(r"(\\Temp\\|\\windows\\logs\\|\.log$|bench-restart\.flag$|\\SYSTEM\\Veltrano Bench)", re.I)
REG_NOISE = re.compile(r"(\\Wine\\|\\Wow6432Node\\|\\Enum\\|\\Control\\Class\\|DynDaylightTimeZones|\\Perflib\\|\\Wbem\\|"
                       r"\\Session Manager\\Environment|\\Control\\Windows$)", re.I)


def files(prefix):
    out = {}
    for key, path, is_dir in machine_state.drive_entries(prefix):
        if is_dir:
            out[key] = "folder"
            continue
        try:
            with open(path, "rb") as f:
                data = f.read(1 << 20)
        except OSError:
            continue
        ro = "" if os.access(path, os.W_OK) or os.stat(path).st_mode & 0o222 else ", read-only"
        text = data.decode("latin-1") if len(data) < 80 and data.isascii() else \
            hashlib.md5(data).hexdigest()[:8]
        out[key] = "%d bytes%s: %s" % (len(data), ro, text.strip())
    return {k: v for k, v in out.items() if not NOISE.search(k)}


def registry(prefix):
    """The keys of HKEY_LOCAL_MACHINE that have a line of their own in
    system.reg, each with its values in the file's own notation."""
    reg = machine_state.Registry()
    path = os.path.join(prefix, "system.reg")
    reg.load("HKLM", machine_state.read_text(path), path)
    keys = {}
    for key in reg.keys.values():
        if key.stored:
            keys[key.path] = {(v.name or "@"): v.wine_text() for v in key.values.values()}
    return {k: v for k, v in keys.items() if not REG_NOISE.search(k)}


def system_ini(prefix):
    return {"%s %s" % (ini.section_line, ini.key.lower()): ini.line for ini in machine_state.system_ini(prefix)}


def save(prefix, out):
    snapshot = {"files": files(prefix), "registry": registry(prefix), "ini": system_ini(prefix)}
    with open(out, "w") as f:
        json.dump(snapshot, f)


def diff(before_path, after_path):
    with open(before_path) as f:
        before = json.load(f)
    with open(after_path) as f:
        after = json.load(f)
    changes = 0

    def show(sign, text):
        nonlocal changes
        changes += 1
        print("  %s %s" % (sign, text))

    print("files:")
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
    print("registry:")
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
    print("system.ini:")
    for k in sorted(set(before["ini"]) | set(after["ini"])):
        a, b = before["ini"].get(k), after["ini"].get(k)
        if a != b:
            section = k.split(" ", 1)[0]
            show("-" if b is None else "+" if a is None else "~", "%s %s" % (section, b if b is not None else a))
    if not changes:
        print("  (nothing changed)")


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "save":
        save(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 4 and sys.argv[1] == "diff":
        diff(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
