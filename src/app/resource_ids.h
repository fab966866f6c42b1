/* Identifiers of the program's resources. Plain #defines so that both the
   resource compiler and the C++ code can include this file. */
#ifndef RDP_APP_RESOURCE_IDS_H
#define RDP_APP_RESOURCE_IDS_H

/* The main window's banner, 265 x 64 baseline JPEG, stored as RCDATA. */
#define IDR_BANNER_JPEG 101

/* The padlock of the two password windows: one 32 x 32 image, 32-bit
   colour with alpha. Load with LoadImageW(..., IMAGE_ICON, 32, 32, 0). */
#define IDI_PADLOCK 102

/* The list view's state images: one 24-bit strip of 36 x 13 pixels holding
   three 12 x 13 pictures side by side, in image-list order: 0 online (green
   screen), 1 offline (red), 2 not yet probed (yellow). Magenta is the
   transparency colour: ImageList_Create(12, 13, ILC_COLOR24 | ILC_MASK, 3, 0)
   then ImageList_AddMasked(list, bitmap, RDP_STATE_IMAGE_MASK_COLOUR) adds
   all three. */
#define IDB_STATE_IMAGES 103
#define RDP_STATE_IMAGE_WIDTH 12
#define RDP_STATE_IMAGE_HEIGHT 13
#define RDP_STATE_IMAGE_COUNT 3
#define RDP_STATE_IMAGE_MASK_COLOUR RGB(255, 0, 255)

#endif
