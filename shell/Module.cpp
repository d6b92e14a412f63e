#include "shell/Module.h"

#include <new>

#include "QuiloVideo.h"
#include "shell/ClassTable.h"

// The linker's symbol for the image this code is part of: its own instance handle.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace quilo::shell {

Module::Module(HINSTANCE instance, ClassEntry *classes, std::size_t classCount, const GUID &libid) noexcept
    : instance_(instance), classes_(classes), classCount_(classCount)
{
    // A lock that cannot be set up makes DllMain refuse the load; start-up goes on regardless
    // so that shut-down finds a consistent state.
    if (!classTableLock_.init()) initFailed_ = true;
    classTableReady_ = true;

    if (!moduleLock_.init()) initFailed_ = true;
    libid_ = libid;
    recordReady_ = true;
    for (ClassEntry *e = classes_begin(); e != classes_end(); ++e)
        if (e->startStop) e->startStop(true);
}

Module::~Module()
{
    for (ClassEntry *e = classes_begin(); e != classes_end(); ++e)
        if (e->startStop) e->startStop(false);
    run_termination_list();
    moduleLock_.term();
    recordReady_ = false;

    for (ClassEntry *e = classes_begin(); e != classes_end(); ++e)
        if (IUnknown *object = e->classObject.exchange(nullptr)) object->Release();
    classTableLock_.term();
    classTableReady_ = false;
}

void Module::lock_server(bool lock) noexcept
{
    if (lock) {
        InterlockedIncrement(&serverLocks_);
        this->lock();
        return;
    }
    LONG held = serverLocks_;
    while (held > 0) {
        const LONG seen = InterlockedCompareExchange(&serverLocks_, held - 1, held);
        if (seen == held) {
            unlock();
            return;
        }
        held = seen;
    }
}

HRESULT Module::add_termination(TerminationRoutine routine, void *argument) noexcept
{
    auto *node = new (std::nothrow) TerminationNode{routine, argument, nullptr};
    if (!node) return E_OUTOFMEMORY;
    Lock guard(moduleLock_);
    node->next = termination_;
    termination_ = node;
    return S_OK;
}

void Module::run_termination_list() noexcept
{
    while (TerminationNode *node = termination_) {
        termination_ = node->next;
        node->routine(node->argument);
        delete node;
    }
}

HRESULT Module::get_class_object(REFCLSID rclsid, REFIID riid, void **ppv) noexcept
{
    if (!classTableReady_) return E_UNEXPECTED;
    if (!ppv) return E_POINTER;
    *ppv = nullptr;

    for (ClassEntry *e = classes_begin(); e != classes_end(); ++e) {
        if (!IsEqualCLSID(rclsid, *e->clsid) || !e->createClassObject) continue;

        if (!e->classObject.load()) {
            Lock guard(classTableLock_);
            if (!e->classObject.load()) {
                IUnknown *created = nullptr;
                const HRESULT hr = e->createClassObject(e->createInstance, IID_IUnknown,
                                                        reinterpret_cast<void **>(&created));
                if (FAILED(hr)) return hr;
                e->classObject.store(created);
            }
        }
        HRESULT hr = e->classObject.load()->QueryInterface(riid, ppv);
        if (hr == S_OK && !*ppv) hr = CLASS_E_CLASSNOTAVAILABLE;
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

namespace {
Module g_module(reinterpret_cast<HINSTANCE>(&__ImageBase), class_table(), class_table_size(), LIBID_QuiloVideo);
} // namespace

Module &module() noexcept { return g_module; }

} // namespace quilo::shell
