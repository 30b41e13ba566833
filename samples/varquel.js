// varquel.js: a Varquel client for Windows Script Host (JScript), late-bound by ProgID.
//
//   cscript //nologo varquel.js list                  stored profiles
//   cscript //nologo varquel.js current               the machine's configuration now
//   cscript //nologo varquel.js capture NAME          capture the machine as profile NAME and store it,
//                                                     and remember the user's proxy with it
//   cscript //nologo varquel.js show NAME             what profile NAME holds, and its proxy
//   cscript //nologo varquel.js apply NAME            write profile NAME to the machine
//   cscript //nologo varquel.js preview NAME          what switching to profile NAME would change
//   cscript //nologo varquel.js switch NAME           switch to NAME and its proxy, verified, rolled
//                                                     back on failure
//   cscript //nologo varquel.js delete NAME           remove profile NAME and its proxy
//   cscript //nologo varquel.js proxy                 the machine's proxy server and port, and the
//                                                     user's whole proxy setting
//   cscript //nologo varquel.js proxy SERVER PORT     set the server and port
//   cscript //nologo varquel.js shares                the machine's network shares
//
// Exit status: 0 done, 1 wrong usage, 2 no such profile, 3 a call failed,
// 4 the switch failed (the report says which settings).
// Varquel.dll must be registered (regsvr32), and the script must run in the
// script host of the DLL's bitness (64-bit: C:\Windows\System32\cscript.exe).

var EXIT_USAGE = 1, EXIT_NO_PROFILE = 2, EXIT_FAILED = 3, EXIT_SWITCH_FAILED = 4;

// ---- Reading the objects ----

// An AddressList as "a, b, c".
function addressText(list) {
    var items = [];
    for (var i = 0; i < list.Count; i++) items.push(list.GetAt(i));
    return items.length ? items.join(", ") : "(none)";
}

// Prints one profile: its adapters, then its default printer.
function printProfile(profile) {
    var adapters = profile.NetAdaptersList;
    WScript.Echo("Profile \"" + profile.Name + "\": " + adapters.Count + " adapter(s)");
    for (var i = 0; i < adapters.Count; i++) {
        var a = adapters.NetAdapterPropertyGetAt(i);
        WScript.Echo("  " + a.Name + "  (connection \"" + a.NetConnectionID + "\")");
        if (a.IsDHCP) {
            // A DHCP adapter's profile holds only "DHCP", not its lease.
            WScript.Echo("    DHCP");
            continue;
        }
        WScript.Echo("    static");
        WScript.Echo("    IP addresses  " + addressText(a.IPAddresses));
        WScript.Echo("    subnet masks  " + addressText(a.SubnetMasks));
        WScript.Echo("    gateways      " + addressText(a.GateWayAddresses));
        WScript.Echo("    DNS servers   " + addressText(a.DNSAddresses));
        WScript.Echo("    WINS servers  " + addressText(a.WINSServers));
    }
    // GetDefault is the printer's DeviceID; empty or null when there is none.
    var printer = profile.PrintersProperty.GetDefault();
    WScript.Echo("  default printer " + (printer ? printer : "(none)"));
}

// A UserProxy's six fields on one line.
function userProxyText(u) {
    var onOff = function (flag) { return flag ? "on" : "off"; };
    var orNone = function (text) { return text ? text : "(none)"; };
    return "detect " + onOff(u.AutoDetect) + ", script " + onOff(u.AutoConfigEnabled) + " " + orNone(u.AutoConfigURL) +
           ", server " + onOff(u.ProxyEnabled) + " " + orNone(u.ProxyServer) + ", bypass " + orNone(u.ProxyBypass);
}

// The proxy remembered with a profile lives beside the store, under the
// profile's name; GetProxy answers null when there is none.
function printRememberedProxy(profile) {
    var remembered = new ActiveXObject("Varquel.ProfileSwitch").GetProxy(profile);
    WScript.Echo("  proxy " + (remembered ? userProxyText(remembered) : "(none remembered)"));
}

// ---- The store ----

// A fresh list holding the stored profiles. Load appends, so never reuse a list.
// Load also creates the store on a new machine, which Save needs.
function loadProfiles() {
    var profiles = new ActiveXObject("Varquel.NetProfilesList");
    profiles.Load();
    return profiles;
}

// Position of profile NAME in the list, or -1. Stored names are registry key
// names, which ignore case, so the match does too.
function findProfile(profiles, name) {
    for (var i = 0; i < profiles.Count; i++)
        if (profiles.NetProfileGetAt(i).Name.toLowerCase() == name.toLowerCase()) return i;
    return -1;
}

function requireProfile(profiles, name) {
    var i = findProfile(profiles, name);
    if (i < 0) {
        WScript.Echo("No stored profile \"" + name + "\".");
        WScript.Quit(EXIT_NO_PROFILE);
    }
    return i;
}

// ---- Commands ----

function list() {
    var profiles = loadProfiles();
    if (profiles.Count == 0) WScript.Echo("No stored profiles.");
    for (var i = 0; i < profiles.Count; i++) WScript.Echo(profiles.NetProfileGetAt(i).Name);
}

function current() {
    // A profile that is never added to a list is never stored.
    var profile = new ActiveXObject("Varquel.NetProfile");
    profile.Name = "(current)";
    profile.GetCurrent();
    printProfile(profile);
}

