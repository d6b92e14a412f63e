// QuiloVideo.Camera from JScript, run by cscript against a test camera device.
// Arguments: the device's name, its tag (the red of its picture), a PNG file to write.
// Exit code 0 when every check holds; otherwise each failed check is printed.
var failures = 0;
function check(ok, what) {
    if (!ok) {
        WScript.Echo("FAILED: " + what);
        failures++;
    }
}

var deviceName = WScript.Arguments(0);
var tag = parseInt(WScript.Arguments(1), 10);
var pngPath = WScript.Arguments(2);
var camera = new ActiveXObject("QuiloVideo.Camera");
// Wine's cscript reports no runtime error: everything runs inside one try, whose catch says it.
try {
    // Devices: the one asked for is listed by name.
    var found = -1;
    for (var i = 0; i < camera.DeviceCount; i++) {
        WScript.Echo("device " + i + ": " + camera.DeviceName(i) + " " + camera.DevicePath(i));
        if (camera.DeviceName(i) == deviceName) found = i;
    }
    check(found >= 0, "the device '" + deviceName + "' is listed");

    // Formats: pick the first one at its highest rate; open by position this time.
    check(camera.FormatCount(found) >= 1, "the device offers a format");
    var width = camera.FormatWidth(found, 0), height = camera.FormatHeight(found, 0);
    var rate = camera.FormatMaxRate(found, 0);
    camera.Open(found, width, height, rate);
    check(camera.Name == deviceName, "the open device's name");

    // The documented picture: blue counts up from the frame's number along a row, green is the row
    // from the top, red is the device's tag.
    camera.Grab();
    check(camera.Width == width && camera.Height == height, "the frame has the format's size");
    var bytes = new VBArray(camera.PixelArray).toArray();
    check(bytes.length == width * height * 3, "three bytes a pixel, no padding");
    var rows = [0, 1, height >> 1, height - 1];
    for (var r = 0; r < rows.length; r++) {
        var at = rows[r] * width * 3;
        check(bytes[at + 1] == (rows[r] & 255), "green is the row " + rows[r]);
        check(bytes[at + 2] == tag, "red is the tag in row " + rows[r]);
        check(((bytes[at + 15] - bytes[at] + 256) & 255) == 5, "blue counts along row " + rows[r]);
    }
    check(camera.Pixel(1, 2) == ((tag << 16) | (2 << 8) | bytes[2 * width * 3 + 3]), "Pixel reads the same bytes");

    // Frame numbers grow and stream times step by the frame interval.
    var number0 = camera.FrameNumber, time0 = camera.StreamTime;
    for (var g = 0; g < 5; g++) camera.Grab(2000);
    var number1 = camera.FrameNumber, time1 = camera.StreamTime;
    check(number1 > number0, "frame numbers grow (" + number0 + " then " + number1 + ")");
    var perFrame = (time1 - time0) / (number1 - number0);
    check(Math.abs(perFrame - 1 / rate) < 0.25 / rate, "stream time per frame " + perFrame + " is about 1/" + rate);

    camera.SaveFrame(pngPath);
    camera.Close();

    // A missing device: the error's text names it and the devices there are.
    var message = "";
    try {
        camera.Open("No Such Camera");
    } catch (e) {
        message = e.message;
    }
    WScript.Echo("error: " + message);
    check(message.indexOf("QuiloVideo.Camera: no video input device is named 'No Such Camera'; devices: ") == 0,
          "the error's text");
    check(message.indexOf("'" + deviceName + "'") > 0, "the error lists the devices");
} catch (e) {
    check(false, "stopped at an error: " + e.message);
}
if (failures == 0) WScript.Echo("camera.js: all checks passed");
WScript.Quit(failures);
