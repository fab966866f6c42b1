// The stored pictures out of the program's resources.
#include "ui/pictures_win.h"

#include <cstring>

#include "app/resource_ids.h"
#include "ui/jpeg_image.h"

namespace {

HBITMAP bitmapFromImage(const DecodedImage& image) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (!bitmap || !pixels) return nullptr;
  std::memcpy(pixels, image.bgra.data(), image.bgra.size());
  return bitmap;
}

HBITMAP loadBanner() {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(IDR_BANNER_JPEG), RT_RCDATA);
  if (!resource) return nullptr;
  HGLOBAL loaded = LoadResource(module, resource);
  DWORD size = SizeofResource(module, resource);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return nullptr;
  DecodedImage image;
  if (!decodeJpeg(static_cast<const std::uint8_t*>(data), size, image)) return nullptr;
  return bitmapFromImage(image);
}

}  // namespace

HBITMAP bannerBitmap() {
  static HBITMAP banner = loadBanner();
  return banner;
}

HICON padlockIcon() {
  static HICON icon = static_cast<HICON>(LoadImageW(
      GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PADLOCK), IMAGE_ICON, 32, 32, 0));
  return icon;
}

HIMAGELIST makeStateImageList() {
  HIMAGELIST list = ImageList_Create(RDP_STATE_IMAGE_WIDTH, RDP_STATE_IMAGE_HEIGHT,
                                     ILC_COLOR24 | ILC_MASK, RDP_STATE_IMAGE_COUNT, 0);
  if (!list) return nullptr;
  HBITMAP strip = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                                  MAKEINTRESOURCEW(IDB_STATE_IMAGES), IMAGE_BITMAP,
                                                  0, 0, LR_CREATEDIBSECTION));
  if (strip) {
    ImageList_AddMasked(list, strip, RDP_STATE_IMAGE_MASK_COLOUR);
    DeleteObject(strip);
  }
  return list;
}
