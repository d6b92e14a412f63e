#include "support/ComponentTest.h"

#include "support/ComponentRegistration.h"
#include "support/TestCamera.h"

namespace quilo::test {

void ComponentTest::SetUpTestSuite()
{
    ComScope com;
    ASSERT_EQ(S_OK, register_component());
    ASSERT_EQ(S_OK, register_test_camera());
}

void ComponentTest::SetUp()
{
    ASSERT_TRUE(clear_devices());
    object = create_component();
    ASSERT_TRUE(object);
}

void ComponentTest::TearDown()
{
    object.reset();
    // Releasing the object closes the device, whatever state the host left it in.
    EXPECT_EQ(0, live_testcam_objects());
    EXPECT_TRUE(clear_devices());
}

} // namespace quilo::test
