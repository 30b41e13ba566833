#!/usr/bin/env python3
"""The samples and the demo, run as a user runs them, against the simulated machine.

    sample_tests.py js|vbs|cpp|demo --source SRC --build BUILD

js, vbs and cpp run one sample client command by command in BUILD/samples-prefix;
demo runs scripts/demo.sh (which uses BUILD/demo-prefix) and samples/demo.js. Each
checks the simulated machine's JSON file afterwards: static addresses and masks,
gateways, DNS order, WINS servers and the default printer; and the prefix's
Internet Settings for the proxy.
"""
import argparse
import copy
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

SOURCE_DIR = None  # set by main
STORE = r"HKCU\Software\Ostrel2\Quoran\Profiles"
PROFILE_PROXIES = r"HKCU\Software\Ostrel2\Quoran\ProfileProxies"
INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
RESTORED_KEYS = ["IPAddress", "IPSubnet", "DefaultIPGateway", "DNSServerSearchOrder",
                 "WINSPrimaryServer", "WINSSecondaryServer"]


def winpath(path):
    """Windows path of a Unix path: Wine's cscript and regsvr32 read a leading / as a switch."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Checks:
    def __init__(self):
        self.failed = 0

    def check(self, ok, text, detail=None):
        print(("ok     " if ok else "FAILED ") + text, flush=True)
        if not ok:
            self.failed += 1
            if detail is not None:
                print("       " + str(detail).replace("\n", "\n       "), flush=True)
        return ok


def run_to_file(args, env, timeout):
    """Runs a program and returns its exit status and output. The output goes
    through a file, not a pipe: a wineserver started by the program inherits
    the handle and would keep a pipe open until it exits itself. A program
    that runs past `timeout` is killed and counts as failed."""
    with tempfile.TemporaryFile() as output:
        try:
            code = subprocess.run(args, env=env, stdout=output, stderr=subprocess.STDOUT, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            code = None
        output.seek(0)
        text = output.read().decode("utf-8", "replace").replace("\r", "")
        if code is None:
            return -1, text + f"\n(killed after {timeout} s)"
        return code, text


class Wine:
    """The 64-bit side of a prefix, through the 64-bit loader by name (plain
    `wine` starts the 32-bit loader once wine32 is installed)."""
    loader = None       # set by main: the 64-bit loader
    make_prefix = None  # set by main: the command that makes or completes a prefix

    def __init__(self, prefix, extra_env=None):
        self.prefix = prefix
        self.env = dict(os.environ, WINEPREFIX=prefix, WINEARCH="win64", WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", WINELOADER=Wine.loader)
        # Wine's WinINet would report it as the user's proxy whenever the prefix's own is off.
        self.env.pop("http_proxy", None)
        self.env.update(extra_env or {})

    def run(self, args, timeout=180):
        start = time.monotonic()
        code, out = run_to_file([Wine.loader] + args, self.env, timeout)
        self.elapsed = time.monotonic() - start
        return code, out

    def ensure_prefix(self):
        subprocess.run(Wine.make_prefix + [f"-DWINE_PREFIX={self.prefix}", "-P",
                                           os.path.join(SOURCE_DIR, "cmake", "MakeWinePrefix.cmake")],
                       env=self.env, check=True, timeout=600)

    def wait(self):
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=300)


# ---- The machine file ----

def load(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def save(path, machine):
    with open(path, "w", encoding="utf-8") as f:
        json.dump(machine, f, indent=2)


def profile_adapters(machine):
    """The adapters a profile holds: a configuration, a connection name, IP enabled."""
    for adapter in machine["Win32_NetworkAdapter"]:
        config = adapter.get("_configuration")
        if config and adapter.get("NetConnectionID") and config.get("IPEnabled") is not False:
            yield adapter


def skipped_adapters(machine):
    names = {a["Name"] for a in profile_adapters(machine)}
    return [a for a in machine["Win32_NetworkAdapter"] if a["Name"] not in names]


def default_printers(machine):
    return [p["DeviceID"] for p in machine.get("Win32_Printer", []) if p.get("Default") is True]


def network_printer(machine):
    return next(p["DeviceID"] for p in machine["Win32_Printer"] if p["DeviceID"].startswith("\\\\"))


def office_machine(example):
    """The example machine as at the office: the network printer is the default."""
    office = copy.deepcopy(example)
    target = network_printer(office)
    for p in office["Win32_Printer"]:
        p["Default"] = p["DeviceID"] == target
    return office


def is_ipv6(entry):
    return ":" in entry


def ipv4(entries):
    return [e for e in entries or [] if not is_ipv6(e)]


def ipv4_paired(lease):
    """The lease's masks of its IPv4 addresses."""
    return [m for a, m in zip(lease.get("IPAddress") or [], lease.get("IPSubnet") or []) if not is_ipv6(a)]


