// demo.js: Varquel's whole cycle on one machine, told step by step.
//
//   cscript //nologo demo.js [PROFILE]          (PROFILE defaults to "Office")
//   cscript //nologo demo.js PROFILE --not-elevated
//
// 1. shows what Varquel finds: adapters, printers, proxy, shares;
// 2. captures the configuration as the profile and stores it, and remembers
//    the user's proxy with it (at the office the network printer is the
//    default and the office proxy is on, so the demo makes them so first);
// 3. moves the machine to another network (the static adapters go to DHCP,
//    another printer becomes the default, the proxy is turned off);
// 4. loads the stored profiles and switches to the profile and its proxy
//    with Varquel.ProfileSwitch: a preview of every setting, then a verified
//    apply and its report;
// 5. reads the machine again and checks it against the profile and its
//    proxy.
//
// With --not-elevated it only switches, as a user without administrator
// rights would, and prints what that user is told.
//
// Exit status: 0 when the machine ends as the profile says (with
// --not-elevated: when the switch reports that it could not, and rolled
// back), 1 when it does not, 3 when a call failed. scripts/demo.sh runs it on
// a simulated machine; on a real one it changes the real network settings.

var profileName = WScript.Arguments.length > 0 ? WScript.Arguments(0) : "Office";
// The office's proxy: one server for every protocol. A profile does not hold
// it: ProfileSwitch remembers it beside the profile, under the profile's name.
var officeProxyServer = "proxy.example.com:8080";
var notElevated = WScript.Arguments.length > 1 && WScript.Arguments(1) == "--not-elevated";

// ---- Output ----

function say(text) { WScript.Echo(text === undefined ? "" : text); }

function pad(text, width) {
    while (text.length < width) text += " ";
    return text;
}

function heading(step, title) {
    say();
    say("=== " + step + ". " + title);
    say();
}

function joined(items) { return items.length ? items.join(", ") : "(none)"; }

function hresultText(n) {
    var text = (n < 0 ? n + 0x100000000 : n).toString(16).toUpperCase();
    while (text.length < 8) text = "0" + text;
    return "0x" + text;
}

// ---- Reading through Varquel ----

function entries(addressList) {
    var items = [];
    for (var i = 0; i < addressList.Count; i++) items.push(addressList.GetAt(i));
    return items;
}

// An adapter's settings as plain data.
function adapterData(a) {
    return {
        name: a.Name, connection: a.NetConnectionID, dhcp: a.IsDHCP ? true : false,
        ip: entries(a.IPAddresses), masks: entries(a.SubnetMasks), gateways: entries(a.GateWayAddresses),
        dns: entries(a.DNSAddresses), wins: entries(a.WINSServers)
    };
}

// A profile's settings as plain data: its adapters and its default printer.
function profileData(profile) {
    var adapters = profile.NetAdaptersList, data = { adapters: [], printer: profile.PrintersProperty.GetDefault() };
    for (var i = 0; i < adapters.Count; i++) data.adapters.push(adapterData(adapters.NetAdapterPropertyGetAt(i)));
    return data;
}

// The machine now, as a new profile captures it (a profile that is never added
// to a list is never stored). A DHCP adapter's addresses are not captured.
function readMachine() {
    var now = new ActiveXObject("Varquel.NetProfile");
    now.GetCurrent();
    return profileData(now);
}

function findAdapter(data, name) {
    for (var i = 0; i < data.adapters.length; i++)
        if (data.adapters[i].name == name) return data.adapters[i];
    return null;
}

var fields = [
    ["ip", "IP addresses"], ["masks", "subnet masks"], ["gateways", "gateways"],
    ["dns", "DNS servers"], ["wins", "WINS servers"]
];

function printAdapter(a) {
    say("  " + a.name + "  (connection \"" + a.connection + "\")");
    if (a.dhcp) {
        say("    DHCP");
        return;
    }
    say("    static");
    for (var f = 0; f < fields.length; f++) say("    " + pad(fields[f][1], 14) + joined(a[fields[f][0]]));
}

function printMachine(data) {
    for (var i = 0; i < data.adapters.length; i++) printAdapter(data.adapters[i]);
    say("  default printer  " + (data.printer ? data.printer : "(none)"));
}

// The current user's whole proxy setting, as Varquel.UserProxy reads it.
function readProxy() {
    var proxy = new ActiveXObject("Varquel.UserProxy");
    proxy.GetCurrent();
    return proxy;
}

