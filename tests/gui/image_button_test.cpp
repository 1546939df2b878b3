// The PNG picture class and the image buttons in-process under Wine: decoding
// from resources, premultiplication, blending, the looks and the hooks.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/dialog_layer.h"
#include "controls/button_look.h"
#include "controls/owner_draw_button_win32.h"
#include "controls/png_image_win32.h"

namespace rk {
namespace {

using Bgra = std::array<int, 4>;

Bgra PixelOf(const CPngImage& image, int x, int y) {
  const unsigned char* p = image.Bits() + y * image.Pitch() + x * 4;
  return {p[0], p[1], p[2], p[3]};
}

// A top-down 32-bit bitmap selected into a memory device context.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<uint32_t*>(bits);
    previous_ = SelectObject(dc_, bitmap_);
  }
  ~Canvas() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  void Fill(COLORREF color) {
    GdiFlush();
    const uint32_t value = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    for (int i = 0; i < width_ * height_; ++i) bits_[i] = value;
  }
  [[nodiscard]] COLORREF At(int x, int y) const {
    GdiFlush();
    const uint32_t v = bits_[y * width_ + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  }
  [[nodiscard]] HDC dc() const { return dc_; }

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  uint32_t* bits_ = nullptr;
};

bool Near(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= 1 && std::abs(GetGValue(a) - GetGValue(b)) <= 1 &&
         std::abs(GetBValue(a) - GetBValue(b)) <= 1;
}

std::string Text(COLORREF c) {
  return std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," +
         std::to_string(GetBValue(c));
}

TEST(PngImage, DecodesTheResourceIntoPremultipliedPixels) {
  CPngImage image;
  ASSERT_TRUE(image.Load(1));
  ASSERT_TRUE(image.IsLoaded());
  EXPECT_EQ(image.GetWidth(), 2);
  EXPECT_EQ(image.GetHeight(), 2);
  EXPECT_EQ(PixelOf(image, 0, 0), (Bgra{26, 1, 20, 26}));     // (255, 10, 200) at alpha 26
  EXPECT_EQ(PixelOf(image, 1, 0), (Bgra{0, 0, 0, 0}));        // transparent white
  EXPECT_EQ(PixelOf(image, 0, 1), (Bgra{17, 128, 254, 255}));  // opaque keeps its colours
  EXPECT_EQ(PixelOf(image, 1, 1), (Bgra{128, 128, 128, 128}));
}

TEST(PngImage, MissingOrUndecodableResourcesGiveEmptyImagesThatDrawNothing) {
  Canvas canvas(4, 4);
  canvas.Fill(RGB(1, 2, 3));
  CPngImage missing;
  EXPECT_FALSE(missing.Load(77));
  CPngImage notPng;
  EXPECT_TRUE(notPng.Load(2));  // the resource and its stream were there
  for (const CPngImage* image : {&missing, &notPng}) {
    EXPECT_FALSE(image->IsLoaded());
    EXPECT_EQ(image->GetWidth(), 0);
    EXPECT_EQ(image->GetHeight(), 0);
    image->Draw(canvas.dc(), 0, 0);
  }
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(canvas.At(x, y), RGB(1, 2, 3)) << x << "," << y;
  CPngImage loaded;
  ASSERT_TRUE(loaded.Load(1));
  loaded.Draw(nullptr, 0, 0);  // no device context: nothing, and no crash
}

TEST(PngImage, DrawBlendsOverTheTargetAtItsOwnSizeEvenPartlyOutside) {
  CPngImage image;
  ASSERT_TRUE(image.Load(1));
  Canvas canvas(4, 4);
  const COLORREF face = RGB(240, 240, 240);
  canvas.Fill(face);
  image.Draw(canvas.dc(), -1, 1);  // the left column falls outside
  // Target (0, 1) shows picture (1, 0): transparent, so the face stays.
  EXPECT_EQ(canvas.At(0, 1), face);
  // Target (0, 2) shows picture (1, 1): white at alpha 128 over the face.
  EXPECT_TRUE(Near(canvas.At(0, 2), RGB(248, 248, 248))) << Text(canvas.At(0, 2));
  EXPECT_EQ(canvas.At(1, 1), face) << "nothing drawn beyond the picture's width";
  canvas.Fill(face);
  image.Draw(canvas.dc(), 1, 1);
  // 20 + 240 * 229 / 255 = 235.5 (red), 1 + 215.5 (green), 26 + 215.5 (blue)
  EXPECT_TRUE(Near(canvas.At(1, 1), RGB(236, 217, 242))) << Text(canvas.At(1, 1));
  EXPECT_EQ(canvas.At(1, 2), RGB(254, 128, 17));  // opaque: the picture's own colour
  EXPECT_EQ(canvas.At(0, 0), face);
  EXPECT_EQ(canvas.At(3, 3), face);
}

TEST(PngImage, ProgramPicturesAndTheFadedVariant) {
  CPngImage ping, faded;
  ASSERT_TRUE(ping.Load(138));
  ASSERT_TRUE(faded.Load(139));
  ASSERT_EQ(ping.GetWidth(), 64);
  ASSERT_EQ(faded.GetHeight(), 64);
  int maxAlpha = 0, opaque = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const Bgra p = PixelOf(faded, x, y);
      maxAlpha = std::max(maxAlpha, p[3]);
      EXPECT_TRUE(p[0] <= p[3] && p[1] <= p[3] && p[2] <= p[3]) << "premultiplied " << x << "," << y;
      if (PixelOf(ping, x, y)[3] == 255) {
        ++opaque;
        EXPECT_EQ(p[3], 26) << x << "," << y;
      }
    }
  EXPECT_EQ(maxAlpha, 26);
  EXPECT_GT(opaque, 50);
}