def loaded_masks(config):
    """The masks of a stored static adapter as Load gives them back: the stored set in
    the registry's order, and the one IPv4 mask once more for every further IPv4 address."""
    masks = sorted(set(config["IPSubnet"]), key=str.lower)
    sent = [m for m in masks if not is_ipv6(m) and not m.isdigit()]
    if len(sent) == 1:
        masks += sent * (len(ipv4(config["IPAddress"])) - 1)
    return masks


def move(machine):
    """Another network: static adapters on DHCP with their lease, DNS and WINS gone,
    a local printer the default. Done on the file, not through Varquel."""
    moved = copy.deepcopy(machine)
    for adapter in profile_adapters(moved):
        config = adapter["_configuration"]
        if config.get("DHCPEnabled"):
            continue
        config["DHCPEnabled"] = True
        # DHCP gives the IPv4 entries; the IPv6 ones stay, as on Windows.
        lease = config.get("_dhcpLease", {})
        kept = [i for i, a in enumerate(config.get("IPAddress") or []) if is_ipv6(a)]
        config["IPAddress"] = ipv4(lease.get("IPAddress")) + [config["IPAddress"][i] for i in kept] or None
        config["IPSubnet"] = ipv4_paired(lease) + [config["IPSubnet"][i] for i in kept] or None
        config["DefaultIPGateway"] = (ipv4(lease.get("DefaultIPGateway")) +
                                      [g for g in config.get("DefaultIPGateway") or [] if is_ipv6(g)]) or None
        config["DNSServerSearchOrder"] = None
        config["WINSPrimaryServer"] = None
        config["WINSSecondaryServer"] = None
    local = next(p["DeviceID"] for p in moved["Win32_Printer"] if not p["DeviceID"].startswith("\\\\"))
    for p in moved["Win32_Printer"]:
        p["Default"] = p["DeviceID"] == local
    return moved


def check_restored(checks, expected, final_path, what):
    """The machine file holds the expected profile adapters' settings and default printer."""
    final = load(final_path)
    finals = {a["Name"]: a.get("_configuration") or {} for a in final["Win32_NetworkAdapter"]}
    for adapter in profile_adapters(expected):
        config, now = adapter["_configuration"], finals.get(adapter["Name"], {})
        label = f"{what}: {adapter['NetConnectionID']}"
        if config.get("DHCPEnabled"):
            checks.check(now.get("DHCPEnabled") is True, f"{label} is on DHCP", now)
            continue
        checks.check(now.get("DHCPEnabled") is False, f"{label} is static", now)
        for key in RESTORED_KEYS:
            checks.check(now.get(key) == config.get(key), f"{label} {key} = {json.dumps(config.get(key))}",
                         f"machine has {json.dumps(now.get(key))}")
    checks.check(default_printers(final) == default_printers(expected),
                 f"{what}: default printer {default_printers(expected)}", default_printers(final))


def check_journal(checks, path):
    """The simulated machine refused nothing that Varquel sent as malformed."""
    lines = open(path, encoding="utf-8").read().splitlines() if os.path.exists(path) else []
    rejects = [line for line in lines if line.startswith("reject ")]
    checks.check(lines and not rejects, f"journal: {len(lines)} calls, none rejected", "\n".join(rejects[:5]))