// What the user's browser does: "direct" when every way is off.
function proxyText(u) {
    var ways = [];
    if (u.AutoDetect) ways.push("automatic detection");
    if (u.AutoConfigEnabled) ways.push("script " + u.AutoConfigURL);
    if (u.ProxyEnabled) ways.push("proxy " + u.ProxyServer + (u.ProxyBypass ? ", bypass " + u.ProxyBypass : ""));
    return ways.length ? ways.join("; ") : "direct";
}

// Turns the manual proxy on with `server`, or off with none; the rest of
// the user's setting stays as it is.
function setProxy(server) {
    var proxy = readProxy();
    proxy.ProxyEnabled = server ? true : false;
    if (server) proxy.ProxyServer = server;
    proxy.Apply();
}

// ---- The steps ----

function showWhatVarquelFinds() {
    heading(1, "What Varquel finds on this machine");
    say("Network adapters (those with a connection name and IP enabled):");
    var machine = readMachine();
    printMachine(machine);

    say();
    say("Printers (* = default):");
    var printers = new ActiveXObject("Varquel.PrintersProperty");
    printers.GetCurrent();                       // detects the printers, finds the default
    for (var i = 0; i < printers.PrintersCount; i++) {
        printers.PrinterNumber = i;              // the cursor that Name reads
        say("  " + (i == printers.Default ? "* " : "  ") + printers.Name);
    }

    say();
    say("Proxy: " + proxyText(readProxy()));

    say();
    say("Shares:");
    var shares = new ActiveXObject("Varquel.NetShareList");
    shares.GetCurrent();
    for (var s = 0; s < shares.Count; s++) {
        var path = shares.PathGetAt(s);
        say("  " + pad(shares.NameGetAt(s), 10) + " " + (path ? path : "(no path)"));
    }
    say();
    say("(Shares are shown for completeness: they are not part of a profile. The proxy is not");
    say("either, but ProfileSwitch remembers it with a profile and switches it too.)");
    return machine;
}

// At the office the floor's network printer (a DeviceID like \\server\name)
// is the default. If the machine has one that is not the default, make it so
// before capturing, by DeviceID.
function useNetworkPrinter() {
    var printers = new ActiveXObject("Varquel.PrintersProperty");
    printers.GetCurrent();
    for (var i = 0; i < printers.PrintersCount; i++) {
        printers.PrinterNumber = i;
        var id = printers.Name;
        if (id.substr(0, 2) != "\\\\") continue;
        if (i == printers.Default) return;
        printers.SetDefault(id);
        printers.Apply();
        say("At the office the network printer " + id + " is the default: the demo sets it");
        say("(PrintersProperty: SetDefault, Apply).");
        say();
        return;
    }
}

function captureAndSave() {
    heading(2, "Capture the current configuration as \"" + profileName + "\" and save it");
    useNetworkPrinter();
    setProxy(officeProxyServer);
    say("At the office the proxy is " + officeProxyServer + ": the demo turns it on");
    say("(UserProxy: GetCurrent, ProxyEnabled, ProxyServer, Apply). Now: " + proxyText(readProxy()) + ".");
    say();
    var profiles = new ActiveXObject("Varquel.NetProfilesList");
    profiles.Load();                             // Save rewrites the whole store: start from what is stored
    var profile = new ActiveXObject("Varquel.NetProfile");
    profile.Name = profileName;
    profile.GetCurrent();
    var replaced = false;
    for (var i = 0; i < profiles.Count; i++) {
        if (profiles.NetProfileGetAt(i).Name.toLowerCase() == profileName.toLowerCase()) {
            profiles.NetProfileSetAt(i, profile);
            replaced = true;
        }
    }
    if (!replaced) profiles.Add(profile);
    profiles.Save();
    say((replaced ? "Replaced" : "Stored") + " \"" + profileName + "\" in HKCU\\Software\\Ostrel2\\Quoran\\Profiles.");
    say("Stored profiles now: " + storedNames(profiles));

    // The user's proxy, remembered under the profile's name beside the store.
    new ActiveXObject("Varquel.ProfileSwitch").SetProxy(profile, readProxy());
    say("Remembered the user's proxy with \"" + profileName + "\" (ProfileSwitch.SetProxy) in");
    say("HKCU\\Software\\Ostrel2\\Quoran\\ProfileProxies: " + proxyText(readProxy()) + ".");
    return profileData(profile);
}

