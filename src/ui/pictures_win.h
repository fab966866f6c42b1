// The stored pictures, made ready for the windows: the banner decoded from its
// JPEG resource, the padlock icon and the list view's state images.
#pragma once

#include <windows.h>
#include <commctrl.h>

// The banner as a 32-bit bitmap of its own size; null when it cannot be
// decoded (the window then opens without a banner). Made once, kept for the run.
HBITMAP bannerBitmap();
// The 32 x 32 padlock with its alpha channel. Made once, kept for the run.
HICON padlockIcon();
// A new image list of the three 12 x 13 state images (online, offline, not
// yet probed) with a transparency mask.
HIMAGELIST makeStateImageList();
