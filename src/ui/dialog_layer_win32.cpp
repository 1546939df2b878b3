#include "ui/dialog_layer_win32.h"

#include <vector>

#include "ui/window_placement.h"

namespace rk::ui {

namespace {

PixelRect FromRect(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

// Centres the message box that a MessageBoxA call of this thread opens: the
// system places it by rules of its own, before our code sees its window.
class MessageBoxCentring {
 public:
  explicit MessageBoxCentring(HWND owner)
      : previousOwner_(owner_), previousHook_(hook_) {
    owner_ = owner;
    hook_ = SetWindowsHookExA(WH_CBT, &MessageBoxCentring::Hook, nullptr, GetCurrentThreadId());
  }
  ~MessageBoxCentring() {
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    hook_ = previousHook_;
    owner_ = previousOwner_;
  }
  MessageBoxCentring(const MessageBoxCentring&) = delete;
  MessageBoxCentring& operator=(const MessageBoxCentring&) = delete;

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    const HHOOK hook = hook_;
    char className[16] = {};
    if (code == HCBT_ACTIVATE && hook != nullptr &&
        GetClassNameA(reinterpret_cast<HWND>(wParam), className, sizeof className) > 0 &&
        lstrcmpA(className, "#32770") == 0) {
      // The box's first activation: centre it once and stop watching, so a
      // window that the box's own code activates later keeps its place.
      CentreWindow(reinterpret_cast<HWND>(wParam), owner_);
      UnhookWindowsHookEx(hook);
      hook_ = nullptr;
    }
    return CallNextHookEx(hook, code, wParam, lParam);
  }

  static thread_local HWND owner_;
  static thread_local HHOOK hook_;
  HWND previousOwner_;   // a message box opened from inside another's run
  HHOOK previousHook_;
};

thread_local HWND MessageBoxCentring::owner_ = nullptr;
thread_local HHOOK MessageBoxCentring::hook_ = nullptr;

// The modeless dialogs of this thread (the watch window). A modal run's loop (the main window
// runs inside one) gives dialog keys only to its own dialog; its message filter below hands
// theirs to these.
thread_local std::vector<HWND> g_modelessDialogs;

bool IsModelessDialog(HWND window) {
  for (const HWND dialog : g_modelessDialogs)
    if (dialog == window) return true;
  return false;
}

// Keyboard cues (focus rectangles) follow the user: hidden while the mouse is
// all that was used, shown from the first key that moves the focus. The
// dialog manager says so on Windows; where it does not (Wine, whose cues are
// always on), the modal loop's message filter does, for every dialog of this
// thread, and each dialog keeps the state itself (WM_QUERYUISTATE).
class KeyboardCues {
 public:
  KeyboardCues()
      : hook_(SetWindowsHookExA(WH_MSGFILTER, &KeyboardCues::Filter, nullptr,
                                GetCurrentThreadId())) {}
  ~KeyboardCues() {
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
  }
  KeyboardCues(const KeyboardCues&) = delete;
  KeyboardCues& operator=(const KeyboardCues&) = delete;

