' The objects from VBScript, against the bookmark emulator: the late-bound
' calls a VBScript host makes, with its own argument passing (ByRef
' variants) and property syntax. Ends with the number of failures as exit
' status: the host itself exits 0 on an uncaught error.
Option Explicit
Dim failures : failures = 0

Sub Check(ok, what)
    If Not ok Then
        failures = failures + 1
        WScript.Echo "FAIL: " & what
    End If
End Sub

Sub Equal(actual, expected, what)
    Check actual = expected, what & ": got [" & actual & "], expected [" & expected & "]"
End Sub

Dim env, url, page, names, name, made, o, i
Set env = CreateObject("WScript.Shell").Environment("PROCESS")
page = env("PLENTOR_TEST_PAGE")
url = "http://example.org/from-vbscript"

On Error Resume Next
names = Array("DeliciousSubmit", "FurlSubmit", "Netvouz", "Shadows", "Spurl", "Blogmarks", "QuorlaneSubmit", "Simpy")
For Each name In names
    Set made = Nothing
    Set made = CreateObject("Plentor." & name & ".1")
    Check Err.Number = 0 And Not made Is Nothing, "create Plentor." & name & ".1"
    Err.Clear
    Set made = Nothing
    Set made = CreateObject("Plentor." & name)
    Check Err.Number = 0 And Not made Is Nothing, "create Plentor." & name
    Err.Clear
Next
On Error GoTo 0

Dim d
Set d = CreateObject("Plentor.DeliciousSubmit.1")
Equal d.NumLinks, 0, "fresh NumLinks"
Equal d.LastTitle, "", "fresh LastTitle"
d.Login = "demo"
d.Password = "demo"
Equal d.Login, "demo", "Login"
Dim title : title = "VBScript title"
Equal d.SubmitExplicit(url, title, "VBScript notes", "vbs,explicit"), 1, "SubmitExplicit"
Equal d.FetchPageInfo(page), 1, "FetchPageInfo"
Check Len(d.LastTitle) > 0, "LastTitle after FetchPageInfo"
Equal d.GetLink(-1), "", "GetLink(-1)"
d.ClearLinks
Equal d.NumLinks, 0, "ClearLinks"

Dim f
Set f = CreateObject("Plentor.FurlSubmit")
Equal f.Login("demo", "demo"), 1, "Furl Login"
Equal f.QuickSubmit2("Furl from VBScript", url), 1, "Furl QuickSubmit2"

For Each name In Array("Netvouz", "Spurl", "Blogmarks")
    Set o = CreateObject("Plentor." & name)
    Equal o.Login("demo", "demo"), 1, name & " Login"
    Equal o.Submit(url, name & " from VBScript", "notes", "vbs"), 1, name & " Submit"
Next

Dim s
Set s = CreateObject("Plentor.Shadows.1")
s.Login = "demo"
s.Password = "demo"
Equal s.Submit(url, "Shadows from VBScript", "notes", "vbs"), 1, "Shadows Submit"

Dim y
Set y = CreateObject("Plentor.Simpy")
y.Login = "demo"
y.Password = "demo"
Equal y.Submit(url, "Simpy from VBScript", "vbs"), 1, "Simpy Submit"

Dim q
Set q = CreateObject("Plentor.QuorlaneSubmit.1")
Equal q.Login("demo", "demo"), 1, "Quorlane Login"
Equal q.Submit("Reading", url, "Quorlane from VBScript", "notes", "vbs"), 1, "Quorlane Submit"

If failures = 0 Then WScript.Echo "objects.vbs: all checks passed"
WScript.Quit failures