// An image button that records which hooks run, and can be painted directly.
class RecordingButton : public CMyBtn {
 public:
  RecordingButton(UINT image, UINT disabledImage) : CMyBtn(image, disabledImage) {}
  std::vector<std::string> calls;

  void Paint(HDC dc, int width, int height, UINT state) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.hwndItem = m_hWnd;
    item.hDC = dc;
    item.rcItem = {0, 0, width, height};
    item.itemState = state;
    DrawItem(item);
  }

 protected:
  void DrawNormal(HDC dc, RECT rect) override {
    calls.push_back("normal");
    CMyBtn::DrawNormal(dc, rect);
  }
  void DrawHover(HDC dc, RECT rect) override {
    calls.push_back("hover");
    CMyBtn::DrawHover(dc, rect);
  }
  void DrawPressed(HDC dc, RECT rect) override {
    calls.push_back("pressed");
    CMyBtn::DrawPressed(dc, rect);
  }
  void DrawDisabled(HDC dc, RECT rect) override {
    calls.push_back("disabled");
    CMyBtn::DrawDisabled(dc, rect);
  }
  void OnHoverStart() override { calls.push_back("hover-start"); }
  void OnHoverEnd() override { calls.push_back("hover-end"); }
  void OnPushed() override { calls.push_back("pushed"); }
  void OnReleased() override { calls.push_back("released"); }

};

int g_clicks = 0;
int g_doubleClicks = 0;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DRAWITEM) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    return SendMessageA(item->hwndItem, ui::kReflectedDrawItem, wParam, lParam);
  }
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) ++g_clicks;
  if (message == WM_COMMAND && HIWORD(wParam) == BN_DOUBLECLICKED) ++g_doubleClicks;
  return DefWindowProcA(window, message, wParam, lParam);
}

