' A VBScript client of Varquel.dll: creates each of its classes by ProgID,
' drives it late-bound and prints what it sees. Only what the server itself
' decides is printed: nothing read from the machine through WMI.
Option Explicit

Sub Show(label, value)
    WScript.Echo label & ": " & value
End Sub

Function Entries(list)
    Dim i, out
    out = ""
    For i = 0 To list.Count - 1
        If i > 0 Then out = out & ", "
        out = out & list.GetAt(i)
    Next
    Entries = list.Count & " [" & out & "]"
End Function

Function ShareEntries(shares)
    Dim i, out
    out = ""
    For i = 0 To shares.Count - 1
        If i > 0 Then out = out & ", "
        out = out & shares.NameGetAt(i) & "=" & shares.PathGetAt(i)
    Next
    ShareEntries = shares.Count & " [" & out & "]"
End Function

Function ObjectText(value)
    If value Is Nothing Then ObjectText = "Nothing" Else ObjectText = "an object"
End Function

' Names and default printers of a profile list, sorted: the store hands
' profiles back in its own order. (Split builds the array: this engine's
' ReDim and Join are not to be relied on.)
Function Profiles(list)
    Dim i, j, profile, swap, items, text, out
    If list.Count = 0 Then
        Profiles = "0 []"
        Exit Function
    End If
    text = ""
    For i = 0 To list.Count - 1
        Set profile = list.NetProfileGetAt(i)
        If i > 0 Then text = text & vbTab
        text = text & profile.Name & "/" & profile.PrintersProperty.GetDefault()
    Next
    items = Split(text, vbTab)
    For i = 0 To UBound(items) - 1
        For j = 0 To UBound(items) - 1 - i
            If items(j) > items(j + 1) Then
                swap = items(j)
                items(j) = items(j + 1)
                items(j + 1) = swap
            End If
        Next
    Next
    out = ""
    For i = 0 To UBound(items)
        If i > 0 Then out = out & ", "
        out = out & items(i)
    Next
    Profiles = list.Count & " [" & out & "]"
End Function

Dim addresses, adapter, adapters, printers, proxy, userProxy, shares, office, home, travel
Dim list, loaded, reloaded, emptied, i

' ---- Address list
Set addresses = CreateObject("Brenzik.AddressList")
Show "address list, new", Entries(addresses)
addresses.Add "10.0.0.1"
addresses.Add "10.0.0.2"
addresses.Add "10.0.0.3"
Show "address list, three added", Entries(addresses)
addresses.RemoveAt 0
Show "address list, first removed", Entries(addresses)
Show "address list, GetAt(-1) and GetAt(Count)", "[" & addresses.GetAt(-1) & "] [" & addresses.GetAt(addresses.Count) & "]"
addresses.RemoveAll
Show "address list, all removed", Entries(addresses)
Show "address list by versioned ProgID", CreateObject("Brenzik.AddressList.1").Count

' ---- Adapter property (detached: no machine adapter behind it)
Set adapter = CreateObject("Varquel.NetAdapterProperty")
Show "adapter, new", "IsDHCP " & adapter.IsDHCP & ", Name [" & adapter.Name & "], NetConnectionID [" & _
     adapter.NetConnectionID & "]"
adapter.IsDHCP = True
adapter.IPAddresses.Add "192.168.1.10"
adapter.IPAddresses.Add "192.168.1.11"
adapter.SubnetMasks.Add "255.255.255.0"
adapter.SubnetMasks.Add "255.255.0.0"
adapter.GateWayAddresses.Add "192.168.1.1"
adapter.DNSAddresses.Add "192.168.1.2"
adapter.DNSAddresses.Add "8.8.8.8"
adapter.WINSServers.Add "192.168.1.3"
adapter.GetCurrent  ' a detached adapter reads nothing and keeps its settings
Show "adapter, IsDHCP", adapter.IsDHCP
Show "adapter, IPAddresses", Entries(adapter.IPAddresses)
Show "adapter, SubnetMasks", Entries(adapter.SubnetMasks)
Show "adapter, GateWayAddresses", Entries(adapter.GateWayAddresses)
Show "adapter, DNSAddresses", Entries(adapter.DNSAddresses)
Show "adapter, WINSServers", Entries(adapter.WINSServers)
adapter.IPAddresses.RemoveAt 1
Show "adapter, IPAddresses after RemoveAt(1)", Entries(adapter.IPAddresses)

