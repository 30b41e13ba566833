// A JScript client of Varquel.dll: creates each of its classes by ProgID,
// drives it late-bound and prints what it sees. Only what the server itself
// decides is printed: nothing read from the machine through WMI.

function show(label, value) {
    WScript.Echo(label + ": " + value);
}

function entries(list) {
    var out = [];
    for (var i = 0; i < list.Count; i++) out.push(list.GetAt(i));
    return out.length + " [" + out.join(", ") + "]";
}

function shareEntries(shares) {
    var out = [];
    for (var i = 0; i < shares.Count; i++) out.push(shares.NameGetAt(i) + "=" + shares.PathGetAt(i));
    return shares.Count + " [" + out.join(", ") + "]";
}

// Names and default printers of a profile list, sorted: the store hands
// profiles back in its own order.
function profiles(list) {
    var out = [];
    for (var i = 0; i < list.Count; i++) {
        var profile = list.NetProfileGetAt(i);
        out.push(profile.Name + "/" + profile.PrintersProperty.GetDefault());
    }
    out.sort();
    return list.Count + " [" + out.join(", ") + "]";
}

// ---- Address list
var addresses = new ActiveXObject("Brenzik.AddressList");
show("address list, new", entries(addresses));
addresses.Add("10.0.0.1");
addresses.Add("10.0.0.2");
addresses.Add("10.0.0.3");
show("address list, three added", entries(addresses));
addresses.RemoveAt(0);
show("address list, first removed", entries(addresses));
show("address list, GetAt(-1) and GetAt(Count)", "[" + addresses.GetAt(-1) + "] [" + addresses.GetAt(addresses.Count) + "]");
addresses.RemoveAll();
show("address list, all removed", entries(addresses));
show("address list by versioned ProgID", new ActiveXObject("Brenzik.AddressList.1").Count);

// ---- Adapter property (detached: no machine adapter behind it)
var adapter = new ActiveXObject("Varquel.NetAdapterProperty");
show("adapter, new", "IsDHCP " + adapter.IsDHCP + ", Name [" + adapter.Name + "], NetConnectionID [" +
     adapter.NetConnectionID + "]");
adapter.IsDHCP = true;
adapter.IPAddresses.Add("192.168.1.10");
adapter.IPAddresses.Add("192.168.1.11");
adapter.SubnetMasks.Add("255.255.255.0");
adapter.SubnetMasks.Add("255.255.0.0");
adapter.GateWayAddresses.Add("192.168.1.1");
adapter.DNSAddresses.Add("192.168.1.2");
adapter.DNSAddresses.Add("8.8.8.8");
adapter.WINSServers.Add("192.168.1.3");
adapter.GetCurrent();  // a detached adapter reads nothing and keeps its settings
show("adapter, IsDHCP", adapter.IsDHCP);
show("adapter, IPAddresses", entries(adapter.IPAddresses));
show("adapter, SubnetMasks", entries(adapter.SubnetMasks));
show("adapter, GateWayAddresses", entries(adapter.GateWayAddresses));
show("adapter, DNSAddresses", entries(adapter.DNSAddresses));
show("adapter, WINSServers", entries(adapter.WINSServers));
adapter.IPAddresses.RemoveAt(1);
show("adapter, IPAddresses after RemoveAt(1)", entries(adapter.IPAddresses));

// ---- Adapters list (never detected here)
var adapters = new ActiveXObject("Varquel.NetAdaptersList");
show("adapters list, new", adapters.Count);
show("adapters list, NetAdapterPropertyGetAt(0) is null", adapters.NetAdapterPropertyGetAt(0) == null);

// ---- Printers (never detected here)
var printers = new ActiveXObject("Varquel.PrintersProperty");
show("printers, new", "PrintersCount " + printers.PrintersCount + ", PrinterNumber " + printers.PrinterNumber +
     ", Default " + printers.Default + ", GetDefault [" + printers.GetDefault() + "]");
printers.SetDefault("Printer-A");
printers.PrinterNumber = 3;
printers.Default = 0;  // no printer 0 before detection: ignored
show("printers, set", "PrinterNumber " + printers.PrinterNumber + ", Default " + printers.Default +
     ", GetDefault [" + printers.GetDefault() + "]");

// ---- Proxy
var proxy = new ActiveXObject("Varquel.ProxyProperty");
var proxyNames = ["HTTPServer", "HTTPPort", "SecureServer", "SecurePort", "FTPServer", "FTPPort",
                  "GopherServer", "GopherPort", "SocksServer", "SocksPort"];
function proxyTexts() {
    return "[" + proxy.HTTPServer + "|" + proxy.HTTPPort + "|" + proxy.SecureServer + "|" + proxy.SecurePort + "|" +
           proxy.FTPServer + "|" + proxy.FTPPort + "|" + proxy.GopherServer + "|" + proxy.GopherPort + "|" +
           proxy.SocksServer + "|" + proxy.SocksPort + "] IsUseOneProxy " + proxy.IsUseOneProxy;
}
show("proxy, new", proxyTexts());
proxy.HTTPServer = "proxy.example";
proxy.HTTPPort = "8080";
proxy.SecureServer = "secure.example";
proxy.SecurePort = "8443";
proxy.FTPServer = "ftp.example";
proxy.FTPPort = "21";
proxy.GopherServer = "gopher.example";
proxy.GopherPort = "70";
proxy.SocksServer = "socks.example";
proxy.SocksPort = "1080";
proxy.IsUseOneProxy = false;
show("proxy, set", proxyTexts());
proxy.HTTPPort = "not a number";
show("proxy, port text", proxy.HTTPPort);
new ActiveXObject("Varquel.ProxyProperty").GetCurrent();  // machine-dependent: result not shown

