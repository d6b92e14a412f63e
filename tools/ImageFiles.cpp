#include "tools/ImageFiles.h"

#include <zlib.h>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/Handle.h"
#include "common/HResult.h"

namespace quilo::host {
namespace {

HRESULT last_error()
{
    const DWORD err = GetLastError();
    return err ? hresult_from_win32(err) : E_FAIL;
}

// The whole file is built in memory and written at once, so a failure leaves nothing half-made.
HRESULT write_file(const std::string &path, const std::vector<unsigned char> &bytes)
{
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return last_error();
    DWORD written = 0;
    const BOOL ok = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    HRESULT hr = ok ? S_OK : last_error();
    if (SUCCEEDED(hr) && written != bytes.size()) hr = hresult_from_win32(ERROR_HANDLE_DISK_FULL);
    file.reset();
    if (FAILED(hr)) DeleteFileA(path.c_str());
    return hr;
}

HRESULT check_frame(const FrameView &frame)
{
    RETURN_HR_IF(E_POINTER, !frame.pixels);
    RETURN_HR_IF(E_INVALIDARG, frame.width <= 0 || frame.height <= 0 || frame.width > 65535 ||
                                   frame.height > 65535 || frame.stride < static_cast<long>(frame.width) * 3);
    return S_OK;
}

void put_le16(std::vector<unsigned char> &out, uint16_t v)
{
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void put_le32(std::vector<unsigned char> &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void put_be32(std::vector<unsigned char> &out, uint32_t v)
{
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void put_chunk(std::vector<unsigned char> &out, const char type[4], const unsigned char *data, size_t size)
{
    put_be32(out, static_cast<uint32_t>(size));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    if (size) out.insert(out.end(), data, data + size);
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), out.data() + start, static_cast<uInt>(size + 4));
    put_be32(out, static_cast<uint32_t>(crc));
}

} // namespace

long dib_stride(int width)
{
    return (static_cast<long>(width) * 3 + 3) & ~3L;
}

HRESULT write_bmp(const std::string &path, const FrameView &frame)
{
    RETURN_IF_FAILED(check_frame(frame));
    const long stride = dib_stride(frame.width);
    const uint32_t imageBytes = static_cast<uint32_t>(stride) * static_cast<uint32_t>(frame.height);
    const uint32_t headerBytes = 14 + 40;

    std::vector<unsigned char> out;
    out.reserve(headerBytes + imageBytes);
    // BITMAPFILEHEADER
    out.push_back('B');
    out.push_back('M');
    put_le32(out, headerBytes + imageBytes);
    put_le32(out, 0);
    put_le32(out, headerBytes);
    // BITMAPINFOHEADER: positive height, so rows run bottom-up.
    put_le32(out, 40);
    put_le32(out, static_cast<uint32_t>(frame.width));
    put_le32(out, static_cast<uint32_t>(frame.height));
    put_le16(out, 1);
    put_le16(out, 24);
    put_le32(out, BI_RGB);
    put_le32(out, imageBytes);
    put_le32(out, 2835); // 72 dpi
    put_le32(out, 2835);
    put_le32(out, 0);
    put_le32(out, 0);

    const size_t rowBytes = static_cast<size_t>(frame.width) * 3;
    const size_t padding = static_cast<size_t>(stride) - rowBytes;
    for (int y = frame.height - 1; y >= 0; --y) {
        const unsigned char *row = frame.row(y);
        out.insert(out.end(), row, row + rowBytes);
        // The source's padding bytes are not part of the picture: the file gets zeros.
        out.insert(out.end(), padding, 0);
    }
    return write_file(path, out);
}

HRESULT write_png(const std::string &path, const FrameView &frame)
{
    RETURN_IF_FAILED(check_frame(frame));
    const size_t rowBytes = static_cast<size_t>(frame.width) * 3;

    // Filter type 0 (none) for every row, red-green-blue order.
    std::vector<unsigned char> raw;
    raw.reserve((rowBytes + 1) * static_cast<size_t>(frame.height));
    for (int y = 0; y < frame.height; ++y) {
        const unsigned char *row = frame.row(y);
        raw.push_back(0);
        for (int x = 0; x < frame.width; ++x) {
            const unsigned char *px = row + 3 * x;
            raw.push_back(px[2]);
            raw.push_back(px[1]);
            raw.push_back(px[0]);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<unsigned char> packed(packedSize);
    const int z = compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), Z_BEST_SPEED);
    RETURN_HR_IF(E_OUTOFMEMORY, z == Z_MEM_ERROR);
    RETURN_HR_IF(E_FAIL, z != Z_OK);

    std::vector<unsigned char> out;
    out.reserve(packedSize + 64);
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    out.insert(out.end(), signature, signature + 8);
    std::vector<unsigned char> ihdr;
    put_be32(ihdr, static_cast<uint32_t>(frame.width));
    put_be32(ihdr, static_cast<uint32_t>(frame.height));
    ihdr.push_back(8); // bits per sample
    ihdr.push_back(2); // colour type: truecolour
    ihdr.push_back(0); // deflate
    ihdr.push_back(0); // adaptive filtering
    ihdr.push_back(0); // no interlace
    put_chunk(out, "IHDR", ihdr.data(), ihdr.size());
    put_chunk(out, "IDAT", packed.data(), packedSize);
    put_chunk(out, "IEND", nullptr, 0);
    return write_file(path, out);
}

} // namespace quilo::host
