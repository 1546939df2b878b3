#pragma once
// A thin dialog layer over USER32: what the program's windows need of a
// dialog framework and no more. One class per dialog derives from DialogBase,
// overrides the virtual members it needs (named as in the usual Windows dialog
// framework: OnInitDialog, OnOK, OnCancel, DoDataExchange, OnPaint,
// OnSysCommand, OnDestroy, DestroyWindow) and lists its command handlers in a
// command table:
//
//   std::span<const CommandEntry> CMyDlg::GetCommandMap() const {
//     static constexpr CommandEntry kCommands[] = {
//         OnCommand<&CMyDlg::OnBnClickedGo>(IDC_GO),
//         OnCommand<&CMyDlg::OnCbnSelchangeKind>(IDC_KIND, CBN_SELCHANGE),
//     };
//     return kCommands;
//   }
//
//   CMyDlg dlg(nullptr);               // on the caller's stack
//   if (dlg.DoModal() == IDOK) ...      // template from the resources
//
// Texts are byte strings in the ANSI code page (the "A" functions throughout).
// Everything here runs on the thread that called DoModal.
#include <windows.h>

#include <span>
#include <string>

namespace rk::ui {

class DialogBase;

// One line of a dialog's command table: WM_COMMAND from control `id` with
// notification code `notification` calls `invoke`.
struct CommandEntry {
  UINT id;
  UINT notification;
  void (*invoke)(DialogBase& dialog);
};

namespace detail {
template <typename Member>
struct MemberOwner;
template <typename Owner>
struct MemberOwner<void (Owner::*)()> {
  using type = Owner;
};
template <auto Member>
void InvokeMember(DialogBase& dialog) {
  using Owner = typename MemberOwner<decltype(Member)>::type;
  (static_cast<Owner&>(dialog).*Member)();
}
}  // namespace detail

// A command table line that calls the handler member `Member` (a `void ()`
// member of the dialog class) for control `id`; buttons notify BN_CLICKED.
template <auto Member>
constexpr CommandEntry OnCommand(UINT id, UINT notification = BN_CLICKED) {
  return {id, notification, &detail::InvokeMember<Member>};
}

// The text of a window as ANSI bytes ("" for a null window).
[[nodiscard]] std::string GetWindowTextString(HWND window);
void SetWindowTextString(HWND window, const std::string& text);

// The program's name, the caption of its message boxes.
inline constexpr char kAppName[] = "Reachkit";

// Moves the top-level `window` so that it is centred on `owner` when the owner
// is shown and not minimised, else on the work area of its monitor; in both
// cases kept inside that work area.
void CentreWindow(HWND window, HWND owner);

// A modal message box captioned with the program's name, centred like every
// window of the program (on `owner`, or on the work area without one).
int AppMessageBox(HWND owner, const char* text, UINT type = MB_OK);
// The same with a text from the string table ("" when the id is missing).
int AppMessageBox(HWND owner, UINT stringId, UINT type = MB_OK);
// A string of the string table in the ANSI code page; "" when missing.
[[nodiscard]] std::string LoadResourceString(UINT id);

// The module that holds the program's resources.
[[nodiscard]] HINSTANCE ResourceInstance();

// A control of a dialog, bound by id in DoDataExchange (DDX_Control). Holds
// the window handle only; the dialog's window owns the control.
class Control {
 public:
  HWND m_hWnd = nullptr;  // not owned

  [[nodiscard]] HWND GetSafeHwnd() const { return m_hWnd; }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
  }
  [[nodiscard]] std::string GetWindowText() const { return GetWindowTextString(m_hWnd); }
  void SetWindowText(const std::string& text) const { SetWindowTextString(m_hWnd, text); }
  void EnableWindow(bool enable) const { ::EnableWindow(m_hWnd, enable ? TRUE : FALSE); }
};

class ComboBox : public Control {
 public:
  int AddString(const std::string& text) const;
  [[nodiscard]] int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
  int SetCurSel(int index) const;
};

class ListBox : public Control {
 public:
  int AddString(const std::string& text) const;
  int SetCurSel(int index) const;
};

class CheckBox : public Control {
 public:
  [[nodiscard]] int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int state) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(state)); }
};

// What DoDataExchange is given: the dialog, and the direction (true: from
// the controls into the members, false: from the members into the controls).
struct DataExchange {
  DialogBase& dialog;
  bool saveAndValidate;
};

