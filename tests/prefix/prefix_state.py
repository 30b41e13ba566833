#!/usr/bin/env python3
"""prefix_state.py record|check PREFIX SNAPSHOT

record: keeps a copy of the Wine prefix's registry (user.reg, system.reg) in
        the directory SNAPSHOT, before any test runs.
check:  compares the registry after every test with that copy and fails,
        naming each key left added, removed or changed: the profile store, a
        class's registration, a type library, a scratch key, proxy values.

Both first wait until the prefix's wineserver has ended, which is when it has
written the registry files.
"""
import os
import re
import shutil
import subprocess
import sys

HIVES = (("user.reg", "HKCU"), ("system.reg", "HKLM"))

# Changes the platform makes on its own, whatever the tests do.
PLATFORM_KEYS = [
    # Wine rewrites its device keys when it starts.
    r"HKLM\\System\\CurrentControlSet\\Control\\Class\\",
    r"HKLM\\System\\CurrentControlSet\\Enum\\",
    r"HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards$",
    # The script host registers its own type library each time it starts.
    r"HKCR\\(Wow6432Node\\)?TypeLib\\\{60254CA0-953B-11CF-8C96-00AA00B8708C\}",
]
SCRIPT_HOST_LIBRARY = "{60254CA0-953B-11CF-8C96-00AA00B8708C}"


def wait_for_wineserver(prefix):
    subprocess.run(["wineserver", "-w"], env=dict(os.environ, WINEPREFIX=prefix), check=False, timeout=300)


def display(hive, key):
    path = hive + "\\" + key
    return re.sub(r"^HKLM\\Software\\Classes(?=\\|$)", "HKCR", path, flags=re.IGNORECASE)


def read_registry(directory):
    """{lower-case path: (path, set of value lines)}, every ancestor included."""
    keys = {}
    for name, hive in HIVES:
        current, pending = None, ""
        with open(os.path.join(directory, name), encoding="utf-8", errors="replace") as f:
            for line in f:
                line = line.rstrip("\n")
                if pending:
                    pending += line.strip()
                    if pending.endswith("\\"):
                        pending = pending[:-1]
                        continue
                    keys[current][1].add(pending)
                    pending = ""
                    continue
                header = re.match(r"^\[(.*)\] \d+$", line)
                if header:
                    path = display(hive, header.group(1).replace("\\\\", "\\"))
                    current = path.lower()
                    keys.setdefault(current, (path, set()))
                    parts = path.split("\\")
                    for n in range(1, len(parts)):
                        ancestor = "\\".join(parts[:n])
                        keys.setdefault(ancestor.lower(), (ancestor, set()))
                elif current is not None and line and not line.startswith("#"):
                    if line.endswith("\\") and not line.endswith('"'):
                        pending = line[:-1]
                    else:
                        keys[current][1].add(line)
    return keys


def parent(key):
    return key.rsplit("\\", 1)[0] if "\\" in key else ""


def is_platform_change(key, after):
    if any(re.match(pattern, after.get(key, (key,))[0], re.IGNORECASE) for pattern in PLATFORM_KEYS):
        return True
    # An interface that the script host's library describes.
    interface = re.match(r"(hkcr\\(wow6432node\\)?interface\\\{[^\\]*\})", key)
    if interface:
        typelib = after.get(interface.group(1) + "\\typelib", ("", set()))[1]
        return any(SCRIPT_HOST_LIBRARY.lower() in value.lower() for value in typelib)
    return False


def describe(key, state):
    path, values = state[key]
    default = [v for v in values if v.startswith("@=")]
    return path + (" " + default[0][2:] if default else "")


def differences(before, after):
    found = []
    for key in sorted(after.keys() - before.keys()):
        if parent(key) not in after.keys() - before.keys():
            found.append((key, "added   " + describe(key, after)))
    for key in sorted(before.keys() - after.keys()):
        if parent(key) not in before.keys() - after.keys():
            found.append((key, "removed " + describe(key, before)))
    for key in sorted(before.keys() & after.keys()):
        if before[key][1] != after[key][1]:
            gone = sorted(before[key][1] - after[key][1])
            new = sorted(after[key][1] - before[key][1])
            found.append((key, "changed %s: %s" % (after[key][0], "; ".join(["-" + v for v in gone] +
                                                                          ["+" + v for v in new]))))
    return [text for key, text in found if not is_platform_change(key, after)]


def main(argv):
    if len(argv) != 4 or argv[1] not in ("record", "check"):
        sys.exit(__doc__)
    action, prefix, snapshot = argv[1:]
    wait_for_wineserver(prefix)
    if action == "record":
        os.makedirs(snapshot, exist_ok=True)
        for name, _ in HIVES:
            shutil.copyfile(os.path.join(prefix, name), os.path.join(snapshot, name))
        print("registry of %s kept in %s" % (prefix, snapshot))
        return
    left = differences(read_registry(snapshot), read_registry(prefix))
    if left:
        print("The tests left the prefix %s changed (%d keys):" % (prefix, len(left)))
        for text in left:
            print("  " + text)
        sys.exit(1)
    print("The prefix's registry is as it was before the tests.")


if __name__ == "__main__":
    main(sys.argv)
