// quilo-grab's PNG and BMP writers, read back by the platform's WIC decoders and byte by byte.
// The expected pictures come from the test camera's documented pattern and the documented DIB
// row rule, written out here.
#include <gtest/gtest.h>
#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "WicDecode.h"
#include "support/TestFolder.h"
#include "support/TestSupport.h"
#include "common/ImageFiles.h"

using quilo::FrameView;

namespace {

// In frame n of the test camera, pixel (x, y), y = 0 at the top: blue (x + n) mod 256,
// green y mod 256, red tag mod 256.
struct Pixel
{
    unsigned char blue, green, red;
};
Pixel documented_pixel(int x, int y, int n, int tag)
{
    return {static_cast<unsigned char>((x + n) % 256), static_cast<unsigned char>(y % 256),
            static_cast<unsigned char>(tag % 256)};
}

// A frame laid out as the component hands it out: rows of width x 3 bytes padded to a multiple
// of 4 (the padding filled with junk the files must not show), in either row order.
struct CameraFrame
{
    int width, height, n, tag;
    bool topRowFirst;
    long stride;
    std::vector<unsigned char> memory;

    CameraFrame(int w, int h, int frameNumber, int tagValue, bool topDown)
        : width(w), height(h), n(frameNumber), tag(tagValue), topRowFirst(topDown), stride((w * 3 + 3) / 4 * 4),
          memory(static_cast<size_t>(stride) * h, 0xEE)
    {
        for (int y = 0; y < h; ++y) {
            const int memoryRow = topDown ? y : h - 1 - y;
            unsigned char *row = memory.data() + static_cast<size_t>(memoryRow) * stride;
            for (int x = 0; x < w; ++x) {
                const Pixel p = documented_pixel(x, y, n, tag);
                row[3 * x + 0] = p.blue;
                row[3 * x + 1] = p.green;
                row[3 * x + 2] = p.red;
            }
        }
    }
    FrameView view() const
    {
        FrameView v;
        v.pixels = memory.data();
        v.width = width;
        v.height = height;
        v.stride = stride;
        v.topRowFirst = topRowFirst;
        return v;
    }
};

// Empty when every pixel of `pixels` (top row first, `stride` bytes apart) is frame n's;
// otherwise where the first difference is.
std::string difference(const unsigned char *pixels, long stride, int width, int height, int n, int tag,
                       bool topRowFirst = true)
{
    for (int y = 0; y < height; ++y) {
        const unsigned char *row = pixels + static_cast<size_t>(topRowFirst ? y : height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const Pixel want = documented_pixel(x, y, n, tag);
            const unsigned char *got = row + 3 * x;
            if (got[0] != want.blue || got[1] != want.green || got[2] != want.red)
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is " + std::to_string(got[0]) +
                       "/" + std::to_string(got[1]) + "/" + std::to_string(got[2]);
        }
    }
    return {};
}

std::vector<unsigned char> read_all(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

unsigned long le32(const std::vector<unsigned char> &b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<unsigned long>(b[at + 3]) << 24);
}

unsigned long be32(const std::vector<unsigned char> &b, size_t at)
{
    return (static_cast<unsigned long>(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

class ImageFilesTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(com_.result())); }
    std::string path(const std::string &name) const { return folder_.file(name); }
    // Names in the test folder, sorted.
    std::vector<std::string> folder() const { return folder_.names(); }

    quilo::test::ComScope com_;
    quilo::test::TestFolder folder_{"quilo-image-files"};
};

TEST_F(ImageFilesTest, BothFormatsDecodeToTheFramesPictureWhateverTheRowOrderAndPadding)
{
    struct Case { int w, h, n; };
    // Odd widths pad their rows; 300 rows wrap the green channel; frame 250 wraps the blue one.
    for (const Case c : {Case{321, 243, 1}, Case{4, 1, 7}, Case{1, 3, 2}, Case{640, 480, 250}, Case{97, 300, 31}}) {
        for (const bool topDown : {true, false}) {
            SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + (topDown ? " top-down" : " bottom-up"));
            const CameraFrame frame(c.w, c.h, c.n, 77, topDown);
            ASSERT_EQ(S_OK, quilo::write_png(path("f.png"), frame.view()));
            ASSERT_EQ(S_OK, quilo::write_bmp(path("f.bmp"), frame.view()));

            for (const GUID &container : {GUID_ContainerFormatPng, GUID_ContainerFormatBmp}) {
                const bool png = IsEqualGUID(container, GUID_ContainerFormatPng);
                quilo::test::DecodedImage decoded;
                ASSERT_EQ(S_OK, quilo::test::decode_image(path(png ? "f.png" : "f.bmp"), decoded));
                EXPECT_TRUE(IsEqualGUID(decoded.container, container)) << (png ? "PNG" : "BMP");
                ASSERT_EQ(static_cast<UINT>(c.w), decoded.width);
                ASSERT_EQ(static_cast<UINT>(c.h), decoded.height);
                EXPECT_EQ("", difference(decoded.bgr.data(), c.w * 3L, c.w, c.h, c.n, 77)) << (png ? "PNG" : "BMP");
            }
        }
    }
    // Written under another name and renamed: nothing else is left beside the files.
    EXPECT_EQ((std::vector<std::string>{"f.bmp", "f.png"}), folder());
}

