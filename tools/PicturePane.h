// The live picture: a child window that keeps a copy of the last frame and paints it 1:1 from
// its top-left corner, scaled down (aspect kept) only when the window is smaller than the frame.
#pragma once

#include <windows.h>
#include <vector>

#include "tools/Gdi.h"
#include "common/ImageFiles.h"

namespace quilo::view {

class PicturePane
{
public:
    static bool register_class(HINSTANCE instance);
    HWND create(HWND parent, int id);
    HWND window() const { return window_; }

    // Copies a top-down RGB24 frame whose rows are dshow::rgb24_stride(width) bytes apart and paints
    // it at once.
    HRESULT show(const unsigned char *pixels, int width, int height);
    void clear();
    bool has_frame() const { return bits_ != nullptr; }
    SIZE frame_size() const { return {width_, height_}; }
    // The last frame shown, top row first.
    quilo::FrameView frame() const;

    // What is on screen where the picture was last painted, read back from the window as
    // top-down 24-bit rows `view.stride` bytes apart, held in `pixels`.
    HRESULT read_painted(std::vector<unsigned char> &pixels, quilo::FrameView &view) const;

private:
    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void paint();
    RECT picture_rect() const;

    HWND window_ = nullptr;
    host::GdiObject<HBITMAP> bitmap_;
    unsigned char *bits_ = nullptr; // owned by bitmap_
    int width_ = 0;
    int height_ = 0;
};

} // namespace quilo::view
