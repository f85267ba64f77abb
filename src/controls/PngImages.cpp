#include "controls/PngImages.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

namespace tw {

namespace {

struct ReadSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* src = static_cast<ReadSource*>(png_get_io_ptr(png));
    if (length > src->size - src->pos) png_error(png, "unexpected end of data");
    std::memcpy(out, src->data + src->pos, length);
    src->pos += length;
}

struct ErrorSink {
    std::string message;
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* sink = static_cast<ErrorSink*>(png_get_error_ptr(png));
    if (sink) sink->message = message ? message : "PNG error";
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Everything libpng allocates lives here so that a longjmp out of a failed read frees it.
struct Decoder {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Decoder() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

// The libpng calls between setjmp and the end. No object with a destructor may be made in
// here (a longjmp back to the setjmp would skip it): everything lives in the caller's frame.
bool ReadImage(Decoder& d, ReadSource& src, std::vector<std::uint8_t>& rgba, std::vector<png_bytep>& rows,
               png_uint_32& width, png_uint_32& height, std::string& why) {
    if (setjmp(png_jmpbuf(d.png))) return false;
    png_set_read_fn(d.png, &src, ReadFromMemory);
    png_set_user_limits(d.png, kMaxPngSide, kMaxPngSide);
    png_read_info(d.png, d.info);
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(d.png, d.info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
    if (width == 0 || height == 0 || width > kMaxPngSide || height > kMaxPngSide) {
        why = "unsupported picture size";
        return false;
    }
    // Every colour type becomes 8-bit BGRA, the platform's pixel order.
    png_set_expand(d.png);
    png_set_strip_16(d.png);
    png_set_gray_to_rgb(d.png);
    png_set_bgr(d.png);
    png_set_add_alpha(d.png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(d.png);
    png_read_update_info(d.png, d.info);
    if (png_get_rowbytes(d.png, d.info) != static_cast<png_size_t>(width) * 4) {
        why = "unexpected row layout";
        return false;
    }
    rgba.resize(static_cast<std::size_t>(width) * height * 4);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = rgba.data() + static_cast<std::size_t>(y) * width * 4;
    png_read_image(d.png, rows.data());
    png_read_end(d.png, nullptr);
    return true;
}

}  // namespace

bool DecodePng(const std::uint8_t* data, std::size_t size, TPixelImage& out, std::string* error) {
    out = TPixelImage();
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return Fail(error, "not a PNG file");
    ErrorSink sink;
    Decoder d;
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &sink, OnPngError, OnPngWarning);
    if (!d.png) return Fail(error, "out of memory");
    d.info = png_create_info_struct(d.png);
    if (!d.info) return Fail(error, "out of memory");
    ReadSource src{data, size, 0};
    std::vector<std::uint8_t> rgba;
    std::vector<png_bytep> rows;
    png_uint_32 width = 0, height = 0;
    std::string why;
    if (!ReadImage(d, src, rgba, rows, width, height, why))
        return Fail(error, why.empty() ? (sink.message.empty() ? "invalid PNG" : sink.message) : why);
    TPixelImage image(static_cast<int>(width), static_cast<int>(height));
    std::memcpy(image.Data(), rgba.data(), rgba.size());
    out = std::move(image);
    return true;
}

bool DecodePng(const std::string& bytes, TPixelImage& out, std::string* error) {
    return DecodePng(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out, error);
}

TPixelImage Premultiplied(const TPixelImage& image) {
    TPixelImage out = image;
    for (int y = 0; y < out.Height(); ++y) {
        std::uint32_t* row = out.Row(y);
        for (int x = 0; x < out.Width(); ++x) {
            const std::uint32_t px = row[x];
            const std::uint32_t a = px >> 24;
            auto scale = [a](std::uint32_t c) { return (c * a + 127) / 255; };
            row[x] = (a << 24) | (scale((px >> 16) & 0xFF) << 16) | (scale((px >> 8) & 0xFF) << 8) | scale(px & 0xFF);
        }
    }
    return out;
}

namespace {

// How much of source column (or row) `i` lies under target cell `t` when `from` cells are spread
// over `to`: the overlap of [i, i + 1) and [t * from / to, (t + 1) * from / to), in units of 1/to.
int Overlap(int i, int t, int from, int to) {
    const int lo = std::max(i * to, t * from);
    const int hi = std::min((i + 1) * to, (t + 1) * from);
    return std::max(0, hi - lo);
}

}  // namespace

TPixelImage ResizedImage(const TPixelImage& image, int width, int height) {
    if (width < 1 || height < 1 || image.Empty()) return TPixelImage();
    if (width == image.Width() && height == image.Height()) return image;
    const int sw = image.Width(), sh = image.Height();
    TPixelImage out(width, height);
    for (int ty = 0; ty < height; ++ty) {
        const int y0 = ty * sh / height, y1 = std::min(sh, ((ty + 1) * sh + height - 1) / height);
        for (int tx = 0; tx < width; ++tx) {
            const int x0 = tx * sw / width, x1 = std::min(sw, ((tx + 1) * sw + width - 1) / width);
            // Sums of weight, alpha x weight and alpha x colour x weight, in 64 bits.
            std::uint64_t area = 0, alpha = 0, red = 0, green = 0, blue = 0;
            for (int y = y0; y < y1; ++y) {
                const int wy = Overlap(y, ty, sh, height);
                const std::uint32_t* row = image.Row(y);
                for (int x = x0; x < x1; ++x) {
                    const std::uint64_t w = std::uint64_t(wy) * Overlap(x, tx, sw, width);
                    const std::uint32_t px = row[x];
                    const std::uint64_t aw = (px >> 24) * w;
                    area += w;
                    alpha += aw;
                    red += ((px >> 16) & 0xFF) * aw;
                    green += ((px >> 8) & 0xFF) * aw;
                    blue += (px & 0xFF) * aw;
                }
            }
            std::uint32_t pixel = 0;
            if (alpha > 0) {
                const auto mean = [alpha](std::uint64_t sum) { return std::uint32_t((sum + alpha / 2) / alpha); };
                const std::uint32_t a = std::uint32_t((alpha + area / 2) / area);
                pixel = (a << 24) | (mean(red) << 16) | (mean(green) << 8) | mean(blue);
            }
            out.Row(ty)[tx] = pixel;
        }
    }
    return out;
}

const TPixelImage& TPngImageCollection::Items(int index) const {
    static const TPixelImage none;
    return index >= 0 && index < Count() ? items_[static_cast<std::size_t>(index)] : none;
}

bool TPngImageCollection::Add(TPixelImage image) {
    items_.push_back(std::move(image));
    return true;
}

bool TPngImageCollection::AddPng(const std::string& bytes, std::string* error) {
    TPixelImage image;
    if (!DecodePng(bytes, image, error)) return false;
    if (!Add(std::move(image))) {
        if (error) *error = "picture of the wrong size";
        return false;
    }
    return true;
}

void TPngImageCollection::Clear() { items_.clear(); }

bool TPngImageList::Add(TPixelImage image) {
    if (image.Width() != width_ || image.Height() != height_) return false;
    return TPngImageCollection::Add(std::move(image));
}

}  // namespace tw
