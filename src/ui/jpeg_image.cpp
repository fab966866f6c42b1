// JPEG decoding through the IJG libjpeg API with every failure turned into a
// return value: the library's fatal-error handler jumps back here instead of
// ending the process, its warnings count as damage, and it never prints.
#include "ui/jpeg_image.h"

#include <csetjmp>
#include <climits>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <new>
#include <utility>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;  // first member: libjpeg sees a jpeg_error_mgr*
    std::jmp_buf back;
};

[[noreturn]] void jumpBack(j_common_ptr cinfo)
{
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(err->back, 1);
}

void onMessage(j_common_ptr cinfo, int level)
{
    // Level -1 is a warning: corrupt or missing data that the library would
    // paper over. Positive levels are trace messages and are dropped.
    if (level < 0)
        jumpBack(cinfo);
}

void silence(j_common_ptr) {}

// Destroys the decompressor however the decoding ends.
struct DecompressGuard {
    jpeg_decompress_struct* cinfo;
    ~DecompressGuard() { jpeg_destroy_decompress(cinfo); }
};

std::uint8_t clampByte(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Converts one decoded scanline to BGRA. Adobe CMYK streams store the inks
// inverted (255 = no ink), the others plainly.
void storeRow(const JSAMPLE* in, int components, bool invertedInks, JDIMENSION width,
              std::uint8_t* out)
{
    for (JDIMENSION x = 0; x < width; ++x, in += components, out += 4) {
        if (components == 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        } else {
            int c = in[0], m = in[1], y = in[2], k = in[3];
            if (!invertedInks) {
                c = 255 - c;
                m = 255 - m;
                y = 255 - y;
                k = 255 - k;
            }
            // c, m, y, k now hold the light each ink lets through.
            out[0] = clampByte((y * k + 127) / 255);
            out[1] = clampByte((m * k + 127) / 255);
            out[2] = clampByte((c * k + 127) / 255);
        }
        out[3] = 255;
    }
}

// Everything that may jump back lives in this frame, which holds no object
// with a destructor: pixels and the decompressor belong to the caller, which
// destroys the decompressor on every way out.
bool decodeInto(jpeg_decompress_struct& cinfo, ErrorManager& err, const std::uint8_t* data,
                std::size_t size, std::vector<std::uint8_t>& pixels, int& width, int& height)
{
    if (setjmp(err.back) != 0)
        return false;

    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
        return false;
    if (cinfo.image_width == 0 || cinfo.image_height == 0 ||
        cinfo.image_width > static_cast<JDIMENSION>(kMaxJpegSide) ||
        cinfo.image_height > static_cast<JDIMENSION>(kMaxJpegSide) ||
        static_cast<long long>(cinfo.image_width) * cinfo.image_height > kMaxJpegPixels)
        return false;

    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&cinfo);

    const int components = cinfo.output_components;
    if (components != (cmyk ? 4 : 3) || cinfo.output_width != cinfo.image_width ||
        cinfo.output_height != cinfo.image_height)
        return false;

    pixels.resize(static_cast<std::size_t>(cinfo.output_width) * cinfo.output_height * 4);
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                cinfo.output_width * components, 1);
    const std::size_t stride = static_cast<std::size_t>(cinfo.output_width) * 4;
    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION y = cinfo.output_scanline;
        if (jpeg_read_scanlines(&cinfo, row, 1) != 1)
            return false;
        storeRow(row[0], components, cmyk && cinfo.saw_Adobe_marker, cinfo.output_width,
                 pixels.data() + y * stride);
    }
    jpeg_finish_decompress(&cinfo);

    width = static_cast<int>(cinfo.output_width);
    height = static_cast<int>(cinfo.output_height);
    return true;
}

}  // namespace

bool decodeJpeg(const std::uint8_t* data, std::size_t size, DecodedImage& out)
{
    out = DecodedImage{};
    if (data == nullptr || size == 0 || size > ULONG_MAX)
        return false;

    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = jumpBack;
    err.pub.emit_message = onMessage;
    err.pub.output_message = silence;

    std::vector<std::uint8_t> pixels;
    int width = 0;
    int height = 0;
    bool ok = false;
    try {
        // Safe on a decompressor that was never created: cinfo starts zeroed.
        DecompressGuard guard{&cinfo};
        ok = decodeInto(cinfo, err, data, size, pixels, width, height);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok)
        return false;

    out.width = width;
    out.height = height;
    out.bgra = std::move(pixels);
    return true;
}