// ---- The user's whole proxy: only a refused Apply, and no GetCurrent (Wine's WinINet
// writes ProxyEnable into the prefix on its first read)
var userProxy = new ActiveXObject("Varquel.UserProxy");
function userProxyFields() {
    return "AutoDetect " + userProxy.AutoDetect + ", AutoConfigEnabled " + userProxy.AutoConfigEnabled +
           ", AutoConfigURL [" + userProxy.AutoConfigURL + "], ProxyEnabled " + userProxy.ProxyEnabled +
           ", ProxyServer [" + userProxy.ProxyServer + "], ProxyBypass [" + userProxy.ProxyBypass + "]";
}
show("user proxy, new", userProxyFields());
userProxy.AutoDetect = 1;
userProxy.AutoConfigEnabled = true;
userProxy.AutoConfigURL = "http://wpad.example/proxy.pac";
userProxy.ProxyEnabled = true;
userProxy.ProxyServer = "http=proxy.example:8080;https=proxy.example:8443";
userProxy.ProxyBypass = "<local>; *.example";
show("user proxy, set", userProxyFields());
userProxy.ProxyServer = "proxy.example:80800";
try {
    userProxy.Apply();
    show("user proxy, port 80800", "applied");
} catch (error) {
    show("user proxy, port 80800", "0x" + (error.number + 0x100000000).toString(16).toUpperCase());
}

// ---- Share list (edited only; the machine's shares are left alone)
var shares = new ActiveXObject("Varquel.NetShareList");
show("shares, new", shareEntries(shares));
shares.Add("Data", "C:\\Data");
shares.Add("Tools", "C:\\Tools");
shares.Add("Music", "D:\\Music");
show("shares, three added", shareEntries(shares));
shares.RemoveAt(1);
show("shares, second removed", shareEntries(shares));
shares.RemoveAll();
show("shares, all removed", shareEntries(shares));

// ---- Profile and its duplicate
var office = new ActiveXObject("Varquel.NetProfile");
show("profile, new", "Name [" + office.Name + "], adapters " + office.NetAdaptersList.Count + ", printer Default " +
     office.PrintersProperty.Default + ", ProxyProperty " + office.ProxyProperty + ", NetShareList " +
     office.NetShareList);
office.Name = "Office";
office.PrintersProperty.SetDefault("Office-Printer");
office.PrintersProperty.PrinterNumber = 5;
show("profile, parts are its own", "PrinterNumber " + office.PrintersProperty.PrinterNumber);
var home = office.GetDuplicate();
show("duplicate", "Name " + home.Name + ", default printer " + home.PrintersProperty.GetDefault() +
     ", PrinterNumber " + home.PrintersProperty.PrinterNumber);
home.Name = "Home";
home.PrintersProperty.SetDefault("Home-Printer");
show("duplicate changed", home.Name + "/" + home.PrintersProperty.GetDefault());
show("source unchanged", office.Name + "/" + office.PrintersProperty.GetDefault());

// ---- Profile list: Save and Load round trip through the store
var list = new ActiveXObject("Varquel.NetProfilesList");
show("profile list, new", list.Count);
list.Load();
while (list.Count > 0) list.NetProfileRemoveAt(0);
list.Add(office);
list.Add(home);
show("profile list, two added", profiles(list));
list.Save();
var loaded = new ActiveXObject("Varquel.NetProfilesList");
loaded.Load();
show("profile list, loaded", profiles(loaded));
loaded.Load();
show("profile list, loaded twice", profiles(loaded));
loaded.NetProfileRemoveAt(3);
loaded.NetProfileRemoveAt(2);
var travel = office.GetDuplicate();
travel.Name = "Travel";
for (var i = 0; i < loaded.Count; i++) {
    if (loaded.NetProfileGetAt(i).Name == "Home") loaded.NetProfileSetAt(i, travel);
}
show("profile list, second load removed, Home replaced by Travel", profiles(loaded));
loaded.Save();
var reloaded = new ActiveXObject("Varquel.NetProfilesList");
reloaded.Load();
show("profile list, saved and loaded again", profiles(reloaded));
while (reloaded.Count > 0) reloaded.NetProfileRemoveAt(0);
reloaded.Save();
var empty = new ActiveXObject("Varquel.NetProfilesList");
empty.Load();
show("profile list, store emptied", profiles(empty));

// ---- Profile switch: a preview's report, walked with an Enumerator, and a refused rollback
var profileSwitch = new ActiveXObject("Varquel.ProfileSwitch");
var preview = profileSwitch.Preview(office);
var settings = [];
for (var e = new Enumerator(preview); !e.atEnd(); e.moveNext()) settings.push(e.item().Setting + "=" + e.item().Status);
show("switch preview", preview.Count + " change(s) [" + settings.join(", ") + "], succeeded " + preview.Succeeded +
     ", snapshot " + (preview.Before === null));
// The report's default interface, IApplyReport2, adds to IApplyReport.
show("switch preview, access denied and restart", preview.AccessDenied + " " + preview.RestartNeeded);
try {
    profileSwitch.Rollback(preview);
    show("switch rollback of a preview", "accepted");
} catch (error) {
    show("switch rollback of a preview", "0x" + (error.number + 0x100000000).toString(16).toUpperCase());
}
