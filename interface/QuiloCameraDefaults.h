// Values of the automation class's contract that C++ code needs beside the type library.
#pragma once

namespace quilo {

// Grab's time-out when a host leaves it out: the type library's defaultvalue of Grab's
// argument (typelib_test reads it back), and the first class's own bound.
constexpr unsigned long kDefaultGrabTimeoutMs = 8000;
// The longest time-out Grab takes: 24 hours.
constexpr unsigned long kMaxGrabTimeoutMs = 24ul * 60 * 60 * 1000;

} // namespace quilo