function storedNames(profiles) {
    var names = [];
    for (var i = 0; i < profiles.Count; i++) names.push("\"" + profiles.NetProfileGetAt(i).Name + "\"");
    return joined(names);
}

function moveToAnotherNetwork(office) {
    heading(3, "The machine moves to another network");
    say("On a real laptop the new network's DHCP server and the user make these changes.");
    say("Here the demo makes them itself, with Varquel's own objects:");
    say("  - every adapter that is static with a gateway in \"" + profileName + "\" is put on DHCP");
    say("    (IsDHCP = true, Apply), with its DNS and WINS servers cleared (the new network's");
    say("    DHCP server would supply them); an adapter without a gateway, such as Hyper-V's");
    say("    internal switch, reaches no other network and stays as it is;");
    say("  - another printer becomes the default (PrintersProperty: Default, Apply);");
    say("  - the proxy is turned off (UserProxy: ProxyEnabled = false, Apply).");
    say();

    var adapters = new ActiveXObject("Varquel.NetAdaptersList");
    adapters.DetectAdapters();                   // attached adapters, empty settings
    for (var i = 0; i < adapters.Count; i++) {
        var a = adapters.NetAdapterPropertyGetAt(i), stored = findAdapter(office, a.Name);
        if (!stored || stored.dhcp || !stored.gateways.length) continue;
        a.IsDHCP = true;
        // An empty DNS list clears the DNS servers; empty WINS texts clear the
        // WINS servers (an empty WINS list would leave them alone).
        a.WINSServers.Add("");
        a.WINSServers.Add("");
        a.Apply();
        say("  " + a.NetConnectionID + ": now on DHCP");
    }

    var printers = new ActiveXObject("Varquel.PrintersProperty");
    printers.GetCurrent();
    var current = printers.Default, other = -1;
    for (var p = 0; p < printers.PrintersCount; p++) {
        if (p == current) continue;
        printers.PrinterNumber = p;
        var local = printers.Name.substr(0, 2) != "\\\\";   // prefer a local printer to a network one
        if (other < 0 || local) other = p;
        if (local) break;
    }
    if (other >= 0) {
        printers.Default = other;
        printers.Apply();
        say("  default printer: now " + printers.GetDefault());
    }

    setProxy("");
    say("  proxy: now " + proxyText(readProxy()));

    say();
    say("The machine now:");
    var moved = readMachine();
    printMachine(moved);
    moved.proxy = proxyText(readProxy());
    say("  proxy            " + moved.proxy);
    return moved;
}

function storedProfile(profiles) {
    for (var i = 0; i < profiles.Count; i++) {
        var profile = profiles.NetProfileGetAt(i);
        if (profile.Name.toLowerCase() == profileName.toLowerCase()) return profile;
    }
    return null;
}

// A switch's report is a collection of changes, one per setting.
function printChanges(report) {
    for (var e = new Enumerator(report); !e.atEnd(); e.moveNext()) {
        var c = e.item();
        var who = c.NetConnectionID ? c.NetConnectionID + " " : "";
        var change = c.Before == c.Planned ? c.Before : c.Before + " -> " + c.Planned;
        say("    " + pad(who + c.Setting + " ", 28) + (change ? change : "(none)") + "  [" + c.Message + "]");
    }
}

function loadAndSwitch() {
    heading(4, "Load the stored profiles and switch to \"" + profileName + "\"");
    var profiles = new ActiveXObject("Varquel.NetProfilesList");
    profiles.Load();
    say("Stored profiles: " + storedNames(profiles));
    var profile = storedProfile(profiles);
    if (!profile) {
        say("No stored profile \"" + profileName + "\".");
        return null;
    }
    say();
    say("\"" + profile.Name + "\" holds:");
    printMachine(profileData(profile));
    var stored = profileData(profile);       // read before the switch: what the profile says

    var profileSwitch = new ActiveXObject("Varquel.ProfileSwitch");
    // The proxy remembered with the profile switches too.
    profileSwitch.IncludeProxy = true;
    var remembered = profileSwitch.GetProxy(profile);
    stored.proxy = remembered ? proxyText(remembered) : "(none remembered)";
    say("  proxy            " + stored.proxy + "  (remembered with it)");
    say();
    say("Preview (ProfileSwitch.Preview reads the machine and changes nothing; IncludeProxy is");
    say("true, so the remembered proxy is part of the switch):");
    printChanges(profileSwitch.Preview(profile));
    say();
    say("Switching (ProfileSwitch.Apply: each stored adapter goes to the machine adapter of the");
    say("same name and gets only the calls its differences need, then the default printer if it");
    say("differs, then the proxy if it differs; every WMI answer is kept, what changed is read");
    say("back, and a failed switch is rolled back). The report:");
    var report = profileSwitch.Apply(profile);
    say();
    say(report.Text);
    return stored;
}

