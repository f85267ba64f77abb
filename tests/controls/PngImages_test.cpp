#include "controls/PngImages.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>


#include "support/TestPaths.h"

namespace tw {
namespace {

using test::ReadSourceFile;

// Encodes raw sample rows with libpng's writer, so every colour type and depth can be fed in.
struct PngLayout {
    int width = 0, height = 0, bitDepth = 8, colorType = PNG_COLOR_TYPE_RGBA;
    bool interlaced = false;
    std::vector<std::vector<png_byte>> rows;  // packed samples as the format lays them out
    std::vector<png_color> palette;
    std::vector<png_byte> trnsAlpha;          // palette alpha
    bool grayTrns = false;
    png_uint_16 grayTrnsValue = 0;
};

void WriteToString(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

std::string Encode(PngLayout layout) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "encoding failed";
        return {};
    }
    png_set_write_fn(png, &out, WriteToString, nullptr);
    png_set_IHDR(png, info, layout.width, layout.height, layout.bitDepth, layout.colorType,
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty()) png_set_PLTE(png, info, layout.palette.data(), static_cast<int>(layout.palette.size()));
    if (!layout.trnsAlpha.empty())
        png_set_tRNS(png, info, layout.trnsAlpha.data(), static_cast<int>(layout.trnsAlpha.size()), nullptr);
    png_color_16 grayKey{};
    grayKey.gray = layout.grayTrnsValue;
    if (layout.grayTrns) png_set_tRNS(png, info, nullptr, 0, &grayKey);
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (auto& r : layout.rows) rows.push_back(r.data());
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

TEST(DecodePng, EveryColourTypeBecomesBgraPixels) {
    struct Case {
        const char* name;
        PngLayout layout;
        std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, row by row
    };
    std::vector<Case> cases;
    {
        PngLayout s;
        s.width = 2; s.height = 1; s.colorType = PNG_COLOR_TYPE_RGBA;
        s.rows = {{0x11, 0x22, 0x33, 0x44, 0xAA, 0xBB, 0xCC, 0xFF}};
        cases.push_back({"rgba8", s, {0x44112233, 0xFFAABBCC}});
    }
    {
        PngLayout s;
        s.width = 2; s.height = 1; s.colorType = PNG_COLOR_TYPE_RGB;
        s.rows = {{0x11, 0x22, 0x33, 0xAA, 0xBB, 0xCC}};
        cases.push_back({"rgb8 gets opaque alpha", s, {0xFF112233, 0xFFAABBCC}});
    }
    {
        PngLayout s;
        s.width = 1; s.height = 2; s.colorType = PNG_COLOR_TYPE_RGB; s.bitDepth = 16;
        s.rows = {{0x12, 0x00, 0x34, 0xFF, 0x56, 0x80}, {0xFF, 0xFF, 0x00, 0x00, 0x00, 0x01}};  // big-endian
        cases.push_back({"rgb16 reduced to 8", s, {0xFF123456, 0xFFFF0000}});
    }
    {
        PngLayout s;
        s.width = 8; s.height = 1; s.colorType = PNG_COLOR_TYPE_GRAY; s.bitDepth = 1;
        s.rows = {{0xA5}};  // 1010 0101
        cases.push_back({"gray1", s, {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFF000000, 0xFFFFFFFF,
                                      0xFF000000, 0xFFFFFFFF}});
    }
    {
        PngLayout s;
        s.width = 2; s.height = 1; s.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
        s.rows = {{0x40, 0x80, 0xC0, 0x00}};
        cases.push_back({"gray+alpha", s, {0x80404040, 0x00C0C0C0}});
    }
    {
        PngLayout s;
        s.width = 4; s.height = 1; s.colorType = PNG_COLOR_TYPE_PALETTE; s.bitDepth = 2;
        s.palette = {{0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0x00, 0x00, 0xFF}, {0x10, 0x20, 0x30}};
        s.trnsAlpha = {0x00, 0x80};
        s.rows = {{0x1B}};  // indexes 0 1 2 3
        cases.push_back({"palette2 with tRNS", s, {0x00FF0000, 0x8000FF00, 0xFF0000FF, 0xFF102030}});
    }
    {
        PngLayout s;
        s.width = 2; s.height = 1; s.colorType = PNG_COLOR_TYPE_GRAY; s.grayTrns = true; s.grayTrnsValue = 0x20;
        s.rows = {{0x20, 0x21}};
        cases.push_back({"gray with a transparent value", s, {0x00202020, 0xFF212121}});
    }
    {
        PngLayout s;  // 9 x 9 Adam7: every pass carries pixels
        s.width = 9; s.height = 9; s.colorType = PNG_COLOR_TYPE_RGB; s.interlaced = true;
        std::vector<std::uint32_t> expected;
        for (int y = 0; y < 9; ++y) {
            std::vector<png_byte> row;
            for (int x = 0; x < 9; ++x) {
                row.insert(row.end(), {static_cast<png_byte>(x * 20), static_cast<png_byte>(y * 20), 7});
                expected.push_back(0xFF000007u | (x * 20u) << 16 | (y * 20u) << 8);
            }
            s.rows.push_back(row);
        }
        cases.push_back({"interlaced", s, expected});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TPixelImage image;
        std::string error;
        ASSERT_TRUE(DecodePng(Encode(c.layout), image, &error)) << error;
        ASSERT_EQ(image.Width(), c.layout.width);
        ASSERT_EQ(image.Height(), c.layout.height);
        for (int i = 0; i < c.layout.width * c.layout.height; ++i)
            EXPECT_EQ(image.Data()[i], c.pixels[static_cast<std::size_t>(i)]) << std::hex << "pixel " << std::dec << i;
    }
}

// Builds a PNG chunk with a correct CRC.
std::string Chunk(const std::string& type, const std::string& data) {
    std::string out;
    const auto be32 = [&](std::uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<char>((v >> s) & 0xFF));
    };
    be32(static_cast<std::uint32_t>(data.size()));
    const std::string body = type + data;
    out += body;
    be32(static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
    return out;
}

std::string Ihdr(std::uint32_t w, std::uint32_t h) {
    std::string d;
    for (std::uint32_t v : {w, h})
        for (int s = 24; s >= 0; s -= 8) d.push_back(static_cast<char>((v >> s) & 0xFF));
    d += std::string("\x08\x06\x00\x00\x00", 5);
    return Chunk("IHDR", d);
}

TEST(DecodePng, BrokenDataFailsCleanly) {
    const std::string sig("\x89PNG\r\n\x1a\n", 8);
    PngLayout s;
    s.width = 4; s.height = 4; s.colorType = PNG_COLOR_TYPE_RGB;
    s.rows.assign(4, std::vector<png_byte>(12, 0x55));
    const std::string good = Encode(s);
    std::string badCrc = good;
    badCrc[30] ^= 0x01;  // inside IHDR's CRC
    std::string badData = good;
    badData[good.size() - 20] ^= 0x5A;  // inside the compressed data

    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"text", "not a picture at all"},
        {"signature only", sig},
        {"truncated in half", good.substr(0, good.size() / 2)},
        {"cut before IEND", good.substr(0, good.size() - 12)},
        {"bad CRC", badCrc},
        {"corrupted pixels", badData},
        {"huge width", sig + Ihdr(100000, 1) + Chunk("IEND", "")},
        {"zero size", sig + Ihdr(0, 0) + Chunk("IEND", "")},
        {"no IDAT", sig + Ihdr(2, 2) + Chunk("IEND", "")},
        {"beyond the side limit", sig + Ihdr(kMaxPngSide + 1, 2) + Chunk("IEND", "")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TPixelImage image(3, 3, 1);
        std::string error;
        EXPECT_FALSE(DecodePng(c.bytes, image, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(image.Empty());
    }
    TPixelImage image;
    EXPECT_TRUE(DecodePng(good, image));
}

TEST(DecodePng, TheProgramsPicturesHaveTheirSizesAndShapes) {
    const struct {
        const char* file;
        int size;
    } pictures[] = {{"start.png", 22}, {"prev.png", 16}, {"next.png", 16}, {"tray0.png", 16}, {"tray1.png", 16},
                    {"tray2.png", 16}, {"tray3.png", 16}, {"tray4.png", 16}, {"tray5.png", 16}};
    std::vector<TPixelImage> decoded;
    for (const auto& p : pictures) {
        SCOPED_TRACE(p.file);
        TPixelImage image;
        std::string error;
        ASSERT_TRUE(DecodePng(ReadSourceFile(std::string("resources/") + p.file), image, &error)) << error;
        EXPECT_EQ(image.Width(), p.size);
        EXPECT_EQ(image.Height(), p.size);
        int opaque = 0, clear = 0;
        for (int i = 0; i < p.size * p.size; ++i) {
            const std::uint32_t a = image.Data()[i] >> 24;
            opaque += a == 0xFF;
            clear += a == 0;
        }
        EXPECT_GT(opaque, p.size * p.size / 8) << "a picture, not an empty frame";
        EXPECT_GT(clear, 0) << "shaped, with see-through corners";
        decoded.push_back(image);
    }
    for (std::size_t i = 0; i < decoded.size(); ++i)
        for (std::size_t j = i + 1; j < decoded.size(); ++j) EXPECT_NE(decoded[i], decoded[j]) << i << " and " << j;
    // The arrows point opposite ways: each one's mirror image is near the other.
    const TPixelImage& prev = decoded[1];
    const TPixelImage& next = decoded[2];
    int leftMass = 0, rightMass = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) {
            leftMass += static_cast<int>(prev.Pixel(x, y) >> 24) - static_cast<int>(next.Pixel(x, y) >> 24);
            rightMass += static_cast<int>(next.Pixel(15 - x, y) >> 24) - static_cast<int>(prev.Pixel(15 - x, y) >> 24);
        }
    EXPECT_LT(leftMass, 0) << "the previous arrow's tip is narrow on the left";
    EXPECT_LT(rightMass, 0);
}

TEST(TPngImageCollection, IndexesAndSizes) {
    TPngImageCollection pngImages;
    EXPECT_TRUE(pngImages.Items(0).Empty());
    std::string error;
    EXPECT_TRUE(pngImages.AddPng(ReadSourceFile("resources/start.png"), &error)) << error;
    EXPECT_FALSE(pngImages.AddPng("garbage", &error));
    EXPECT_EQ(pngImages.Count(), 1);
    EXPECT_EQ(pngImages.Items(0).Width(), 22);
    EXPECT_TRUE(pngImages.Items(1).Empty());
    EXPECT_TRUE(pngImages.Items(-1).Empty());

    TPngImageList icons(16, 16);
    EXPECT_FALSE(icons.AddPng(ReadSourceFile("resources/start.png"), &error)) << "22 x 22 is no tray icon";
    EXPECT_EQ(error, "picture of the wrong size");
    EXPECT_TRUE(icons.AddPng(ReadSourceFile("resources/tray0.png"), &error)) << error;
    EXPECT_EQ(icons.Count(), 1);
    icons.Clear();
    EXPECT_EQ(icons.Count(), 0);
}

TEST(Premultiplied, ScalesColourByAlpha) {
    TPixelImage image(3, 1);
    image.SetPixel(0, 0, 0xFFFF8040);
    image.SetPixel(1, 0, 0x80FF8040);
    image.SetPixel(2, 0, 0x00FF8040);
    const TPixelImage p = Premultiplied(image);
    EXPECT_EQ(p.Pixel(0, 0), 0xFFFF8040u);
    EXPECT_EQ(p.Pixel(1, 0), 0x80804020u);
    EXPECT_EQ(p.Pixel(2, 0), 0x00000000u);
}

TEST(ResizedImage, AveragesTheAreaEachPixelCovers) {
    TPixelImage two(2, 2);
    two.SetPixel(0, 0, 0xFFFF0000);
    two.SetPixel(1, 0, 0xFF0000FF);
    two.SetPixel(0, 1, 0xFFFF0000);
    two.SetPixel(1, 1, 0x0000FF00);  // see-through green lends no green
    const TPixelImage one = ResizedImage(two, 1, 1);
    EXPECT_EQ(one.Pixel(0, 0), 0xBFAA0055u) << "3/4 opaque, two parts red to one part blue";

    // 4 columns into 3: the middle column takes half of source columns 1 and 2.
    TPixelImage row(4, 1);
    const std::uint32_t columns[] = {0xFF000000, 0xFF000040, 0xFF000080, 0xFF0000C0};
    for (int x = 0; x < 4; ++x) row.SetPixel(x, 0, columns[x]);
    const TPixelImage three = ResizedImage(row, 3, 1);
    EXPECT_EQ(three.Pixel(0, 0), 0xFF000010u);  // (3 x 0 + 1 x 0x40) / 4
    EXPECT_EQ(three.Pixel(1, 0), 0xFF000060u);  // (2 x 0x40 + 2 x 0x80) / 4
    EXPECT_EQ(three.Pixel(2, 0), 0xFF0000B0u);

    EXPECT_EQ(ResizedImage(row, 4, 1), row) << "the same size comes back untouched";
    EXPECT_EQ(ResizedImage(TPixelImage(1, 1, 0xFF123456), 3, 2), TPixelImage(3, 2, 0xFF123456));
    EXPECT_TRUE(ResizedImage(row, 0, 5).Empty());
}

TEST(ResizedImage, TheBarsPicturesDrawnAtTwiceTheSizeMatchTheirOriginals) {
    for (const char* name : {"start", "prev", "next", "tile"}) {
        SCOPED_TRACE(name);
        TPixelImage one, two;
        ASSERT_TRUE(DecodePng(ReadSourceFile(std::string("resources/") + name + ".png"), one));
        ASSERT_TRUE(DecodePng(ReadSourceFile(std::string("resources/") + name + "@2x.png"), two));
        ASSERT_EQ(two.Width(), 2 * one.Width());
        ASSERT_EQ(two.Height(), 2 * one.Height());
        // Drawn down to 1x, the finer drawing stays within a few levels of the 1x one on average.
        const TPixelImage down = Premultiplied(ResizedImage(two, one.Width(), one.Height()));
        const TPixelImage original = Premultiplied(one);
        long difference = 0;
        for (int y = 0; y < one.Height(); ++y)
            for (int x = 0; x < one.Width(); ++x)
                for (int shift = 0; shift < 32; shift += 8)
                    difference += std::abs(int((down.Pixel(x, y) >> shift) & 0xFF) - int((original.Pixel(x, y) >> shift) & 0xFF));
        EXPECT_LE(difference / (one.Width() * one.Height() * 4), 3);
    }
}

}  // namespace
}  // namespace tw
