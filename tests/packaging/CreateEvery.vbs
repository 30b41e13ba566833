' CreateEvery.vbs ProgID...: creates an object of every class named, as a
' script client does, and prints the type it reports. Exit status 1 when any
' cannot be created.
Option Explicit
Dim i, progId, obj, failed
failed = 0
For i = 0 To WScript.Arguments.Count - 1
    progId = WScript.Arguments(i)
    On Error Resume Next
    Set obj = CreateObject(progId)
    If Err.Number <> 0 Then
        WScript.Echo progId & ": not created: 0x" & Hex(Err.Number) & " " & Err.Description
        failed = 1
        Err.Clear
    Else
        WScript.Echo progId & ": " & TypeName(obj)
    End If
    On Error GoTo 0
    Set obj = Nothing
Next
WScript.Quit failed
