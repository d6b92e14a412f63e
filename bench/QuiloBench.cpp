// quilo-bench: Grab through the component against the bare platform sequences on the same kind
// of graph (continuous, and the per-frame restart), the row flip against memcpy, heap
// allocations per steady-state Grab, fresh frames per second from a paced device, and a camera
// that starts like a real one. Prints two tables; asserts nothing.
#include <windows.h>
#include <objbase.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "bench/ImportCounter.h"
#include "bench/ReferenceGraph.h"
#include "bench/RowFlip.h"
#include "bench/Stats.h"
#include "dshow/DeviceList.h"
#include "testcam/DeviceRegistry.h"
#include "dshow/ErrorText.h"
#include "tools/VideoProcHost.h"

namespace quilo::bench {
namespace {

constexpr const char kProgram[] = "quilo-bench";

struct Options
{
    std::string unpacedDevice = "QuiloVideo Bench Camera";
    std::string pacedDevice = "QuiloVideo Bench Camera 30fps";
    std::string realDevice = "QuiloVideo Bench Camera Real";
    int realTag = 40;         // the real camera's --tag: a settling frame's red is 255 - 40
    long frames = 300;        // timed Grab calls per row
    long warmUp = 10;
    long allocationGrabs = 100;
    double freshSeconds = 5.0;
};

struct Size
{
    long width, height;
};
const Size kSizes[] = {{640, 480}, {1920, 1080}};

// A failed step ends the run with the platform's text; the table is only printed when complete.
struct Failure
{
    std::string what;
    HRESULT hr;
};

void check(const std::string &what, HRESULT hr)
{
    if (FAILED(hr)) throw Failure{what, hr};
}

// The component opened on one device, as any host holds it.
class Component
{
public:
    Component(long position, long width, long height)
    {
        std::string failedCall;
        const HRESULT hr = host::activate_video_proc(proc_, failedCall);
        check(failedCall, hr);
        session_ = std::make_unique<host::CaptureSession>(proc_.get());
        check("createCapture", session_->open(position, true, true, width, height));
        check("startCapture", proc_->startCapture());
    }
    const QuiloImageStruct &grab()
    {
        check("Grab", proc_->Grab(&record_));
        return record_;
    }

private:
    ComPtr<ICQuiloVideoProcClass> proc_;
    std::unique_ptr<host::CaptureSession> session_;
    QuiloImageStruct record_ = {};
};

// Per-call times of `count` calls after `warmUp` untimed ones, added to `ms`; returns the wall time.
template <typename F>
double time_calls(long warmUp, long count, std::vector<double> &ms, F call)
{
    for (long i = 0; i < warmUp; ++i) call();
    const double start = now_ms();
    for (long i = 0; i < count; ++i) {
        const double t = now_ms();
        call();
        ms.push_back(now_ms() - t);
    }
    return now_ms() - start;
}

template <typename F>
Summary time_calls(long warmUp, long count, F call)
{
    std::vector<double> ms;
    ms.reserve(static_cast<size_t>(count));
    const double total = time_calls(warmUp, count, ms, call);
    return summarize(ms, total);
}

struct GrabTimes
{
    Summary component, continuous, restart;
};

// Two measured calls that take turns one call at a time, so drift in the machine's load during
// the run falls on both sides alike; which side goes first alternates (A B, B A, ...), so that
// neither always follows the other. Each side's per-call times land in its vector; the return
// value is each side's summed time.
template <typename A, typename B>
std::pair<double, double> time_in_turns(long warmUp, long count, std::vector<double> &msA, std::vector<double> &msB,
                                        A callA, B callB)
{
    for (long i = 0; i < warmUp; ++i) {
        callA();
        callB();
    }
    double totalA = 0, totalB = 0;
    auto timed = [](auto &call) {
        const double t = now_ms();
        call();
        return now_ms() - t;
    };
    for (long i = 0; i < count; ++i) {
        double a, b;
        if (i % 2 == 0) {
            a = timed(callA);
            b = timed(callB);
        } else {
            b = timed(callB);
            a = timed(callA);
        }
        msA.push_back(a);
        msB.push_back(b);
        totalA += a;
        totalB += b;
    }
    return {totalA, totalB};
}

// A stream left running keeps its device busy, so the component and the bare continuous
// sequence never stream at once: they take turns in rounds, each round one session of one side
// (opened, warmed up, timed, closed), the side that goes first alternating. Drift in the
// machine's load falls on both alike. The per-frame restart sequence is timed on its own.
constexpr long kRounds = 6;

GrabTimes time_component_and_references(const Options &o, long position, const Size &size)
{
    const long perRound = std::max(1L, o.frames / kRounds);
    std::vector<double> componentMs, continuousMs;
    double componentTotal = 0, continuousTotal = 0;
    auto component_round = [&] {
        Component component(position, size.width, size.height);
        for (long i = 0; i < o.warmUp; ++i) component.grab();
        componentTotal += time_calls(0, perRound, componentMs, [&] { component.grab(); });
    };
    auto continuous_round = [&] {
        ReferenceGraph continuous;
        check("building the continuous reference graph",
              continuous.open(position, size.width, size.height, ReferenceGraph::Sequence::Continuous));
        for (long i = 0; i < o.warmUp; ++i) check("continuous reference frame", continuous.grab());
        continuousTotal +=
            time_calls(0, perRound, continuousMs, [&] { check("continuous reference frame", continuous.grab()); });
    };
    for (long r = 0; r < kRounds; ++r) {
        if (r % 2 == 0) {
            component_round();
            continuous_round();
        } else {
            continuous_round();
            component_round();
        }
    }
    GrabTimes times;
    times.component = summarize(componentMs, componentTotal);
    times.continuous = summarize(continuousMs, continuousTotal);
    ReferenceGraph restart;
    check("building the restart reference graph",
          restart.open(position, size.width, size.height, ReferenceGraph::Sequence::Restart));
    times.restart = time_calls(o.warmUp, o.frames, [&] { check("restart reference frame", restart.grab()); });
    return times;
}

struct CopyTimes
{
    double flipMs, memcpyMs;
};

// Medians of many turns over the same warm buffers, so page faults and cache misses of a first
// touch count for neither side.
CopyTimes time_flip_and_memcpy(const Size &size)
{
    RowFlip flip(size.width, size.height, 3);
    if (!flip.valid()) throw Failure{"cvCreateImageHeader", E_OUTOFMEMORY};
    const size_t bytes = static_cast<size_t>(flip.imageSize());
    std::vector<unsigned char> a(bytes, 1), b(bytes, 2);
    // Each timed turn is a batch of calls, long enough that the clock's own cost and a stray
    // interruption weigh little; the figures are per call.
    const long batch = size.width * size.height > 1000000 ? 4 : 32;
    const long turns = 400;
    std::vector<double> flipMs, copyMs;
    const auto totals = time_in_turns(
        4, turns, flipMs, copyMs, [&] { for (long i = 0; i < batch; ++i) flip.flip(a.data()); },
        [&] { for (long i = 0; i < batch; ++i) std::memcpy(b.data(), a.data(), bytes); });
    return {summarize(flipMs, totals.first).medianMs / batch, summarize(copyMs, totals.second).medianMs / batch};
}

struct AllocationCounts
{
    double firstGrab;  // buffer set-up: proves the counter sees the component's calls
    double perGrab;    // steady state
};

AllocationCounts count_allocations(const Options &o, long position, const Size &size)
{
    Component component(position, size.width, size.height);
    HMODULE module = GetModuleHandleA("QuiloVideo.ocx");
    if (!module) throw Failure{"GetModuleHandle(QuiloVideo.ocx)", HRESULT_FROM_WIN32(GetLastError())};
    ImportCounter counter;
    if (counter.install(module) == 0) throw Failure{"patching QuiloVideo.ocx's allocator imports", E_NOTIMPL};
    ImportCounter::reset();
    component.grab();
    AllocationCounts counts;
    counts.firstGrab = static_cast<double>(ImportCounter::allocations());
    for (long i = 0; i < o.warmUp; ++i) component.grab();
    ImportCounter::reset();
    for (long i = 0; i < o.allocationGrabs; ++i) component.grab();
    counts.perGrab = static_cast<double>(ImportCounter::allocations()) / static_cast<double>(o.allocationGrabs);
    counter.uninstall();
    return counts;
}

struct FreshFrames
{
    double grabsPerSecond;
    double freshPerSecond;
};

// Grabs for `seconds` after a first frame whose pixels were `first`, counting calls and fresh
// frames; `look` sees each frame's pixels. The test camera's frame number n shows in every
// pixel: blue at column 0 is n mod 256, and `grab` returns top-down rows, so the first byte is
// that pixel of the top row.
template <typename Grab, typename Look>
FreshFrames count_fresh(double seconds, const unsigned char *first, Grab grab, Look look)
{
    int last = first[0];
    long grabs = 0, fresh = 0;
    const double start = now_ms();
    double elapsed = 0;
    while ((elapsed = now_ms() - start) < seconds * 1000.0) {
        const unsigned char *pixels = grab();
        ++grabs;
        if (pixels[0] != last) ++fresh;
        last = pixels[0];
        look(pixels);
    }
    return {1000.0 * grabs / elapsed, 1000.0 * fresh / elapsed};
}

FreshFrames count_fresh_frames(const Options &o, long position)
{
    Component component(position, 640, 480);
    for (long i = 0; i < 3; ++i) component.grab();
    auto grab = [&] { return component.grab().data; };
    return count_fresh(o.freshSeconds, grab(), grab, [](const unsigned char *) {});
}

// One capture session on the camera that starts like a real one (--fps 30 --start-ms 300
// --settle 5): the first frame's delay, fresh frames per second after it, settling frames handed
// out after the first second, and how often the device's stream was started.
struct SessionFigures
{
    double firstFrameMs = 0;
    double freshPerSecond = 0;
    long settlingAfterOneSecond = 0;
    long streamStarts = 0;
};

// `open` starts a session, `grab` returns the top-down pixels of one frame, `close` ends it.
template <typename Open, typename Grab, typename Close>
SessionFigures run_session(const Options &o, Open open, Grab grab, Close close)
{
    const long startsBefore = testcam::read_device_record(o.realDevice).streamStarts;
    const BYTE settlingRed = static_cast<BYTE>(255 - (o.realTag & 0xFF));
    SessionFigures f;
    open();
    const double t0 = now_ms();
    const unsigned char *first = grab();
    f.firstFrameMs = now_ms() - t0;
    f.freshPerSecond = count_fresh(o.freshSeconds, first, grab, [&](const unsigned char *pixels) {
                           if (pixels[2] == settlingRed && now_ms() - t0 > 1000.0) ++f.settlingAfterOneSecond;
                       }).freshPerSecond;
    close();
    f.streamStarts = testcam::read_device_record(o.realDevice).streamStarts - startsBefore;
    return f;
}

struct RealCamera
{
    SessionFigures component, continuous, restart;
};

RealCamera measure_real_camera(const Options &o, long position)
{
    RealCamera r;
    std::unique_ptr<Component> component;
    r.component = run_session(
        o, [&] { component = std::make_unique<Component>(position, 640, 480); },
        [&] { return component->grab().data; }, [&] { component.reset(); });
    for (auto sequence : {ReferenceGraph::Sequence::Continuous, ReferenceGraph::Sequence::Restart}) {
        ReferenceGraph graph;
        SessionFigures &f = sequence == ReferenceGraph::Sequence::Continuous ? r.continuous : r.restart;
        f = run_session(
            o, [&] { check("building a reference graph", graph.open(position, 640, 480, sequence)); },
            [&] {
                check("reference frame", graph.grab());
                return graph.pixels();
            },
            [&] { graph.close(); });
    }
    return r;
}

long device_position(const std::string &name)
{
    std::vector<dshow::VideoDevice> devices;
    check("listing video input devices", dshow::list_video_devices(devices));
    const long position = dshow::find_video_device(devices, name);
    if (position < 0) throw Failure{"finding the device \"" + name + "\" (scripts/bench adds it)", VFW_E_NO_CAPTURE_HARDWARE};
    return position;
}

bool parse_options(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--frames" && value) o.frames = std::max(10L, std::strtol(argv[++i], nullptr, 10));
        else if (arg == "--fresh-seconds" && value) o.freshSeconds = std::max(1.0, std::strtod(argv[++i], nullptr));
        else if (arg == "--device" && value) o.unpacedDevice = argv[++i];
        else if (arg == "--paced-device" && value) o.pacedDevice = argv[++i];
        else if (arg == "--real-device" && value) o.realDevice = argv[++i];
        else return false;
    }
    return true;
}

const char kUsage[] =
    "usage: quilo-bench [--frames N] [--fresh-seconds S] [--device NAME] [--paced-device NAME]\n"
    "                   [--real-device NAME]\n"
    "Needs QuiloVideo.ocx registered and three test camera devices: NAME (--fps 0, default\n"
    "\"QuiloVideo Bench Camera\"), a paced one (--fps 30, default \"QuiloVideo Bench Camera 30fps\")\n"
    "and one that starts like a real camera (--fps 30 --start-ms 300 --settle 5 --tag 40, default\n"
    "\"QuiloVideo Bench Camera Real\"). scripts/bench prepares them and runs this program.\n";

int run(int argc, char **argv)
{
    Options o;
    if (!parse_options(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    int code = 0;
    try {
        const long unpaced = device_position(o.unpacedDevice);
        const long paced = device_position(o.pacedDevice);
        const long real = device_position(o.realDevice);

        GrabTimes grabs[2];
        CopyTimes copies[2];
        AllocationCounts allocations[2];
        for (int s = 0; s < 2; ++s) {
            std::fprintf(stderr, "measuring %ldx%ld...\n", kSizes[s].width, kSizes[s].height);
            grabs[s] = time_component_and_references(o, unpaced, kSizes[s]);
            copies[s] = time_flip_and_memcpy(kSizes[s]);
            allocations[s] = count_allocations(o, unpaced, kSizes[s]);
        }
        std::fprintf(stderr, "measuring fresh frames from the 30 fps device...\n");
        const FreshFrames fresh = count_fresh_frames(o, paced);
        std::fprintf(stderr, "measuring the camera that starts like a real one...\n");
        const RealCamera r = measure_real_camera(o, real);

        std::printf("| measurement (test camera --fps 0; %ld timed Grabs a side; component and continuous "
                    "sequence taking turns in %ld sessions each) | 640x480 | 1920x1080 | goal |\n",
                    o.frames / kRounds * kRounds, kRounds);
        std::printf("|---|---:|---:|---|\n");
        auto row = [](const char *what, const Summary &a, const Summary &b) {
            std::printf("| %s: frames/s | %.1f | %.1f | |\n", what, a.perSecond, b.perSecond);
            std::printf("| %s: median / p99 ms | %.2f / %.2f | %.2f / %.2f | |\n", what, a.medianMs, a.p99Ms,
                        b.medianMs, b.p99Ms);
        };
        row("Grab through the component", grabs[0].component, grabs[1].component);
        row("bare continuous sequence (reference)", grabs[0].continuous, grabs[1].continuous);
        std::printf("| component / bare continuous sequence, frames/s | %.3f | %.3f | >= 0.95 |\n",
                    grabs[0].component.perSecond / grabs[0].continuous.perSecond,
                    grabs[1].component.perSecond / grabs[1].continuous.perSecond);
        row("per-frame restart sequence (the old Grab)", grabs[0].restart, grabs[1].restart);
        std::printf("| in-place row flip (cvFlip) / memcpy of the same bytes, median ms | %.3f / %.3f | %.3f / %.3f | |\n",
                    copies[0].flipMs, copies[0].memcpyMs, copies[1].flipMs, copies[1].memcpyMs);
        std::printf("| flip / memcpy | %.2f | %.2f | <= 1.2 |\n", copies[0].flipMs / copies[0].memcpyMs,
                    copies[1].flipMs / copies[1].memcpyMs);
        std::printf("| heap allocations by QuiloVideo.ocx in the first Grab (buffer set-up) | %.0f | %.0f | |\n",
                    allocations[0].firstGrab, allocations[1].firstGrab);
        std::printf("| heap allocations by QuiloVideo.ocx per steady-state Grab (%ld Grabs) | %.2f | %.2f | 0 |\n",
                    o.allocationGrabs, allocations[0].perGrab, allocations[1].perGrab);
        std::printf("| 30 fps device (--fps 30): Grab calls/s, fresh frames/s (%.0f s) | %.1f, %.1f | | >= 29 fresh |\n",
                    o.freshSeconds, fresh.grabsPerSecond, fresh.freshPerSecond);

        std::printf("\n| camera that starts like a real one (--fps 30 --start-ms 300 --settle 5), 640x480, one "
                    "session each (%.0f s after the first frame) | Grab through the component | bare continuous "
                    "sequence | per-frame restart sequence (the old Grab) | goal (component) |\n",
                    o.freshSeconds);
        std::printf("|---|---:|---:|---:|---|\n");
        std::printf("| first frame after the session began, ms | %.0f | %.0f | %.0f | |\n", r.component.firstFrameMs,
                    r.continuous.firstFrameMs, r.restart.firstFrameMs);
        std::printf("| fresh frames/s | %.1f | %.1f | %.1f | >= 29 |\n", r.component.freshPerSecond,
                    r.continuous.freshPerSecond, r.restart.freshPerSecond);
        std::printf("| fresh frames/s against the bare continuous sequence | %.3f | 1 | %.3f | >= 0.95 |\n",
                    r.component.freshPerSecond / r.continuous.freshPerSecond,
                    r.restart.freshPerSecond / r.continuous.freshPerSecond);
        std::printf("| settling frames handed out after the first second | %ld | %ld | %ld | 0 |\n",
                    r.component.settlingAfterOneSecond, r.continuous.settlingAfterOneSecond,
                    r.restart.settlingAfterOneSecond);
        std::printf("| stream starts in the session | %ld | %ld | %ld | 1 |\n", r.component.streamStarts,
                    r.continuous.streamStarts, r.restart.streamStarts);
    } catch (const Failure &f) {
        dshow::report_failure(kProgram, f.what, f.hr);
        code = 1;
    }
    CoUninitialize();
    return code;
}

} // namespace
} // namespace quilo::bench

int main(int argc, char **argv)
{
    return quilo::bench::run(argc, argv);
}