  // A new dialog starts with its cues hidden.
  static void HideIn(HWND dialog) {
    SendMessageA(dialog, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
  }

 private:
  static LRESULT CALLBACK Filter(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && message != nullptr && message->message == WM_KEYDOWN) {
      switch (message->wParam) {
        case VK_TAB:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
          SendMessageA(GetAncestor(message->hwnd, GA_ROOT), WM_CHANGEUISTATE,
                       MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
          break;
        default:
          break;
      }
    }
    // True tells the modal loop the message was handled: it neither translates nor sends it.
    if (code == MSGF_DIALOGBOX && message != nullptr) {
      const HWND root = GetAncestor(message->hwnd, GA_ROOT);
      if (root != nullptr && IsModelessDialog(root) &&
          IsDialogMessageA(root, const_cast<MSG*>(message)))
        return TRUE;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  HHOOK hook_;
};

}  // namespace

void CentreWindow(HWND window, HWND owner) {
  const bool onOwner = owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoA(MonitorFromWindow(onOwner ? owner : window, MONITOR_DEFAULTTOPRIMARY),
                       &monitor))
    return;
  RECT over = monitor.rcWork;
  if (onOwner) GetWindowRect(owner, &over);
  RECT own{};
  GetWindowRect(window, &own);
  const PixelPoint at = CentredPlacement(FromRect(over), own.right - own.left,
                                          own.bottom - own.top, FromRect(monitor.rcWork));
  SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string GetWindowTextString(HWND window) {
  if (window == nullptr) return {};
  const int length = GetWindowTextLengthA(window);
  if (length <= 0) return {};
  // The length may be an over-estimate in a double-byte code page.
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  const int copied = ::GetWindowTextA(window, buffer.data(), length + 1);
  return std::string(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

void SetWindowTextString(HWND window, const std::string& text) {
  if (window != nullptr) ::SetWindowTextA(window, text.c_str());
}

std::string LoadResourceString(UINT id) {
  // LoadStringA cannot say how long a string is; grow until it fits.
  for (int size = 256; size <= 65536; size *= 4) {
    std::vector<char> buffer(static_cast<size_t>(size), '\0');
    const int copied = LoadStringA(ResourceInstance(), id, buffer.data(), size);
    if (copied <= 0) return {};
    if (copied < size - 1) return std::string(buffer.data(), static_cast<size_t>(copied));
  }
  return {};
}

int AppMessageBox(HWND owner, const char* text, UINT type) {
  MessageBoxCentring centring(owner);
  return ::MessageBoxA(owner, text, kAppName, type);
}

int AppMessageBox(HWND owner, UINT stringId, UINT type) {
  const std::string text = LoadResourceString(stringId);
  return AppMessageBox(owner, text.c_str(), type);
}

HINSTANCE ResourceInstance() { return GetModuleHandleA(nullptr); }

int ComboBox::AddString(const std::string& text) const {
  return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

int ComboBox::SetCurSel(int index) const {
  return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)));
}

int ListBox::AddString(const std::string& text) const {
  return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

int ListBox::SetCurSel(int index) const {
  return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index)));
}

void DDX_Control(DataExchange& exchange, int id, Control& control) {
  if (control.m_hWnd == nullptr) control.m_hWnd = exchange.dialog.GetDlgItem(id);
}

DialogBase::DialogBase(UINT templateId, HWND parent)
    : m_nTemplateId(templateId), m_hWndParent(parent) {}

DialogBase::~DialogBase() = default;

INT_PTR DialogBase::DoModal() {
  m_bEnding = false;
  m_nEndResult = IDCANCEL;
  const KeyboardCues cues;
  return DialogBoxParamA(ResourceInstance(), MAKEINTRESOURCEA(m_nTemplateId), m_hWndParent,
                         &DialogBase::DialogProc, reinterpret_cast<LPARAM>(this));
}

bool DialogBase::Create() {
  if (m_hWnd != nullptr) return true;
  m_bEnding = false;
  m_bModeless = true;
  const HWND window = CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(m_nTemplateId),
                                         m_hWndParent, &DialogBase::DialogProc,
                                         reinterpret_cast<LPARAM>(this));
  if (window == nullptr) return false;
  ShowWindow(window, SW_SHOW);
  return true;
}

void DialogBase::EndDialog(INT_PTR result) {
  if (m_bEnding || m_hWnd == nullptr) return;
  m_bEnding = true;
  m_nEndResult = result;
  DestroyWindow();
}

BOOL DialogBase::DestroyWindow() {
  if (m_hWnd == nullptr) return FALSE;
  if (m_bModeless) return ::DestroyWindow(m_hWnd);
  // Inside a modal run the platform destroys the window once its loop ends.
  return ::EndDialog(m_hWnd, m_nEndResult);
}

bool DialogBase::UpdateData(bool saveAndValidate) {
  DataExchange exchange{*this, saveAndValidate};
  DoDataExchange(exchange);
  return true;
}

BOOL DialogBase::OnInitDialog() {
  UpdateData(false);
  return TRUE;
}

void DialogBase::DoDataExchange(DataExchange&) {}

void DialogBase::OnOK() {
  if (UpdateData(true)) EndDialog(IDOK);
}

void DialogBase::OnCancel() { EndDialog(IDCANCEL); }

bool DialogBase::OnSysCommand(UINT, LPARAM) { return false; }

bool DialogBase::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

INT_PTR CALLBACK DialogBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<DialogBase*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    self->m_hWnd = window;
    if (self->m_bModeless) g_modelessDialogs.push_back(window);
    const BOOL focusFirst = self->OnInitDialog();
    if (self->m_hWnd != nullptr) {
      CentreWindow(window, GetWindow(window, GW_OWNER));
      KeyboardCues::HideIn(window);
    }
    return focusFirst;
  }
  auto* self = reinterpret_cast<DialogBase*>(GetWindowLongPtrA(window, DWLP_USER));
  if (self == nullptr) return FALSE;  // messages before WM_INITDIALOG get the defaults
  if (message == WM_NCDESTROY) {
    std::erase(g_modelessDialogs, window);
    SetWindowLongPtrA(window, DWLP_USER, 0);
    self->m_hWnd = nullptr;
    return FALSE;
  }
  return self->Dispatch(message, wParam, lParam);
}

INT_PTR DialogBase::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // Once the run is ending, late commands (a click queued behind the
      // close) must not start anything new.
      if (m_bEnding) return TRUE;
      return DispatchCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_SYSCOMMAND:
      return OnSysCommand(static_cast<UINT>(wParam), lParam) ? TRUE : FALSE;
    case WM_PAINT:
      return OnPaint() ? TRUE : FALSE;
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    case WM_CHANGEUISTATE: {
      const UINT before = m_nUiState;
      if (LOWORD(wParam) == UIS_SET) m_nUiState |= HIWORD(wParam);
      if (LOWORD(wParam) == UIS_CLEAR) m_nUiState &= ~UINT{HIWORD(wParam)};
      if (m_nUiState != before)
        RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
      return FALSE;  // the platform keeps its own state too
    }
    case WM_QUERYUISTATE:
      SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, static_cast<LONG_PTR>(m_nUiState));
      return TRUE;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (wParam != 0 && item != nullptr && item->hwndItem != nullptr)
        return ::SendMessageA(item->hwndItem, kReflectedDrawItem, wParam, lParam);
      break;
    }
    default:
      break;
  }
  INT_PTR result = FALSE;
  if (OnMessage(message, wParam, lParam, result)) return result;
  return FALSE;
}

bool DialogBase::DispatchCommand(UINT id, UINT notification) {
  for (const CommandEntry& entry : GetCommandMap()) {
    if (entry.id == id && entry.notification == notification) {
      entry.invoke(*this);
      return true;
    }
  }
  if (notification == BN_CLICKED) {
    if (id == IDOK) {
      OnOK();
      return true;
    }
    if (id == IDCANCEL) {
      OnCancel();
      return true;
    }
  }
  return false;
}

}  // namespace rk::ui
