#include "controls/png_image_win32.h"

#include <gdiplus.h>

#include <cstring>
#include <mutex>

#include "controls/premultiply.h"

namespace rk {
namespace {

// GDI+ is started by the first image that decodes and shut down when the
// last such image goes away.
class GdiplusSession {
 public:
  static bool Acquire() {
    std::lock_guard lock(Mutex());
    if (Count() == 0) {
      Gdiplus::GdiplusStartupInput input;  // version 1, default options
      if (Gdiplus::GdiplusStartup(&Token(), &input, nullptr) != Gdiplus::Ok) return false;
    }
    ++Count();
    return true;
  }
  static void Release() {
    std::lock_guard lock(Mutex());
    if (Count() > 0 && --Count() == 0) Gdiplus::GdiplusShutdown(Token());
  }

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  static int& Count() {
    static int count = 0;
    return count;
  }
  static ULONG_PTR& Token() {
    static ULONG_PTR token = 0;
    return token;
  }
};

}  // namespace

CPngImage::~CPngImage() {
  // The stream goes before the memory it reads.
  if (m_pStream != nullptr) m_pStream->Release();
  if (m_hBuffer != nullptr) {
    GlobalUnlock(m_hBuffer);
    GlobalFree(m_hBuffer);
  }
  if (m_image.bitmap != nullptr) DeleteObject(m_image.bitmap);
  if (m_bGdiplusHeld) GdiplusSession::Release();
}

bool CPngImage::Load(UINT resourceId) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(resourceId), "PNG");
  if (resource == nullptr) return false;
  HGLOBAL loaded = LoadResource(module, resource);
  if (loaded == nullptr) return false;
  const void* bytes = LockResource(loaded);
  const DWORD size = SizeofResource(module, resource);
  if (bytes == nullptr) return false;

  m_hBuffer = GlobalAlloc(GMEM_MOVEABLE, size);
  if (m_hBuffer == nullptr) return false;
  void* copy = GlobalLock(m_hBuffer);
  if (copy == nullptr) {
    GlobalFree(m_hBuffer);
    m_hBuffer = nullptr;
    return false;
  }
  std::memcpy(copy, bytes, size);

  if (CreateStreamOnHGlobal(m_hBuffer, FALSE, &m_pStream) != S_OK) {
    m_pStream = nullptr;
    GlobalUnlock(m_hBuffer);
    GlobalFree(m_hBuffer);
    m_hBuffer = nullptr;
    return false;
  }
  m_bLoaded = Decode();
  Premultiply();
  return true;
}

bool CPngImage::Decode() {
  if (!m_bGdiplusHeld) m_bGdiplusHeld = GdiplusSession::Acquire();
  if (!m_bGdiplusHeld) return false;

  Gdiplus::Bitmap decoded(m_pStream, FALSE);
  if (decoded.GetLastStatus() != Gdiplus::Ok) return false;
  const int width = static_cast<int>(decoded.GetWidth());
  const int height = static_cast<int>(decoded.GetHeight());
  if (width <= 0 || height <= 0) return false;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    return false;
  }

  // Straight (not premultiplied) blue, green, red, alpha, written by GDI+
  // directly into the bitmap's rows.
  Gdiplus::Rect whole(0, 0, width, height);
  Gdiplus::BitmapData data{};
  data.Width = static_cast<UINT>(width);
  data.Height = static_cast<UINT>(height);
  data.Stride = width * 4;
  data.PixelFormat = PixelFormat32bppARGB;
  data.Scan0 = bits;
  const bool copied =
      decoded.LockBits(&whole, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                       PixelFormat32bppARGB, &data) == Gdiplus::Ok &&
      decoded.UnlockBits(&data) == Gdiplus::Ok;
  if (!copied) {
    DeleteObject(bitmap);
    return false;
  }
  m_image.bitmap = bitmap;
  m_image.bits = static_cast<unsigned char*>(bits);
  m_image.width = width;
  m_image.height = height;
  m_image.pitch = width * 4;
  m_image.hasAlpha = (decoded.GetPixelFormat() & PixelFormatAlpha) != 0;
  return true;
}

void CPngImage::Premultiply() {
  if (!m_bLoaded) return;
  rk::Premultiply(m_image.bits, m_image.width, m_image.height, m_image.pitch);
  GdiFlush();
}

void CPngImage::Draw(HDC dc, int x, int y) const {
  if (!m_bLoaded || dc == nullptr) return;
  HDC source = CreateCompatibleDC(dc);
  if (source == nullptr) return;
  HGDIOBJ previous = SelectObject(source, m_image.bitmap);
  if (m_image.hasAlpha) {
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, x, y, m_image.width, m_image.height, source, 0, 0, m_image.width,
               m_image.height, blend);
  } else {
    StretchBlt(dc, x, y, m_image.width, m_image.height, source, 0, 0, m_image.width,
               m_image.height, SRCCOPY);
  }
  SelectObject(source, previous);
  DeleteDC(source);
}

}  // namespace rk
