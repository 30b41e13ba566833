#!/usr/bin/env python3
"""package_tests.py TEST --source DIR --build DIR --work DIR [--store DIR]

The distribution under Wine, each test in a fresh prefix of its own (WORK/prefix):

  machine       the x64 per-machine package: msiexec /i … /qn; its registry rows
                match, key by key, what the server's own registration writes for
                the DLL at its installed path; a script client creates every
                class and runs a capture and a switch on the simulated machine;
                the profile store is exported (for regfree); msiexec /x leaves
                none of the package's files, folders or registry rows
  x86-machine   the same for the x86 package, on the 32-bit side
  both          both per-machine packages: uninstalling either keeps what the
                other needs, and a 64-bit client still creates every class
  user          the per-user package and regsvr32 /n /i:user: the rows under
                HKCU\\Software\\Classes alone, removed again
  regfree       a client with a manifest naming the server's assembly, where
                nothing is registered; and the store exported by `machine`
                (in --store), imported, gives the same profiles
  signing       the build's packaging step with a throwaway certificate, then
                osslsigncode verify

The classes and rows expected come from the server's own registration
(packaging/RegistrationCapture), never from a list here.
"""
import argparse
import glob
import os
import re
import shutil
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from wine_prefix import Prefix, windows_path  # noqa: E402

# Keys 64-bit Windows keeps apart for each bitness below a classes root; the
# others are one key for both views (packaging/packages.py, whose table this is).
CONTAINERS = ("clsid", "appid", "typelib", "interface")
# Below the classes roots, Windows Installer's own records.
INSTALLER_TOPS = ("installer",)
DISPATCH_MARSHALER = "{00020420-0000-0000-C000-000000000046}"
STORE_KEY = "HKCU\\Software\\Ostrel2\\Quoran\\Profiles"
PROXIES_KEY = "HKCU\\Software\\Ostrel2\\Quoran\\ProfileProxies"


class Context:
    def __init__(self, args):
        self.source = os.path.abspath(args.source)
        self.build = os.path.abspath(args.build)
        self.work = os.path.abspath(args.work)
        self.store = args.store
        sys.path.insert(0, os.path.join(self.source, "packaging"))
        import packages
        self.packages = packages
        self.version = args.version
        self.dist = os.path.join(self.build, "dist")
        self.registration = packages.Registration(os.path.join(self.build, "generated", "registration.json"))

    def bin(self, bitness, name):
        return os.path.join(self.build, "bin", *(["x86"] if bitness == 32 else []), name)

    def package(self, arch, scope):
        return os.path.join(self.dist, self.packages.package_name(self.version, arch, scope))

    def prefix(self, name="prefix"):
        os.makedirs(self.work, exist_ok=True)
        return Prefix(os.path.join(self.work, name), self.source)


def file_version(path):
    """The file version of a PE file's version resource, as "a.b.c.d"."""
    with open(path, "rb") as f:
        data = f.read()
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    check(at >= 0, "%s has no version resource" % path)
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def check(condition, message):
    if not condition:
        raise AssertionError(message)


# ---- The registry as each view shows it ----

def classes_view(registry, root):
    """The keys below a classes root ("HKLM\\Software\\Classes" or the user's)
    as Windows shows them: a key of the 32-bit view that Windows shares is the
    64-bit one (Wine 8 keeps it apart, under Wow6432Node); one it keeps apart
    is named "[32]\\key". {lower-case: (key, values)}; the containers and the
    installer's records are left out."""
    prefix = root.lower() + "\\"
    out = {}
    for lower, (path, values) in registry.items():
        if not lower.startswith(prefix):
            continue
        key = path[len(prefix):]
        parts = key.split("\\")
        if parts[0].lower() == "wow6432node":
            if len(parts) == 1:
                continue
            key = "\\".join(parts[1:])
            if parts[1].lower() in ("clsid", "interface"):
                key = "[32]\\" + key
        top = key.split("\\")[0].lower()
        if top in INSTALLER_TOPS or key.lower() in CONTAINERS or key.lower() in ("[32]\\clsid", "[32]\\interface"):
            continue
        merged = out.setdefault(key.lower(), (key, {}))[1]
        for name, data in values.items():
            check(merged.get(name, data) == data, "%s\\%s differs between the two views" % (key, name))
            merged[name] = data
    return out


