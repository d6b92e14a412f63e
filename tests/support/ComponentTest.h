// Fixture of the end-to-end tests: the component and the test camera registered, no devices, a
// fresh component object per test; when the object is gone, no camera object may be left.
#pragma once

#include <gtest/gtest.h>

#include "support/Component.h"
#include "support/TestSupport.h"

namespace quilo::test {

class ComponentTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    ComScope com;
    ComPtr<ICQuiloVideoProcClass> object;
};

} // namespace quilo::test
