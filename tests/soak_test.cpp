// A short soak: quilo-soak run as a process against an unpaced test camera device. The
// component's capture cycles, object lifetimes and failing cycles must not grow the process's handles, committed
// private memory or threads beyond the growth of the bare platform sequence (Wine's device
// enumerator and filter graph keep handles of their own on both sides). The soak is also shown a
// leak of each kind, so that a pass means the figures can see one.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/ComponentRegistration.h"
#include "support/TestCamera.h"
#include "support/TestSupport.h"

namespace qt = quilo::test;

namespace {

constexpr const char kSoakTool[] = QUILO_BIN_DIR "\\quilo-soak.exe";
constexpr const char kDevice[] = "Soak Test Camera";

// The soak's own time limit for all of its runs together, well inside CTest's 240 s for this
// program: each run gets what is left of it, so a slow or hung run ends here, with its output,
// and the verdict is this test's rather than CTest's.
constexpr DWORD kBudgetMs = 180000;

using SoakRun = qt::ProgramRun;
using qt::contains;

// The allowance every run here is held to, and how quilo-soak reports a run within it.
const char kAllowance[] = "--max-handle-growth 4 --max-private-kb-growth 128 --max-heap-kb-growth 64 --max-thread-growth 1";
const char kWithinAllowance[] = "allowance over the baseline: 4 handles, 128 KB private, 64 KB of heap in use, 1 threads: within";

class SoakTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        deadline_ = GetTickCount64() + kBudgetMs;
        qt::ComScope com;
        ASSERT_EQ(S_OK, qt::register_component());
        ASSERT_EQ(S_OK, qt::register_test_camera());
    }

    void SetUp() override
    {
        ASSERT_TRUE(qt::clear_devices());
        ASSERT_TRUE(qt::add_device(kDevice, "--size 64x48 --fps 0"));
    }

    void TearDown() override { qt::clear_devices(); }

    // The failing workload's devices, named as quilo-soak looks for them; `lost` is the options
    // of the one that should be lost mid-stream.
    static void add_failing_devices(const std::string &lost = "--lost-after 1")
    {
        const std::string base(kDevice);
        ASSERT_TRUE(qt::add_device(base + " Unplugged", "--size 64x48 --fps 0 --unplugged"));
        ASSERT_TRUE(qt::add_device(base + " Lost", "--size 64x48 --fps 0 " + lost));
        ASSERT_TRUE(qt::add_device(base + " Aborting", "--size 64x48 --fps 0 --abort-after 1"));
        ASSERT_TRUE(qt::add_device(base + " Stalling", "--size 64x48 --stall"));
    }

    static SoakRun soak(const std::string &arguments)
    {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now < deadline_ ? static_cast<DWORD>(deadline_ - now) : 0;
        const std::string command = std::string("\"") + kSoakTool + "\" --device \"" + kDevice + "\" " + arguments;
        if (left > 0) return qt::run_program(command, left);
        SoakRun none;
        none.commandLine = command;
        none.exitCode = SoakRun::kTimedOut;
        none.output = "(not started: the earlier runs used up the soak's time)";
        return none;
    }

    static ULONGLONG deadline_;
};

ULONGLONG SoakTest::deadline_ = 0;

// 300 of each: a handle or thread left behind per cycle gives 300 over the allowance, a heap
// leak shows from about 220 bytes per cycle. The allowance covers Wine's heap committing in
// 64 KB steps and one worker thread of Wine's (with its handle) coming or going between
// readings; without a leak the growth over the baseline reads 0.
TEST_F(SoakTest, CaptureCyclesAndObjectLifetimesGrowNothingOverTheBarePlatform)
{
    const SoakRun run = soak(std::string("--cycles 300 --objects 300 --warm-up 20 ") + kAllowance);
    EXPECT_EQ(0u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, kWithinAllowance)) << run;
    std::printf("%s\n", run.output.c_str());
}

// Failing opens and failed Grabs by turns, no time-out (each costs 8 s a side; README's long run
// has them): 200 cycles, 50 of each kind, so a handle left per failure of any one kind shows as
// 50, far over the allowance. Each failing call must give its documented result, or the run fails.
TEST_F(SoakTest, FailingCyclesGrowNothingOverTheBarePlatformAndGiveTheirDocumentedResults)
{
    add_failing_devices();
    const SoakRun run = soak(std::string("--workload failing --cycles 200 --time-out-every 0 --warm-up 8 ") + kAllowance);
    EXPECT_EQ(0u, run.exitCode) << run;
    EXPECT_TRUE(contains(run.output, kWithinAllowance)) << run;
    EXPECT_TRUE(contains(run.output, "| device lost mid-stream | 50 |")) << run;
    std::printf("%s\n", run.output.c_str());

    // A device that should be lost but keeps delivering: its Grab succeeds, and that fails the run.
    add_failing_devices("");
    const SoakRun healthy = soak("--workload failing --cycles 4 --time-out-every 0 --warm-up 0");
    EXPECT_EQ(3u, healthy.exitCode) << healthy;
    EXPECT_TRUE(contains(healthy.output, "Grab (device lost mid-stream) gave 0x00000000")) << healthy;
}

TEST_F(SoakTest, EachKindOfLeakShowsAsGrowthOverTheBaseline)
{
    const struct
    {
        const char *kind;
        const char *finding;
    } leaks[] = {
        {"handle", "handles grew"},
        {"heap", "heap in use grew"}, // 16 KB a cycle: 640 KB against 64
        {"thread", "threads grew"},
    };
    // The capture cycles and the failing path each: a leak on either shows under its own name.
    const struct
    {
        const char *select;
        const char *name;
    } workloads[] = {
        {"--workload captures", "capture cycles: "},
        {"--workload failing --time-out-every 0", "failing cycles: "},
    };
    add_failing_devices();
    for (const auto &workload : workloads) {
        for (const auto &leak : leaks) {
            const SoakRun run = soak(std::string(workload.select) +
                                     " --cycles 40 --warm-up 5 " + kAllowance + " --inject-leak " + leak.kind);
            EXPECT_EQ(1u, run.exitCode) << leak.kind << run;
            EXPECT_TRUE(contains(run.output, std::string(workload.name) + leak.finding)) << leak.kind << run;
            EXPECT_TRUE(contains(run.output, "EXCEEDED")) << leak.kind << run;
        }
    }
}

TEST_F(SoakTest, RefusesABadCommandLineAndAMissingDevice)
{
    for (const char *bad : {"--cycles -5", "--size 64", "--inject-leak memory", "--workload everything"}) {
        const SoakRun run = soak(bad);
        EXPECT_EQ(2u, run.exitCode) << run;
    }
    const SoakRun missing = soak("--device \"No Such Camera\" --cycles 1");
    EXPECT_EQ(3u, missing.exitCode) << missing;
    EXPECT_TRUE(contains(missing.output, "No Such Camera")) << missing;
    // The failing workload names the first of its devices that is not there.
    const SoakRun noFailing = soak("--workload failing --cycles 1");
    EXPECT_EQ(3u, noFailing.exitCode) << noFailing;
    EXPECT_TRUE(contains(noFailing.output, "Soak Test Camera Unplugged")) << noFailing;
}

} // namespace