def expected_view(registration, bitness=64, without=()):
    """The keys a registration wrote, named as classes_view names them."""
    out = {}
    for key, values in registration.keys:
        if key.lower() in CONTAINERS or any(re.search(p, key, re.IGNORECASE) for p in without):
            continue
        if bitness == 32 and key.split("\\")[0].lower() in ("clsid", "interface"):
            key = "[32]\\" + key
        out[key.lower()] = (key, dict(values))
    return out


class Added(dict):
    """What `after` has that `before` has not: new keys with their values, and
    the new or changed values of old keys; `new` names the new keys."""

    def __init__(self, before, after):
        super().__init__()
        self.new = set()
        for lower, (path, values) in after.items():
            old = before.get(lower)
            if old is None:
                self[lower] = (path, dict(values))
                self.new.add(lower)
                continue
            changed = {n: d for n, d in values.items() if old[1].get(n) != d}
            if changed:
                self[lower] = (path, changed)


added = Added


def only(view, keys):
    return {k: v for k, v in view.items() if k in keys}


def differences(actual, expected):
    lines = []
    for lower in sorted(expected.keys() - actual.keys()):
        lines.append("  missing  %s %r" % expected[lower])
    for lower in sorted(actual.keys() - expected.keys()):
        lines.append("  extra    %s %r" % actual[lower])
    for lower in sorted(actual.keys() & expected.keys()):
        if actual[lower][1] != expected[lower][1]:
            lines.append("  differs  %s: %r, expected %r" % (actual[lower][0], actual[lower][1], expected[lower][1]))
    return lines


def expect_same(actual, expected, what):
    lines = differences(actual, expected)
    check(not lines, "%s:\n%s" % (what, "\n".join(lines)))


# Windows Installer's own containers, which stay once a first package made
# them (as on Windows); what they hold for one product (keys named by its
# packed codes) goes with the product.
INSTALLER_CONTAINERS = re.compile(
    r"^(HKLM\\Software\\Classes\\Installer|HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer|"
    r"HKLM\\Software\\(Wow6432Node\\)?Microsoft\\Windows\\CurrentVersion\\Uninstall|"
    r"HKCU\\Software\\Microsoft\\Installer)(\\(Features|Products|UpgradeCodes|Components|UserData|S-1-5-[0-9-]+))*$",
    re.IGNORECASE)
INSTALLER_FOLDERS = ("c:\\windows\\installer\\",)


def leftovers(installed, after, files=()):
    """What an install added that is still there: the keys it made, the values
    it wrote into other keys, and files and folders; not Windows Installer's
    own containers."""
    left = []
    for lower, (path, values) in installed.items():
        if lower not in after or INSTALLER_CONTAINERS.match(path):
            continue
        if lower in installed.new or any(after[lower][1].get(n) == d for n, d in values.items()):
            left.append(path)
    return left + sorted(f for f in files if f.lower() not in INSTALLER_FOLDERS)


# ---- Running the server and its clients ----

def capture(ctx, prefix, dll, bitness=64, user=False):
    """What the server's own registration writes for `dll` (a Windows path)."""
    out = os.path.join(ctx.work, "capture-%d%s.json" % (bitness, "-user" if user else ""))
    args = [ctx.bin(bitness, "RegistrationCapture.exe"), dll, windows_path(out)] + (["user"] if user else [])
    prefix.must(*args, bitness=bitness)
    return ctx.packages.Registration(out)


def progids(registration):
    return [p for c in registration.classes() for p in (c["progid"], c["versionIndependentProgId"]) if p]


