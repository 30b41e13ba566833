' Creates every class by its ProgID and prints the type its object reports
' (TypeName asks the object for its type information). A class that cannot
' be created prints the error instead.
Option Explicit
Dim progIds, progId, obj
progIds = Array("Brenzik.AddressList", "Varquel.NetAdaptersList", "Varquel.NetAdapterProperty", _
                "Varquel.NetProfile", "Varquel.NetShareList", "Varquel.ProxyProperty", _
                "Varquel.PrintersProperty", "Varquel.NetProfilesList", "Varquel.ProfileSwitch", _
                "Varquel.UserProxy")
On Error Resume Next
For Each progId In progIds
    Err.Clear
    Set obj = CreateObject(progId)
    If Err.Number <> 0 Then
        WScript.Echo progId & ": cannot be created (0x" & Hex(Err.Number) & ")"
    Else
        WScript.Echo progId & ": " & TypeName(obj)
    End If
    Set obj = Nothing
Next
