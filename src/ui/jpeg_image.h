// Decoding of a JPEG picture held in memory (the main window's banner) into
// top-down 32-bit BGRA pixels, ready to be copied into a DIB section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgra;  // top-down rows, 4 bytes a pixel, alpha 255
};

// Largest picture accepted, per side and in all. A header claiming more is
// refused before any pixel memory is taken.
constexpr int kMaxJpegSide = 8192;
constexpr long long kMaxJpegPixels = 4096LL * 4096LL;

// Decodes the JPEG stream data[0, size) into out. Greyscale, YCbCr, RGB,
// CMYK and YCCK streams, baseline or progressive, are accepted and given as
// BGRA with alpha 255.
//
// Returns false, leaving out empty, for anything that does not decode
// cleanly: an empty or damaged stream, a truncated one, corrupt entropy data
// (any warning of the library counts as damage: a half-grey picture is not
// shown), or a picture larger than the limits above. Never prints, never
// ends the process.
bool decodeJpeg(const std::uint8_t* data, std::size_t size, DecodedImage& out);