def share_views(prefix, registry, installed):
    """Shows 64-bit programs the shared keys that a package wrote through the
    32-bit view, as Windows does; Wine 8 keeps them apart. Returns what to take
    away again."""
    made_keys, made_values, lines = [], [], ["Windows Registry Editor Version 5.00", ""]
    for lower, (path, values) in sorted(installed.items()):
        parts = path.split("\\")
        if len(parts) < 5 or parts[3].lower() != "wow6432node" or parts[4].lower() in ("clsid", "interface"):
            continue
        target = "\\".join(parts[:3] + parts[4:])
        existing = registry.get(target.lower())
        if existing is None:
            if not any(target.lower().startswith(k.lower() + "\\") for k in made_keys):
                made_keys.append(target)
        else:
            made_values += [(target, n) for n in values if n not in existing[1]]
        lines.append("[%s]" % target.replace("HKLM", "HKEY_LOCAL_MACHINE", 1))
        for name, data in values.items():
            escaped = data.replace("\\", "\\\\").replace('"', '\\"')
            lines.append('%s="%s"' % ("@" if name == "" else '"%s"' % name, escaped))
        lines.append("")
    reg_file = os.path.join(prefix.path, "shared-views.reg")
    with open(reg_file, "w", encoding="utf-16") as f:
        f.write("\r\n".join(lines))
    prefix.must("reg", "import", windows_path(reg_file))
    os.remove(reg_file)
    return made_keys, made_values


def unshare_views(prefix, made):
    made_keys, made_values = made
    for key in made_keys:
        prefix.must("reg", "delete", key, "/f")
    for key, name in made_values:
        if any(key.lower().startswith(k.lower() + "\\") for k in made_keys):
            continue
        prefix.must("reg", "delete", key, *(["/ve"] if name == "" else ["/v", name]), "/f")


def create_every_class(prefix, registration, bitness=64):
    names = progids(registration)
    out = prefix.must("cscript", "//nologo", windows_path(os.path.join(HERE, "CreateEvery.vbs")), *names,
                      bitness=bitness)
    created = [line.split(": ")[0] for line in out.splitlines() if ": " in line]
    check(created == names, "the script client created %s, not %s:\n%s" % (created, names, out))
    print("a %d-bit script client created every class by both ProgIDs:\n  %s" % (
        bitness, "\n  ".join(out.splitlines())))


def capture_and_switch(ctx, prefix, bitness=64):
    """The simulated machine as the prefix's WMI, and the demo's client:
    capture "Office", move to another network, switch back."""
    machine = os.path.join(ctx.work, "machine.json")
    shutil.copyfile(os.path.join(ctx.source, "docs", "example-machine.json"), machine)
    sim = windows_path(ctx.bin(bitness, "VarquelSim.dll"))
    prefix.must("regsvr32", "/s", sim, bitness=bitness)
    try:
        out = prefix.must("cscript", "//nologo", windows_path(os.path.join(ctx.source, "samples", "demo.js")),
                          "Office", bitness=bitness, extra_env={"VARQUEL_SIM_MACHINE": machine})
        print(out.splitlines()[-1])
    finally:
        prefix.must("regsvr32", "/u", "/s", sim, bitness=bitness)


def install(prefix, package, *extra):
    prefix.must("msiexec", "/i", windows_path(package), "/qn", *extra)


def uninstall(prefix, package):
    prefix.must("msiexec", "/x", windows_path(package), "/qn")


# ---- The tests ----

