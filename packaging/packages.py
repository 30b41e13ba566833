#!/usr/bin/env python3
"""The server's distribution, made from the build.

  packages.py --registration REG.json --version V --dist DIR --x64 DLL [--x86 DLL]
              [--wixl WIXL] [--signing SIGNING.json] [--osslsigncode TOOL]

REG.json is what the server's own registration wrote (RegistrationCapture).
Stages DIR/x64 and DIR/x86 (Varquel.dll and the assembly manifest beside it),
signs the DLLs where a certificate is given, writes the Windows Installer
packages' sources (DIR/wxs) and builds them with wixl:

  DIR/Varquel-V-x64.msi, DIR/Varquel-V-x64-user.msi, and the same for x86.

Signing: SIGNING.json names the PKCS#12 file ("pkcs12", empty for none) and a
timestamp URL ("timestampUrl", may be empty); the password comes from the
environment (VARQUEL_SIGN_PASSWORD) when the packages are made.

Imported by the tests, which check installed packages against the rows made here.
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import uuid
from xml.sax.saxutils import quoteattr

# The assembly that clients name in their manifests, and its file.
ASSEMBLY_NAME = "Varquel.Server"
MANIFEST_NAME = ASSEMBLY_NAME + ".manifest"
DLL_NAME = "Varquel.dll"
MANUFACTURER = "Ostrel2"
ARCHES = ("x64", "x86")
SCOPES = ("machine", "user")

# Each package's UpgradeCode, fixed for ever: a newer version replaces an
# older one of the same package, never another package.
UPGRADE_CODES = {
    ("x64", "machine"): "46F22F9B-1128-4682-87ED-00653039D9D1",
    ("x64", "user"): "DCE153B0-26EB-49C2-98AE-A071E8D5AAE8",
    ("x86", "machine"): "815CD429-67E6-43C7-94B3-77B4F972ACD8",
    ("x86", "user"): "6EF32B00-2A03-4596-A2CB-941495D3CA10",
}
# Component GUIDs are made from this and the component's identity, so that a
# component keeps its GUID from build to build and version to version.
COMPONENT_NAMESPACE = uuid.UUID("4F9FFDB5-EC9E-4F7A-8A56-C06C43F23E38")

# Below the classes root, the keys that 64-bit Windows keeps apart for 32-bit
# and 64-bit programs ("Registry Keys Affected by WOW64"); all others are one
# key for both. A type library's platform entries (…\<lcid>\win32|win64) and
# its HELPDIR are each bitness's own as well.
PER_BITNESS_TOPS = ("clsid", "interface")
SYSKIND = {"x64": "win64", "x86": "win32"}
# The x64 packages own the type library's HELPDIR, the one value that differs
# by bitness under a key that both share.
HELPDIR_OWNER = "x64"

# Where each package installs (Windows Installer's folder properties), and the
# folder's path as a formatted text without the final backslash, as the
# server's own registration writes its directory.
FOLDERS = {
    ("x64", "machine"): ("ProgramFiles64Folder", ["Varquel"]),
    ("x86", "machine"): ("ProgramFilesFolder", ["Varquel"]),
    ("x64", "user"): ("LocalAppDataFolder", ["Varquel", "x64"]),
    ("x86", "user"): ("LocalAppDataFolder", ["Varquel", "x86"]),
}
USER_CLASSES = "Software\\Classes\\"
THREADING_MODELS = {"apartment": "Apartment", "free": "Free", "both": "Both", "neutral": "Neutral"}


class Registration:
    """What the server's registration wrote below a classes root."""

    def __init__(self, path):
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        self.module = data["module"]
        self.directory = self.module.rsplit("\\", 1)[0]
        self.keys = [(k["key"], [(v["name"], v["data"]) for v in k["values"]]) for k in data["keys"]]
        self.libid = data["typelib"]["libid"]
        self.typelib_version = data["typelib"]["version"]
        self.dual_interfaces = [(i["iid"], i["name"]) for i in data["dualInterfaces"]]

    def values(self, key):
        for k, values in self.keys:
            if k.lower() == key.lower():
                return dict(values)
        return None

    def subkeys(self, key):
        prefix = key.lower() + "\\"
        return [k for k, _ in self.keys if k.lower().startswith(prefix) and "\\" not in k[len(prefix):]]

    def classes(self):
        """The registered classes: CLSID, ProgIDs, threading model, friendly name."""
        found = []
        for key, values in self.keys:
            parts = key.split("\\")
            if len(parts) != 2 or parts[0].lower() != "clsid" or self.values(key + "\\InprocServer32") is None:
                continue
            found.append({
                "clsid": parts[1],
                "description": dict(values).get(""),
                "progid": (self.values(key + "\\ProgID") or {}).get(""),
                "versionIndependentProgId": (self.values(key + "\\VersionIndependentProgID") or {}).get(""),
                "threadingModel": self.values(key + "\\InprocServer32").get("ThreadingModel", ""),
            })
        return found


