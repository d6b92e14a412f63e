// quilo-grab's PNG and BMP writers, read back by the platform's WIC decoders.
#include <gtest/gtest.h>
#include <windows.h>
#include <wincodec.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "WicDecode.h"
#include "support/TestSupport.h"
#include "tools/ImageFiles.h"

using quilo::host::FrameView;

namespace {

// A picture whose every pixel differs from its neighbours, held as the component would hand it
// out: rows padded to 4 bytes (padding filled with junk), in either order.
struct TestFrame
{
    int width, height;
    bool topRowFirst;
    long stride;
    std::vector<unsigned char> memory;

    TestFrame(int w, int h, bool topDown)
        : width(w), height(h), topRowFirst(topDown), stride(quilo::host::dib_stride(w)),
          memory(static_cast<size_t>(stride) * h, 0xEE)
    {
        for (int y = 0; y < h; ++y) {
            unsigned char *row = memory.data() + static_cast<size_t>(topDown ? y : h - 1 - y) * stride;
            for (int x = 0; x < w; ++x) {
                row[3 * x + 0] = static_cast<unsigned char>(x * 7 + y);
                row[3 * x + 1] = static_cast<unsigned char>(y * 3 + 1);
                row[3 * x + 2] = static_cast<unsigned char>(x ^ (y * 5));
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
    // The picture top row first, without padding: what a decoder must give back.
    std::vector<unsigned char> picture() const
    {
        std::vector<unsigned char> out;
        const FrameView v = view();
        for (int y = 0; y < height; ++y) out.insert(out.end(), v.row(y), v.row(y) + 3 * width);
        return out;
    }
};

class ImageFilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(com_.result()));
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        dir_ = std::string(temp) + "quilo-image-files-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dir_.c_str(), nullptr);
    }
    void TearDown() override
    {
        for (const auto &f : files_) DeleteFileA(f.c_str());
        RemoveDirectoryA(dir_.c_str());
    }
    std::string path(const std::string &name)
    {
        files_.push_back(dir_ + "\\" + name);
        return files_.back();
    }

    quilo::test::ComScope com_;
    std::string dir_;
    std::vector<std::string> files_;
};

std::vector<unsigned char> read_all(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

unsigned long le32(const std::vector<unsigned char> &b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<unsigned long>(b[at + 3]) << 24);
}

TEST_F(ImageFilesTest, BothFormatsDecodeToThePictureWhateverTheRowOrderAndPadding)
{
    struct Size { int w, h; };
    for (const Size size : {Size{321, 243}, Size{4, 1}, Size{1, 3}, Size{640, 480}}) {
        for (const bool topDown : {true, false}) {
            SCOPED_TRACE(std::to_string(size.w) + "x" + std::to_string(size.h) + (topDown ? " top-down" : " bottom-up"));
            const TestFrame frame(size.w, size.h, topDown);
            const std::string png = path("f.png"), bmp = path("f.bmp");
            ASSERT_EQ(S_OK, quilo::host::write_png(png, frame.view()));
            ASSERT_EQ(S_OK, quilo::host::write_bmp(bmp, frame.view()));

            quilo::test::DecodedImage decoded;
            ASSERT_EQ(S_OK, quilo::test::decode_image(png, decoded));
            EXPECT_TRUE(IsEqualGUID(decoded.container, GUID_ContainerFormatPng));
            EXPECT_EQ(static_cast<UINT>(size.w), decoded.width);
            EXPECT_EQ(static_cast<UINT>(size.h), decoded.height);
            EXPECT_TRUE(decoded.bgr == frame.picture()) << "PNG pixels differ";

            ASSERT_EQ(S_OK, quilo::test::decode_image(bmp, decoded));
            EXPECT_TRUE(IsEqualGUID(decoded.container, GUID_ContainerFormatBmp));
            EXPECT_EQ(static_cast<UINT>(size.w), decoded.width);
            EXPECT_EQ(static_cast<UINT>(size.h), decoded.height);
            EXPECT_TRUE(decoded.bgr == frame.picture()) << "BMP pixels differ";
        }
    }
}

TEST_F(ImageFilesTest, BmpIsAStandardBottomUpDibWithZeroPadding)
{
    const TestFrame frame(321, 3, true);
    const std::string bmp = path("layout.bmp");
    ASSERT_EQ(S_OK, quilo::host::write_bmp(bmp, frame.view()));
    const std::vector<unsigned char> file = read_all(bmp);
    const size_t stride = 964;
    ASSERT_EQ(54u + stride * 3, file.size());
    EXPECT_EQ('B', file[0]);
    EXPECT_EQ('M', file[1]);
    EXPECT_EQ(file.size(), le32(file, 2));
    EXPECT_EQ(54u, le32(file, 10));
    EXPECT_EQ(40u, le32(file, 14));
    EXPECT_EQ(321u, le32(file, 18));
    EXPECT_EQ(3u, le32(file, 22)); // positive: bottom-up
    EXPECT_EQ(24, file[28]);
    EXPECT_EQ(0u, le32(file, 30)); // BI_RGB
    EXPECT_EQ(stride * 3, le32(file, 34));
    // The first row in the file is the picture's bottom row; the source's junk padding is not copied.
    const FrameView v = frame.view();
    for (int fileRow = 0; fileRow < 3; ++fileRow) {
        const unsigned char *row = file.data() + 54 + fileRow * stride;
        EXPECT_EQ(0, std::memcmp(row, v.row(2 - fileRow), 963)) << "file row " << fileRow;
        EXPECT_EQ(0, row[963]) << "padding of file row " << fileRow;
    }
}

TEST_F(ImageFilesTest, FailuresReturnThePlatformResultAndLeaveNoFile)
{
    const TestFrame frame(8, 8, true);
    const std::string missing = dir_ + "\\no-such-folder\\f.png";
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), quilo::host::write_png(missing, frame.view()));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), quilo::host::write_bmp(dir_ + "\\no-such-folder\\f.bmp", frame.view()));

    FrameView bad = frame.view();
    bad.pixels = nullptr;
    const std::string untouched = path("untouched.bmp");
    EXPECT_EQ(E_POINTER, quilo::host::write_bmp(untouched, bad));
    bad = frame.view();
    bad.stride = 8 * 3 - 1; // rows would overlap
    EXPECT_EQ(E_INVALIDARG, quilo::host::write_png(untouched, bad));
    bad = frame.view();
    bad.height = 0;
    EXPECT_EQ(E_INVALIDARG, quilo::host::write_bmp(untouched, bad));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(untouched.c_str()));
}

} // namespace