# ---- A sample client, command by command ----

def sample_test(client, source, build):
    checks = Checks()
    work = os.path.join(build, "tests", "samples", client)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    machine_path = os.path.join(work, "machine.json")
    journal = os.path.join(work, "journal.txt")
    wine = Wine(os.path.join(build, "samples-prefix"),
                {"VARQUEL_SIM_MACHINE": machine_path, "VARQUEL_SIM_JOURNAL": journal})
    wine.ensure_prefix()
    for dll in ["Varquel.dll", "VarquelSim.dll"]:
        rc, out = wine.run(["regsvr32", "/s", winpath(os.path.join(build, "bin", dll))])
        if not checks.check(rc == 0, f"regsvr32 {dll}", out):
            return 1
    wine.run(["reg", "delete", r"HKCU\Software\Ostrel2", "/f"])   # a store of our own: start empty

    example = load(os.path.join(source, "docs", "example-machine.json"))
    office = office_machine(example)
    save(machine_path, office)

    command = {
        "js": ["cscript", "//nologo", winpath(os.path.join(source, "samples", "varquel.js"))],
        "vbs": ["cscript", "//nologo", winpath(os.path.join(source, "samples", "varquel.vbs"))],
        "cpp": [os.path.join(build, "bin", "VarquelClient.exe")],
    }[client]

    def run(*args, rc=0):
        code, out = wine.run(command + list(args))
        print(f"--- {client} {' '.join(args)} (exit {code}, {wine.elapsed:.1f} s)\n{out.rstrip()}", flush=True)
        checks.check(code == rc, f"'{' '.join(args)}' exits {rc}", f"exit {code}")
        return out

    out = run(rc=1)
    checks.check("usage" in out, "no command: usage")
    out = run("list")
    checks.check("No stored profiles." in out, "list on an empty store")

    # What the machine holds, as the client sees it.
    out = run("current")
    for adapter in profile_adapters(office):
        checks.check(adapter["Name"] in out, f"current shows {adapter['Name']}")
        config = adapter["_configuration"]
        if not config.get("DHCPEnabled"):
            checks.check(", ".join(config["IPAddress"]) in out, f"current shows {config['IPAddress']}")
            dns = config.get("DNSServerSearchOrder") or []
            checks.check((", ".join(dns) or "(none)") in out, "current shows the DNS servers in order")
    for adapter in skipped_adapters(office):
        checks.check(adapter["Name"] not in out, f"current leaves out {adapter['Name']}")
    checks.check(f"default printer {network_printer(office)}" in out, "current shows the default printer")

    # Proxy: the Windows 11 machine has no Win32_Proxy, so the proxy is the
    # current user's, in the prefix's Internet Settings. From none: set, read back.
    # The user's whole setting is shown beside it.
    for value in ("ProxyEnable", "ProxyServer", "ProxyOverride"):
        wine.run(["reg", "delete", INTERNET_SETTINGS, "/v", value, "/f"])
    out = run("proxy")
    checks.check("proxy (none)  port (none)" in out, "proxy read: none")
    checks.check("user's proxy: detect off, script off (none), server off (none), bypass (none)" in out,
                 "user's proxy read: none", out)
    out = run("proxy", "proxy2.example.org", "3128")
    checks.check("proxy proxy2.example.org  port 3128" in out, "proxy set and read back")
    checks.check("user's proxy: detect off, script off (none), server on proxy2.example.org:3128, bypass (none)" in out,
                 "user's proxy read back", out)
    code, stored = wine.run(["reg", "query", INTERNET_SETTINGS])
    values = {line.split()[0]: line.split()[-1] for line in stored.splitlines() if "REG_" in line}
    checks.check(values.get("ProxyEnable") == "0x1" and values.get("ProxyServer") == "proxy2.example.org:3128",
                 "the user's proxy is on and set", stored)

    # Capture, twice: the second replaces the first. Each remembers the
    # user's proxy with the profile.
    run("capture", "Office")
    out = run("capture", "Office")
    remembered = "proxy detect off, script off (none), server on proxy2.example.org:3128, bypass (none)"
    checks.check(remembered in out, "capture remembers the user's proxy", out)
    out = run("list")
    checks.check(out.split() == ["Office"], "list after two captures: Office, once", out)
    code, store = wine.run(["reg", "query", STORE, "/s"])
    ethernet = next(a for a in profile_adapters(office) if not a["_configuration"].get("DHCPEnabled"))
    checks.check(code == 0 and ethernet["Name"] in store and network_printer(office) in store,
                 "the store holds the adapter and the default printer", store)

    # The store keeps a list as a set: the two IPv4 addresses' common mask is
    # stored once, and loading gives it back to each.
    out = run("show", "Office")
    masks = loaded_masks(ethernet["_configuration"])
    checks.check(f"subnet masks  {', '.join(masks)}\n" in out, "show: a mask for each address", out)
    checks.check(f"default printer {network_printer(office)}" in out, "show: the default printer")
    checks.check(remembered in out, "show: the remembered proxy", out)
    code, stored = wine.run(["reg", "query", PROFILE_PROXIES + r"\Office"])
    checks.check(code == 0 and "proxy2.example.org:3128" in stored, "the proxy is stored beside the profiles", stored)

    # Another network, then back.
    moved = move(office)
    save(machine_path, moved)
    run("apply", "Office")
    check_restored(checks, office, machine_path, "after apply")

    # Away again with the proxy off, then a switch: its preview changes
    # nothing, and the switch reports what it did and leaves the machine and
    # the proxy as the profile says.
    save(machine_path, moved)
    wine.run(["reg", "add", INTERNET_SETTINGS, "/v", "ProxyEnable", "/t", "REG_DWORD", "/d", "0", "/f"])
    out = run("preview", "Office")
    checks.check("would change" in out and "already as planned" in out, "preview: what would change", out)
    checks.check(re.search(r"Proxy: direct.* -> proxy proxy2\.example\.org:3128", out), "preview: the proxy would change",
                 out)
    checks.check(load(machine_path) == moved, "preview changed nothing")
    out = run("switch", "Office")
    checks.check('Switch to "Office": succeeded.' in out, "switch: succeeded", out)
    check_restored(checks, office, machine_path, "after switch")
    code, stored = wine.run(["reg", "query", INTERNET_SETTINGS, "/v", "ProxyEnable"])
    checks.check("0x1" in stored, "switch: the proxy is on again", stored)

    out = run("shares")
    for share in office["Win32_Share"]:
        line = f"{share['Name']}  {share['Path'] if share.get('Path') else '(no path)'}"
        checks.check(line in out.splitlines(), f"shares: {line}")
    checks.check(len(load(machine_path)["Win32_Share"]) == len(office["Win32_Share"]), "listing changed no share")

    # Unknown names, then delete.
    run("show", "Elsewhere", rc=2)
    run("apply", "Elsewhere", rc=2)
    run("delete", "Office")
    out = run("list")
    checks.check("No stored profiles." in out, "list after delete")
    code, stored = wine.run(["reg", "query", PROFILE_PROXIES + r"\Office"])
    checks.check(code != 0, "delete forgets the profile's proxy", stored)
    run("delete", "Office", rc=2)

    wine.wait()
    check_journal(checks, journal)
    print(f"{client}: {checks.failed} check(s) failed" if checks.failed else f"{client}: all checks passed")
    return 1 if checks.failed else 0