class Row:
    """One registry row of a package: a value, or a key created empty (name None)."""

    def __init__(self, key, name, data):
        self.key, self.name, self.data = key, name, data

    def __repr__(self):
        return "Row(%r, %r, %r)" % (self.key, self.name, self.data)


def folder_text(arch, scope):
    root, names = FOLDERS[(arch, scope)]
    return "[%s]%s" % (root, "\\".join(names))


def is_per_bitness(key, libid):
    parts = key.lower().split("\\")
    if parts[0] in PER_BITNESS_TOPS:
        return True
    # TypeLib\{libid}\<version>\<lcid>\<syskind>, and the HELPDIR.
    return (parts[0] == "typelib" and len(parts) >= 4 and parts[1] == libid.lower() and
            (len(parts) >= 5 or parts[3] == "helpdir"))


def is_helpdir(key):
    parts = key.lower().split("\\")
    return parts[0] == "typelib" and len(parts) == 4 and parts[3] == "helpdir"


def shared_unit(key):
    """The component a shared key belongs to: its top key, or within AppID and
    TypeLib the key below them."""
    parts = key.split("\\")
    return "\\".join(parts[:2]) if parts[0].lower() in ("appid", "typelib") else parts[0]


def rows(registration, arch, module, directory):
    """The rows of the server's registration for one bitness, with the
    module's path and directory written as `module` and `directory`: the 64-bit
    registration as it was captured, or the x86 one derived from it (its own
    file, the win32 type-library entries). Returns (per-bitness rows, {shared
    unit: rows})."""
    per_bitness, shared = [], {}
    all_keys = [k.lower() for k, _ in registration.keys]
    for key, values in registration.keys:
        if arch != "x64":
            key = re.sub(r"\\win64$", "\\\\" + SYSKIND[arch], key, flags=re.IGNORECASE)
        if is_helpdir(key) and arch != HELPDIR_OWNER:
            continue
        out = []
        for name, data in values:
            if data == registration.module:
                data = module
            elif data == registration.directory:
                data = directory
            elif registration.directory.lower() in data.lower():
                raise ValueError("%s\\%s holds the module's folder inside a longer text: %r" % (key, name, data))
            out.append(Row(key, name, data))
        has_subkeys = any(k.startswith(key.lower() + "\\") for k in all_keys)
        if not values and not has_subkeys:
            out.append(Row(key, None, None))
        if is_per_bitness(key, registration.libid):
            per_bitness.extend(out)
        elif out:
            shared.setdefault(shared_unit(key), []).extend(out)
    return per_bitness, shared


def braced(guid):
    return "{%s}" % str(guid).upper()


def component_guid(identity):
    return braced(uuid.uuid5(COMPONENT_NAMESPACE, identity))


def product_code(arch, scope, version):
    """A new ProductCode for every version (a major upgrade), the same for one
    version in every build."""
    return braced(uuid.uuid5(uuid.UUID(UPGRADE_CODES[(arch, scope)]), version))


