#!/usr/bin/env bash
# The main job end to end, on a simulated machine in a Wine prefix of its own:
# set up and build, register Varquel.dll and the simulated machine
# (VarquelSim.dll) in build/demo-prefix, then run samples/demo.js, which lists
# the machine, captures it as the profile "Office" and remembers the office
# proxy with it (the current user's, in the prefix's Internet Settings), moves
# the machine to another network with the proxy off, switches back to
# "Office" and its proxy, and compares. After each switch the prefix's proxy
# is checked too. Exit status 0 only if the machine ends as the profile says.
#
# VARQUEL_BUILD_DIR   build tree to use (default build, set up by scripts/build.sh;
#                     another tree is built with cmake --build, targets only)
# VARQUEL_DEMO_SKIP_BUILD=1   use the build tree as it is (tests)
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD

build=${VARQUEL_BUILD_DIR:-build}
if [ "${VARQUEL_DEMO_SKIP_BUILD:-0}" != 1 ]; then
  if [ "$build" = build ]; then
    scripts/build.sh
  else
    cmake --build "$build" --target Varquel VarquelSim -j2
  fi
fi
build=$(cd "$build" && pwd)

for f in "$build/bin/Varquel.dll" "$build/bin/VarquelSim.dll"; do
  [ -f "$f" ] || { echo "demo: $f is missing; build first." >&2; exit 2; }
done

# Wine: the demo's own prefix only, quiet, no Mono or Gecko installer.
export WINEPREFIX="$build/demo-prefix"
source scripts/wine.sh
# Wine's WinINet reports http_proxy from the environment as the user's proxy
# whenever the prefix's own is off; the demo shows the prefix's own.
unset http_proxy

step() { printf '\n### %s\n' "$*"; }
# The Windows path of a Unix path (drive Z: is the Unix root). Wine's cscript
# and regsvr32 read a leading "/" as a switch, so they get these.
winpath() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }

step "Wine prefix $WINEPREFIX"
[ -f "$WINEPREFIX/system.reg" ] || echo "Creating it (once, a few seconds)."
make_wine_prefix || { echo "demo: could not create the Wine prefix." >&2; exit 2; }

# Under load, Wine was seen once failing to start the first program in this
# prefix ("ShellExecuteEx failed: Internal error") with nothing wrong in it;
# so a failed registration is tried once more, after the server has stopped.
register() { wine64 regsvr32 /s "$1" || { wineserver_wait; wine64 regsvr32 /s "$1"; }; }

step "Registering Varquel.dll and, in this prefix only, the simulated machine"
register "$(winpath "$build/bin/Varquel.dll")"
echo "Varquel.dll registered (eight classes, type library)."
# VarquelSim.dll becomes the prefix's SWbemLocator: every WMI client in this
# prefix now talks to the machine described by VARQUEL_SIM_MACHINE.
register "$(winpath "$build/bin/VarquelSim.dll")"
echo "VarquelSim.dll registered as the WMI locator."

machine="$build/demo-machine.json"
cp docs/example-machine.json "$machine"
export VARQUEL_SIM_MACHINE="$machine"
echo "The machine: $machine (a copy of docs/example-machine.json; see docs/simulated-machine.md)."
echo "The simulated machine writes its state back to that file after every change."

step "Running the demo client: cscript //nologo samples/demo.js"
status=0
wine64 cscript //nologo "$(winpath "$source_dir/samples/demo.js")" Office || status=$?
wineserver_wait   # the registry reaches disk, and the machine file is final

