// The virtual test camera from a test's point of view: register it, add and remove devices
// with quilo-testcam.exe, read what hosts did to a device, and check frames against its
// picture.
//
// Records are written by the camera filter as things happen, with one exception: the count of
// frames delivered is written when a stream ends (the device got S_FALSE from downstream and
// sent EndOfStream), when the filter is stopped, and when the filter object is destroyed.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "support/TestSupport.h"
#include "testcam/DeviceRegistry.h"

namespace quilo::test {

// DllRegisterServer of QUILO_TESTCAM_PATH (loads the .ax for the call only).
HRESULT register_test_camera();

// quilo-testcam.exe <arguments>
ProgramRun run_testcam(const std::string &arguments);
// `add "NAME" <options>`, `remove "NAME"`, `clear`: true when the tool exited with 0. The
// tool's command line, exit code and output come with the answer, so a failed ASSERT_TRUE
// (or EXPECT_FALSE) shows them.
::testing::AssertionResult add_device(const std::string &name, const std::string &options = "");
::testing::AssertionResult remove_device(const std::string &name);
::testing::AssertionResult clear_devices();

// What hosts did to a device, as the camera filter recorded it: the record type is the
// camera's own, read through its registry code.
using DeviceRecord = testcam::DeviceRecord;
DeviceRecord read_device_record(const std::string &name);

// Filter, pin, enumerator and property page objects of the camera alive in this process. The
// module is loaded from its build path when it is not loaded yet; a module that cannot be loaded
// or lacks the count's export fails the test and answers -1, never a vacuous 0.
LONG live_testcam_objects();

// Checks every pixel of a frame, padding included, against the camera's picture; returns the
// frame's sequence number n or -1 with a reason. The picture carries n mod 256 only, so the
// answer is in 1..256 (256 for multiples of 256). `stride` is the bytes between rows in memory;
// topRowFirst tells whether the first row in memory is the top of the picture.
long frame_number(const unsigned char *pixels, int width, int height, long stride, bool topRowFirst, int tag,
                  std::string *why = nullptr);

} // namespace quilo::test