def upgrade_code(arch, scope):
    return braced(UPGRADE_CODES[(arch, scope)])


def next_build(version):
    """The first version past this one's first three fields: Windows
    Installer compares no more of them."""
    major, minor, build = (int(x) for x in version.split(".")[:3])
    return "%d.%d.%d" % (major, minor, build + 1)


def manifest(registration, arch, version):
    """The assembly manifest beside Varquel.dll: every class with its ProgIDs
    and threading model, the type library, and a proxy-stub entry for every
    dual interface, so that calls between apartments are marshaled through
    the type library."""
    architecture = {"x64": "amd64", "x86": "x86"}[arch]
    lines = ['<?xml version="1.0" encoding="UTF-8" standalone="yes"?>',
             '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">',
             '  <assemblyIdentity type="win32" name=%s version=%s processorArchitecture=%s/>'
             % (quoteattr(ASSEMBLY_NAME), quoteattr(version), quoteattr(architecture)),
             '  <file name=%s>' % quoteattr(DLL_NAME)]
    for c in registration.classes():
        model = THREADING_MODELS[c["threadingModel"].lower()]
        lines.append('    <comClass clsid=%s progid=%s threadingModel=%s tlbid=%s description=%s>'
                     % (quoteattr(c["clsid"]), quoteattr(c["progid"]), quoteattr(model),
                        quoteattr(registration.libid), quoteattr(c["description"])))
        if c["versionIndependentProgId"]:
            lines.append('      <progid>%s</progid>' % c["versionIndependentProgId"])
        lines.append('    </comClass>')
    lines.append('    <typelib tlbid=%s version=%s helpdir=""/>'
                 % (quoteattr(registration.libid), quoteattr(registration.typelib_version)))
    lines.append('  </file>')
    for iid, name in registration.dual_interfaces:
        proxy = (registration.values("Interface\\%s\\ProxyStubClsid32" % iid) or {}).get("")
        if not proxy:
            raise ValueError("the registration names no marshaler for %s" % name)
        lines.append('  <comInterfaceExternalProxyStub iid=%s name=%s tlbid=%s proxyStubClsid32=%s/>'
                     % (quoteattr(iid), quoteattr(name), quoteattr(registration.libid), quoteattr(proxy)))
    lines.append('</assembly>')
    return "\n".join(lines) + "\n"


def registry_xml(row, scope, indent):
    root, key = ("HKCU", USER_CLASSES + row.key) if scope == "user" else ("HKCR", row.key)
    if row.name is None:
        # A key written empty: "*" creates it, and uninstalling removes it.
        return '%s<RegistryValue Root="%s" Key=%s Name="*" Type="string"/>' % (indent, root, quoteattr(key))
    name = ' Name=%s' % quoteattr(row.name) if row.name else ""
    return '%s<RegistryValue Root="%s" Key=%s%s Value=%s Type="string"/>' % (
        indent, root, quoteattr(key), name, quoteattr(row.data))


def key_path_of(rows_):
    for i, row in enumerate(rows_):
        if row.name is not None and row.data:
            return i
    return 0


