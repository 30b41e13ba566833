' varquel.vbs: a Varquel client for Windows Script Host (VBScript), late-bound by ProgID.
'
'   cscript //nologo varquel.vbs list                  stored profiles
'   cscript //nologo varquel.vbs current               the machine's configuration now
'   cscript //nologo varquel.vbs capture NAME          capture the machine as profile NAME and store it,
'                                                      and remember the user's proxy with it
'   cscript //nologo varquel.vbs show NAME             what profile NAME holds, and its proxy
'   cscript //nologo varquel.vbs apply NAME            write profile NAME to the machine
'   cscript //nologo varquel.vbs preview NAME          what switching to profile NAME would change
'   cscript //nologo varquel.vbs switch NAME           switch to NAME and its proxy, verified, rolled
'                                                      back on failure
'   cscript //nologo varquel.vbs delete NAME           remove profile NAME and its proxy
'   cscript //nologo varquel.vbs proxy                 the machine's proxy server and port, and the
'                                                      user's whole proxy setting
'   cscript //nologo varquel.vbs proxy SERVER PORT     set the server and port
'   cscript //nologo varquel.vbs shares                the machine's network shares
'
' Exit status: 0 done, 1 wrong usage, 2 no such profile, 3 a call failed,
' 4 the switch failed (the report says which settings).
' Varquel.dll must be registered (regsvr32), and the script must run in the
' script host of the DLL's bitness (64-bit: C:\Windows\System32\cscript.exe).
Option Explicit

Const EXIT_USAGE = 1, EXIT_NO_PROFILE = 2, EXIT_FAILED = 3, EXIT_SWITCH_FAILED = 4

' ---- Reading the objects ----

' An AddressList as "a, b, c".
Function AddressText(list)
    Dim i, text
    text = ""
    For i = 0 To list.Count - 1
        If i > 0 Then text = text & ", "
        text = text & list.GetAt(i)
    Next
    If text = "" Then text = "(none)"
    AddressText = text
End Function

Function OrNone(text)
    If IsNull(text) Or text = "" Then OrNone = "(none)" Else OrNone = text
End Function

Function OnOff(flag)
    If flag Then OnOff = "on" Else OnOff = "off"
End Function