# ---- The demo ----

def demo_test(source, build):
    checks = Checks()
    work = os.path.join(build, "tests", "samples", "demo")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    journal = os.path.join(work, "journal.txt")
    example = load(os.path.join(source, "docs", "example-machine.json"))
    expected = office_machine(example)    # the demo makes the network printer the office default

    # scripts/demo.sh as the user runs it, on this build tree, twice: the second
    # run replaces the stored profile.
    env = dict(os.environ, VARQUEL_BUILD_DIR=build, VARQUEL_DEMO_SKIP_BUILD="1", VARQUEL_SIM_JOURNAL=journal)
    for run in (1, 2):
        code, out = run_to_file([os.path.join(source, "scripts", "demo.sh")], env, 600)
        print(f"--- scripts/demo.sh, run {run} (exit {code})\n{out.rstrip()}", flush=True)
        checks.check(code == 0, f"demo run {run} exits 0")
        checks.check("The machine is back" in out and "Demo done" in out, f"demo run {run} says the machine is back")
        # The demo's prefix may hold "Office" from an earlier run: only the second must replace it.
        stored = ['Replaced "Office"'] if run == 2 else ['Stored "Office"', 'Replaced "Office"']
        checks.check(any(s in out for s in stored), f"demo run {run} stores Office")
        checks.check("after the move" in out and "(from DHCP)" in out, f"demo run {run} shows before and after")
        checks.check("proxy: now direct" in out and "ProfileSwitch.SetProxy" in out and
                     "proxy proxy.example.com:8080, on (Internet Settings)" in out,
                     f"demo run {run} remembers the proxy, turns it off, and the switch turns it on again")
        checks.check("proxy off again: rolled back with the rest" in out,
                     f"demo run {run}: a rolled-back switch takes the proxy back")
        checks.check("Preview (ProfileSwitch.Preview" in out and 'Switch to "Office": succeeded.' in out,
                     f"demo run {run} previews and switches")
        checks.check("Administrator rights are needed" in out and "no adapter changed without administrator rights" in out,
                     f"demo run {run} tells a user without administrator rights why the switch failed")
        check_restored(checks, expected, os.path.join(build, "demo-machine.json"), f"demo run {run}")
    check_journal(checks, journal)

    # The verdict is not vacuous: a machine that refuses the profile's addresses
    # (a malformed address was captured) ends different, and the demo says so.
    wine = Wine(os.path.join(build, "samples-prefix"),
                {"VARQUEL_SIM_MACHINE": os.path.join(work, "refusing.json")})
    wine.ensure_prefix()
    for dll in ["Varquel.dll", "VarquelSim.dll"]:
        wine.run(["regsvr32", "/s", winpath(os.path.join(build, "bin", dll))])
    wine.run(["reg", "delete", r"HKCU\Software\Ostrel2", "/f"])
    refusing = copy.deepcopy(example)
    config = next(a for a in profile_adapters(refusing) if not a["_configuration"].get("DHCPEnabled"))["_configuration"]
    config["IPAddress"] = [config["IPAddress"][0], "192.168.10.999"]
    save(os.path.join(work, "refusing.json"), refusing)
    code, out = wine.run(["cscript", "//nologo", winpath(os.path.join(source, "samples", "demo.js"))])
    print(f"--- demo.js on a machine that refuses the addresses (exit {code})\n{out.rstrip()}", flush=True)
    checks.check(code == 1 and "DIFFERS" in out, "demo exits 1 when the machine does not end as the profile says")

    print(f"demo: {checks.failed} check(s) failed" if checks.failed else "demo: all checks passed")
    return 1 if checks.failed else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("what", choices=["js", "vbs", "cpp", "demo"])
    parser.add_argument("--source", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--wine-loader", required=True, help="the 64-bit Wine loader")
    parser.add_argument("--cmake", required=True)
    args = parser.parse_args()
    source, build = os.path.abspath(args.source), os.path.abspath(args.build)
    global SOURCE_DIR
    SOURCE_DIR = source
    Wine.loader, Wine.make_prefix = args.wine_loader, [args.cmake]
    if args.what == "demo":
        return demo_test(source, build)
    return sample_test(args.what, source, build)


if __name__ == "__main__":
    sys.exit(main())