// One visible parent for all cases (a top-level window costs seconds to take
// down under Wine without a window manager); a fresh button for each case.
class ImageButtonTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ParentProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "RkButtonTestParent";
    RegisterClassA(&windowClass);
    parent_ = CreateWindowExA(0, "RkButtonTestParent", "", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  static void TearDownTestSuite() { DestroyWindow(parent_); }

  void SetUp() override {
    ASSERT_NE(parent_, nullptr);
    ASSERT_TRUE(button_.Create(parent_, 3010));
    MoveWindow(button_.GetSafeHwnd(), 10, 10, 70, 70, TRUE);
    Repaint();
    button_.calls.clear();
  }
  void TearDown() override { DestroyWindow(button_.GetSafeHwnd()); }

  void Repaint() {
    InvalidateRect(button_.GetSafeHwnd(), nullptr, FALSE);
    UpdateWindow(button_.GetSafeHwnd());
  }
  void Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    SendMessageA(button_.GetSafeHwnd(), message, wParam, lParam);
  }
  // Paints that the button has asked for so far.
  void Flush() { UpdateWindow(button_.GetSafeHwnd()); }

  static HWND parent_;
  RecordingButton button_{138, 139};
};

HWND ImageButtonTest::parent_ = nullptr;

using Calls = std::vector<std::string>;

