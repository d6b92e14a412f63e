#include "tools/PicturePane.h"

#include <vfwmsgs.h>
#include <cstring>

#include "dshow/VideoFormat.h"
#include "tools/ViewIds.h"

namespace quilo::view {
namespace {

BITMAPINFO top_down_rgb24(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // negative: the first row is the top one
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

} // namespace

bool PicturePane::register_class(HINSTANCE instance)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = window_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kPictureClass;
    return RegisterClassA(&wc) != 0;
}

HWND PicturePane::create(HWND parent, int id)
{
    window_ = CreateWindowExA(0, kPictureClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), this);
    return window_;
}

HRESULT PicturePane::show(const unsigned char *pixels, int width, int height)
{
    if (!pixels || width <= 0 || height <= 0) return E_INVALIDARG;
    if (!bits_ || width != width_ || height != height_) {
        clear();
        const BITMAPINFO info = top_down_rgb24(width, height);
        void *bits = nullptr;
        bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!bitmap_ || !bits) {
            bitmap_.reset();
            return E_OUTOFMEMORY;
        }
        bits_ = static_cast<unsigned char *>(bits);
        width_ = width;
        height_ = height;
    }
    // A DIB's rows are padded exactly as the component's: one copy of the whole block.
    std::memcpy(bits_, pixels, dshow::rgb24_image_size(width, height));
    InvalidateRect(window_, nullptr, FALSE);
    UpdateWindow(window_);
    return S_OK;
}

void PicturePane::clear()
{
    bitmap_.reset();
    bits_ = nullptr;
    width_ = height_ = 0;
    if (window_) InvalidateRect(window_, nullptr, TRUE);
}

quilo::FrameView PicturePane::frame() const
{
    quilo::FrameView view;
    view.pixels = bits_;
    view.width = width_;
    view.height = height_;
    view.stride = dshow::rgb24_stride(width_);
    view.topRowFirst = true;
    return view;
}

RECT PicturePane::picture_rect() const
{
    RECT client = {};
    GetClientRect(window_, &client);
    RECT rect = {0, 0, width_, height_};
    if (width_ <= client.right && height_ <= client.bottom) return rect;
    // Smaller window: the largest picture of the frame's shape that fits.
    if (static_cast<long long>(client.right) * height_ <= static_cast<long long>(client.bottom) * width_) {
        rect.right = client.right;
        rect.bottom = static_cast<LONG>(static_cast<long long>(client.right) * height_ / width_);
    } else {
        rect.bottom = client.bottom;
        rect.right = static_cast<LONG>(static_cast<long long>(client.bottom) * width_ / height_);
    }
    return rect;
}

void PicturePane::paint()
{
    host::PaintScope paint(window_);
    HDC dc = paint.get();
    RECT client = {};
    GetClientRect(window_, &client);
    HBRUSH background = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
    if (!bits_) {
        FillRect(dc, &client, background);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(220, 220, 220));
        host::Selection font(dc, GetStockObject(DEFAULT_GUI_FONT));
        DrawTextA(dc, "No picture", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        return;
    }
    const RECT picture = picture_rect();
    // A blit that fails leaves the old picture: a paint has no one to tell, and the next
    // frame paints again.
    host::MemoryDc source(dc);
    if (source) {
        host::Selection frame(source.get(), bitmap_.get());
        if (picture.right == width_ && picture.bottom == height_) {
            static_cast<void>(BitBlt(dc, 0, 0, width_, height_, source.get(), 0, 0, SRCCOPY));
        } else {
            SetStretchBltMode(dc, HALFTONE);
            SetBrushOrgEx(dc, 0, 0, nullptr);
            static_cast<void>(
                StretchBlt(dc, 0, 0, picture.right, picture.bottom, source.get(), 0, 0, width_, height_, SRCCOPY));
        }
    }
    // Only what the picture leaves free is filled, so the picture itself never flickers.
    const RECT right = {picture.right, 0, client.right, client.bottom};
    const RECT below = {0, picture.bottom, picture.right, client.bottom};
    FillRect(dc, &right, background);
    FillRect(dc, &below, background);
}

HRESULT PicturePane::read_painted(std::vector<unsigned char> &pixels, quilo::FrameView &view) const
{
    pixels.clear();
    view = quilo::FrameView();
    if (!bits_) return VFW_E_WRONG_STATE;
    const RECT picture = picture_rect();
    const int width = picture.right, height = picture.bottom;
    if (width <= 0 || height <= 0) return VFW_E_WRONG_STATE;

    host::WindowDc screen(window_);
    if (!screen) return E_FAIL;
    host::MemoryDc copy(screen.get());
    const host::GdiObject<HBITMAP> target(CreateCompatibleBitmap(screen.get(), width, height));
    if (!copy || !target) return E_OUTOFMEMORY;
    {
        host::Selection selected(copy.get(), target.get());
        if (!selected.ok() || !BitBlt(copy.get(), 0, 0, width, height, screen.get(), 0, 0, SRCCOPY)) return E_FAIL;
    }
    BITMAPINFO info = top_down_rgb24(width, height);
    pixels.resize(dshow::rgb24_image_size(width, height));
    if (GetDIBits(copy.get(), target.get(), 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS) !=
        height)
        return E_FAIL;
    view.pixels = pixels.data();
    view.width = width;
    view.height = height;
    view.stride = dshow::rgb24_stride(width);
    view.topRowFirst = true;
    return S_OK;
}

LRESULT CALLBACK PicturePane::window_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto *self = static_cast<PicturePane *>(reinterpret_cast<CREATESTRUCTA *>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto *self = reinterpret_cast<PicturePane *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_PAINT:
        if (self) {
            self->paint();
            return 0;
        }
        break;
    case WM_ERASEBKGND: return 1; // paint() covers every pixel
    case WM_SIZE:
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace quilo::view