' ---- Adapters list (never detected here)
Set adapters = CreateObject("Varquel.NetAdaptersList")
Show "adapters list, new", adapters.Count
Show "adapters list, NetAdapterPropertyGetAt(0)", ObjectText(adapters.NetAdapterPropertyGetAt(0))

' ---- Printers (never detected here)
Set printers = CreateObject("Varquel.PrintersProperty")
Show "printers, new", "PrintersCount " & printers.PrintersCount & ", PrinterNumber " & printers.PrinterNumber & _
     ", Default " & printers.Default & ", GetDefault [" & printers.GetDefault() & "]"
printers.SetDefault "Printer-A"
printers.PrinterNumber = 3
printers.Default = 0  ' no printer 0 before detection: ignored
Show "printers, set", "PrinterNumber " & printers.PrinterNumber & ", Default " & printers.Default & _
     ", GetDefault [" & printers.GetDefault() & "]"

' ---- Proxy
Set proxy = CreateObject("Varquel.ProxyProperty")
Function ProxyTexts()
    ProxyTexts = "[" & proxy.HTTPServer & "|" & proxy.HTTPPort & "|" & proxy.SecureServer & "|" & proxy.SecurePort & _
                 "|" & proxy.FTPServer & "|" & proxy.FTPPort & "|" & proxy.GopherServer & "|" & proxy.GopherPort & _
                 "|" & proxy.SocksServer & "|" & proxy.SocksPort & "] IsUseOneProxy " & proxy.IsUseOneProxy
End Function
Show "proxy, new", ProxyTexts()
proxy.HTTPServer = "proxy.example"
proxy.HTTPPort = "8080"
proxy.SecureServer = "secure.example"
proxy.SecurePort = "8443"
proxy.FTPServer = "ftp.example"
proxy.FTPPort = "21"
proxy.GopherServer = "gopher.example"
proxy.GopherPort = "70"
proxy.SocksServer = "socks.example"
proxy.SocksPort = "1080"
proxy.IsUseOneProxy = False
Show "proxy, set", ProxyTexts()
proxy.HTTPPort = "not a number"
Show "proxy, port text", proxy.HTTPPort
CreateObject("Varquel.ProxyProperty").GetCurrent  ' machine-dependent: result not shown

' ---- The user's whole proxy: only a refused Apply, and no GetCurrent (Wine's WinINet
' writes ProxyEnable into the prefix on its first read)
Set userProxy = CreateObject("Varquel.UserProxy")
Function UserProxyFields()
    UserProxyFields = "AutoDetect " & userProxy.AutoDetect & ", AutoConfigEnabled " & userProxy.AutoConfigEnabled & _
                      ", AutoConfigURL [" & userProxy.AutoConfigURL & "], ProxyEnabled " & userProxy.ProxyEnabled & _
                      ", ProxyServer [" & userProxy.ProxyServer & "], ProxyBypass [" & userProxy.ProxyBypass & "]"
End Function
Show "user proxy, new", UserProxyFields()
userProxy.AutoDetect = 1
userProxy.AutoConfigEnabled = True
userProxy.AutoConfigURL = "http://wpad.example/proxy.pac"
userProxy.ProxyEnabled = True
userProxy.ProxyServer = "http=proxy.example:8080;https=proxy.example:8443"
userProxy.ProxyBypass = "<local>; *.example"
Show "user proxy, set", UserProxyFields()
userProxy.ProxyServer = "proxy.example:80800"
On Error Resume Next
userProxy.Apply
Show "user proxy, port 80800", "0x" & Hex(Err.Number)
Err.Clear
On Error GoTo 0

' ---- Share list (edited only; the machine's shares are left alone)
Set shares = CreateObject("Varquel.NetShareList")
Show "shares, new", ShareEntries(shares)
shares.Add "Data", "C:\Data"
shares.Add "Tools", "C:\Tools"
shares.Add "Music", "D:\Music"
Show "shares, three added", ShareEntries(shares)
shares.RemoveAt 1
Show "shares, second removed", ShareEntries(shares)
shares.RemoveAll
Show "shares, all removed", ShareEntries(shares)