TEST_F(ImageButtonTest, ButtonIsOwnerDrawnAndFaceColoursAreTakenOnce) {
  EXPECT_EQ(GetWindowLongA(button_.GetSafeHwnd(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_EQ(g_clrButtonFace, GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(g_clrButtonShade, ShadeFromFace(g_clrButtonFace));
}

TEST_F(ImageButtonTest, HoverStartsOnceLeavesOnceAndRepaintsEachTime) {
  for (int i = 0; i < 3; ++i) Send(WM_MOUSEMOVE, 0, MAKELPARAM(5 + i, 5));
  Flush();
  EXPECT_EQ(button_.calls, (Calls{"hover-start", "hover"}));
  EXPECT_TRUE(button_.IsHovered());
  button_.calls.clear();
  Send(WM_MOUSELEAVE);
  Flush();
  EXPECT_EQ(button_.calls, (Calls{"hover-end", "normal"}));
  EXPECT_FALSE(button_.IsHovered());
}

TEST_F(ImageButtonTest, PressAndReleaseFireTheirHooksAfterThePaint) {
  Send(BM_SETSTATE, TRUE);
  Repaint();
  Send(BM_SETSTATE, FALSE);
  Repaint();
  // The button may paint more than once per change; a repeated look adds
  // no hook, so repeats are left out.
  Calls seen;
  std::string lastLook;
  for (const std::string& call : button_.calls) {
    const bool hook = call == "pushed" || call == "released";
    if (!hook && call == lastLook) continue;
    if (!hook) lastLook = call;
    seen.push_back(call);
  }
  EXPECT_EQ(seen, (Calls{"pressed", "pushed", "normal", "released"}));
}

TEST_F(ImageButtonTest, DisabledWinsOverPressed) {
  EnableWindow(button_.GetSafeHwnd(), FALSE);
  Send(BM_SETSTATE, TRUE);
  Repaint();
  Calls looks;
  for (const std::string& call : button_.calls)
    if (call == "normal" || call == "hover" || call == "pressed" || call == "disabled")
      looks.push_back(call);
  ASSERT_FALSE(looks.empty());
  EXPECT_EQ(looks.back(), "disabled");
  for (const std::string& look : looks) EXPECT_NE(look, "pressed");
}

TEST_F(ImageButtonTest, SecondClickOfADoubleClickIsAClick) {
  g_clicks = g_doubleClicks = 0;
  Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  Send(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  Send(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(g_clicks, 2);
  EXPECT_EQ(g_doubleClicks, 0);
}

TEST_F(ImageButtonTest, EraseBackgroundPaintsNothing) {
  Canvas canvas(4, 4);
  canvas.Fill(RGB(9, 8, 7));
  EXPECT_NE(SendMessageA(button_.GetSafeHwnd(), WM_ERASEBKGND,
                         reinterpret_cast<WPARAM>(canvas.dc()), 0),
            0);
  EXPECT_EQ(canvas.At(0, 0), RGB(9, 8, 7));
}

// Every opaque pixel of the picture must land, in its own colour, at its
// place shifted by `offset`; transparent ones show `background`. Returns the
// number of pixels that did not, and how many were inside the canvas.
struct Landing {
  int wrong = 0;
  int inside = 0;
};
Landing CompareLanding(const Canvas& canvas, int size, const CPngImage& picture, int offset,
                       COLORREF background) {
  Landing landing;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const int cx = x + offset, cy = y + offset;
      if (cx < 0 || cy < 0 || cx >= size || cy >= size) continue;
      const Bgra p = PixelOf(picture, x, y);
      if (p[3] != 255 && p[3] != 0) continue;  // blended edges are checked elsewhere
      ++landing.inside;
      const COLORREF expected = p[3] == 255 ? RGB(p[2], p[1], p[0]) : background;
      if (canvas.At(cx, cy) != expected) ++landing.wrong;
    }
  return landing;
}

TEST_F(ImageButtonTest, LooksPaintBackgroundAndCentredPicture) {
  CPngImage picture;
  ASSERT_TRUE(picture.Load(138));
  struct Row {
    const char* look;
    int size;
    UINT state;
    COLORREF background;
    int offset;  // where the picture's corner lands
  };
  const Row rows[] = {
      {"normal", 70, 0, g_clrButtonFace, 3},
      {"pressed", 70, ODS_SELECTED, g_clrButtonShade, 5},
      {"normal", 65, 0, g_clrButtonFace, 0},
      {"normal", 40, 0, g_clrButtonFace, -12},
  };
  for (const Row& row : rows) {
    Canvas canvas(row.size, row.size);
    canvas.Fill(RGB(1, 2, 3));
    button_.Paint(canvas.dc(), row.size, row.size, row.state);
    const Landing landing = CompareLanding(canvas, row.size, picture, row.offset, row.background);
    EXPECT_GT(landing.inside, 1000) << row.look << " in " << row.size;
    EXPECT_EQ(landing.wrong, 0) << row.look << " in " << row.size;
    // One pixel off in either direction would not fit.
    EXPECT_GT(CompareLanding(canvas, row.size, picture, row.offset + 1, row.background).wrong, 0);
    EXPECT_GT(CompareLanding(canvas, row.size, picture, row.offset - 1, row.background).wrong, 0);
    if (row.offset >= 0) {
      EXPECT_EQ(canvas.At(row.size - 1, 0), row.background) << row.look;
    }
  }
  // Disabled, even while pressed: the faded picture over the face colour.
  CPngImage faded;
  ASSERT_TRUE(faded.Load(139));
  Canvas canvas(70, 70);
  button_.Paint(canvas.dc(), 70, 70, ODS_DISABLED | ODS_SELECTED);
  EXPECT_EQ(canvas.At(0, 0), g_clrButtonFace);
  int darkest = 255;
  for (int y = 0; y < 70; ++y)
    for (int x = 0; x < 70; ++x) darkest = std::min<int>(darkest, GetRValue(canvas.At(x, y)));
  EXPECT_LT(darkest, GetRValue(g_clrButtonFace)) << "the faded picture shows";
  EXPECT_GE(darkest, GetRValue(g_clrButtonFace) * 229 / 255 - 1) << "and is never darker than 10 %";
}

TEST(ImageButton, WithoutDisabledPictureTheDisabledLookIsBareFace) {
  RecordingButton button(136, 0);
  Canvas canvas(70, 70);
  canvas.Fill(RGB(1, 2, 3));
  button.Paint(canvas.dc(), 70, 70, ODS_DISABLED);
  for (int y = 0; y < 70; y += 3)
    for (int x = 0; x < 70; x += 3) ASSERT_EQ(canvas.At(x, y), g_clrButtonFace) << x << "," << y;
}

}  // namespace
}  // namespace rk
