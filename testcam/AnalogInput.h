// The camera's analog front end: a crossbar whose pins are physical connectors, and the video
// decoder behind it. Both answer like capture-card drivers and record what hosts asked.
#pragma once

#include <windows.h>
#include <vector>

#include "common/CriticalSection.h"

namespace quilo::testcam {

class DeviceState;

class Crossbar
{
public:
    struct Setup
    {
        std::vector<long> inputs, outputs;  // PhysicalConnectorType of each pin
        bool failPinInfo = false;           // get_CrossbarPinInfo fails
        bool refuseRoutes = false;          // CanRoute says no to every pair
    };
    void configure(const Setup &setup, const DeviceState *state);

    HRESULT pinCounts(long *outputs, long *inputs) const;
    HRESULT canRoute(long output, long input) const;
    HRESULT route(long output, long input);
    HRESULT routedTo(long output, long *input) const;
    HRESULT pinInfo(BOOL isInput, long index, long *related, long *type) const;
    // The connector routed to the video decoder (else to the first video output); 0 for none.
    long videoSource() const;

private:
    HRESULT check(long output, long input) const;
    // The device keeps the routing, as a card's hardware does: another filter object of the
    // same device may have routed since. Called under the lock.
    void refresh() const;

    mutable CriticalSection lock_;
    Setup setup_;
    mutable std::vector<long> routing_; // input routed to each output, -1 for none
    const DeviceState *state_ = nullptr;
};

class VideoDecoder
{
public:
    struct Setup
    {
        long standard = 0x1;        // AnalogVideo_NTSC_M
        bool failGet = false;       // get_TVFormat fails
        bool answerSFalse = false;  // put_TVFormat succeeds with S_FALSE
    };
    void configure(const Setup &setup, const DeviceState *state);

    HRESULT availableFormats(long *standards) const;
    HRESULT setFormat(long standard);
    HRESULT format(long *standard) const;
    HRESULT horizontalLocked(long *locked) const;
    HRESULT setVcrLocking(long locking);
    HRESULT vcrLocking(long *locking) const;
    HRESULT numberOfLines(long *lines) const;
    HRESULT setOutputEnable(long enable);
    HRESULT outputEnable(long *enable) const;

private:
    mutable CriticalSection lock_;
    Setup setup_;
    long vcrLocking_ = 0;
    long outputEnable_ = 1;
    const DeviceState *state_ = nullptr;
};

} // namespace quilo::testcam