def machine_cycle(ctx, arch):
    bitness = 64 if arch == "x64" else 32
    prefix = ctx.prefix()
    prefix.make()
    before, files_before = prefix.registry(), prefix.files()
    install(prefix, ctx.package(arch, "machine"))
    after, files_after = prefix.registry(), prefix.files()
    installed, installed_files = added(before, after), files_after - files_before
    folder = "C:\\Program Files%s\\Varquel\\" % ("" if arch == "x64" else " (x86)")
    for name in ("Varquel.dll", ctx.packages.MANIFEST_NAME):
        check(folder + name in installed_files, "%s%s is not installed: %s" % (folder, name, sorted(installed_files)))

    # One version: the DLL's resource, and the product Windows Installer records.
    check(file_version(prefix.unix_path(folder + "Varquel.dll")) == ctx.version,
          "the installed DLL's version is not %s" % ctx.version)
    uninstall_key = "HKLM\\Software\\%sMicrosoft\\Windows\\CurrentVersion\\Uninstall\\%s" % (
        "" if arch == "x64" else "Wow6432Node\\", ctx.packages.product_code(arch, "machine", ctx.version))
    recorded = after.get(uninstall_key.lower(), (None, {}))[1]
    check(recorded.get("DisplayVersion") == ctx.version,
          "Windows Installer records %s as %r" % (uninstall_key, recorded.get("DisplayVersion")))

    dll = folder + "Varquel.dll"
    expected = capture(ctx, prefix, dll, bitness)
    # The x64 package owns the type library's HELPDIR (its value differs by bitness).
    without = [r"^TypeLib\\[^\\]+\\[^\\]+\\HELPDIR$"] if arch != ctx.packages.HELPDIR_OWNER else []
    actual = classes_view(installed, "HKLM\\Software\\Classes")
    expect_same(actual, expected_view(expected, bitness, without),
                "the %s package's rows against the server's own registration at %s" % (arch, dll))
    print("%d keys as the server's own registration writes them for %s" % (len(actual), dll))

    made = share_views(prefix, after, installed) if bitness == 64 else ([], [])
    try:
        create_every_class(prefix, expected, bitness)
        capture_and_switch(ctx, prefix, bitness)
        if arch == "x64":
            export_store(ctx, prefix)
    finally:
        unshare_views(prefix, made)

    uninstall(prefix, ctx.package(arch, "machine"))
    left = leftovers(installed, prefix.registry(), installed_files & prefix.files())
    check(not left, "msiexec /x left:\n  " + "\n  ".join(left))
    print("msiexec /x left none of the %d keys and %d files and folders the install added"
          % (len(installed), len(installed_files)))
    prefix.remove()


def export_store(ctx, prefix):
    """The reference machine's profile store and the proxies remembered beside it, and what a
    client reads from them."""
    prefix.must("reg", "export", STORE_KEY, windows_path(os.path.join(ctx.work, "store.reg")), "/y")
    prefix.must("reg", "export", PROXIES_KEY, windows_path(os.path.join(ctx.work, "proxies.reg")), "/y")
    client = ctx.bin(64, "VarquelClient.exe")
    with open(os.path.join(ctx.work, "profiles.txt"), "w", encoding="utf-8") as f:
        f.write(prefix.must(client, "list") + prefix.must(client, "show", "Office"))


def test_both(ctx):
    prefix = ctx.prefix()
    prefix.make()
    before = prefix.registry()
    install(prefix, ctx.package("x64", "machine"))
    only_x64 = prefix.registry()
    x64_rows = classes_view(added(before, only_x64), "HKLM\\Software\\Classes")
    install(prefix, ctx.package("x86", "machine"))
    both = prefix.registry()
    x86_rows = classes_view(added(only_x64, both), "HKLM\\Software\\Classes")
    check(any(k.startswith("[32]\\clsid\\") for k in x86_rows), "the x86 package wrote no class in the 32-bit view")

    uninstall(prefix, ctx.package("x86", "machine"))
    now = prefix.registry()
    expect_same(only(classes_view(now, "HKLM\\Software\\Classes"), x64_rows), x64_rows,
                "the x64 rows after the x86 package was removed")
    made = share_views(prefix, now, added(before, now))
    try:
        create_every_class(prefix, ctx.registration)
    finally:
        unshare_views(prefix, made)
    print("x86 removed: the x64 package's %d keys are whole, and a 64-bit client creates every class"
          % len(x64_rows))

    install(prefix, ctx.package("x86", "machine"))
    uninstall(prefix, ctx.package("x64", "machine"))
    now = classes_view(prefix.registry(), "HKLM\\Software\\Classes")
    expect_same(only(now, x86_rows), x86_rows, "the x86 rows after the x64 package was removed")
    print("x64 removed: the x86 package's %d keys are whole" % len(x86_rows))
    if ctx.x86_client:
        create_every_class(prefix, ctx.registration, 32)

    uninstall(prefix, ctx.package("x86", "machine"))
    left = leftovers(added(before, both), prefix.registry())
    check(not left, "removing both left:\n  " + "\n  ".join(left))

    # A newer version of one package replaces that package alone.
    newer = next_version_packages(ctx)
    install(prefix, ctx.package("x64", "machine"))
    install(prefix, ctx.package("x86", "machine"))
    install(prefix, newer)
    products = installed_products(prefix.registry())
    next_version = ctx.packages.next_build(ctx.version) + ".0"
    expected = {ctx.packages.product_code("x64", "machine", next_version): next_version,
                ctx.packages.product_code("x86", "machine", ctx.version): ctx.version}
    check(products == expected, "after the newer x64 package: %s, expected %s" % (products, expected))
    expect_same(only(classes_view(prefix.registry(), "HKLM\\Software\\Classes"), x64_rows), x64_rows,
                "the x64 rows after the newer x64 package replaced the older")
    print("the newer x64 package (%s) replaced the older one and left the x86 package" % next_version)
    uninstall(prefix, newer)
    uninstall(prefix, ctx.package("x86", "machine"))
    check(not installed_products(prefix.registry()), "products left installed")
    prefix.remove()


