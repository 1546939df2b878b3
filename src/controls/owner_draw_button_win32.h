#pragma once
// Push buttons painted entirely by their owner code: COwnerDrawBtn tracks
// the mouse and paints through an off-screen bitmap, leaving each look to a
// virtual hook; CMyBtn fills the hooks with PNG pictures.
#include <windows.h>

namespace rk {

class CPngImage;

class COwnerDrawBtn {
 public:
  COwnerDrawBtn() = default;
  virtual ~COwnerDrawBtn();
  COwnerDrawBtn(const COwnerDrawBtn&) = delete;
  COwnerDrawBtn& operator=(const COwnerDrawBtn&) = delete;

  // Creates the button window: a child push button of `parent` with an empty
  // caption and a zero rectangle, visible, clipping its siblings, in the tab
  // order, with command id `id`; then attaches it (PreSubclassWindow).
  bool Create(HWND parent, UINT id);

  [[nodiscard]] HWND GetSafeHwnd() const { return m_hWnd; }

 protected:
  // The window is being attached: resets the state and makes the button
  // owner-drawn, so that every paint comes to DrawItem.
  virtual void PreSubclassWindow();
  // One paint: chooses the look, draws it off-screen and copies it in one go.
  virtual void DrawItem(const DRAWITEMSTRUCT& item);

  virtual void DrawNormal(HDC dc, RECT rect);
  virtual void DrawHover(HDC dc, RECT rect);
  virtual void DrawPressed(HDC dc, RECT rect);
  virtual void DrawDisabled(HDC dc, RECT rect);
  virtual void OnHoverStart() {}
  virtual void OnHoverEnd() {}
  virtual void OnPushed() {}
  virtual void OnReleased() {}

  HWND m_hWnd = nullptr;  // owned by the parent window
  bool m_bHover = false;        // the mouse is over it and a leave notice is requested
  bool m_bLastPressed = false;  // pressed at the last paint
  bool m_bDefault = false;      // the dialog made it its default push button

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR self);
  LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
  LRESULT OnMouseLeave();
  // For the dialog's keyboard handling: a push button, the default one while
  // it has the focus or the dialog made it so, so Enter presses it.
  [[nodiscard]] LRESULT OnGetDlgCode() const;
  // The dialog marks its default push button through the style; the look
  // stays owner-drawn, only the default state is kept.
  LRESULT OnSetStyle(WPARAM style, LPARAM redraw);
  void Detach();
};

// The button face and, for hover and pressed looks, its shade; taken from the
// system once, when the first CMyBtn is built.
extern COLORREF g_clrButtonFace;
extern COLORREF g_clrButtonShade;

// An image button: its picture centred on the face colour, on the shade while
// the mouse is over it, shifted by two pixels while pressed, and the disabled
// picture (or the bare face) while disabled.
class CMyBtn : public COwnerDrawBtn {
 public:
  // Picture ids are "PNG" resources; 0 means none. A picture that does not
  // load leaves its looks showing only the background.
  CMyBtn(UINT imageId, UINT disabledImageId);
  ~CMyBtn() override;

 protected:
  void DrawNormal(HDC dc, RECT rect) override;
  void DrawHover(HDC dc, RECT rect) override;
  void DrawPressed(HDC dc, RECT rect) override;
  void DrawDisabled(HDC dc, RECT rect) override;

 private:
  void DrawLook(HDC dc, const RECT& rect, COLORREF background, const CPngImage* image,
                bool pressed) const;

  CPngImage* m_pImage = nullptr;          // owned
  CPngImage* m_pDisabledImage = nullptr;  // owned
};

}  // namespace rk
