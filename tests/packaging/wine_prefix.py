"""A Wine prefix of a test's own: made fresh, programs run on either side,
and its registry and files read back for comparison."""
import os
import re
import shutil
import subprocess
import tempfile

LOADERS = {64: "/usr/lib/wine/wine64", 32: "/usr/lib/wine/wine"}
TIMEOUT = 300
HIVES = (("system.reg", "HKLM"), ("user.reg", "HKCU"))


def windows_path(path):
    """The Windows path of a Unix path (drive Z: is the Unix root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def _unescape(text):
    """A name or data as Wine's registry files write it."""
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c != "\\" or i + 1 == len(text):
            out.append(c)
            i += 1
            continue
        n = text[i + 1]
        if n == "x":
            digits = re.match(r"[0-9a-fA-F]{1,4}", text[i + 2:]).group(0)
            out.append(chr(int(digits, 16)))
            i += 2 + len(digits)
            continue
        out.append({"n": "\n", "r": "\r", "t": "\t", "0": "\0"}.get(n, n))
        i += 2
    return "".join(out)


def _quoted(text):
    """Splits a leading quoted string off `text`: (unescaped string, rest)."""
    i = 1
    while text[i] != '"':
        i += 2 if text[i] == "\\" else 1
    return _unescape(text[1:i]), text[i + 1:]


def read_registry_file(path, hive):
    """{lower-case key path: (key path, {value name: data})}; string data is
    text, other data is kept as Wine writes it."""
    keys = {}
    current = None
    pending = ""
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if pending:
                line = pending + line.strip()
                pending = ""
            if line.endswith("\\") and not line.startswith("["):
                pending = line[:-1]
                continue
            header = re.match(r"^\[(.*)\] \d+$", line)
            if header:
                name = hive + "\\" + _unescape(header.group(1))
                current = keys.setdefault(name.lower(), (name, {}))[1]
                # Wine's files leave out a key that has subkeys but no values:
                # the keys on the way to one written are there all the same.
                parts = name.split("\\")
                for n in range(2, len(parts)):
                    ancestor = "\\".join(parts[:n])
                    keys.setdefault(ancestor.lower(), (ancestor, {}))
                continue
            if current is None or not line or line.startswith("#") or line.startswith(";"):
                continue
            if line.startswith("@="):
                name, rest = "", line[2:]
            elif line.startswith('"'):
                name, rest = _quoted(line)
                rest = rest[1:]  # the '='
            else:
                continue
            current[name] = _quoted(rest)[0] if rest.startswith('"') else rest
    return keys


class Prefix:
    def __init__(self, path, source_dir):
        self.path = os.path.abspath(path)
        self.source_dir = source_dir

    def env(self, bitness=64, extra=None):
        env = dict(os.environ, WINEPREFIX=self.path, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                   WINEARCH="win64", WINELOADER=LOADERS[bitness])
        env.pop("http_proxy", None)
        env.update(extra or {})
        return env

    def make(self):
        """A fresh prefix, as the project makes its own, with the user's
        classes key that Windows always has."""
        if os.path.exists(self.path):
            subprocess.run(["wineserver", "-k"], env=self.env(), check=False, timeout=TIMEOUT)
            shutil.rmtree(self.path)
        subprocess.run(["cmake", "-DWINE_PREFIX=" + self.path, "-P",
                        os.path.join(self.source_dir, "cmake", "MakeWinePrefix.cmake")],
                       check=True, timeout=TIMEOUT, stdout=subprocess.DEVNULL)
        self.must("reg", "add", "HKCU\\Software\\Classes", "/f")
        self.wait()

    def run(self, *args, bitness=64, extra_env=None):
        """(exit code, output) of a program in the prefix. Output goes through
        files: Wine's background processes inherit pipes and hold them."""
        with tempfile.TemporaryFile() as out:
            result = subprocess.run([LOADERS[bitness]] + list(args), env=self.env(bitness, extra_env),
                                    stdout=out, stderr=subprocess.STDOUT, timeout=TIMEOUT)
            out.seek(0)
            return result.returncode, out.read().decode("utf-8", errors="replace").replace("\r\n", "\n")

    def must(self, *args, bitness=64, extra_env=None):
        rc, out = self.run(*args, bitness=bitness, extra_env=extra_env)
        if rc != 0:
            raise AssertionError("%s failed (%d):\n%s" % (" ".join(args), rc, out))
        return out

    def wait(self):
        subprocess.run(["wineserver", "-w"], env=self.env(), check=False, timeout=TIMEOUT)

    def registry(self):
        self.wait()
        keys = {}
        for name, hive in HIVES:
            keys.update(read_registry_file(os.path.join(self.path, name), hive))
        return keys

    def files(self):
        """Every file and folder on drive C:, as Windows paths (folders end in "\\")."""
        root = os.path.join(self.path, "drive_c")
        found = set()
        for folder, subfolders, names in os.walk(root):
            relative = os.path.relpath(folder, root)
            prefix = "C:\\" if relative == "." else "C:\\" + relative.replace("/", "\\") + "\\"
            found.update(prefix + d + "\\" for d in subfolders)
            found.update(prefix + n for n in names)
        return found

    def unix_path(self, windows):
        """The Unix path of a path on drive C:."""
        return os.path.join(self.path, "drive_c", *windows[3:].split("\\"))

    def remove(self):
        subprocess.run(["wineserver", "-k"], env=self.env(), check=False, timeout=TIMEOUT)
        shutil.rmtree(self.path, ignore_errors=True)
