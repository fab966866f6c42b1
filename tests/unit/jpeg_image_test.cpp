// Unit tests of the JPEG decoder: the stored banner, the colour spaces and
// channel order (on small pictures encoded here with libjpeg), the size
// limits, and damaged streams, which must give false and never crash.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "ui/jpeg_image.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readBanner() {
  std::ifstream in(std::string(RDP_SOURCE_DIR) + "/assets/banner.jpg", std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Encoding {
  J_COLOR_SPACE input = JCS_RGB;   // what the samples below are
  int components = 3;
  J_COLOR_SPACE stored = JCS_UNKNOWN;  // JCS_UNKNOWN: libjpeg's default for the input
  bool adobeMarker = true;         // only changed for CMYK
  bool progressive = false;
  int quality = 100;
};

// A picture of one colour, encoded in memory.
Bytes encodeSolid(int width, int height, const std::vector<std::uint8_t>& sample,
                  const Encoding& how) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = how.components;
  cinfo.in_color_space = how.input;
  jpeg_set_defaults(&cinfo);
  if (how.stored != JCS_UNKNOWN) jpeg_set_colorspace(&cinfo, how.stored);
  cinfo.write_Adobe_marker = how.adobeMarker ? cinfo.write_Adobe_marker : FALSE;
  jpeg_set_quality(&cinfo, how.quality, TRUE);
  if (how.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row;
  for (int x = 0; x < width; ++x) row.insert(row.end(), sample.begin(), sample.end());
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

// Offset of the first marker 0xFF code at or after from, or npos.
std::size_t findMarker(const Bytes& data, std::uint8_t code, std::size_t from = 0) {
  for (std::size_t i = from; i + 1 < data.size(); ++i)
    if (data[i] == 0xFF && data[i + 1] == code) return i;
  return std::string::npos;
}

void expectWellFormed(const DecodedImage& image) {
  ASSERT_GT(image.width, 0);
  ASSERT_GT(image.height, 0);
  ASSERT_EQ(image.bgra.size(), static_cast<std::size_t>(image.width) * image.height * 4);
  for (std::size_t i = 3; i < image.bgra.size(); i += 4) ASSERT_EQ(image.bgra[i], 255) << "pixel " << i / 4;
}

TEST(JpegImage, StoredBannerDecodesAtItsSize) {
  const Bytes banner = readBanner();
  ASSERT_FALSE(banner.empty()) << "assets/banner.jpg not found";
  DecodedImage image;
  ASSERT_TRUE(decodeJpeg(banner.data(), banner.size(), image));
  EXPECT_EQ(image.width, 265);
  EXPECT_EQ(image.height, 64);
  EXPECT_EQ(image.bgra.size(), 265u * 64u * 4u);
  expectWellFormed(image);
  // The banner is a blue gradient: its top-left corner is mostly blue.
  EXPECT_GT(image.bgra[0], image.bgra[2] + 40);
}

struct ColourCase {
  const char* name;
  Encoding how;
  std::vector<std::uint8_t> sample;  // in the encoding's input space
  std::uint8_t r, g, b;              // the colour the decoder must give
};

TEST(JpegImage, ColourSpacesBecomeBgra) {
  const std::vector<ColourCase> cases = {
      {"rgb", {JCS_RGB, 3}, {200, 40, 10}, 200, 40, 10},
      {"rgb progressive", {JCS_RGB, 3, JCS_UNKNOWN, true, true}, {30, 90, 220}, 30, 90, 220},
      {"rgb stored as rgb", {JCS_RGB, 3, JCS_RGB}, {10, 220, 120}, 10, 220, 120},
      {"greyscale", {JCS_GRAYSCALE, 1}, {77}, 77, 77, 77},
      // Adobe CMYK stores the inks inverted: 255 means no ink. Red is no
      // cyan, full magenta and yellow, no black.
      {"adobe cmyk", {JCS_CMYK, 4}, {255, 0, 0, 255}, 255, 0, 0},
      {"adobe ycck", {JCS_CMYK, 4, JCS_YCCK}, {255, 255, 0, 255}, 255, 255, 0},
      // Without the Adobe marker the inks are stored plainly.
      {"plain cmyk", {JCS_CMYK, 4, JCS_UNKNOWN, false}, {255, 0, 0, 0}, 0, 255, 255},
      {"cmyk with black", {JCS_CMYK, 4, JCS_UNKNOWN, false}, {0, 0, 0, 128}, 127, 127, 127},
  };
  for (const ColourCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes jpeg = encodeSolid(19, 11, c.sample, c.how);
    DecodedImage image;
    ASSERT_TRUE(decodeJpeg(jpeg.data(), jpeg.size(), image));
    EXPECT_EQ(image.width, 19);
    EXPECT_EQ(image.height, 11);
    expectWellFormed(image);
    for (std::size_t i = 0; i < image.bgra.size(); i += 4) {
      ASSERT_NEAR(image.bgra[i + 0], c.b, 3) << "blue of pixel " << i / 4;
      ASSERT_NEAR(image.bgra[i + 1], c.g, 3) << "green of pixel " << i / 4;
      ASSERT_NEAR(image.bgra[i + 2], c.r, 3) << "red of pixel " << i / 4;
    }
  }
}

TEST(JpegImage, RowsAreTopDown) {
  // Top half white, bottom half black, in one greyscale stream.
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = 8;
  cinfo.image_height = 32;
  cinfo.input_components = 1;
  cinfo.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 100, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> white(8, 255), black(8, 0);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW rows[1] = {cinfo.next_scanline < 16 ? white.data() : black.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  const Bytes jpeg(buffer, buffer + size);
  std::free(buffer);

  DecodedImage image;
  ASSERT_TRUE(decodeJpeg(jpeg.data(), jpeg.size(), image));
  ASSERT_EQ(image.height, 32);
  EXPECT_GT(image.bgra[0], 240);                         // first row: white
  EXPECT_LT(image.bgra[(31 * 8) * 4], 15);               // last row: black
}

TEST(JpegImage, SizeLimits) {
  struct SizeCase {
    int width, height;
    bool accepted;
  };
  const std::vector<SizeCase> cases = {
      {kMaxJpegSide, 2, true},
      {kMaxJpegSide + 1, 1, false},
      {1, kMaxJpegSide + 1, false},
      // under the side limit both ways, over the pixel count
      {4097, 4097, false},
  };
  Encoding grey{JCS_GRAYSCALE, 1};
  grey.quality = 10;
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    const Bytes jpeg = encodeSolid(c.width, c.height, {128}, grey);
    DecodedImage image;
    EXPECT_EQ(decodeJpeg(jpeg.data(), jpeg.size(), image), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(image.width, c.width);
      EXPECT_EQ(image.height, c.height);
    } else {
      EXPECT_TRUE(image.bgra.empty());
    }
  }
}

TEST(JpegImage, DamagedStreamsGiveFalse) {
  const Bytes banner = readBanner();
  ASSERT_GT(banner.size(), 1000u);
  const std::size_t scan = findMarker(banner, 0xDA);  // start of scan
  ASSERT_NE(scan, std::string::npos);
  const std::size_t scanData = scan + 2 + (banner[scan + 2] << 8 | banner[scan + 3]);
  auto cut = [&](std::size_t n) { return Bytes(banner.begin(), banner.begin() + n); };
  auto patched = [&](std::size_t at, const Bytes& with) {
    Bytes b = banner;
    std::copy(with.begin(), with.end(), b.begin() + at);
    return b;
  };
  auto inserted = [&](std::size_t at, const Bytes& with) {
    Bytes b = banner;
    b.insert(b.begin() + at, with.begin(), with.end());
    return b;
  };

  // A small stream whose frame header claims 60000 x 60000 pixels.
  Bytes enormous = encodeSolid(8, 8, {1, 2, 3}, Encoding{});
  const std::size_t sof = findMarker(enormous, 0xC0);
  ASSERT_NE(sof, std::string::npos);
  enormous[sof + 5] = 0xEA;  // height 0xEA60
  enormous[sof + 6] = 0x60;
  enormous[sof + 7] = 0xEA;  // width
  enormous[sof + 8] = 0x60;

  struct DamageCase {
    const char* name;
    Bytes data;
  };
  const std::vector<DamageCase> cases = {
      {"empty", {}},
      {"random bytes", {0x13, 0x9A, 0x00, 0xFE, 0x42, 0x77, 0xC1, 0x08, 0x5D}},
      {"start marker alone", {0xFF, 0xD8}},
      {"start then end, no image", {0xFF, 0xD8, 0xFF, 0xD9}},
      {"start then garbage", {0xFF, 0xD8, 0xFF, 0x13, 0x9A, 0x00, 0xFE, 0x42}},
      {"cut after 3 bytes", cut(3)},
      {"cut inside the headers", cut(scan / 2)},
      {"headers only", cut(scanData)},
      {"cut at half", cut(banner.size() / 2)},
      {"end marker missing", cut(banner.size() - 2)},
      {"start marker damaged", patched(1, {0x00})},
      {"start marker zeroed", patched(0, {0x00, 0x00})},
      {"end marker inside the scan", inserted(scanData + 200, {0xFF, 0xD9})},
      {"stray marker inside the scan", inserted(scanData + 300, {0xFF, 0xC4, 0x00, 0x02})},
      {"frame header claims 60000 x 60000", enormous},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    DecodedImage image;
    image.width = 7;
    image.height = 7;
    image.bgra.assign(7 * 7 * 4, 9);
    EXPECT_FALSE(decodeJpeg(c.data.empty() ? nullptr : c.data.data(), c.data.size(), image));
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_TRUE(image.bgra.empty());
  }
  // A null pointer with a length and a valid pointer with no length.
  DecodedImage image;
  EXPECT_FALSE(decodeJpeg(nullptr, banner.size(), image));
  EXPECT_FALSE(decodeJpeg(banner.data(), 0, image));
}

TEST(JpegImage, EveryTruncationAndByteDamageIsSurvived) {
  const Bytes banner = readBanner();
  ASSERT_FALSE(banner.empty());
  // Every cut short of the whole stream is refused.
  for (std::size_t n = 0; n < banner.size(); n += 37) {
    DecodedImage image;
    EXPECT_FALSE(decodeJpeg(banner.data(), n, image)) << "cut at " << n;
  }
  // A damaged byte anywhere either is refused or gives a whole picture.
  for (std::size_t at = 0; at < banner.size(); at += 23) {
    for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}, std::uint8_t(banner[at] ^ 0x5A)}) {
      Bytes damaged = banner;
      damaged[at] = value;
      DecodedImage image;
      if (decodeJpeg(damaged.data(), damaged.size(), image)) {
        SCOPED_TRACE("byte " + std::to_string(at));
        expectWellFormed(image);
      } else {
        ASSERT_TRUE(image.bgra.empty()) << "byte " << at;
      }
    }
  }
}

}  // namespace
