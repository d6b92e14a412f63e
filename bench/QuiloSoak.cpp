// quilo-soak: many capture cycles, object lifetimes and failing cycles through the component,
// each beside the bare platform sequence on the same kind of graph, with the process's handles, committed
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

#include "bench/FailingCycles.h"
#include "bench/ProcessFigures.h"
#include "bench/ReferenceGraph.h"
#include "bench/Stats.h"
#include "dshow/DeviceList.h"
#include "dshow/ErrorText.h"
#include "tools/VideoProcHost.h"

namespace quilo::bench {
namespace {

constexpr const char kProgram[] = "quilo-soak";
constexpr int kSteps = 10; // figures every 10%

enum ExitCode { kWithinAllowance = 0, kOverAllowance = 1, kCommandLine = 2, kCallFailed = 3 };

// The failing workload's devices are named after --device with these endings; scripts/soak adds
// them with the options that make each fail.
constexpr const char kUnpluggedSuffix[] = " Unplugged";   // --unplugged
constexpr const char kLostSuffix[] = " Lost";             // --lost-after 1
constexpr const char kAbortingSuffix[] = " Aborting";     // --abort-after 1
constexpr const char kStallingSuffix[] = " Stalling";     // --stall

struct Options
{
    std::string device = "QuiloVideo Soak Camera"; // a name, or a position given as digits
    // --workload picks; without it the two that succeed run, as before the failing one existed.
    bool captures = true, objects = true, failing = false;
    bool workloadChosen = false;
    long cycles = 10000;   // createCapture / startCapture / Grab / destroyCapture on one object
    long objectCount = -1; // object lifetimes; -1: as many as cycles
    // One failing cycle in this many times out, at the component's 8 s bound on each side; 0: none.
    long timeOutEvery = 500;
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

// A cycle is told its index in its series (warm-up cycles theirs among the warm-up).
using Cycle = std::function<void(long)>;

Series run_series(const char *label, long count, const Cycle &cycle)
{
    Series s;
    s.at[0] = read_settled_figures();
    long done = 0;
    double cyclesMs = 0; // the readings themselves are left out
    for (int step = 1; step <= kSteps; ++step) {
        const long until = count * step / kSteps;
        const double start = now_ms();
        for (; done < until; ++done) cycle(done);
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
                      const Cycle &componentCycle, const Cycle &baselineCycle)
{
    for (long i = 0; i < warmUp; ++i) {
        componentCycle(i);
        baselineCycle(i);
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
    std::vector<dshow::VideoDevice> devices;
    check("listing video input devices", dshow::list_video_devices(devices));
    const long position = dshow::find_video_device(devices, device);
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

// The first --workload replaces the default pair; each names one more.
bool choose_workload(const std::string &name, Options &o)
{
    if (!o.workloadChosen) o.captures = o.objects = o.failing = false;
    o.workloadChosen = true;
    if (name == "captures") o.captures = true;
    else if (name == "objects") o.objects = true;
    else if (name == "failing") o.failing = true;
    else return false;
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
        else if (arg == "--objects" && parse_count(value, 0, n)) o.objectCount = n;
        else if (arg == "--workload") {
            if (!choose_workload(value, o)) return false;
        }
        else if (arg == "--time-out-every" && parse_count(value, 0, n)) o.timeOutEvery = n;
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
    if (o.objectCount < 0) o.objectCount = o.cycles;
    return true;
}

const char kUsageText[] =
    "usage: quilo-soak [--workload captures|objects|failing]... [--cycles N] [--objects N]\n"
    "                  [--time-out-every N] [--warm-up N] [--device NAME|POSITION] [--size WxH]\n"
    "                  [--max-handle-growth N] [--max-private-kb-growth KB] [--max-heap-kb-growth KB]\n"
    "                  [--max-thread-growth N]\n"
    "                  [--inject-leak handle|heap|thread]...\n"
    "Runs N createCapture/startCapture/Grab/destroyCapture cycles on one object (captures), N object\n"
    "lifetimes (create, createCapture, startCapture, Grab, Release: objects) and, when asked, N\n"
    "failing cycles on one object (failing: a position past the last device, an unplugged device,\n"
    "a device lost and one aborting mid-stream in turn, and one Grab in --time-out-every that times\n"
    "out on a stalling device), each beside the bare platform sequence, and prints handles, private\n"
    "KB, heap bytes in use and threads at the start, every 10% and at the end. Every failing call\n"
    "must give its documented result.\n"
    "Defaults: captures and objects, 10000 cycles, objects as many as cycles, one time-out in 500\n"
    "failing cycles, 30 warm-up cycles, device \"QuiloVideo Soak Camera\" (an unpaced test camera,\n"
    "--fps 0; the failing cycles also need \"<device> Unplugged\" (--unplugged), \"<device> Lost\"\n"
    "(--lost-after 1), \"<device> Aborting\" (--abort-after 1) and \"<device> Stalling\" (--stall)),\n"
    "64x48, allowances 4 handles, 128 KB private, 64 KB of heap in use, 1 thread.\n"
    "Exit 0: the component's growth over the baseline is within every allowance; 1: it is not;\n"
    "2: command line; 3: a call failed or a failing call gave another result. scripts/soak\n"
    "prepares the devices and runs this program.\n"
    "--inject-leak checks the soak itself: every component cycle also leaks an event handle, 16 KB\n"
    "of heap or a parked thread, which must show as growth over the baseline (exit 1).\n";

long named_device(const Options &o, const char *suffix)
{
    return device_position(o.device + suffix);
}

// Counts and results of the failing workload's measured cycles, and what each is measured against.
void print_failure_mix(const Options &o)
{
    long counts[kFailureKinds] = {};
    for (long i = 0; i < o.cycles; ++i) ++counts[static_cast<int>(failure_of_cycle(i, o.timeOutEvery))];
    if (o.timeOutEvery > 0)
        std::printf("Mix: one cycle in %ld times out (it costs the 8 s bound on each side); the others take the "
                    "four quick failures in turn. Each call gave its documented result:\n\n",
                    o.timeOutEvery);
    else
        std::printf("Mix: no time-outs (--time-out-every 0); the cycles take the four quick failures in turn. "
                    "Each call gave its documented result:\n\n");
    std::printf("| failure | cycles | component: calls, result of the failing one | baseline: the bare platform's same "
                "failure |\n");
    std::printf("|---|---:|---|---|\n");
    for (int k = 0; k < kFailureKinds; ++k) {
        const auto kind = static_cast<FailureKind>(k);
        const HRESULT hr = expected_result(kind);
        std::printf("| %s | %ld | %s: 0x%08lX %s | %s |\n", failure_name(kind), counts[k], component_sequence(kind),
                    static_cast<unsigned long>(hr), dshow::error_text(hr).c_str(), bare_sequence(kind));
    }
    std::printf("\n");
}

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
        std::vector<Workload> done;

        if (o.captures) {
            // One object opened and closed over and over: the capture context's set-up and teardown.
            ComPtr<ICQuiloVideoProcClass> proc = create_object();
            done.push_back(run_workload(
                "capture cycles",
                "createCapture / startCapture / Grab / destroyCapture on one object; baseline: the bare graph "
                "built, one frame, torn down",
                o.cycles, o.warmUp,
                [&](long) {
                    open_and_grab(proc.get(), o, position);
                    check("destroyCapture", proc->destroyCapture());
                    leak_on_purpose(o);
                },
                [&](long) { reference_cycle(o, position); }));
        }

        if (o.objects) {
            // Whole object lifetimes; the last Release (no destroyCapture) must take the open graph
            // down with it, and the class object and module bookkeeping must not keep anything.
            done.push_back(run_workload(
                "object lifetimes",
                "create, createCapture, startCapture, Grab, Release (no destroyCapture); baseline: the bare graph "
                "built, one frame, torn down",
                o.objectCount, o.warmUp,
                [&](long) {
                    ComPtr<ICQuiloVideoProcClass> each = create_object();
                    open_and_grab(each.get(), o, position);
                    leak_on_purpose(o);
                },
                [&](long) { reference_cycle(o, position); }));
        }

        if (o.failing) {
            // One object meeting failures over and over: every failed open must leave nothing set
            // up, every failed Grab must stop and keep nothing the next open does not replace.
            std::vector<dshow::VideoDevice> all;
            check("listing video input devices", dshow::list_video_devices(all));
            FailingDevices devices;
            devices.pastLast = static_cast<long>(all.size());
            devices.unplugged = named_device(o, kUnpluggedSuffix);
            devices.lost = named_device(o, kLostSuffix);
            devices.aborting = named_device(o, kAbortingSuffix);
            devices.stalling = named_device(o, kStallingSuffix);
            devices.width = o.width;
            devices.height = o.height;
            ComPtr<ICQuiloVideoProcClass> proc = create_object();
            // Warmed up here rather than in run_workload: every failure once on each side, the
            // time-out too when the run has any, before either side's start figures.
            for (long i = 0; i < o.warmUp; ++i) {
                const FailureKind kind = failure_of_cycle(i, 0);
                component_failing_cycle(proc.get(), devices, kind);
                bare_failing_cycle(devices, kind);
            }
            if (o.timeOutEvery > 0) {
                component_failing_cycle(proc.get(), devices, FailureKind::TimeOut);
                bare_failing_cycle(devices, FailureKind::TimeOut);
            }
            done.push_back(run_workload(
                "failing cycles",
                "on one object, a failing open or a Grab that fails, by turns (mix below); baseline: the bare "
                "platform meeting the same failure",
                o.cycles, 0,
                [&](long i) {
                    component_failing_cycle(proc.get(), devices, failure_of_cycle(i, o.timeOutEvery));
                    leak_on_purpose(o);
                },
                [&](long i) { bare_failing_cycle(devices, failure_of_cycle(i, o.timeOutEvery)); }));
        }

        std::printf("quilo-soak:");
        if (o.captures) std::printf(" %ld capture cycles,", o.cycles);
        if (o.objects) std::printf(" %ld object lifetimes,", o.objectCount);
        if (o.failing) std::printf(" %ld failing cycles,", o.cycles);
        std::printf(" %ldx%ld, %ld warm-up cycles of each kind\n\n", o.width, o.height, o.warmUp);
        bool ok = true;
        for (const Workload &w : done) {
            print_workload(w);
            if (w.name == "failing cycles") print_failure_mix(o);
        }
        for (const Workload &w : done) ok = within_allowance(w, o) && ok;
        std::printf("allowance over the baseline: %ld handles, %lld KB private, %lld KB of heap in use, %ld threads: %s\n",
                    o.maxHandleGrowth, o.maxPrivateKbGrowth, o.maxHeapKbGrowth, o.maxThreadGrowth,
                    ok ? "within" : "EXCEEDED");
        code = ok ? kWithinAllowance : kOverAllowance;
    } catch (const Failure &f) {
        dshow::report_failure(kProgram, f.what, f.hr);
        code = kCallFailed;
    } catch (const UnexpectedResult &u) {
        std::fprintf(stderr, "%s: %s gave 0x%08lX %s where 0x%08lX %s was documented\n", kProgram, u.what.c_str(),
                     static_cast<unsigned long>(u.got), dshow::error_text(u.got).c_str(),
                     static_cast<unsigned long>(u.expected), dshow::error_text(u.expected).c_str());
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
