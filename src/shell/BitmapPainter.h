#pragma once
// One frame of an animation: an image and its mask, loaded from the program's
// resources for one paint. The mask is black where the image is opaque and
// white where the window shows through.

#include "foundation/Handle.h"

#include <windows.h>

class CBitmapPainter {
public:
    // A bitmap that cannot be loaded stays null: no image draws nothing, no
    // mask draws the image opaque.
    void Load(HWND window, UINT imageId, UINT maskId);
    void Draw(HDC dc, int x, int y);
    void Release();

private:
    CGdiObject m_image;
    CGdiObject m_mask;
};