' Prints one profile: its adapters, then its default printer.
Sub PrintProfile(profile)
    Dim adapters, a, i
    Set adapters = profile.NetAdaptersList
    WScript.Echo "Profile """ & profile.Name & """: " & adapters.Count & " adapter(s)"
    For i = 0 To adapters.Count - 1
        Set a = adapters.NetAdapterPropertyGetAt(i)
        WScript.Echo "  " & a.Name & "  (connection """ & a.NetConnectionID & """)"
        If a.IsDHCP Then
            ' A DHCP adapter's profile holds only "DHCP", not its lease.
            WScript.Echo "    DHCP"
        Else
            WScript.Echo "    static"
            WScript.Echo "    IP addresses  " & AddressText(a.IPAddresses)
            WScript.Echo "    subnet masks  " & AddressText(a.SubnetMasks)
            WScript.Echo "    gateways      " & AddressText(a.GateWayAddresses)
            WScript.Echo "    DNS servers   " & AddressText(a.DNSAddresses)
            WScript.Echo "    WINS servers  " & AddressText(a.WINSServers)
        End If
    Next
    ' GetDefault is the printer's DeviceID; empty when there is none.
    WScript.Echo "  default printer " & OrNone(profile.PrintersProperty.GetDefault())
End Sub

' A UserProxy's six fields on one line.
Function UserProxyText(u)
    UserProxyText = "detect " & OnOff(u.AutoDetect) & ", script " & OnOff(u.AutoConfigEnabled) & " " & _
                    OrNone(u.AutoConfigURL) & ", server " & OnOff(u.ProxyEnabled) & " " & OrNone(u.ProxyServer) & _
                    ", bypass " & OrNone(u.ProxyBypass)
End Function

' The proxy remembered with a profile lives beside the store, under the
' profile's name; GetProxy answers Nothing when there is none.
Sub PrintRememberedProxy(profile)
    Dim remembered
    Set remembered = CreateObject("Varquel.ProfileSwitch").GetProxy(profile)
    If remembered Is Nothing Then
        WScript.Echo "  proxy (none remembered)"
    Else
        WScript.Echo "  proxy " & UserProxyText(remembered)
    End If
End Sub

' ---- The store ----

' A fresh list holding the stored profiles. Load appends, so never reuse a list.
' Load also creates the store on a new machine, which Save needs.
Function LoadProfiles()
    Dim profiles
    Set profiles = CreateObject("Varquel.NetProfilesList")
    profiles.Load
    Set LoadProfiles = profiles
End Function

' Position of profile NAME in the list, or -1. Stored names are registry key
' names, which ignore case, so the match does too.
Function FindProfile(profiles, name)
    Dim i
    FindProfile = -1
    For i = 0 To profiles.Count - 1
        If LCase(profiles.NetProfileGetAt(i).Name) = LCase(name) Then
            FindProfile = i
            Exit Function
        End If
    Next
End Function

Function RequireProfile(profiles, name)
    RequireProfile = FindProfile(profiles, name)
    If RequireProfile < 0 Then
        WScript.Echo "No stored profile """ & name & """."
        WScript.Quit EXIT_NO_PROFILE
    End If
End Function

' ---- Commands ----

Sub ListProfiles()
    Dim profiles, i
    Set profiles = LoadProfiles()
    If profiles.Count = 0 Then WScript.Echo "No stored profiles."
    For i = 0 To profiles.Count - 1
        WScript.Echo profiles.NetProfileGetAt(i).Name
    Next
End Sub

Sub ShowCurrent()
    ' A profile that is never added to a list is never stored.
    Dim profile
    Set profile = CreateObject("Varquel.NetProfile")
    profile.Name = "(current)"
    profile.GetCurrent
    PrintProfile profile
End Sub

Sub Capture(name)
    Dim profiles, profile, i
    Set profiles = LoadProfiles()
    Set profile = CreateObject("Varquel.NetProfile")
    profile.Name = name
    profile.GetCurrent                  ' the adapters' IP configuration and the default printer
    i = FindProfile(profiles, name)
    If i >= 0 Then
        profiles.NetProfileSetAt i, profile   ' replaces the old one
    Else
        profiles.Add profile
    End If
    profiles.Save                       ' rewrites the whole store from the list
    ' The user's whole proxy setting, remembered with the profile.
    Dim userProxy
    Set userProxy = CreateObject("Varquel.UserProxy")
    userProxy.GetCurrent
    CreateObject("Varquel.ProfileSwitch").SetProxy profile, userProxy
    WScript.Echo "Captured and stored:"
    PrintProfile profile
    PrintRememberedProxy profile
End Sub

Sub Show(name)
    Dim profiles, profile
    Set profiles = LoadProfiles()
    Set profile = profiles.NetProfileGetAt(RequireProfile(profiles, name))
    PrintProfile profile
    PrintRememberedProxy profile
End Sub

Sub ApplyProfile(name)
    Dim profiles, profile
    Set profiles = LoadProfiles()
    Set profile = profiles.NetProfileGetAt(RequireProfile(profiles, name))
    ' IP configuration first (stored adapters go to the machine adapters of the
    ' same Name), then the default printer. The result does not say what the
    ' machine accepted: run "current" to see.
    profile.Apply
    WScript.Echo "Applied """ & profile.Name & """."
End Sub

' A switch's report is a collection of changes, one per setting.
Sub PrintChanges(report)
    Dim c, who, change
    For Each c In report
        who = ""
        If c.NetConnectionID <> "" Then who = c.NetConnectionID & " "
        change = c.Before
        If c.Before <> c.Planned Then change = c.Before & " -> " & c.Planned
        If change = "" Then change = "(none)"
        WScript.Echo "  " & who & c.Setting & ": " & change & " (" & c.Message & ")"
    Next
End Sub

Sub Preview(name)
    Dim profiles, profile, profileSwitch
    Set profiles = LoadProfiles()
    Set profile = profiles.NetProfileGetAt(RequireProfile(profiles, name))
    Set profileSwitch = CreateObject("Varquel.ProfileSwitch")
    profileSwitch.IncludeProxy = True   ' the profile's remembered proxy too
    WScript.Echo "Switching to """ & profile.Name & """ would do this:"
    PrintChanges profileSwitch.Preview(profile)   ' changes nothing
End Sub

Sub SwitchTo(name)
    Dim profiles, profile, profileSwitch, report
    Set profiles = LoadProfiles()
    Set profile = profiles.NetProfileGetAt(RequireProfile(profiles, name))
    ' Unlike Apply, the switch reads the machine back and rolls back a failed
    ' switch, and it moves the profile's remembered proxy too.
    Set profileSwitch = CreateObject("Varquel.ProfileSwitch")
    profileSwitch.IncludeProxy = True
    Set report = profileSwitch.Apply(profile)
    WScript.Echo report.Text
    If Not report.Succeeded Then WScript.Quit EXIT_SWITCH_FAILED
End Sub

Sub DeleteProfile(name)
    Dim profiles, profile, i
    Set profiles = LoadProfiles()
    i = RequireProfile(profiles, name)
    Set profile = profiles.NetProfileGetAt(i)
    profiles.NetProfileRemoveAt i
    profiles.Save
    ' The store of profiles knows nothing of the proxy remembered with one.
    CreateObject("Varquel.ProfileSwitch").ForgetProxy profile
    WScript.Echo "Deleted """ & name & """."
End Sub

Sub Proxy(server, port, setIt)
    ' Only the HTTP server and port are exchanged with the machine.
    Dim p, u
    Set p = CreateObject("Varquel.ProxyProperty")
    If setIt Then
        p.HTTPServer = server
        p.HTTPPort = port
        p.Apply
        WScript.Echo "Proxy set."
    End If
    p.GetCurrent
    WScript.Echo "proxy " & OrNone(p.HTTPServer) & "  port " & OrNone(p.HTTPPort)

    ' The current user's whole setting, as the proxy settings screen shows it.
    Set u = CreateObject("Varquel.UserProxy")
    u.GetCurrent
    WScript.Echo "user's proxy: " & UserProxyText(u)
End Sub


Sub ListShares()
    Dim s, i, path
    Set s = CreateObject("Varquel.NetShareList")
    s.GetCurrent                        ' appends the machine's shares to the (new, empty) list
    If s.Count = 0 Then WScript.Echo "No shares."
    For i = 0 To s.Count - 1
        path = s.PathGetAt(i)
        If IsNull(path) Or path = "" Then path = "(no path)"
        WScript.Echo s.NameGetAt(i) & "  " & path
    Next
End Sub

' ---- Command line ----

Sub Usage()
    WScript.Echo "usage: varquel.vbs list | current | capture NAME | show NAME | apply NAME | delete NAME" & vbLf & _
                 "                   | preview NAME | switch NAME | proxy [SERVER PORT] | shares"
    WScript.Quit EXIT_USAGE
End Sub

' A failed call raises a runtime error whose number is the HRESULT.
Function HResultText(n)
    HResultText = "0x" & Right("00000000" & Hex(n), 8)
End Function

Sub Main()
    Dim args, command, n
    Set args = WScript.Arguments
    n = args.Count
    command = ""
    If n > 0 Then command = LCase(args(0))
    Select Case command
        Case "list":    If n = 1 Then ListProfiles Else Usage
        Case "current": If n = 1 Then ShowCurrent Else Usage
        Case "shares":  If n = 1 Then ListShares Else Usage
        Case "proxy"
            If n = 1 Then
                Proxy "", "", False
            ElseIf n = 3 Then
                Proxy args(1), args(2), True
            Else
                Usage
            End If
        Case "capture", "show", "apply", "delete", "preview", "switch"
            If n <> 2 Then Usage
            If args(1) = "" Then Usage
            Select Case command
                Case "capture": Capture args(1)
                Case "show":    Show args(1)
                Case "apply":   ApplyProfile args(1)
                Case "delete":  DeleteProfile args(1)
                Case "preview": Preview args(1)
                Case "switch":  SwitchTo args(1)
            End Select
        Case Else
            Usage
    End Select
End Sub

On Error Resume Next
Main
If Err.Number <> 0 Then
    WScript.Echo "Failed: " & HResultText(Err.Number) & " " & Err.Description
    WScript.Quit EXIT_FAILED
End If