// The same switch by a user without administrator rights: Windows refuses
// every network change, and the report tells the user so. Only the settings
// that differ are tried, so only they fail.
function switchWithoutAdministratorRights() {
    heading(6, "The same switch by a user without administrator rights");
    var profiles = new ActiveXObject("Varquel.NetProfilesList");
    profiles.Load();
    var profile = storedProfile(profiles);
    if (!profile) {
        say("No stored profile \"" + profileName + "\".");
        return 1;
    }
    var profileSwitch = new ActiveXObject("Varquel.ProfileSwitch");
    profileSwitch.IncludeProxy = true;   // a rolled-back switch takes the proxy back too
    var report = profileSwitch.Apply(profile);
    say("What the user is told:");
    say();
    say(report.Text);
    say("Refused for lack of rights (ApplyReport.AccessDenied): " + report.AccessDenied);
    return !report.Succeeded && report.RolledBack && report.AccessDenied ? 0 : 1;
}

// Prints the before and after of every stored adapter and the printer, and
// counts what differs from the profile.
function compare(stored, moved, now) {
    heading(5, "The machine before and after switching to \"" + profileName + "\"");
    var differences = 0, w1 = 16, w2 = 34;

    // The store keeps each list as a set (a mask shared by two addresses once,
    // the registry's order): a list matches the profile when it holds the
    // same entries.
    function asSet(text) {
        var seen = {}, items = [], parts = text.split(", ");
        for (var k = 0; k < parts.length; k++)
            if (!seen[parts[k]]) { seen[parts[k]] = true; items.push(parts[k]); }
        return items.sort().join(", ");
    }

    function line(label, before, after, expected) {
        var ok = asSet(after) == asSet(expected);
        if (!ok) differences++;
        say("    " + pad(label, w1) + pad(before, w2) + pad(after, w2) + "  " +
            (ok ? "ok" : "DIFFERS: profile says " + expected));
    }

    say("    " + pad("", w1) + pad("after the move", w2) + "after the switch");
    for (var i = 0; i < stored.adapters.length; i++) {
        var s = stored.adapters[i], m = findAdapter(moved, s.name), n = findAdapter(now, s.name);
        say("  " + s.name + "  (connection \"" + s.connection + "\")");
        if (!n) {
            say("    not found on the machine: its settings cannot be applied");
            differences++;
            continue;
        }
        var mode = function (a) { return !a ? "(absent)" : a.dhcp ? "DHCP" : "static"; };
        line("mode", mode(m), mode(n), mode(s));
        if (s.dhcp) continue;                    // a DHCP adapter's profile holds nothing more
        for (var f = 0; f < fields.length; f++) {
            var key = fields[f][0];
            var before = !m ? "(absent)" : m.dhcp ? "(from DHCP)" : joined(m[key]);
            line(fields[f][1], before, n.dhcp ? "(from DHCP)" : joined(n[key]), joined(s[key]));
        }
    }
    if (stored.printer) {
        say("  default printer");
        line("DeviceID", moved.printer, now.printer, stored.printer);
    }
    say("  proxy (remembered with the profile)");
    line("proxy", moved.proxy, now.proxy, stored.proxy);
    return differences;
}

// ---- Main ----

try {
    if (notElevated) WScript.Quit(switchWithoutAdministratorRights());
    say("Varquel demo: capture, store and re-apply the network profile \"" + profileName + "\".");
    showWhatVarquelFinds();
    var office = captureAndSave();
    var moved = moveToAnotherNetwork(office);
    var stored = loadAndSwitch();
    if (!stored) WScript.Quit(1);
    var now = readMachine();
    now.proxy = proxyText(readProxy());
    var differences = compare(stored, moved, now);
    say();
    if (differences == 0) {
        say("The machine is back as \"" + profileName + "\" says: static addresses, gateways, DNS and WINS");
        say("servers, the default printer and the office proxy restored.");
        WScript.Quit(0);
    }
    say(differences + " setting(s) differ from \"" + profileName + "\".");
    WScript.Quit(1);
} catch (e) {
    say("Failed: " + hresultText(e.number) + (e.description ? " " + e.description : ""));
    WScript.Quit(3);
}
