#include "app/dialog_layer.h"

#include <vector>

namespace rk::ui {

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
  return DialogBoxParamA(ResourceInstance(), MAKEINTRESOURCEA(m_nTemplateId), m_hWndParent,
                         &DialogBase::DialogProc, reinterpret_cast<LPARAM>(this));
}

void DialogBase::EndDialog(INT_PTR result) {
  if (m_bEnding || m_hWnd == nullptr) return;
  m_bEnding = true;
  m_nEndResult = result;
  DestroyWindow();
}

BOOL DialogBase::DestroyWindow() {
  // Inside a modal run the platform destroys the window once its loop ends.
  return m_hWnd != nullptr ? ::EndDialog(m_hWnd, m_nEndResult) : FALSE;
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
    return self->OnInitDialog();
  }
  auto* self = reinterpret_cast<DialogBase*>(GetWindowLongPtrA(window, DWLP_USER));
  if (self == nullptr) return FALSE;  // messages before WM_INITDIALOG get the defaults
  if (message == WM_NCDESTROY) {
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
