#include "support/TestCamera.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "support/TestPaths.h"
#include "support/TestSupport.h"
#include "testcam/DeviceRegistry.h"

namespace quilo::test {

HRESULT register_test_camera()
{
    HMODULE module = LoadLibraryA(QUILO_TESTCAM_PATH);
    if (!module) return HRESULT_FROM_WIN32(GetLastError());
    using Register = HRESULT(WINAPI *)();
    auto reg = reinterpret_cast<Register>(reinterpret_cast<void *>(GetProcAddress(module, "DllRegisterServer")));
    const HRESULT hr = reg ? reg() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    FreeLibrary(module);
    return hr;
}

ProgramRun run_testcam(const std::string &arguments)
{
    return run_program("\"" QUILO_TESTCAM_TOOL "\" " + arguments);
}

namespace {

::testing::AssertionResult exited_with_0(const ProgramRun &run)
{
    return (run.exitCode == 0 ? ::testing::AssertionSuccess() : ::testing::AssertionFailure()) << run;
}

} // namespace

::testing::AssertionResult add_device(const std::string &name, const std::string &options)
{
    return exited_with_0(run_testcam("add \"" + name + "\" " + options));
}

::testing::AssertionResult remove_device(const std::string &name)
{
    return exited_with_0(run_testcam("remove \"" + name + "\""));
}

::testing::AssertionResult clear_devices() { return exited_with_0(run_testcam("clear")); }

DeviceRecord read_device_record(const std::string &name) { return testcam::read_device_record(name); }

LONG live_testcam_objects()
{
    // The module COM loads for the registered camera is this file; when nothing bound a device
    // yet it is loaded here (and stays, as COM would keep it), so the count always has a source.
    HMODULE module = GetModuleHandleA("QuiloTestCamera.ax");
    if (!module) module = LoadLibraryA(QUILO_TESTCAM_PATH);
    if (!module) {
        ADD_FAILURE() << "the test camera module " QUILO_TESTCAM_PATH " cannot be loaded: " << GetLastError();
        return -1;
    }
    using Count = LONG(WINAPI *)();
    auto count = reinterpret_cast<Count>(reinterpret_cast<void *>(GetProcAddress(module, "QuiloTestCameraLiveObjects")));
    if (!count) {
        ADD_FAILURE() << "the test camera module has no QuiloTestCameraLiveObjects export";
        return -1;
    }
    return count();
}

long frame_number(const unsigned char *pixels, int width, int height, long stride, bool topRowFirst, int tag,
                  std::string *why)
{
    auto reject = [why](const char *what, int x, int y, int got, int want) {
        if (why) {
            char text[160];
            std::snprintf(text, sizeof(text), "%s at column %d, row %d: %d, expected %d", what, x, y, got, want);
            *why = text;
        }
        return -1L;
    };
    if (!pixels || width <= 0 || height <= 0 || stride < 3L * width) {
        if (why) *why = "no frame, or a stride too small for its width";
        return -1;
    }
    // The top-left pixel gives n; every other pixel must then agree.
    const unsigned char *top = topRowFirst ? pixels : pixels + static_cast<size_t>(height - 1) * stride;
    const int n = top[0];
    const int red = tag & 0xFF;
    for (int row = 0; row < height; ++row) {
        const unsigned char *p = pixels + static_cast<size_t>(row) * stride;
        const int y = topRowFirst ? row : height - 1 - row;
        for (int x = 0; x < width; ++x, p += 3) {
            if (p[0] != ((x + n) & 0xFF)) return reject("blue", x, y, p[0], (x + n) & 0xFF);
            if (p[1] != (y & 0xFF)) return reject("green", x, y, p[1], y & 0xFF);
            if (p[2] != red) return reject("red", x, y, p[2], red);
        }
        for (long pad = 3L * width; pad < (3L * width + 3) / 4 * 4 && pad < stride; ++pad, ++p)
            if (*p != 0) return reject("padding", static_cast<int>(pad), y, *p, 0);
    }
    return n == 0 ? 256 : n;
}

} // namespace quilo::test