function capture(name) {
    var profiles = loadProfiles();
    var profile = new ActiveXObject("Varquel.NetProfile");
    profile.Name = name;
    profile.GetCurrent();          // the adapters' IP configuration and the default printer
    var i = findProfile(profiles, name);
    if (i >= 0) profiles.NetProfileSetAt(i, profile);   // replaces the old one
    else profiles.Add(profile);
    profiles.Save();               // rewrites the whole store from the list
    // The user's whole proxy setting, remembered with the profile.
    var userProxy = new ActiveXObject("Varquel.UserProxy");
    userProxy.GetCurrent();
    new ActiveXObject("Varquel.ProfileSwitch").SetProxy(profile, userProxy);
    WScript.Echo("Captured and stored:");
    printProfile(profile);
    printRememberedProxy(profile);
}

function show(name) {
    var profiles = loadProfiles();
    var profile = profiles.NetProfileGetAt(requireProfile(profiles, name));
    printProfile(profile);
    printRememberedProxy(profile);
}

function apply(name) {
    var profiles = loadProfiles();
    var profile = profiles.NetProfileGetAt(requireProfile(profiles, name));
    // IP configuration first (stored adapters go to the machine adapters of the
    // same Name), then the default printer. The result does not say what the
    // machine accepted: run "current" to see.
    profile.Apply();
    WScript.Echo("Applied \"" + profile.Name + "\".");
}

// A switch's report is a collection of changes, one per setting.
function printChanges(report) {
    for (var e = new Enumerator(report); !e.atEnd(); e.moveNext()) {
        var c = e.item();
        var who = c.NetConnectionID ? c.NetConnectionID + " " : "";
        var change = c.Before == c.Planned ? c.Before : c.Before + " -> " + c.Planned;
        WScript.Echo("  " + who + c.Setting + ": " + (change ? change : "(none)") + " (" + c.Message + ")");
    }
}

function preview(name) {
    var profiles = loadProfiles();
    var profile = profiles.NetProfileGetAt(requireProfile(profiles, name));
    var profileSwitch = new ActiveXObject("Varquel.ProfileSwitch");
    profileSwitch.IncludeProxy = true;   // the profile's remembered proxy too
    var report = profileSwitch.Preview(profile);   // changes nothing
    WScript.Echo("Switching to \"" + profile.Name + "\" would do this:");
    printChanges(report);
}

function switchTo(name) {
    var profiles = loadProfiles();
    var profile = profiles.NetProfileGetAt(requireProfile(profiles, name));
    // Unlike Apply, the switch reads the machine back and rolls back a failed
    // switch, and it moves the profile's remembered proxy too.
    var profileSwitch = new ActiveXObject("Varquel.ProfileSwitch");
    profileSwitch.IncludeProxy = true;
    var report = profileSwitch.Apply(profile);
    WScript.Echo(report.Text);
    if (!report.Succeeded) WScript.Quit(EXIT_SWITCH_FAILED);
}

function remove(name) {
    var profiles = loadProfiles();
    var i = requireProfile(profiles, name);
    var profile = profiles.NetProfileGetAt(i);
    profiles.NetProfileRemoveAt(i);
    profiles.Save();
    // The store of profiles knows nothing of the proxy remembered with one.
    new ActiveXObject("Varquel.ProfileSwitch").ForgetProxy(profile);
    WScript.Echo("Deleted \"" + name + "\".");
}

function proxy(server, port) {
    // Only the HTTP server and port are exchanged with the machine.
    var p = new ActiveXObject("Varquel.ProxyProperty");
    if (server !== undefined) {
        p.HTTPServer = server;
        p.HTTPPort = port;
        p.Apply();
        WScript.Echo("Proxy set.");
    }
    p.GetCurrent();
    WScript.Echo("proxy " + (p.HTTPServer ? p.HTTPServer : "(none)") + "  port " + (p.HTTPPort ? p.HTTPPort : "(none)"));

    // The current user's whole setting, as the proxy settings screen shows it.
    var u = new ActiveXObject("Varquel.UserProxy");
    u.GetCurrent();
    WScript.Echo("user's proxy: " + userProxyText(u));
}

function shares() {
    var s = new ActiveXObject("Varquel.NetShareList");
    s.GetCurrent();                // appends the machine's shares to the (new, empty) list
    if (s.Count == 0) WScript.Echo("No shares.");
    for (var i = 0; i < s.Count; i++) {
        var path = s.PathGetAt(i);
        WScript.Echo(s.NameGetAt(i) + "  " + (path ? path : "(no path)"));
    }
}

// ---- Command line ----

function usage() {
    WScript.Echo("usage: varquel.js list | current | capture NAME | show NAME | apply NAME | delete NAME\n" +
                 "                  | preview NAME | switch NAME | proxy [SERVER PORT] | shares");
    WScript.Quit(EXIT_USAGE);
}

// A failed call surfaces as an exception whose number is the HRESULT.
function hresultText(n) {
    var text = (n < 0 ? n + 0x100000000 : n).toString(16).toUpperCase();
    while (text.length < 8) text = "0" + text;
    return "0x" + text;
}

var args = [];
for (var k = 0; k < WScript.Arguments.length; k++) args.push(WScript.Arguments(k));
var command = args.length ? args[0].toLowerCase() : "";
var withName = { capture: capture, show: show, apply: apply, "delete": remove, preview: preview, "switch": switchTo };

try {
    if (command == "list" && args.length == 1) list();
    else if (command == "current" && args.length == 1) current();
    else if (command == "shares" && args.length == 1) shares();
    else if (command == "proxy" && args.length == 1) proxy();
    else if (command == "proxy" && args.length == 3) proxy(args[1], args[2]);
    else if (withName.hasOwnProperty(command) && args.length == 2 && args[1] != "") withName[command](args[1]);
    else usage();
} catch (e) {
    WScript.Echo("Failed: " + hresultText(e.number) + (e.description ? " " + e.description : ""));
    WScript.Quit(EXIT_FAILED);
}
