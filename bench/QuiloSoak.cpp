// quilo-soak: many capture cycles and many object lifetimes through the component, each beside
// the bare platform sequence on the same kind of graph, with the process's handles, committed
// private memory, heap bytes in use and threads printed at the start, every 10% and at the end.
// Wine's device enumerator keeps a handle of its own per enumeration and per bound device, so
// what counts is the component's growth over the baseline's; the exit code says whether that
// stayed within the allowances given.
#include <windows.h>
#include <objbase.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/ProcessFigures.h"
#include "bench/ReferenceGraph.h"
#include "bench/Stats.h"
#include "common/DeviceList.h"
#include "tools/ErrorText.h"
#include "tools/VideoProcHost.h"

namespace quilo::bench {
namespace {

constexpr const char kProgram[] = "quilo-soak";
constexpr int kSteps = 10; // figures every 10%

enum ExitCode { kWithinAllowance = 0, kOverAllowance = 1, kCommandLine = 2, kCallFailed = 3 };

struct Options
{
    std::string device = "QuiloVideo Soak Camera"; // a name, or a position given as digits
    long cycles = 10000;   // createCapture / startCapture / Grab / destroyCapture on one object
    long objects = -1;     // object lifetimes; -1: as many as cycles
    long warmUp = 30;      // untimed cycles of every kind before any start figure
    long width = 64, height = 48;
    // Any per-cycle leak of a handle or thread goes far past these; they leave room for Wine's
    // heap committing in 64 KB steps and for a worker thread of Wine's coming or going.
    long maxHandleGrowth = 4;
    long long maxPrivateKbGrowth = 128;
    // Bytes in use move only with what is allocated and not freed; the room is for a buffer of
    // Wine's that happens to be held at one reading and not the other.
    long long maxHeapKbGrowth = 64;
    long maxThreadGrowth = 1;
    // Checks the soak itself: the component side also leaks these on purpose every cycle.
    bool leakHandle = false, leakHeap = false, leakThread = false;
};

struct Failure
{
    std::string what;
    HRESULT hr;
};

void check(const std::string &what, HRESULT hr)
{
    if (FAILED(hr)) throw Failure{what, hr};
}

ComPtr<ICQuiloVideoProcClass> create_object()
{
    ComPtr<ICQuiloVideoProcClass> proc;
    std::string failedCall;
    const HRESULT hr = host::activate_video_proc(proc, failedCall);
    check(failedCall, hr);
    return proc;
}

void open_and_grab(ICQuiloVideoProcClass *proc, const Options &o, long position)
{
    check("createCapture", proc->createCapture(position, VARIANT_TRUE, VARIANT_TRUE, o.width, o.height));
    check("startCapture", proc->startCapture());
    QuiloImageStruct record = {};
    check("Grab", proc->Grab(&record));
    if (!record.data || record.width != o.width || record.height != o.height)
        throw Failure{"Grab (the record does not describe the requested frame)", E_UNEXPECTED};
}

// What a leaking component would leave behind per cycle: an event handle, 16 KB of heap, a
// thread parked for good (whose stack also shows as memory). Only --inject-leak uses it, to show
// that the figures see each kind.
DWORD WINAPI park(void *never)
{
    return WaitForSingleObject(static_cast<HANDLE>(never), INFINITE);
}

void leak_on_purpose(const Options &o)
{
    static std::vector<std::unique_ptr<char[]>> kept;
    if (o.leakHandle) CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (o.leakHeap) {
        kept.emplace_back(new char[16384]);
        std::memset(kept.back().get(), 0x5A, 16384);
    }
    if (o.leakThread) {
        static const HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        const HANDLE thread =
            CreateThread(nullptr, 64 * 1024, park, never, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (thread) CloseHandle(thread);
    }
}

void reference_cycle(const Options &o, long position)
{
    ReferenceGraph reference;
    check("building the reference graph", reference.open(position, o.width, o.height, ReferenceGraph::Sequence::Continuous));
    check("reference frame", reference.grab());
    // Torn down by its destructor, as the component's object tears down its own graph.
}

// Figures of one side of one workload: index 0 is the start, index k is after k tenths.
struct Series
{
    ProcessFigures at[kSteps + 1];
    double msPerCycle = 0;

    long handleGrowth() const { return at[kSteps].handles - at[0].handles; }
    long long privateKbGrowth() const { return at[kSteps].privateKb - at[0].privateKb; }
    long long heapBytesGrowth() const { return at[kSteps].heapBytes - at[0].heapBytes; }
    long threadGrowth() const { return at[kSteps].threads - at[0].threads; }
};

Series run_series(const char *label, long count, const std::function<void()> &cycle)
{
    Series s;
    s.at[0] = read_settled_figures();
    long done = 0;
    double cyclesMs = 0; // the readings themselves are left out
    for (int step = 1; step <= kSteps; ++step) {
        const long until = count * step / kSteps;
        const double start = now_ms();
        for (; done < until; ++done) cycle();
        cyclesMs += now_ms() - start;
        s.at[step] = read_settled_figures();
        std::fprintf(stderr, "%s: %ld of %ld\n", label, done, count);
    }
    s.msPerCycle = count > 0 ? cyclesMs / static_cast<double>(count) : 0;
    return s;
}

struct Workload
{
    std::string name;        // progress and findings
    std::string description; // above the table
    long count;
    Series component, baseline;
};

// Both sides are warmed up before either takes its start figures (first use loads DLLs and fills
// caches). The component goes first: whatever heap space the baseline would otherwise have left
// behind for it is not there yet, so the comparison errs towards showing growth, not hiding it.
Workload run_workload(const std::string &name, const std::string &description, long count, long warmUp,
                      const std::function<void()> &componentCycle, const std::function<void()> &baselineCycle)
{
    for (long i = 0; i < warmUp; ++i) {
        componentCycle();
        baselineCycle();
    }
    Workload w{name, description, count, {}, {}};
    w.component = run_series((name + ", component").c_str(), count, componentCycle);
    w.baseline = run_series((name + ", baseline").c_str(), count, baselineCycle);
    return w;
}

void print_workload(const Workload &w)
{
    std::printf("%s: %s\n\n", w.name.c_str(), w.description.c_str());
    std::printf("| progress | cycles | handles: component / baseline | private KB: component / baseline | "
                "heap bytes in use: component / baseline | threads: component / baseline |\n");
    std::printf("|---|---:|---:|---:|---:|---:|\n");
    for (int step = 0; step <= kSteps; ++step) {
        const ProcessFigures &c = w.component.at[step];
        const ProcessFigures &b = w.baseline.at[step];
        std::printf("| %s%d%% | %ld | %ld / %ld | %lld / %lld | %lld / %lld | %ld / %ld |\n", step == 0 ? "start " : "",
                    step * 100 / kSteps, w.count * step / kSteps, c.handles, b.handles, c.privateKb, b.privateKb,
                    c.heapBytes, b.heapBytes, c.threads, b.threads);
    }
    std::printf("| growth (end - start) | | %+ld / %+ld | %+lld / %+lld | %+lld / %+lld | %+ld / %+ld |\n",
                w.component.handleGrowth(), w.baseline.handleGrowth(), w.component.privateKbGrowth(),
                w.baseline.privateKbGrowth(), w.component.heapBytesGrowth(), w.baseline.heapBytesGrowth(),
                w.component.threadGrowth(), w.baseline.threadGrowth());
    std::printf("| **component growth over baseline** | | **%+ld** | **%+lld** | **%+lld** | **%+ld** |\n",
                w.component.handleGrowth() - w.baseline.handleGrowth(),
                w.component.privateKbGrowth() - w.baseline.privateKbGrowth(),
                w.component.heapBytesGrowth() - w.baseline.heapBytesGrowth(),
                w.component.threadGrowth() - w.baseline.threadGrowth());
    std::printf("\nms per cycle: component %.2f, baseline %.2f\n\n", w.component.msPerCycle, w.baseline.msPerCycle);
}

// True when the component's growth over the baseline stays within every allowance.
bool within_allowance(const Workload &w, const Options &o)
{
    const long handles = w.component.handleGrowth() - w.baseline.handleGrowth();
    const long long privateKb = w.component.privateKbGrowth() - w.baseline.privateKbGrowth();
    const long threads = w.component.threadGrowth() - w.baseline.threadGrowth();
    bool ok = true;
    if (handles > o.maxHandleGrowth) {
        std::printf("%s: handles grew %ld over the baseline (allowed %ld)\n", w.name.c_str(), handles, o.maxHandleGrowth);
        ok = false;
    }
    if (privateKb > o.maxPrivateKbGrowth) {
        std::printf("%s: private memory grew %lld KB over the baseline (allowed %lld KB)\n", w.name.c_str(), privateKb,
                    o.maxPrivateKbGrowth);
        ok = false;
    }
    const long long heapKb = (w.component.heapBytesGrowth() - w.baseline.heapBytesGrowth()) / 1024;
    if (heapKb > o.maxHeapKbGrowth) {
        std::printf("%s: heap in use grew %lld KB over the baseline (allowed %lld KB)\n", w.name.c_str(), heapKb,
                    o.maxHeapKbGrowth);
        ok = false;
    }
    if (threads > o.maxThreadGrowth) {
        std::printf("%s: threads grew %ld over the baseline (allowed %ld)\n", w.name.c_str(), threads, o.maxThreadGrowth);
        ok = false;
    }
    return ok;
}

long device_position(const std::string &device)
{
    if (!device.empty() && device.find_first_not_of("0123456789") == std::string::npos)
        return std::strtol(device.c_str(), nullptr, 10);
    std::vector<VideoDevice> devices;
    check("listing video input devices", list_video_devices(devices));
    const long position = find_video_device(devices, device);
    if (position < 0) throw Failure{"finding the device \"" + device + "\" (scripts/soak adds it)", VFW_E_NO_CAPTURE_HARDWARE};
    return position;
}

bool parse_count(const char *text, long minimum, long &out)
{
    char *end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < minimum) return false;
    out = v;
    return true;
}

bool parse_options(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return false;
        const char *value = argv[++i];
        long n = 0;
        if (arg == "--cycles" && parse_count(value, 0, n)) o.cycles = n;
        else if (arg == "--objects" && parse_count(value, 0, n)) o.objects = n;
        else if (arg == "--warm-up" && parse_count(value, 0, n)) o.warmUp = n;
        else if (arg == "--device") o.device = value;
        else if (arg == "--size") {
            long w = 0, h = 0;
            if (std::sscanf(value, "%ldx%ld", &w, &h) != 2 || w <= 0 || h <= 0) return false;
            o.width = w;
            o.height = h;
        }
        else if (arg == "--inject-leak" && std::strcmp(value, "handle") == 0) o.leakHandle = true;
        else if (arg == "--inject-leak" && std::strcmp(value, "heap") == 0) o.leakHeap = true;
        else if (arg == "--inject-leak" && std::strcmp(value, "thread") == 0) o.leakThread = true;
        else if (arg == "--max-handle-growth" && parse_count(value, 0, n)) o.maxHandleGrowth = n;
        else if (arg == "--max-private-kb-growth" && parse_count(value, 0, n)) o.maxPrivateKbGrowth = n;
        else if (arg == "--max-thread-growth" && parse_count(value, 0, n)) o.maxThreadGrowth = n;
        else if (arg == "--max-heap-kb-growth" && parse_count(value, 0, n)) o.maxHeapKbGrowth = n;
        else return false;
    }
    if (o.objects < 0) o.objects = o.cycles;
    return true;
}

const char kUsageText[] =
    "usage: quilo-soak [--cycles N] [--objects N] [--warm-up N] [--device NAME|POSITION] [--size WxH]\n"
    "                  [--max-handle-growth N] [--max-private-kb-growth KB] [--max-heap-kb-growth KB]\n"
    "                  [--max-thread-growth N]\n"
    "                  [--inject-leak handle|heap|thread]...\n"
    "Runs N createCapture/startCapture/Grab/destroyCapture cycles on one object and N object\n"
    "lifetimes (create, createCapture, startCapture, Grab, Release), each beside the bare platform\n"
    "sequence, and prints handles, private KB, heap bytes in use and threads at the start, every\n"
    "10% and at the end.\n"
    "Defaults: 10000 cycles, objects as many as cycles, 30 warm-up cycles, device \"QuiloVideo Soak\n"
    "Camera\" (an unpaced test camera, --fps 0), 64x48, allowances 4 handles, 128 KB private,\n"
    "64 KB of heap in use, 1 thread.\n"
    "Exit 0: the component's growth over the baseline is within every allowance; 1: it is not;\n"
    "2: command line; 3: a call failed. scripts/soak prepares a device and runs this program.\n"
    "--inject-leak checks the soak itself: every component cycle also leaks an event handle, 16 KB\n"
    "of heap or a parked thread, which must show as growth over the baseline (exit 1).\n";

int run(int argc, char **argv)
{
    Options o;
    if (!parse_options(argc, argv, o)) {
        std::fputs(kUsageText, stderr);
        return kCommandLine;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return kCallFailed;
    int code = kWithinAllowance;
    try {
        const long position = device_position(o.device);
        const ProcessFigures probe = read_process_figures();
        if (probe.threads < 0) std::fprintf(stderr, "%s: the thread snapshot failed; threads read -1\n", kProgram);

        // One object opened and closed over and over: the capture context's set-up and teardown.
        ComPtr<ICQuiloVideoProcClass> proc = create_object();
        const Workload captures = run_workload(
            "capture cycles",
            "createCapture / startCapture / Grab / destroyCapture on one object; baseline: the bare graph "
            "built, one frame, torn down",
            o.cycles, o.warmUp,
            [&] {
                open_and_grab(proc.get(), o, position);
                check("destroyCapture", proc->destroyCapture());
                leak_on_purpose(o);
            },
            [&] { reference_cycle(o, position); });
        proc.reset();

        // Whole object lifetimes; the last Release (no destroyCapture) must take the open graph
        // down with it, and the class object and module bookkeeping must not keep anything.
        const Workload objects = run_workload(
            "object lifetimes",
            "create, createCapture, startCapture, Grab, Release (no destroyCapture); baseline: the bare graph "
            "built, one frame, torn down",
            o.objects, o.warmUp,
            [&] {
                ComPtr<ICQuiloVideoProcClass> each = create_object();
                open_and_grab(each.get(), o, position);
                leak_on_purpose(o);
            },
            [&] { reference_cycle(o, position); });

        std::printf("quilo-soak: %ld capture cycles, %ld object lifetimes, %ldx%ld, %ld warm-up cycles of each kind\n\n",
                    o.cycles, o.objects, o.width, o.height, o.warmUp);
        print_workload(captures);
        print_workload(objects);
        const bool ok = within_allowance(captures, o) & within_allowance(objects, o);
        std::printf("allowance over the baseline: %ld handles, %lld KB private, %lld KB of heap in use, %ld threads: %s\n",
                    o.maxHandleGrowth, o.maxPrivateKbGrowth, o.maxHeapKbGrowth, o.maxThreadGrowth,
                    ok ? "within" : "EXCEEDED");
        code = ok ? kWithinAllowance : kOverAllowance;
    } catch (const Failure &f) {
        host::report_failure(kProgram, f.what, f.hr);
        code = kCallFailed;
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