step "Checking the simulated machine's file on its own"
# The static adapters must be back as they were captured (addresses, masks,
# gateways, DNS order, WINS servers), DHCP adapters on DHCP, and the default
# printer the one stored in the profile. The proxy is the prefix's own Internet
# Settings: the switch turned the office proxy on again.
reg_value() {
  wine64 reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
stored_printer=$(reg_value 'HKCU\Software\Ostrel2\Quoran\Profiles\Office\Printers' Default)
internet='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
proxy_enable=$(reg_value "$internet" ProxyEnable)
proxy_server=$(reg_value "$internet" ProxyServer)
check=0
python3 - "$source_dir/docs/example-machine.json" "$machine" "$stored_printer" "$proxy_enable" "$proxy_server" <<'EOF' || check=$?
import json, sys
original, final = (json.load(open(p, encoding="utf-8")) for p in sys.argv[1:3])
stored_printer, proxy_enable, proxy_server = sys.argv[3:6]
keys = ["IPAddress", "IPSubnet", "DefaultIPGateway", "DNSServerSearchOrder", "WINSPrimaryServer", "WINSSecondaryServer"]
bad = 0
def report(ok, text):
    global bad
    bad += not ok
    print(("  ok       " if ok else "  DIFFERS  ") + text)
finals = {a.get("Name"): a for a in final.get("Win32_NetworkAdapter", [])}
for adapter in original.get("Win32_NetworkAdapter", []):
    config = adapter.get("_configuration")
    # Only adapters with a connection name and IP enabled belong to a profile.
    if not config or not adapter.get("NetConnectionID") or config.get("IPEnabled") is False:
        continue
    now = (finals.get(adapter["Name"]) or {}).get("_configuration") or {}
    label = adapter["NetConnectionID"]
    if config.get("DHCPEnabled"):
        report(now.get("DHCPEnabled") is True, f"{label}: DHCP")
        continue
    report(now.get("DHCPEnabled") is False, f"{label}: static")
    for key in keys:
        report(now.get(key) == config.get(key), f"{label}: {key} {json.dumps(now.get(key))}")
defaults = [p.get("DeviceID") for p in final.get("Win32_Printer", []) if p.get("Default") is True]
report(bool(stored_printer) and defaults == [stored_printer],
       f"default printer {defaults[0] if defaults else '(none)'} (profile: {stored_printer or '(none)'})")
report(proxy_enable == "0x1" and proxy_server == "proxy.example.com:8080",
       f"proxy {proxy_server or '(none)'}, {'on' if proxy_enable == '0x1' else 'off'} (Internet Settings)")
sys.exit(1 if bad else 0)
EOF

step "A second switch, by a user without administrator rights"
# The machine is away again (Ethernet on its DHCP lease, IPv6 kept, the proxy
# off), and the caller is not elevated: Windows refuses every network change.
# The user's proxy needs no rights, so the switch sets it, and takes it back
# with the rest when it rolls back. Afterwards the machine is put back as
# "Office" left it.
cp "$machine" "$build/demo-machine-office.json"
python3 - "$machine" <<'EOF'
import json, sys
path = sys.argv[1]
machine = json.load(open(path, encoding="utf-8"))
for adapter in machine.get("Win32_NetworkAdapter", []):
    config = adapter.get("_configuration") or {}
    if adapter.get("NetConnectionID") != "Ethernet":
        continue
    lease = config.get("_dhcpLease", {})
    v6 = [i for i, a in enumerate(config.get("IPAddress") or []) if ":" in a]
    config["DHCPEnabled"] = True
    config["IPAddress"] = [a for a in lease.get("IPAddress", []) if ":" not in a] + [config["IPAddress"][i] for i in v6]
    config["IPSubnet"] = [m for a, m in zip(lease.get("IPAddress", []), lease.get("IPSubnet", [])) if ":" not in a] + \
                         [config["IPSubnet"][i] for i in v6]
machine["_notElevated"] = True
json.dump(machine, open(path, "w", encoding="utf-8"), indent=2)
EOF
cp "$machine" "$build/demo-machine-not-elevated.json"
wine64 reg add "$internet" /v ProxyEnable /t REG_DWORD /d 0 /f >/dev/null
denied=0
wine64 cscript //nologo "$(winpath "$source_dir/samples/demo.js")" Office --not-elevated || denied=$?
wineserver_wait
unchanged=0
python3 - "$build/demo-machine-not-elevated.json" "$machine" <<'EOF' || unchanged=$?
import json, sys
before, after = (json.load(open(p, encoding="utf-8")) for p in sys.argv[1:3])
same = before["Win32_NetworkAdapter"] == after["Win32_NetworkAdapter"]
print(("  ok       " if same else "  DIFFERS  ") + "no adapter changed without administrator rights")
sys.exit(0 if same else 1)
EOF
proxy_enable=$(reg_value "$internet" ProxyEnable)
if [ "$proxy_enable" = 0x0 ]; then
  echo "  ok       proxy off again: rolled back with the rest (Internet Settings)"
else
  echo "  DIFFERS  proxy ${proxy_enable:-(none)}: the rolled-back switch left it changed"
  unchanged=1
fi
mv "$build/demo-machine-office.json" "$machine"
wine64 reg add "$internet" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null

echo
if [ "$status" -eq 0 ] && [ "$check" -eq 0 ] && [ "$denied" -eq 0 ] && [ "$unchanged" -eq 0 ]; then
  echo "Demo done: the machine ended as the profile \"Office\" says, and a user without administrator"
  echo "rights was told why the switch could not be made."
  exit 0
fi
echo "Demo failed: the client said $status, the file check said $check; without administrator rights the"
echo "client said $denied and the file check $unchanged."
exit 1