def next_version_packages(ctx):
    """The x64 per-machine package of the next version, made by the build's
    own packaging step from the same registration."""
    dist = os.path.join(ctx.work, "next")
    version = ctx.packages.next_build(ctx.version) + ".0"
    result = subprocess.run([sys.executable, os.path.join(ctx.source, "packaging", "packages.py"),
                             "--registration", os.path.join(ctx.build, "generated", "registration.json"),
                             "--version", version, "--dist", dist, "--x64", ctx.bin(64, "Varquel.dll"),
                             "--wixl", shutil.which("wixl")], capture_output=True, text=True)
    check(result.returncode == 0, "making the next version's packages failed:\n%s%s" % (result.stdout, result.stderr))
    return os.path.join(dist, ctx.packages.package_name(version, "x64", "machine"))


def installed_products(registry):
    """{ProductCode: DisplayVersion} of the products Windows Installer records
    as installed for the machine."""
    products = {}
    for lower, (path, values) in registry.items():
        match = re.match(r"hklm\\software\\(wow6432node\\)?microsoft\\windows\\currentversion\\uninstall\\"
                         r"(\{[0-9a-f-]{36}\})$", lower)
        if match and "WindowsInstaller" in values:
            products[path.rsplit("\\", 1)[1].upper()] = values.get("DisplayVersion")
    return products


def user_rows(registration):
    """The rows of the registration for the user: the same keys, but a pure
    dispinterface marshaled by IDispatch's marshaler, as Windows'
    RegisterTypeLib records it (Wine's gives it the type library's)."""
    dual = {iid.lower() for iid, _ in registration.dual_interfaces}
    out = {}
    for lower, (key, values) in expected_view(registration).items():
        parts = key.split("\\")
        if parts[0].lower() == "interface" and parts[1].lower() not in dual and len(parts) == 3 and \
                parts[2].lower() in ("proxystubclsid", "proxystubclsid32"):
            values = {"": DISPATCH_MARSHALER}
        out[lower] = (key, values)
    return out


def expect_user_only(ctx, prefix, before, registration, what):
    """The rows are under the user's classes alone; returns what was added."""
    after = prefix.registry()
    new = added(before, after)
    machine = classes_view(new, "HKLM\\Software\\Classes")
    check(not machine, "%s wrote below HKLM\\Software\\Classes:\n  %s" % (what, "\n  ".join(v[0] for v in machine.values())))
    return new


def try_per_user_classes(prefix, registration):
    """Whether the platform's COM creates a class from the user's keys alone."""
    rc, out = prefix.run("cscript", "//nologo", windows_path(os.path.join(HERE, "CreateEvery.vbs")),
                         progids(registration)[0])
    print("a script client creating %s from the user's keys alone: %s" % (
        progids(registration)[0], "created" if rc == 0 else "not created (%s)" % out.strip().splitlines()[-1]))


