#include "shell/BitmapPainter.h"

namespace {

SIZE SizeOf(HGDIOBJ bitmap) {
    BITMAP info = {};
    ::GetObjectW(bitmap, sizeof info, &info);
    return {info.bmWidth, info.bmHeight};
}

HGDIOBJ LoadBitmapResource(HINSTANCE instance, UINT id) {
    return ::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTSIZE);
}

} // namespace

void CBitmapPainter::Load(HWND window, UINT imageId, UINT maskId) {
    Release();
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window, GWLP_HINSTANCE));
    m_image.Reset(LoadBitmapResource(instance, imageId));
    m_mask.Reset(LoadBitmapResource(instance, maskId));
}

void CBitmapPainter::Draw(HDC dc, int x, int y) {
    if (!m_image) return;
    CMemDc memory(::CreateCompatibleDC(nullptr));
    if (!memory) return;
    SIZE image = SizeOf(m_image.Get());
    if (!m_mask) {
        CSelection selected(memory.Get(), m_image.Get());
        ::BitBlt(dc, x, y, image.cx, image.cy, memory.Get(), 0, 0, SRCCOPY);
        return;
    }
    // Composed off screen from what the window shows under the frame, then
    // copied in one step, so no half-drawn frame is ever seen. The image is
    // white where it is transparent, so OR-ing the mask and AND-ing the image
    // would leave a white square and tint the image by the background; XOR,
    // AND with the mask, XOR again gives the image where the mask is black and
    // the background unchanged where it is white.
    CMemDc work(::CreateCompatibleDC(dc));
    CGdiObject canvas(::CreateCompatibleBitmap(dc, image.cx, image.cy));
    if (!work || !canvas) return;
    CSelection onCanvas(work.Get(), canvas.Get());
    ::BitBlt(work.Get(), 0, 0, image.cx, image.cy, dc, x, y, SRCCOPY);
    SIZE mask = SizeOf(m_mask.Get());
    {
        CSelection selected(memory.Get(), m_image.Get());
        ::BitBlt(work.Get(), 0, 0, image.cx, image.cy, memory.Get(), 0, 0, SRCINVERT);
    }
    {
        CSelection selected(memory.Get(), m_mask.Get());
        ::BitBlt(work.Get(), 0, 0, mask.cx, mask.cy, memory.Get(), 0, 0, SRCAND);
    }
    {
        CSelection selected(memory.Get(), m_image.Get());
        ::BitBlt(work.Get(), 0, 0, image.cx, image.cy, memory.Get(), 0, 0, SRCINVERT);
    }
    ::BitBlt(dc, x, y, image.cx, image.cy, work.Get(), 0, 0, SRCCOPY);
}

void CBitmapPainter::Release() {
    m_image.Reset();
    m_mask.Reset();
}