// Binds `control` to the dialog's child window `id`.
void DDX_Control(DataExchange& exchange, int id, Control& control);

// WM_DRAWITEM is handed back to the control that asked for it as this
// message (same parameters), so a control paints itself; the control's
// answer is the dialog's answer.
inline constexpr UINT kReflectedDrawItem = 0x2000 + WM_DRAWITEM;

class DialogBase {
 public:
  // `templateId`: the dialog template in the resources; `parent` may be null.
  explicit DialogBase(UINT templateId, HWND parent = nullptr);
  virtual ~DialogBase();
  DialogBase(const DialogBase&) = delete;
  DialogBase& operator=(const DialogBase&) = delete;

  // Creates the dialog from its template and runs it until it ends; returns
  // the end code (IDOK, IDCANCEL, ...), or -1 when the window could not be made.
  INT_PTR DoModal();

  // Creates the dialog from its template as a modeless window owned by the parent and shows
  // it; false when the window could not be made. Its dialog keys (Tab, Enter, Escape, arrows)
  // work while another dialog's modal run is on, such as the main window's. The object must
  // outlive the window; EndDialog destroys the window at once.
  bool Create();

  // Ends the modal run with `result` (a modeless dialog: destroys it). The first call runs
  // DestroyWindow(); later calls, and commands that arrive after it, are ignored.
  void EndDialog(INT_PTR result);

  [[nodiscard]] HWND GetSafeHwnd() const { return m_hWnd; }
  [[nodiscard]] HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  [[nodiscard]] std::string GetWindowText() const { return GetWindowTextString(m_hWnd); }
  void SetWindowText(const std::string& text) const { SetWindowTextString(m_hWnd, text); }
  [[nodiscard]] std::string GetDlgItemText(int id) const { return GetWindowTextString(GetDlgItem(id)); }
  void SetDlgItemText(int id, const std::string& text) const {
    SetWindowTextString(GetDlgItem(id), text);
  }
  // A message box owned by this dialog, captioned with the program's name.
  int MessageBox(const char* text, UINT type = MB_OK) const {
    return AppMessageBox(m_hWnd, text, type);
  }
  // Runs DoDataExchange in the given direction; always succeeds.
  bool UpdateData(bool saveAndValidate = true);

 protected:
  // The command handlers of the class; looked up before OnOK / OnCancel.
  [[nodiscard]] virtual std::span<const CommandEntry> GetCommandMap() const { return {}; }

  // WM_INITDIALOG. The base binds the controls (UpdateData(false)) and
  // returns TRUE, so that the focus goes to the first control. Afterwards
  // the layer centres the dialog on its owner (without one, on the work
  // area of its monitor) before it is shown.
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(DataExchange& exchange);
  // IDOK (the OK button, or Enter when no button takes it). The base takes
  // the controls' data and ends the dialog with IDOK.
  virtual void OnOK();
  // IDCANCEL (Cancel, Escape, the close box). The base ends with IDCANCEL.
  virtual void OnCancel();
  // WM_PAINT; returns false to leave the painting to the dialog's default.
  virtual bool OnPaint() { return false; }
  // WM_SYSCOMMAND; returns false for the default processing.
  virtual bool OnSysCommand(UINT id, LPARAM param);
  // WM_DESTROY, while the child windows still exist.
  virtual void OnDestroy() {}
  // The modal run is ending (called once, from the first EndDialog). An
  // override does its closing work and then calls the base, which lets the
  // platform end the run and destroy the window.
  virtual BOOL DestroyWindow();
  // WM_QUERYUISTATE is answered from the dialog's own keyboard-cue state:
  // hidden when it opens, shown from the first key that moves the focus.
  // Any other message; return true with `result` set to handle it.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

  HWND m_hWnd = nullptr;  // the dialog's window while it exists

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  bool DispatchCommand(UINT id, UINT notification);

  UINT m_nTemplateId;
  HWND m_hWndParent;  // not owned
  INT_PTR m_nEndResult = IDCANCEL;
  bool m_bEnding = false;
  bool m_bModeless = false;  // made by Create, not DoModal
  UINT m_nUiState = 0;  // UISF_ flags: which keyboard cues are hidden
};

}  // namespace rk::ui