' ---- Profile and its duplicate
Set office = CreateObject("Varquel.NetProfile")
Show "profile, new", "Name [" & office.Name & "], adapters " & office.NetAdaptersList.Count & _
     ", printer Default " & office.PrintersProperty.Default & ", ProxyProperty " & _
     ObjectText(office.ProxyProperty) & ", NetShareList " & ObjectText(office.NetShareList)
office.Name = "Office"
office.PrintersProperty.SetDefault "Office-Printer"
office.PrintersProperty.PrinterNumber = 5
Show "profile, parts are its own", "PrinterNumber " & office.PrintersProperty.PrinterNumber
Set home = office.GetDuplicate()
Show "duplicate", "Name " & home.Name & ", default printer " & home.PrintersProperty.GetDefault() & _
     ", PrinterNumber " & home.PrintersProperty.PrinterNumber
home.Name = "Home"
home.PrintersProperty.SetDefault "Home-Printer"
Show "duplicate changed", home.Name & "/" & home.PrintersProperty.GetDefault()
Show "source unchanged", office.Name & "/" & office.PrintersProperty.GetDefault()

' ---- Profile list: Save and Load round trip through the store
Set list = CreateObject("Varquel.NetProfilesList")
Show "profile list, new", list.Count
list.Load
Do While list.Count > 0
    list.NetProfileRemoveAt 0
Loop
list.Add office     ' a variable: passed by reference
list.Add (home)     ' an expression: passed by value
Show "profile list, two added", Profiles(list)
list.Save
Set loaded = CreateObject("Varquel.NetProfilesList")
loaded.Load
Show "profile list, loaded", Profiles(loaded)
loaded.Load
Show "profile list, loaded twice", Profiles(loaded)
loaded.NetProfileRemoveAt 3
loaded.NetProfileRemoveAt 2
Set travel = office.GetDuplicate()
travel.Name = "Travel"
For i = 0 To loaded.Count - 1
    If loaded.NetProfileGetAt(i).Name = "Home" Then loaded.NetProfileSetAt i, travel
Next
Show "profile list, second load removed, Home replaced by Travel", Profiles(loaded)
loaded.Save
Set reloaded = CreateObject("Varquel.NetProfilesList")
reloaded.Load
Show "profile list, saved and loaded again", Profiles(reloaded)
Do While reloaded.Count > 0
    reloaded.NetProfileRemoveAt 0
Loop
reloaded.Save
Set emptied = CreateObject("Varquel.NetProfilesList")
emptied.Load
Show "profile list, store emptied", Profiles(emptied)

' ---- Profile switch: a preview's report, its default member, For Each, and a refused rollback
Dim sw, preview, names, change
Set sw = CreateObject("Varquel.ProfileSwitch")
Set preview = sw.Preview(office)
Show "switch preview", preview.Count & " change(s), first " & preview(0).Setting & ", succeeded " & preview.Succeeded
names = ""
For Each change In preview
    names = names & change.Setting & "=" & change.Status & " "
Next
Show "switch preview, each change", names
Show "switch preview, access denied and restart", preview.AccessDenied & " " & preview.RestartNeeded
On Error Resume Next
sw.Rollback preview
Show "switch rollback of a preview", "0x" & Hex(Err.Number)
Err.Clear
On Error GoTo 0
