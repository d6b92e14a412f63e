// The tests' own process runner: a child that hangs must not hang the test that runs it.
#include <gtest/gtest.h>
#include <windows.h>

#include "support/TestSupport.h"

namespace {

constexpr char kHangingChild[] = QUILO_TESTS_DIR "\\quilo-hanging-child.exe";

TEST(RunProgram, EndsAChildThatOutlivesItsTimeLimit)
{
    std::string output;
    EXPECT_EQ(static_cast<DWORD>(-2), quilo::test::run_program(std::string("\"") + kHangingChild + "\"", &output, 1500));
    EXPECT_EQ(static_cast<DWORD>(-1), quilo::test::run_program("\"no-such-program.exe\"", nullptr, 1000));
}

TEST(RunProgram, ReturnsTheExitCodeAndTheOutputOfAChildThatEnds)
{
    std::string output;
    EXPECT_EQ(3u, quilo::test::run_program("cmd.exe /c \"echo done& exit 3\"", &output, 30000));
    EXPECT_NE(std::string::npos, output.find("done")) << output;
}

} // namespace
