// A stand-in for the engine's platform boundary: it passes everything to the real platform,
// counts COM initialisation, and fails chosen creations or AddFilter calls on request.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "capture/Platform.h"

namespace quilo::test {

class PlatformDouble : public capture::Platform
{
public:
    // Creating this class fails with `hr`.
    void failCreation(const CLSID &clsid, HRESULT hr) { creationFailures_.push_back({clsid, hr}); }
    // AddFilter with this filter name fails with `hr` on every graph this platform creates.
    void failAddFilter(const std::wstring &name, HRESULT hr) { addFilterFailures_[name] = hr; }
    // IMediaControl::Run of every graph this platform creates runs the real graph, then answers
    // `hr`: a Run that fails after some filters started, as Microsoft documents it may.
    void failRun(HRESULT hr) { runFailure_ = hr; }
    // `action` runs once, just before this class is next created: something that happens
    // between two steps of the engine, such as a device plugged in.
    void beforeCreation(const CLSID &clsid, std::function<void()> action) { actions_.push_back({clsid, action}); }
    // Every object of this class the platform creates is also held here, so that a test can
    // drop the last reference and see whether anyone else still holds the object.
    void keep(const CLSID &clsid) { keep_.push_back(clsid); }
    // The kept objects' references, in creation order; the caller releases them.
    std::vector<IUnknown *> kept;

    HRESULT initializeCom() override;
    void uninitializeCom() override;
    HRESULT createInstance(REFCLSID clsid, DWORD context, REFIID iid, void **out) override;
    void showMessage(const char *text) override;
    HRESULT showPropertyFrame(IUnknown *object, const CAUUID &pages) override;

    int comInits = 0;            // successful CoInitialize calls
    int comUninits = 0;
    std::vector<CLSID> created;  // every class asked for, in order
    std::vector<std::string> messages;
    int propertyFrames = 0;

private:
    struct Failure
    {
        CLSID clsid;
        HRESULT hr;
    };
    struct Action
    {
        CLSID clsid;
        std::function<void()> run;
    };
    std::vector<Failure> creationFailures_;
    std::vector<Action> actions_;
    std::vector<CLSID> keep_;
    std::map<std::wstring, HRESULT> addFilterFailures_;
    HRESULT runFailure_ = S_OK;
};

} // namespace quilo::test
