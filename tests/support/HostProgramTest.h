// Fixture of tests that run host programs (quilo-grab, quilo-view) as processes: the component
// and the test camera registered, no devices at the start or the end of a test, and a folder of
// the test's own for the files the programs write.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/ComponentRegistration.h"
#include "support/TestCamera.h"
#include "support/TestFolder.h"
#include "support/TestSupport.h"

namespace quilo::test {

class HostProgramTest : public ::testing::Test
{
protected:
    explicit HostProgramTest(const char *folderPrefix) : folder_(folderPrefix) {}

    static void SetUpTestSuite()
    {
        ASSERT_EQ(S_OK, register_component());
        ASSERT_EQ(S_OK, register_test_camera());
    }
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(com_.result()));
        ASSERT_TRUE(clear_devices());
    }
    void TearDown() override { EXPECT_TRUE(clear_devices()); }

    std::string file(const std::string &name) const { return folder_.file(name); }

    ComScope com_;
    TestFolder folder_;
};

} // namespace quilo::test