def test_user(ctx):
    prefix = ctx.prefix()
    prefix.make()
    # The per-user package.
    before, files_before = prefix.registry(), prefix.files()
    install(prefix, ctx.package("x64", "user"))
    new = expect_user_only(ctx, prefix, before, ctx.registration, "the per-user package")
    new_files = prefix.files() - files_before
    dlls = [f for f in new_files if f.lower().endswith("\\varquel.dll")]
    check(len(dlls) == 1 and "\\appdata\\local\\" in dlls[0].lower(),
          "the per-user package's DLL is not under the user's local application data: %s" % dlls)
    expected = capture(ctx, prefix, dlls[0])
    actual = classes_view(new, "HKCU\\Software\\Classes")
    expect_same(actual, expected_view(expected), "the per-user package's rows against the server's own registration")
    print("per-user package: %d keys under HKCU\\Software\\Classes, as the server's own registration writes them "
          "for %s; none under HKLM\\Software\\Classes" % (len(actual), dlls[0]))
    try_per_user_classes(prefix, ctx.registration)
    uninstall(prefix, ctx.package("x64", "user"))
    left = leftovers(new, prefix.registry(), new_files & prefix.files())
    check(not left, "msiexec /x of the per-user package left:\n  " + "\n  ".join(left))
    print("msiexec /x of the per-user package left none of the %d keys and %d files and folders" %
          (len(new), len(new_files)))

    # regsvr32 /n /i:user on the DLL as the build made it.
    dll = windows_path(ctx.bin(64, "Varquel.dll"))
    before = prefix.registry()
    prefix.must("regsvr32", "/s", "/n", "/i:user", dll)
    new = expect_user_only(ctx, prefix, before, ctx.registration, "regsvr32 /n /i:user")
    machine_wide = capture(ctx, prefix, dll)
    actual = classes_view(new, "HKCU\\Software\\Classes")
    expect_same(actual, user_rows(machine_wide), "regsvr32 /n /i:user against the machine-wide registration")
    print("regsvr32 /n /i:user: %d keys under HKCU\\Software\\Classes, those of the machine-wide registration"
          % len(actual))
    prefix.must("regsvr32", "/s", "/u", "/n", "/i:user", dll)
    left = leftovers(new, prefix.registry())
    check(not left, "regsvr32 /u /n /i:user left:\n  " + "\n  ".join(left))
    print("regsvr32 /u /n /i:user removed all of them")
    prefix.remove()


def test_regfree(ctx):
    prefix = ctx.prefix()
    prefix.make()
    registry = prefix.registry()
    identities = [c["clsid"].lower() for c in ctx.registration.classes()] + [ctx.registration.libid.lower()]
    identities += [p.lower() for p in progids(ctx.registration)]
    registered = [path for lower, (path, _) in registry.items() if any(i in lower for i in identities)]
    check(not registered, "the prefix is not free of the server:\n  " + "\n  ".join(registered))

    # The application's folder: the client, and the server with its manifest as shipped.
    app = os.path.join(ctx.work, "app")
    shutil.rmtree(app, ignore_errors=True)
    os.makedirs(app)
    for name in ("Varquel.dll", ctx.packages.MANIFEST_NAME):
        shutil.copyfile(os.path.join(ctx.dist, "x64", name), os.path.join(app, name))
    for name in ("RegFreeClient.exe", "VarquelClient.exe"):
        shutil.copyfile(ctx.bin(64, name), os.path.join(app, name))
    args = ["%s=%s=%s" % (c["clsid"], c["progid"], c["versionIndependentProgId"]) for c in ctx.registration.classes()]
    rc, out = prefix.run(os.path.join(app, "RegFreeClient.exe"), *args)
    print(out, end="")
    check(rc == 0, "the client without registration failed (%d)" % rc)
    check(out.count("  created; ") == len(args) and out.count("from the multithreaded apartment: ") == len(args)
          and out.count(" leads to the class ") == 2 * len(args),
          "not every class was created by both ProgIDs and read from both apartments")
    print("every class created by both ProgIDs without registration, and read from both apartments")
    # What Wine leaves: marshaling a dual interface, its type-library marshaler
    # loads the library by the manifest's bare file name, and LoadTypeLib
    # registers a library loaded so.
    now = prefix.registry()
    library = [path for lower, (path, _) in now.items() if ctx.registration.libid.lower() in lower
               and "\\typelib\\{" in lower]
    print("left registered by the platform's marshaler: %s" % (library[0] if library else "nothing"))

    # The store of the reference machine (the `machine` test's) and its
    # remembered proxies, imported here, read by the C++ sample with an
    # application manifest of its own.
    for exported in ("store.reg", "proxies.reg"):
        prefix.must("reg", "import", windows_path(os.path.join(ctx.store, exported)))
    with open(os.path.join(app, "VarquelClient.exe.manifest"), "w", encoding="utf-8") as f:
        with open(os.path.join(ctx.build, "tests", "packaging", "RegFreeClient.manifest"), encoding="utf-8") as m:
            f.write(m.read().replace("Varquel.RegFreeClient", "Varquel.VarquelClient"))
    client = os.path.join(app, "VarquelClient.exe")
    profiles = prefix.must(client, "list") + prefix.must(client, "show", "Office")
    with open(os.path.join(ctx.store, "profiles.txt"), encoding="utf-8") as f:
        reference = f.read()
    check(profiles == reference, "the imported store reads otherwise:\n%s\nthan on the reference machine:\n%s"
          % (profiles, reference))
    print("the imported store gives the reference machine's profiles:\n" + profiles, end="")

    classes = [i for i in identities if i != ctx.registration.libid.lower()]
    registered = [path for lower, (path, _) in prefix.registry().items() if any(i in lower for i in classes)]
    check(not registered, "the clients registered a class:\n  " + "\n  ".join(registered))
    prefix.remove()