def wxs(registration, arch, scope, version, source_dir):
    """The WiX source of one package."""
    win64 = "yes" if arch == "x64" else "no"
    per_bitness, shared = rows(registration, arch, "[#VarquelDll]", folder_text(arch, scope))
    root, names = FOLDERS[(arch, scope)]
    title = "Varquel (%s%s)" % (arch, ", current user" if scope == "user" else "")
    out = ['<?xml version="1.0" encoding="utf-8"?>',
           '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">',
           '  <Product Id="%s" Name=%s Language="1033" Version="%s" Manufacturer=%s UpgradeCode="%s">'
           % (product_code(arch, scope, version), quoteattr(title), version, quoteattr(MANUFACTURER),
              upgrade_code(arch, scope)),
           '    <Package InstallerVersion="500" Compressed="yes" InstallScope="%s" Description=%s/>'
           % ("perUser" if scope == "user" else "perMachine", quoteattr(title)),
           '    <MajorUpgrade DowngradeErrorMessage="A newer version of %s is already installed."/>' % title,
           # Windows Installer compares three fields: a build that differs in the
           # fourth alone replaces the installed one too.
           '    <Upgrade Id="%s">' % upgrade_code(arch, scope),
           '      <UpgradeVersion Maximum="%s" Property="WIX_UPGRADE_DETECTED"/>' % next_build(version),
           '    </Upgrade>',
           '    <Media Id="1" Cabinet="varquel.cab" EmbedCab="yes"/>',
           '    <Directory Id="TARGETDIR" Name="SourceDir">',
           '      <Directory Id="%s">' % root]
    for depth, name in enumerate(names):
        folder_id = "VarquelFolder" if depth == len(names) - 1 else "VarquelParent%d" % depth
        out.append('%s<Directory Id="%s" Name=%s>' % ("  " * (4 + depth), folder_id, quoteattr(name)))
    indent = "  " * (4 + len(names))
    # The server: its file, its manifest, and the rows 64-bit Windows keeps
    # apart for each bitness. Per user, its key path is a registry row under
    # HKCU, as for anything installed into the user's profile.
    server_key = key_path_of(per_bitness) if scope == "user" else None
    out.append('%s<Component Id="Server" Guid="%s" Win64="%s">'
               % (indent, component_guid("%s-%s:server" % (scope, arch)), win64))
    out.append('%s  <File Id="VarquelDll" Name="%s" Source="%s/%s"%s/>'
               % (indent, DLL_NAME, source_dir, DLL_NAME, "" if scope == "user" else ' KeyPath="yes"'))
    out.append('%s  <File Id="VarquelManifest" Name="%s" Source="%s/%s"/>'
               % (indent, MANIFEST_NAME, source_dir, MANIFEST_NAME))
    for i, row in enumerate(per_bitness):
        line = registry_xml(row, scope, indent + "  ")
        out.append(line.replace("/>", ' KeyPath="yes"/>') if i == server_key else line)
    out.append('%s  <RemoveFolder Id="RemoveVarquelFolder" On="uninstall"/>' % indent)
    out.append('%s</Component>' % indent)
    # The keys both bitnesses share: one component each, with the same GUID in
    # both packages of a scope, authored as 32-bit components, so that
    # Windows Installer counts both packages as their clients. Components that
    # share a GUID must be identical, their folder too: per machine they stand
    # in TARGETDIR; per user in the folder both packages install below, which
    # the last of them removes.
    shared_xml = []
    shared_indent = "  " * 5 if scope == "user" else "      "
    for n, unit in enumerate(sorted(shared, key=str.lower)):
        unit_rows = shared[unit]
        shared_xml.append('%s<Component Id="Shared%d" Guid="%s" Win64="no">'
                          % (shared_indent, n, component_guid("%s-shared:%s" % (scope, unit.lower()))))
        key_path = key_path_of(unit_rows)
        for i, row in enumerate(unit_rows):
            line = registry_xml(row, scope, shared_indent + "  ")
            shared_xml.append(line.replace("/>", ' KeyPath="yes"/>') if i == key_path else line)
        if n == 0 and scope == "user":
            shared_xml.append('%s  <RemoveFolder Id="RemoveVarquelParent" On="uninstall"/>' % shared_indent)
        shared_xml.append('%s</Component>' % shared_indent)
    for depth in reversed(range(len(names))):
        if scope == "user" and depth == 0:
            out += shared_xml
        out.append('%s</Directory>' % ("  " * (4 + depth)))
    out.append('      </Directory>')
    if scope == "machine":
        out += shared_xml
    out += ['    </Directory>', '    <Feature Id="Server" Level="1">',
            '      <ComponentRef Id="Server"/>']
    out += ['      <ComponentRef Id="Shared%d"/>' % n for n in range(len(shared))]
    out += ['    </Feature>', '  </Product>', '</Wix>']
    return "\n".join(out) + "\n"


