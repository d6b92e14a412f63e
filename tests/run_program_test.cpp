// The tests' own process runner: a child that hangs must not hang the test that runs it, and
// whatever a child said comes back with how it ended.
#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>

#include "support/TestSupport.h"

namespace {

using quilo::test::ProgramRun;
using quilo::test::run_program;

constexpr char kHangingChild[] = QUILO_TESTS_DIR "\\quilo-hanging-child.exe";

TEST(RunProgram, EndsAChildThatOutlivesItsTimeLimit)
{
    const ProgramRun hung = run_program(std::string("\"") + kHangingChild + "\"", 1500);
    EXPECT_EQ(ProgramRun::kTimedOut, hung.exitCode) << hung;
    EXPECT_NE(std::string::npos, hung.output.find("hanging")) << hung;
    std::ostringstream shown;
    shown << hung;
    EXPECT_NE(std::string::npos, shown.str().find("had not ended after 1500 ms")) << shown.str();

    const ProgramRun missing = run_program("\"no-such-program.exe\"", 1000);
    EXPECT_EQ(ProgramRun::kNotStarted, missing.exitCode) << missing;
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), missing.startError) << missing;
}

TEST(RunProgram, ReturnsTheExitCodeAndTheOutputOfAChildThatEnds)
{
    const ProgramRun run = run_program("cmd.exe /c \"echo done& exit 3\"", 30000);
    EXPECT_EQ(3u, run.exitCode) << run;
    EXPECT_NE(std::string::npos, run.output.find("done")) << run;
    std::ostringstream shown;
    shown << run;
    EXPECT_NE(std::string::npos, shown.str().find("exited with 3 (0x00000003); it wrote:\ndone")) << shown.str();
}

} // namespace
