// The image controls and inputs of QuiloVideo.Camera from JScript, run by cscript against a test
// camera device of one of the kinds controls.vbs takes (full, bare, locked); each change is
// checked in the device's own record and in its picture's marks (docs/TestCamera.md, --marks).
// Exit code 0 when every check holds; otherwise each failed check is printed.
var failures = 0;
function check(ok, what) {
    if (!ok) {
        WScript.Echo("FAILED: " + what);
        failures++;
    }
}

var deviceName = WScript.Arguments(0);
var kind = WScript.Arguments(1);
var camera = new ActiveXObject("QuiloVideo.Camera");
var shell = new ActiveXObject("WScript.Shell");

// The device's kept value of a camera control, "value flags" (flags 1 automatic, 2 manual).
function kept(name) {
    try {
        return shell.RegRead("HKCU\\Software\\QuiloVideo\\TestCamera\\Devices\\" + deviceName + "\\CameraControl." + name);
    } catch (e) {
        return "(none)";
    }
}
// A mark block's colour, 0xRRGGBB, from the frame after the next (one painted before a change
// may still be on its way).
function mark(block) {
    camera.Grab();
    camera.Grab();
    return camera.Pixel(8 * block + 3, 3);
}
// The error text of a call that must fail; "" when it worked.
function failure(call) {
    try {
        call();
        return "";
    } catch (e) {
        return e.description;
    }
}

// Wine's cscript reports no runtime error: everything runs inside one try, whose catch says it.
try {
    camera.Open(deviceName, 160, 120);
    if (kind == "full") {
        check(camera.ControlCount == 15, "fifteen controls");
        check(camera.ControlMin("pan") == -180 && camera.ControlMax("pan") == 180, "pan's range");
        check(camera.ControlDefault("zoom") == 120 && camera.ControlStep("zoom") == 20, "zoom as configured");

        camera.SetControl("Pan", -90);
        camera.SetControl("Zoom", 200);
        check(kept("pan") == "-90 2" && kept("zoom") == "200 2", "the device keeps pan and zoom: " + kept("pan") + ", " + kept("zoom"));
        check(mark(1) == 0x00A680 && mark(4) == 0x00C880, "pan's and zoom's marks");

        camera.SetControl("Exposure", -8);
        check(!camera.ControlIsAuto("Exposure") && mark(5) == 0x00F880, "exposure manual at -8");
        camera.SetControlAuto("Exposure");
        check(camera.ControlIsAuto("Exposure") && kept("exposure") == "-8 1" && mark(5) == 0xFFF880, "exposure automatic again");

        camera.SelectInput("Tuner");
        check(camera.Input == "Tuner" && mark(0) == 0x0000FF, "the tuner is routed and its mark is blue");
        check(failure(function () { camera.SetControl("Pan", 181); }).indexOf("Pan takes values from -180 to 180") >= 0, "pan off its range");
    } else if (kind == "bare") {
        check(camera.ControlCount == 8, "eight procamp controls");
        check(failure(function () { camera.ControlValue("Zoom"); }).indexOf("has no Zoom control") >= 0, "no zoom");
        check(failure(function () { camera.SelectInput("Tuner"); }).indexOf("has no crossbar") >= 0, "no crossbar");
    } else if (kind == "locked") {
        check(failure(function () { camera.SetControlAuto("Focus"); }) != "", "the device refuses even automatic");
        check(failure(function () { camera.SetControl("Focus", 50); }).indexOf("'" + deviceName + "' refused Focus = 50") >= 0,
              "the device refuses to set focus");
        check(camera.ControlIsAuto("Focus"), "focus is unchanged");
    } else {
        check(false, "unknown kind " + kind);
    }
    camera.Close();
} catch (e) {
    check(false, "stopped at an error: " + e.description);
}
if (failures == 0) WScript.Echo("controls.js: all checks passed");
WScript.Quit(failures);
