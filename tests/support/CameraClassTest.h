// Fixture of the tests that drive QuiloVideo.Camera in this process: the component and the test
// camera registered, no devices at the start or the end of a test, one object whose last
// reference the test must leave to the fixture, and the calls a host makes around it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "QuiloCamera.h"
#include "common/ComPtr.h"
#include "common/Variant.h"
#include "support/HostProgramTest.h"

namespace quilo::test {

class CameraClassTest : public HostProgramTest
{
protected:
    CameraClassTest() : HostProgramTest("quilo-camera") {}

    void TearDown() override
    {
        // Nothing of the object may outlive the test.
        if (camera_) {
            EXPECT_EQ(0u, camera_.detach()->Release());
        }
        HostProgramTest::TearDown();
    }

    IQuiloCamera *create()
    {
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_Camera, nullptr, CLSCTX_INPROC_SERVER, IID_IQuiloCamera,
                                         camera_.put_void()));
        return camera_.get();
    }

public:
    // Arguments as automation passes them: a string, and an optional one left out.
    static VARIANT text(const wchar_t *s)
    {
        VARIANT v;
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(s);
        return v;
    }
    static VARIANT missing()
    {
        VARIANT v;
        V_VT(&v) = VT_ERROR;
        V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
        return v;
    }

protected:
    // Opens by name with the size and rate left out.
    HRESULT open(const wchar_t *name)
    {
        UniqueVariant device;
        *device.get() = text(name);
        return camera_->Open(*device.get(), 0, 0, missing());
    }

    // A late-bound call by name, as a script host makes it: `args` in the order written (they
    // are passed last first), `iid` as the host passes it.
    HRESULT invoke(const wchar_t *member, WORD flags, std::vector<VARIANT> args, VARIANT *result = nullptr,
                   REFIID iid = IID_NULL)
    {
        ComPtr<IDispatch> dispatch;
        HRESULT hr = camera_.query(IID_IDispatch, dispatch);
        if (FAILED(hr)) return hr;
        DISPID id = 0;
        LPOLESTR names[] = {const_cast<LPOLESTR>(member)};
        hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr)) return hr;
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        EXCEPINFO exception = {};
        hr = dispatch->Invoke(id, iid, LOCALE_USER_DEFAULT, flags, &params, result, &exception, nullptr);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        return hr;
    }

    // The description the last failure left on this thread.
    static std::string error_text()
    {
        ComPtr<IErrorInfo> info;
        if (GetErrorInfo(0, info.put()) != S_OK || !info) return "(no error information)";
        UniqueBstr description;
        info->GetDescription(description.put());
        return description.get() ? narrow(description.get()) : "";
    }

    ComPtr<IQuiloCamera> camera_;
};

} // namespace quilo::test
