#include "dialogs/connect_setting_dlg_win32.h"

#include "base/dbcs.h"
#include "dialogs/dialog_ids.h"

namespace rk {

namespace {
// Room for the drop-down list to show many locations at once.
constexpr int kDropDownExtraHeight = 1000;
}  // namespace

CConnectSettingDlg::CConnectSettingDlg(ConnectSettingForm& form, HWND parent)
    : DialogBase(dlg::kConnectSettingTemplate, parent), m_form(form) {}

BOOL CConnectSettingDlg::OnInitDialog() {
  DialogBase::OnInitDialog();
  const HWND combo = GetDlgItem(dlg::kConnectLocationCombo);
  RECT rect{};
  ::GetWindowRect(combo, &rect);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
  ::MoveWindow(combo, rect.left, rect.top, rect.right - rect.left,
               rect.bottom - rect.top + kDropDownExtraHeight, TRUE);

  for (const std::string& location : m_form.Locations())
    ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(location.c_str()));
  // The form's rule rather than CB_SELECTSTRING: the same choice as the
  // tested one, with Big5 trail bytes never folded as letters.
  if (const auto index = m_form.InitialSelection(SystemLeadByte))
    ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(*index), 0);

  SetDlgItemText(dlg::kConnectNmPortEdit, m_form.InitialNmPortText());
  SetDlgItemText(dlg::kConnectPsPortEdit, m_form.InitialPsPortText());
  return TRUE;
}

void CConnectSettingDlg::OnOK() {
  const int selection =
      static_cast<int>(::SendMessageA(GetDlgItem(dlg::kConnectLocationCombo), CB_GETCURSEL, 0, 0));
  const char* refusal = m_form.OnOK(selection, GetDlgItemText(dlg::kConnectNmPortEdit),
                                    GetDlgItemText(dlg::kConnectPsPortEdit));
  if (refusal != nullptr) {
    MessageBox(refusal, MB_OK);
    return;
  }
  DialogBase::OnOK();
}

}  // namespace rk
