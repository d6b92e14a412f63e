// The soak's failing workload: what a host meets when things go wrong, through the component and
// through the bare platform doing the same failing sequence. Every call must give its
// documented result; anything else, success included, ends the run.
#pragma once

#include <windows.h>
#include <string>

#include "QuiloVideoClass.h"

namespace quilo::bench {

enum class FailureKind {
    MissingPosition, // createCapture of a position past the last device
    Unplugged,       // createCapture of a device whose bind fails (--unplugged)
    Lost,            // a good Grab, then the device reports itself removed (--lost-after 1)
    Aborting,        // a good Grab, then the device aborts its stream (--abort-after 1)
    TimeOut,         // a device that never delivers (--stall): the Grab's 8 s bound
};
constexpr int kFailureKinds = 5;

// Positions of the devices each failure needs, and the frame size asked for.
struct FailingDevices
{
    long pastLast = 0; // the number of devices: no device has that position
    long unplugged = -1, lost = -1, aborting = -1, stalling = -1;
    long width = 64, height = 48;
};

// A call that gave another result than the one documented for it.
struct UnexpectedResult
{
    std::string what;
    HRESULT expected;
    HRESULT got;
};

// Cycle `index` (from 0) of a run: one in `timeOutEvery` (its last; 0: none) times out, the
// others take the four quick failures in turn.
FailureKind failure_of_cycle(long index, long timeOutEvery);
const char *failure_name(FailureKind kind);
// The documented result of the failing call, and what the bare sequence does for the same.
HRESULT expected_result(FailureKind kind);
const char *component_sequence(FailureKind kind);
const char *bare_sequence(FailureKind kind);

// One failing sequence on the component's object; throws UnexpectedResult.
void component_failing_cycle(ICQuiloVideoProcClass *proc, const FailingDevices &devices, FailureKind kind);
// The same failure on the bare platform (ReferenceGraph); throws UnexpectedResult.
void bare_failing_cycle(const FailingDevices &devices, FailureKind kind);

} // namespace quilo::bench
