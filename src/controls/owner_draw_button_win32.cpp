#include "controls/owner_draw_button_win32.h"

#include <commctrl.h>

#include "ui/dialog_layer_win32.h"
#include "controls/button_look.h"
#include "controls/png_image_win32.h"

namespace rk {

COLORREF g_clrButtonFace = 0;
COLORREF g_clrButtonShade = 0;

COwnerDrawBtn::~COwnerDrawBtn() { Detach(); }

bool COwnerDrawBtn::Create(HWND parent, UINT id) {
  HWND window = CreateWindowExA(
      0, "BUTTON", "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | BS_PUSHBUTTON, 0, 0,
      0, 0, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleA(nullptr),
      nullptr);
  if (window == nullptr) return false;
  m_hWnd = window;
  PreSubclassWindow();
  if (!SetWindowSubclass(window, &COwnerDrawBtn::SubclassProc, 0,
                         reinterpret_cast<DWORD_PTR>(this))) {
    m_hWnd = nullptr;
    DestroyWindow(window);
    return false;
  }
  return true;
}

void COwnerDrawBtn::PreSubclassWindow() {
  m_bHover = false;
  m_bLastPressed = false;
  const LONG_PTR style = GetWindowLongPtrA(m_hWnd, GWL_STYLE);
  SetWindowLongPtrA(m_hWnd, GWL_STYLE, style | BS_OWNERDRAW);
}

void COwnerDrawBtn::Detach() {
  if (m_hWnd != nullptr) {
    RemoveWindowSubclass(m_hWnd, &COwnerDrawBtn::SubclassProc, 0);
    m_hWnd = nullptr;
  }
}

void COwnerDrawBtn::DrawItem(const DRAWITEMSTRUCT& item) {
  const RECT rect = item.rcItem;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  HDC memory = CreateCompatibleDC(item.hDC);
  HBITMAP bitmap = CreateCompatibleBitmap(item.hDC, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);

  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  switch (ChooseLook((item.itemState & ODS_DISABLED) != 0, pressed, m_bHover)) {
    case ButtonLook::Disabled: DrawDisabled(memory, rect); break;
    case ButtonLook::Pressed: DrawPressed(memory, rect); break;
    case ButtonLook::Hover: DrawHover(memory, rect); break;
    case ButtonLook::Normal: DrawNormal(memory, rect); break;
  }
  // Keyboard users see where they are; the cue stays hidden while the
  // system or the dialog hides focus cues (mouse use only).
  const bool cuesHidden =
      (item.itemState & ODS_NOFOCUSRECT) != 0 ||
      (SendMessageA(GetParent(m_hWnd), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
  if ((item.itemState & ODS_FOCUS) != 0 && !cuesHidden) {
    const CueRect cue = FocusCueRect({rect.left, rect.top, rect.right, rect.bottom});
    const RECT cueRect{cue.left, cue.top, cue.right, cue.bottom};
    SetTextColor(memory, RGB(0, 0, 0));
    SetBkColor(memory, RGB(255, 255, 255));
    DrawFocusRect(memory, &cueRect);
  }
  BitBlt(item.hDC, 0, 0, width, height, memory, 0, 0, SRCCOPY);

  if (m_bLastPressed != pressed) {
    if (pressed)
      OnPushed();
    else
      OnReleased();
    m_bLastPressed = pressed;
  }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

void COwnerDrawBtn::DrawNormal(HDC, RECT) {}
void COwnerDrawBtn::DrawHover(HDC, RECT) {}
void COwnerDrawBtn::DrawPressed(HDC, RECT) {}
void COwnerDrawBtn::DrawDisabled(HDC, RECT) {}

LRESULT COwnerDrawBtn::OnMouseMove(WPARAM wParam, LPARAM lParam) {
  if (!m_bHover) {
    m_bHover = true;
    OnHoverStart();
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = m_hWnd;
    track.dwHoverTime = 0;
    _TrackMouseEvent(&track);
    InvalidateRect(m_hWnd, nullptr, FALSE);
  }
  return DefSubclassProc(m_hWnd, WM_MOUSEMOVE, wParam, lParam);
}

LRESULT COwnerDrawBtn::OnMouseLeave() {
  OnHoverEnd();
  m_bHover = false;
  InvalidateRect(m_hWnd, nullptr, FALSE);
  return 0;
}

LRESULT COwnerDrawBtn::OnGetDlgCode() const {
  // A dialog keeps its focused push button the default one; where focus came
  // by a click it may not have said so, and Enter must still press it.
  const bool isDefault = m_bDefault || GetFocus() == m_hWnd;
  return DLGC_BUTTON | (isDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

LRESULT COwnerDrawBtn::OnSetStyle(WPARAM style, LPARAM redraw) {
  m_bDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  // Any other type would end the owner drawing.
  return DefSubclassProc(m_hWnd, BM_SETSTYLE, (style & ~WPARAM{BS_TYPEMASK}) | BS_OWNERDRAW, redraw);
}

LRESULT CALLBACK COwnerDrawBtn::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<COwnerDrawBtn*>(data);
  switch (message) {
    case ui::kReflectedDrawItem:
      self->DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_MOUSEMOVE:
      return self->OnMouseMove(wParam, lParam);
    case WM_MOUSELEAVE:
      return self->OnMouseLeave();
    case WM_GETDLGCODE:
      return self->OnGetDlgCode();
    case BM_SETSTYLE:
      return self->OnSetStyle(wParam, lParam);
    case WM_ERASEBKGND:
      return TRUE;  // DrawItem paints every pixel; erasing first would flicker
    case WM_LBUTTONDBLCLK:
      // A quick second click presses the button again.
      return DefSubclassProc(window, WM_LBUTTONDOWN, wParam, lParam);
    case WM_NCDESTROY: {
      const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
      self->Detach();
      return result;
    }
    default:
      return DefSubclassProc(window, message, wParam, lParam);
  }
}

CMyBtn::CMyBtn(UINT imageId, UINT disabledImageId) {
  if (imageId != 0) {
    m_pImage = new CPngImage;
    (void)m_pImage->Load(imageId);
  }
  if (disabledImageId != 0) {
    m_pDisabledImage = new CPngImage;
    (void)m_pDisabledImage->Load(disabledImageId);
  }
  if (g_clrButtonFace == 0) {
    g_clrButtonFace = GetSysColor(COLOR_BTNFACE);
    g_clrButtonShade = ShadeFromFace(g_clrButtonFace);
  }
}

CMyBtn::~CMyBtn() {
  delete m_pImage;
  delete m_pDisabledImage;
}

void CMyBtn::DrawLook(HDC dc, const RECT& rect, COLORREF background, const CPngImage* image,
                      bool pressed) const {
  SetBkColor(dc, background);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
  if (image == nullptr || image->GetWidth() == 0) return;
  const PixelPoint at = CentredOrigin(rect.left, rect.top, rect.right, rect.bottom,
                                      image->GetWidth(), image->GetHeight(), pressed);
  image->Draw(dc, at.x, at.y);
}

void CMyBtn::DrawNormal(HDC dc, RECT rect) { DrawLook(dc, rect, g_clrButtonFace, m_pImage, false); }
void CMyBtn::DrawHover(HDC dc, RECT rect) { DrawLook(dc, rect, g_clrButtonShade, m_pImage, false); }
void CMyBtn::DrawPressed(HDC dc, RECT rect) {
  DrawLook(dc, rect, g_clrButtonShade, m_pImage, true);
}
void CMyBtn::DrawDisabled(HDC dc, RECT rect) {
  DrawLook(dc, rect, g_clrButtonFace, m_pDisabledImage, false);
}

}  // namespace rk