TEST_F(ImageFilesTest, PngIsEightBitTruecolourWithoutAlphaOrPalette)
{
    const CameraFrame frame(640, 480, 3, 9, false);
    ASSERT_EQ(S_OK, quilo::write_png(path("header.png"), frame.view()));
    const std::vector<unsigned char> file = read_all(path("header.png"));
    ASSERT_GE(file.size(), 33u);
    const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_TRUE(std::equal(signature, signature + 8, file.begin()));
    // The first chunk is IHDR: 13 bytes of width, height, bit depth, colour type, compression,
    // filter and interlace method.
    EXPECT_EQ(13u, be32(file, 8));
    EXPECT_EQ("IHDR", std::string(file.begin() + 12, file.begin() + 16));
    EXPECT_EQ(640u, be32(file, 16));
    EXPECT_EQ(480u, be32(file, 20));
    EXPECT_EQ(8, file[24]) << "bits per sample";
    EXPECT_EQ(2, file[25]) << "colour type 2 is truecolour: no alpha, no palette";
    EXPECT_EQ(0, file[28]) << "not interlaced";
}

TEST_F(ImageFilesTest, BmpIsAStandardBottomUpDibWithZeroPadding)
{
    const CameraFrame frame(321, 3, 5, 200, true);
    ASSERT_EQ(S_OK, quilo::write_bmp(path("layout.bmp"), frame.view()));
    const std::vector<unsigned char> file = read_all(path("layout.bmp"));
    const size_t stride = 964; // 321 x 3 = 963 bytes, padded to a multiple of 4
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ('B', file[0]);
    EXPECT_EQ('M', file[1]);
    EXPECT_EQ(file.size(), le32(file, 2));
    const size_t offset = le32(file, 10);
    ASSERT_EQ(offset + stride * 3, file.size());
    EXPECT_EQ(40u, le32(file, 14)) << "BITMAPINFOHEADER";
    EXPECT_EQ(321u, le32(file, 18));
    EXPECT_EQ(3u, le32(file, 22)) << "positive height: bottom-up";
    EXPECT_EQ(24, file[28]);
    EXPECT_EQ(0u, le32(file, 30)) << "BI_RGB";
    // The first row in the file is the picture's bottom row; the source's junk padding is not copied.
    EXPECT_EQ("", difference(file.data() + offset, static_cast<long>(stride), 321, 3, 5, 200, false));
    for (int fileRow = 0; fileRow < 3; ++fileRow)
        EXPECT_EQ(0, file[offset + fileRow * stride + 963]) << "padding of file row " << fileRow;
}

TEST_F(ImageFilesTest, BadFramesAndMissingFoldersFailWithTheirResultAndLeaveNoFile)
{
    const CameraFrame frame(8, 8, 1, 0, true);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), quilo::write_png(path("no-such-folder\\f.png"), frame.view()));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), quilo::write_bmp(path("no-such-folder\\f.bmp"), frame.view()));

    FrameView bad = frame.view();
    bad.pixels = nullptr;
    EXPECT_EQ(E_POINTER, quilo::write_bmp(path("untouched.bmp"), bad));
    bad = frame.view();
    bad.stride = 8 * 3 - 1; // rows would overlap
    EXPECT_EQ(E_INVALIDARG, quilo::write_png(path("untouched.png"), bad));
    bad = frame.view();
    bad.height = 0;
    EXPECT_EQ(E_INVALIDARG, quilo::write_bmp(path("untouched.bmp"), bad));
    EXPECT_TRUE(folder().empty());
}

TEST_F(ImageFilesTest, AWriteThatCannotBeMovedIntoPlaceLeavesTheEarlierFileAndNoPartOfTheNewOne)
{
    const CameraFrame first(16, 8, 1, 0, true), second(16, 8, 2, 0, true);
    ASSERT_EQ(S_OK, quilo::write_png(path("f.png"), first.view()));

    // Another program holds the file open without sharing: the new picture cannot replace it.
    HANDLE held = CreateFileA(path("f.png").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    const HRESULT hr = quilo::write_png(path("f.png"), second.view());
    CloseHandle(held);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_EQ(std::vector<std::string>{"f.png"}, folder());
    quilo::test::DecodedImage decoded;
    ASSERT_EQ(S_OK, quilo::test::decode_image(path("f.png"), decoded));
    EXPECT_EQ("", difference(decoded.bgr.data(), 16 * 3, 16, 8, 1, 0)) << "the earlier picture";

    // A folder in the file's place cannot be replaced either.
    ASSERT_TRUE(CreateDirectoryA(path("d.bmp").c_str(), nullptr));
    EXPECT_TRUE(FAILED(quilo::write_bmp(path("d.bmp"), second.view())));
    EXPECT_EQ((std::vector<std::string>{"d.bmp", "f.png"}), folder());

    // Once the file is free again, the new picture replaces the old one.
    ASSERT_EQ(S_OK, quilo::write_png(path("f.png"), second.view()));
    ASSERT_EQ(S_OK, quilo::test::decode_image(path("f.png"), decoded));
    EXPECT_EQ("", difference(decoded.bgr.data(), 16 * 3, 16, 8, 2, 0)) << "the new picture";
}

} // namespace
