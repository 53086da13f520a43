' Saves one bookmark to Simpy with Plentor.dll, from VBScript:
'   cscript //nologo save-bookmark.vbs URL TITLE TAGS [LOGIN PASSWORD]
Option Explicit
Dim args, simpy, saved
Set args = WScript.Arguments
If args.Count < 3 Then
    WScript.Echo "usage: cscript //nologo save-bookmark.vbs URL TITLE TAGS [LOGIN PASSWORD]"
    WScript.Quit 2
End If
Set simpy = CreateObject("Plentor.Simpy")
simpy.Login = "demo"
simpy.Password = "demo"
If args.Count > 4 Then
    simpy.Login = args(3)
    simpy.Password = args(4)
End If
saved = simpy.Submit(args(0), args(1), args(2))
If saved = 1 Then
    WScript.Echo "saved"
    WScript.Quit 0
End If
WScript.Echo "not saved"
WScript.Quit 1
