// Module state of the in-process server: everything that lives from library load to unload.
// The class table and the module record are built before DllMain sees the process attach and
// taken down after it sees the detach (static construction and destruction of the one Module).
#pragma once

#include <windows.h>
#include <atomic>
#include <cstddef>

#include "shell/CheckedCriticalSection.h"

namespace quilo::shell {

// Creates a component object, standalone (outer null) or aggregated.
using InstanceCreator = HRESULT (*)(IUnknown *outer, REFIID riid, void **ppv);
// Creates the class object that hands out instances through `creator`.
using ClassObjectCreator = HRESULT (*)(InstanceCreator creator, REFIID riid, void **ppv);
// Writes (true) or removes (false) the class's registry tree.
using RegistrationRoutine = HRESULT (*)(bool doRegister);
// Called with true at start-up and with false at shut-down.
using StartStopHook = void (*)(bool starting);
// A clean-up routine of the termination list.
using TerminationRoutine = void (*)(void *argument);

struct ClassEntry
{
    const CLSID *clsid;
    RegistrationRoutine updateRegistry;
    ClassObjectCreator createClassObject;
    InstanceCreator createInstance;
    // Component categories the class implements; none for the module's classes.
    const GUID *categories;
    std::size_t categoryCount;
    StartStopHook startStop;
    // Null until the first successful DllGetClassObject; then holds one reference of its own.
    std::atomic<IUnknown *> classObject;
};

class Module
{
public:
    Module(HINSTANCE instance, ClassEntry *classes, std::size_t classCount, const GUID &libid) noexcept;
    ~Module();
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

    HINSTANCE instance() const noexcept { return instance_; }
    bool init_failed() const noexcept { return initFailed_; }
    const GUID &libid() const noexcept { return libid_; }
    ClassEntry *classes_begin() const noexcept { return classes_; }
    ClassEntry *classes_end() const noexcept { return classes_ + classCount_; }

    // Reasons to stay loaded: live objects, server locks, outside references to class objects.
    LONG lock() noexcept { return InterlockedIncrement(&lockCount_); }
    LONG unlock() noexcept { return InterlockedDecrement(&lockCount_); }
    LONG lock_count() const noexcept { return lockCount_; }
    // IClassFactory::LockServer. A FALSE without a matching TRUE is ignored, so that a host's
    // stray unlock cannot let the module be unloaded under live objects.
    void lock_server(bool lock) noexcept;

    // Serialises the type-information cache and the termination list; re-entrant.
    CheckedCriticalSection &module_lock() noexcept { return moduleLock_; }
    // Appends a routine run once at shut-down, newest first.
    HRESULT add_termination(TerminationRoutine routine, void *argument) noexcept;

    // DllGetClassObject: the cached class object of the class, created on first demand.
    HRESULT get_class_object(REFCLSID rclsid, REFIID riid, void **ppv) noexcept;

private:
    struct TerminationNode
    {
        TerminationRoutine routine;
        void *argument;
        TerminationNode *next;
    };

    void run_termination_list() noexcept;

    HINSTANCE instance_;
    bool initFailed_ = false;

    // Class table.
    ClassEntry *classes_;
    std::size_t classCount_;
    CheckedCriticalSection classTableLock_;
    bool classTableReady_ = false;

    // Module record.
    LONG lockCount_ = 0;
    LONG serverLocks_ = 0;
    GUID libid_ = {};
    CheckedCriticalSection moduleLock_;
    TerminationNode *termination_ = nullptr;
    bool recordReady_ = false;
};

// The module this code is linked into.
Module &module() noexcept;

} // namespace quilo::shell
