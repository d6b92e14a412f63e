' QuiloVideo.Camera from VBScript, run by cscript against a test camera device.
' Arguments: the device's name, its tag (the red of its picture), a PNG file to write.
' Exit code 0 when every check holds; otherwise the first failed check is printed.
Option Explicit

Dim failures : failures = 0
Sub Check(ok, what)
    If Not ok Then
        WScript.Echo "FAILED: " & what
        failures = failures + 1
    End If
End Sub

Dim deviceName, tag, pngPath
deviceName = WScript.Arguments(0)
tag = CLng(WScript.Arguments(1))
pngPath = WScript.Arguments(2)

Dim camera, i, found
Set camera = CreateObject("QuiloVideo.Camera")

' Devices: the one asked for is listed by name.
Check camera.DeviceCount >= 1, "a device is listed"
found = -1
For i = 0 To camera.DeviceCount - 1
    WScript.Echo "device " & i & ": " & camera.DeviceName(i) & " " & camera.DevicePath(i)
    If camera.DeviceName(i) = deviceName Then found = i
Next
Check found >= 0, "the device '" & deviceName & "' is listed"

' Formats: pick the first one at its highest rate.
Dim width, height, rate
Check camera.FormatCount(deviceName) >= 1, "the device offers a format"
width = camera.FormatWidth(deviceName, 0)
height = camera.FormatHeight(deviceName, 0)
rate = camera.FormatMaxRate(deviceName, 0)
WScript.Echo "format 0: " & width & "x" & height & " " & camera.FormatSubtype(deviceName, 0) & " " & _
    camera.FormatMinRate(deviceName, 0) & "-" & rate & " fps"
Check rate > 0, "the format has a frame rate"

' Open by name with that format, grab, and check the documented picture: blue counts up from
' the frame's number along a row, green is the row from the top, red is the device's tag.
' Wine's cscript reports no runtime error: each step says it is done, so a stop shows where.
camera.Open deviceName, width, height, rate
WScript.Echo "opened"
Check camera.IsOpen, "the device is open"
Check camera.Name = deviceName, "the open device's name"
camera.Grab
WScript.Echo "grabbed"
Check camera.Width = width And camera.Height = height, "the frame has the format's size"
Dim first, pixels, row
first = camera.Pixel(0, 0)
Call Check((first \ 65536) = tag, "red is the tag")
For Each row In Array(0, 1, height \ 2, height - 1)
    Call Check(((camera.Pixel(0, row) \ 256) And 255) = (row And 255), "green is the row " & row)
    Call Check(((camera.Pixel(5, row) And 255) - (camera.Pixel(0, row) And 255) + 256) Mod 256 = 5, "blue counts along row " & row)
Next
pixels = camera.PixelArray
Check UBound(pixels) + 1 = width * height * 3, "three bytes a pixel, no padding"
Check pixels(0) = (first And 255) And pixels(1) = ((first \ 256) And 255) And pixels(2) = tag, "bytes are blue, green, red"
Check pixels(width * 3 + 1) = 1, "the second row follows the first"

' Frame numbers grow and stream times step by the frame interval.
Dim number0, time0, number1, time1, perFrame
number0 = camera.FrameNumber : time0 = camera.StreamTime
For i = 1 To 5
    camera.Grab 2000
Next
number1 = camera.FrameNumber : time1 = camera.StreamTime
Check number1 > number0, "frame numbers grow (" & number0 & " then " & number1 & ")"
perFrame = (time1 - time0) / (number1 - number0)
Check Abs(perFrame - 1 / rate) < 0.25 / rate, "stream time per frame " & perFrame & " is about 1/" & rate
Check Year(camera.ArrivalTime) >= 2020, "the arrival time is a date"

camera.SaveFrame pngPath
WScript.Echo "saved"
camera.Close
Check Not camera.IsOpen, "closed"

' A missing device: the error's text names it and the devices there are.
On Error Resume Next
camera.Open "No Such Camera"
Dim number, description
number = Err.Number : description = Err.Description
On Error GoTo 0
WScript.Echo "error: " & description
Check number <> 0, "opening a missing device fails"
Check InStr(description, "QuiloVideo.Camera: no video input device is named 'No Such Camera'; devices: ") = 1, "the error's text"
Check InStr(description, "'" & deviceName & "'") > 0, "the error lists the devices"

If failures = 0 Then WScript.Echo "camera.vbs: all checks passed"
WScript.Quit failures
