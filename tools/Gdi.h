// Owning wrappers for GDI objects and device contexts.
#pragma once

#include <windows.h>
#include <utility>

namespace quilo::host {

// A pen, brush, font or bitmap deleted when the scope ends (stock objects need none).
template <typename H>
class GdiObject
{
public:
    GdiObject() noexcept = default;
    explicit GdiObject(H h) noexcept : h_(h) {}
    GdiObject(GdiObject &&o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    GdiObject &operator=(GdiObject &&o) noexcept { reset(std::exchange(o.h_, nullptr)); return *this; }
    GdiObject(const GdiObject &) = delete;
    GdiObject &operator=(const GdiObject &) = delete;
    ~GdiObject() { reset(); }

    H get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != nullptr; }
    void reset(H h = nullptr) noexcept
    {
        if (H old = std::exchange(h_, h)) DeleteObject(old);
    }

private:
    H h_ = nullptr;
};

// A memory device context compatible with another.
class MemoryDc
{
public:
    explicit MemoryDc(HDC compatibleWith) noexcept : dc_(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDc() { if (dc_) DeleteDC(dc_); }
    MemoryDc(const MemoryDc &) = delete;
    MemoryDc &operator=(const MemoryDc &) = delete;
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HDC dc_;
};

// A window's device context for drawing or reading back outside WM_PAINT.
class WindowDc
{
public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() { if (dc_) ReleaseDC(window_, dc_); }
    WindowDc(const WindowDc &) = delete;
    WindowDc &operator=(const WindowDc &) = delete;
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint / EndPaint.
class PaintScope
{
public:
    explicit PaintScope(HWND window) noexcept : window_(window) { dc_ = BeginPaint(window, &ps_); }
    ~PaintScope() { EndPaint(window_, &ps_); }
    PaintScope(const PaintScope &) = delete;
    PaintScope &operator=(const PaintScope &) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT ps_ = {};
    HDC dc_ = nullptr;
};

// An object selected into a context, the previous one put back when the scope ends.
class Selection
{
public:
    Selection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(SelectObject(dc, object)) {}
    ~Selection() { if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_); }
    Selection(const Selection &) = delete;
    Selection &operator=(const Selection &) = delete;
    bool ok() const noexcept { return old_ && old_ != HGDI_ERROR; }

private:
    HDC dc_;
    HGDIOBJ old_;
};

} // namespace quilo::host