def test_signing(ctx):
    work = ctx.work
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    key, cert, p12 = (os.path.join(work, n) for n in ("key.pem", "cert.pem", "cert.p12"))
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-keyout", key, "-out", cert, "-days", "2",
                    "-nodes", "-subj", "/CN=Varquel throwaway test certificate",
                    "-addext", "extendedKeyUsage=codeSigning"], check=True, capture_output=True)
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", p12,
                    "-passout", "pass:throwaway"], check=True, capture_output=True)
    signing = os.path.join(work, "signing.json")
    with open(signing, "w", encoding="utf-8") as f:
        f.write('{"pkcs12": "%s", "timestampUrl": ""}' % p12)
    dist = os.path.join(work, "dist")
    command = [sys.executable, os.path.join(ctx.source, "packaging", "packages.py"),
               "--registration", os.path.join(ctx.build, "generated", "registration.json"),
               "--version", ctx.version, "--dist", dist, "--x64", ctx.bin(64, "Varquel.dll"),
               "--signing", signing, "--wixl", shutil.which("wixl")]
    if os.path.exists(ctx.bin(32, "Varquel.dll")):
        command += ["--x86", ctx.bin(32, "Varquel.dll")]
    result = subprocess.run(command, env=dict(os.environ, VARQUEL_SIGN_PASSWORD="throwaway"),
                            capture_output=True, text=True)
    check(result.returncode == 0, "the packaging step failed:\n%s%s" % (result.stdout, result.stderr))
    check("not signed" not in result.stdout, "the packaging step signed nothing:\n" + result.stdout)
    signed = glob.glob(os.path.join(dist, "*", "Varquel.dll")) + glob.glob(os.path.join(dist, "*.msi"))
    check(len(signed) >= 3, "too few files: %s" % signed)
    for path in signed:
        result = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", path], capture_output=True,
                                text=True)
        check(result.returncode == 0, "osslsigncode verify %s:\n%s%s" % (path, result.stdout, result.stderr))
        print("signed and verified: %s" % os.path.relpath(path, work))
    unsigned = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", ctx.bin(64, "Varquel.dll")],
                              capture_output=True, text=True)
    check(unsigned.returncode != 0, "osslsigncode verify passes an unsigned DLL")
    shutil.rmtree(work)


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("test", choices=["machine", "x86-machine", "both", "user", "regfree", "signing"])
    parser.add_argument("--source", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--store")
    parser.add_argument("--x86-client", action="store_true")
    args = parser.parse_args(argv[1:])
    ctx = Context(args)
    ctx.x86_client = args.x86_client
    {"machine": lambda: machine_cycle(ctx, "x64"), "x86-machine": lambda: machine_cycle(ctx, "x86"),
     "both": lambda: test_both(ctx), "user": lambda: test_user(ctx), "regfree": lambda: test_regfree(ctx),
     "signing": lambda: test_signing(ctx)}[args.test]()


if __name__ == "__main__":
    main(sys.argv)