def package_name(version, arch, scope):
    return "Varquel-%s-%s%s.msi" % (version, arch, "-user" if scope == "user" else "")


def sign(path, pkcs12, password, timestamp_url, tool="osslsigncode"):
    """Signs a PE file or a package in place (Authenticode, SHA-256)."""
    with tempfile.TemporaryDirectory() as scratch:
        pass_file = os.path.join(scratch, "pass")
        with open(os.open(pass_file, os.O_WRONLY | os.O_CREAT, 0o600), "w") as f:
            f.write(password)
        signed = os.path.join(scratch, os.path.basename(path))
        command = [tool, "sign", "-pkcs12", pkcs12, "-readpass", pass_file, "-n", "Varquel", "-h", "sha256"]
        if timestamp_url:
            command += ["-t", timestamp_url]
        result = subprocess.run(command + ["-in", path, "-out", signed], capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError("signing %s failed:\n%s%s" % (path, result.stdout, result.stderr))
        shutil.move(signed, path)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--registration", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--dist", required=True)
    parser.add_argument("--x64", required=True)
    parser.add_argument("--x86")
    parser.add_argument("--wixl")
    parser.add_argument("--signing")
    parser.add_argument("--osslsigncode", default="osslsigncode")
    args = parser.parse_args(argv[1:])

    registration = Registration(args.registration)
    signing = {}
    if args.signing:
        with open(args.signing, encoding="utf-8") as f:
            signing = json.load(f)
    pkcs12 = signing.get("pkcs12", "")
    password = os.environ.get("VARQUEL_SIGN_PASSWORD", "")
    def signed(path):
        if pkcs12:
            sign(path, pkcs12, password, signing.get("timestampUrl", ""), args.osslsigncode)

    dlls = {"x64": args.x64, "x86": args.x86}
    arches = [a for a in ARCHES if dlls[a]]
    for old in os.listdir(args.dist) if os.path.isdir(args.dist) else []:
        if old.endswith(".msi"):
            os.remove(os.path.join(args.dist, old))
    for arch in arches:
        folder = os.path.join(args.dist, arch)
        os.makedirs(folder, exist_ok=True)
        shutil.copyfile(dlls[arch], os.path.join(folder, DLL_NAME))
        signed(os.path.join(folder, DLL_NAME))
        with open(os.path.join(folder, MANIFEST_NAME), "w", encoding="utf-8", newline="\r\n") as f:
            f.write(manifest(registration, arch, args.version))
    if args.wixl:
        sources = os.path.join(args.dist, "wxs")
        os.makedirs(sources, exist_ok=True)
        for arch in arches:
            for scope in SCOPES:
                name = package_name(args.version, arch, scope)
                source = os.path.join(sources, name[:-len(".msi")] + ".wxs")
                with open(source, "w", encoding="utf-8") as f:
                    f.write(wxs(registration, arch, scope, args.version, arch))
                output = os.path.abspath(os.path.join(args.dist, name))
                # wixl finds the files relative to its working folder.
                result = subprocess.run([args.wixl, "-a", arch, "-o", output, os.path.abspath(source)],
                                        cwd=args.dist, capture_output=True, text=True)
                if result.returncode != 0 or not os.path.exists(output):
                    sys.exit("wixl failed on %s (%d):\n%s%s" % (source, result.returncode, result.stdout,
                                                               result.stderr))
                signed(output)
                print("packages: %s" % output)
    if not pkcs12:
        print("packages: not signed (no certificate: set VARQUEL_SIGN_PKCS12, and VARQUEL_SIGN_PASSWORD, "
              "when configuring)")


if __name__ == "__main__":
    main(sys.argv)
