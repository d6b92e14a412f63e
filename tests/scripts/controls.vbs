' The image controls and inputs of QuiloVideo.Camera from VBScript, run by cscript against a
' test camera device. Each change is checked in the device's own record (its registry state, as
' `quilo-testcam list` shows it) and in its picture's marks (docs/TestCamera.md, --marks).
' Arguments: the device's name and its kind:
'   full    --camctl all --range zoom:100:500:20:120 --crossbar composite,svideo,tuner/decoder --marks
'   bare    the default procamp, no camera control, no crossbar
'   locked  --camctl focus --refuse-set
' Exit code 0 when every check holds; otherwise the failed checks are printed.
Option Explicit

Dim failures : failures = 0
Sub Check(ok, what)
    If Not ok Then
        WScript.Echo "FAILED: " & what
        failures = failures + 1
    End If
End Sub

Dim deviceName, kind, camera, shell
deviceName = WScript.Arguments(0)
kind = WScript.Arguments(1)
Set camera = CreateObject("QuiloVideo.Camera")
Set shell = CreateObject("WScript.Shell")

' The device's kept value of a camera control, "value flags" (flags 1 automatic, 2 manual).
Function Kept(name)
    On Error Resume Next
    Kept = shell.RegRead("HKCU\Software\QuiloVideo\TestCamera\Devices\" & deviceName & "\CameraControl." & name)
    If Err.Number <> 0 Then Kept = "(none)"
End Function

' A mark block's colour as &HRRGGBB: block 0 the routed input, block 1 + p camera control p.
' The frame after the next: one painted before a change may still be on its way.
Function Mark(block)
    camera.Grab
    camera.Grab
    Mark = camera.Pixel(8 * block + 3, 3)
End Function

' The error of setting a control (Empty: to automatic) or reading its value, as
' "HRESULT text"; "" when the call worked.
Function SetFailure(name, value)
    On Error Resume Next
    If IsEmpty(value) Then camera.SetControlAuto name Else camera.SetControl name, value
    If Err.Number = 0 Then SetFailure = "" Else SetFailure = Hex(Err.Number) & " " & Err.Description
End Function
Function ValueFailure(name)
    Dim value
    On Error Resume Next
    value = camera.ControlValue(name)
    If Err.Number = 0 Then ValueFailure = "" Else ValueFailure = Hex(Err.Number) & " " & Err.Description
End Function

camera.Open deviceName, 160, 120
WScript.Echo "opened"
Dim i, name, names
names = ""
For i = 0 To camera.ControlCount - 1
    name = camera.ControlName(i)
    names = names & " " & name
    WScript.Echo name & " " & camera.ControlMin(name) & ".." & camera.ControlMax(name) & " step " & _
        camera.ControlStep(name) & ", default " & camera.ControlDefault(name) & ", value " & _
        camera.ControlValue(name) & ", automatic " & camera.ControlIsAuto(name) & "/" & camera.ControlCanAuto(name)
Next

Select Case kind
Case "full"
    Check camera.ControlCount = 15, "eight procamp and seven camera controls, not" & names
    ' Documented ranges, and zoom's as the device was configured.
    Check camera.ControlMin("Exposure") = -13 And camera.ControlMax("Exposure") = -1, "exposure's range"
    Check camera.ControlDefault("Exposure") = -6 And camera.ControlIsAuto("Exposure"), "exposure starts automatic at -6"
    Check camera.ControlMax("Focus") = 250 And camera.ControlStep("Focus") = 5, "focus's range"
    Check camera.ControlMin("Zoom") = 100 And camera.ControlMax("Zoom") = 500 And camera.ControlStep("Zoom") = 20 _
        And camera.ControlDefault("Zoom") = 120 And Not camera.ControlCanAuto("Zoom"), "zoom's configured range"
    Check Mark(5) = &HFFFA80&, "exposure's mark: automatic, -6"

    camera.SetControl "Exposure", -4
    camera.SetControl "Focus", 40
    Check Not camera.ControlIsAuto("Exposure") And camera.ControlValue("Exposure") = -4, "exposure is manual at -4"
    Check Kept("exposure") = "-4 2", "the device keeps exposure -4, manual: " & Kept("exposure")
    Check Kept("focus") = "40 2", "the device keeps focus 40, manual: " & Kept("focus")
    Check Mark(5) = &H00FC80&, "exposure's mark: manual, -4"
    Check Mark(7) = &H002880&, "focus's mark: manual, 40"

    camera.SetControlAuto "Focus"
    Check camera.ControlIsAuto("Focus"), "focus is automatic"
    Check Kept("focus") = "40 1", "the device keeps focus automatic: " & Kept("focus")
    Check Mark(7) = &HFF2880&, "focus's mark: automatic"

    Check camera.Input = "Composite" And Mark(0) = &HFFFFFF&, "composite is routed and its mark is white"
    camera.SelectInput "S-Video"
    Check camera.Input = "S-Video", "S-Video is routed"
    Check Mark(0) = &H00FF00&, "S-Video's mark is green"
    camera.SelectInput 2
    Check camera.Input = "Tuner" And Mark(0) = &H0000FF&, "the tuner's mark is blue"

    Dim text
    text = SetFailure("Zoom", 130)
    WScript.Echo "error: " & text
    Check InStr(text, "80070057 QuiloVideo.Camera: Zoom takes values from 100 to 500 in steps of 20") = 1, "zoom off its step"
    Check SetFailure("Zoom", Empty) <> "", "zoom has no automatic mode"
Case "bare"
    Check camera.ControlCount = 8, "eight procamp controls, not" & names
    Check InStr(ValueFailure("Focus"), "has no Focus control") > 0, "no focus"
    Check camera.InputCount = 0, "no inputs"
    camera.Grab
    Check camera.Width = 160, "a device without camera controls still streams"
Case "locked"
    Check camera.ControlCount = 9, "eight procamp controls and focus, not" & names
    Check InStr(SetFailure("Focus", 50), "'" & deviceName & "' refused Focus = 50") > 0, "the device refuses to set focus"
    Check camera.ControlIsAuto("Focus") And Kept("focus") = "(none)", "focus is unchanged"
Case Else
    Check False, "unknown kind " & kind
End Select

camera.Close
If failures = 0 Then WScript.Echo "controls.vbs: all checks passed"
WScript.Quit failures
