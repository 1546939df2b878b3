#pragma once
// A picture of resource type "PNG", decoded once into a 32-bit premultiplied
// bitmap and drawn with per-pixel alpha.
#include <windows.h>
#include <objidl.h>

namespace rk {

class CPngImage {
 public:
  CPngImage() = default;
  ~CPngImage();
  CPngImage(const CPngImage&) = delete;
  CPngImage& operator=(const CPngImage&) = delete;

  // Loads the "PNG" resource `resourceId` of the program.
  // * False when the resource, its memory copy or the stream over it cannot
  //   be had. True otherwise, even when the bytes do not decode: whether a
  //   picture is there is told by the sizes.
  bool Load(UINT resourceId);

  [[nodiscard]] int GetWidth() const { return m_bLoaded ? m_image.width : 0; }
  [[nodiscard]] int GetHeight() const { return m_bLoaded ? m_image.height : 0; }

  // Paints the whole picture at its own size with its top-left corner at
  // (x, y), blended over what is there; nothing while not loaded or without
  // a device context.
  void Draw(HDC dc, int x, int y) const;

  // Converts the decoded colours to premultiplied form (Load does this).
  void Premultiply();

 private:
  // The decoded picture: a top-down 32-bit device-independent bitmap.
  struct DibImage {
    HBITMAP bitmap = nullptr;      // owned
    unsigned char* bits = nullptr;  // owned by `bitmap`
    int width = 0;
    int height = 0;
    int pitch = 0;
    bool hasAlpha = false;
  };
  bool Decode();

  HGLOBAL m_hBuffer = nullptr;    // private copy of the file's bytes, locked while alive
  IStream* m_pStream = nullptr;   // reads m_hBuffer; does not own it
  DibImage m_image;
  bool m_bLoaded = false;
  bool m_bGdiplusHeld = false;    // this image counts towards the GDI+ session
};

}  // namespace rk
