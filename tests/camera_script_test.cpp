// QuiloVideo.Camera from the script engines a late-bound host has: tests/scripts/camera.vbs and
// camera.js run by Wine's own cscript.exe against a test camera device. Each script checks the
// device list, a format and rate, the documented picture, frame numbers and stream times, and a
// missing device's error text; this program checks how it ended and the PNG it wrote.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <utility>

#include "WicDecode.h"
#include "support/HostProgramTest.h"

namespace qt = quilo::test;

namespace {

constexpr char kDevice[] = "Script Camera";
constexpr int kTag = 7; // the red of the device's picture

class CameraScriptTest : public qt::HostProgramTest
{
protected:
    CameraScriptTest() : HostProgramTest("quilo-scripts") {}

    void run(const std::string &script)
    {
        ASSERT_TRUE(qt::add_device(kDevice, "--tag " + std::to_string(kTag) + " --fps 20 --rates 10-30"));
        const std::string png = file("frame.png");
        const qt::ProgramRun run = qt::run_program("cscript.exe //nologo \"" + std::string(QUILO_SCRIPTS_DIR) + "\\" +
                                                       script + "\" \"" + kDevice + "\" " + std::to_string(kTag) +
                                                       " \"" + png + "\"",
                                                   120000);
        // Wine's cscript exits with 0 after a script it could not parse or that stopped at an
        // error, without a word: the script's own last line counts too.
        EXPECT_EQ(0u, run.exitCode) << run;
        EXPECT_TRUE(qt::contains(run.output, script + ": all checks passed")) << run;

        qt::DecodedImage image;
        ASSERT_EQ(S_OK, qt::decode_image(png, image));
        ASSERT_EQ(640u, image.width);
        ASSERT_EQ(480u, image.height);
        std::string why;
        EXPECT_GT(qt::frame_number(image.bgr.data(), 640, 480, 640 * 3, true, kTag, &why), 0) << why;
    }

    // README's example of a language (its fenced block) written to a script file of the test's
    // folder and run by cscript in that folder.
    qt::ProgramRun runReadmeExample(const std::string &language, const std::string &fileName)
    {
        std::ifstream readme(std::string(QUILO_SCRIPTS_DIR) + "\\..\\..\\README.md");
        EXPECT_TRUE(readme.good()) << "README.md is not beside tests/";
        std::ostringstream example;
        bool inside = false;
        for (std::string line; std::getline(readme, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (inside && line.rfind("```", 0) == 0) break;
            if (inside) example << line << "\r\n";
            if (line == "```" + language) inside = true;
        }
        EXPECT_FALSE(example.str().empty()) << "README has no " << language << " example";
        std::ofstream(file(fileName)) << example.str();
        return qt::run_program("cmd.exe /c cd /d \"" + file("") + "\" && cscript.exe //nologo " + fileName, 120000);
    }
};

TEST_F(CameraScriptTest, VBScript) { run("camera.vbs"); }
TEST_F(CameraScriptTest, JScript) { run("camera.js"); }

// controls.vbs and controls.js against each kind of device they know: every camera control with
// a configured range, a crossbar and picture marks; none of them; one that refuses every Set.
TEST_F(CameraScriptTest, ControlsAndInputsOfEachKindOfDevice)
{
    const std::pair<const char *, const char *> kinds[] = {
        {"full", "--camctl all --range zoom:100:500:20:120 --crossbar composite,svideo,tuner/decoder --marks"},
        {"bare", ""},
        {"locked", "--camctl focus --refuse-set"},
    };
    for (const char *script : {"controls.vbs", "controls.js"}) {
        for (const auto &kind : kinds) {
            // Added again for each script: every run starts from the device's defaults.
            ASSERT_TRUE(qt::add_device(kind.first, kind.second));
            const qt::ProgramRun run = qt::run_program("cscript.exe //nologo \"" + std::string(QUILO_SCRIPTS_DIR) +
                                                           "\\" + script + "\" " + kind.first + " " + kind.first,
                                                       120000);
            EXPECT_EQ(0u, run.exitCode) << run;
            EXPECT_TRUE(qt::contains(run.output, std::string(script) + ": all checks passed")) << run;
        }
    }
}

TEST_F(CameraScriptTest, ReadmeExamplesRun)
{
    ASSERT_TRUE(qt::add_device(kDevice, "--tag " + std::to_string(kTag)));
    const qt::ProgramRun vbs = runReadmeExample("vbscript", "grab.vbs");
    EXPECT_TRUE(qt::contains(vbs.output, "0: " + std::string(kDevice))) << vbs;
    EXPECT_TRUE(qt::contains(vbs.output, "640x480, frame ")) << vbs;
    EXPECT_TRUE(qt::contains(vbs.output, "top-left pixel: &H7")) << vbs; // red is the tag
    qt::DecodedImage image;
    EXPECT_EQ(S_OK, qt::decode_image(file("frame.png"), image)) << vbs;

    const qt::ProgramRun js = runReadmeExample("jscript", "grab.js");
    EXPECT_TRUE(qt::contains(js.output, "QuiloVideo.Camera: no video input device is named 'No Such Camera'; devices: '" +
                                            std::string(kDevice) + "'"))
        << js;
    EXPECT_TRUE(qt::contains(js.output, "640x480, first pixel " + std::to_string(kTag) + ",0,")) << js;
}

} // namespace
