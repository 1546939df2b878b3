#include "dialogs/proxy_setting_dlg_win32.h"

#include <string_view>
#include <utility>

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_init_data.h"

namespace rk {

namespace {

// Fills list and combo boxes from the dialog-init data kept under the
// template's id, as the template's own initialisation data; a missing or
// damaged resource fills nothing.
void RunDialogInitData(HWND dialog, UINT templateId) {
  const HINSTANCE module = ui::ResourceInstance();
  const HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(templateId),
                                      MAKEINTRESOURCEA(kDialogInitResourceType));
  if (found == nullptr) return;
  // Not freed: a loaded resource lives as long as its module.
  const HGLOBAL loaded = ::LoadResource(module, found);
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (data == nullptr) return;
  const std::string_view bytes(static_cast<const char*>(data), ::SizeofResource(module, found));
  const auto items = ParseDialogInitData(bytes);
  if (!items) return;
  for (const DialogInitItem& item : *items) {
    UINT message = 0;
    if (item.message == kDialogInitCbAddString)
      message = CB_ADDSTRING;
    else if (item.message == kDialogInitLbAddString)
      message = LB_ADDSTRING;
    else
      continue;
    ::SendDlgItemMessageA(dialog, item.controlId, message, 0,
                          reinterpret_cast<LPARAM>(item.text.c_str()));
  }
}

}  // namespace

ProxySettingDlg::ProxySettingDlg(ProfileStore& profile, ClientPaths paths, HWND parent)
    : DialogBase(dlg::kProxySettingTemplate, parent), m_form(profile, std::move(paths)) {}

std::span<const ui::CommandEntry> ProxySettingDlg::GetCommandMap() const {
  static constexpr ui::CommandEntry kCommands[] = {
      ui::OnCommand<&ProxySettingDlg::OnBnClickedNeedLoginInfo>(dlg::kProxyNeedLoginCheck),
      ui::OnCommand<&ProxySettingDlg::OnCbnSelchangeProxyType>(dlg::kProxyTypeCombo, CBN_SELCHANGE),
  };
  return kCommands;
}

void ProxySettingDlg::DoDataExchange(ui::DataExchange& exchange) {
  ui::DDX_Control(exchange, dlg::kProxyHostLabel, m_stcHost);
  ui::DDX_Control(exchange, dlg::kProxyPortLabel, m_stcPort);
  ui::DDX_Control(exchange, dlg::kProxyUserLabel, m_stcUserId);
  ui::DDX_Control(exchange, dlg::kProxyPasswordLabel, m_stcUserPs);
  ui::DDX_Control(exchange, dlg::kProxyTypeCombo, m_cmbProxyType);
  ui::DDX_Control(exchange, dlg::kProxyHostEdit, m_edtProxyHost);
  ui::DDX_Control(exchange, dlg::kProxyPortEdit, m_edtProxyPort);
  ui::DDX_Control(exchange, dlg::kProxyNeedLoginCheck, m_chkNeedLoginInfo);
  ui::DDX_Control(exchange, dlg::kProxyUserEdit, m_edtUserId);
  ui::DDX_Control(exchange, dlg::kProxyPasswordEdit, m_edtUserPassword);
}

BOOL ProxySettingDlg::OnInitDialog() {
  DialogBase::OnInitDialog();
  RunDialogInitData(m_hWnd, dlg::kProxySettingTemplate);
  // A stored value is at most 259 bytes (the profile buffer); an edit that
  // took more would cut the value on the next save.
  for (const ui::Control* edit : {&m_edtProxyHost, &m_edtProxyPort, &m_edtUserId, &m_edtUserPassword})
    edit->SendMessage(EM_SETLIMITTEXT, kProfileBufferSize - 1);
  m_form.Open();
  m_cmbProxyType.SetCurSel(m_form.ProxyType());
  ShowControls(m_form.OnSelChange(m_form.ProxyType()));
  return TRUE;
}

void ProxySettingDlg::OnCbnSelchangeProxyType() {
  ShowControls(m_form.OnSelChange(m_cmbProxyType.GetCurSel()));
}

void ProxySettingDlg::OnBnClickedNeedLoginInfo() {
  OnNeedLoginInfoClicked(m_shown, m_chkNeedLoginInfo.GetCheck() == BST_CHECKED);
  ShowEnabling(m_shown);
}

void ProxySettingDlg::OnOK() {
  ProxyInput input;
  input.selection = m_cmbProxyType.GetCurSel();
  input.needLogin = m_chkNeedLoginInfo.GetCheck() == BST_CHECKED;
  input.host = m_edtProxyHost.GetWindowText();
  input.port = m_edtProxyPort.GetWindowText();
  input.user = m_edtUserId.GetWindowText();
  input.password = m_edtUserPassword.GetWindowText();
  if (const char* refusal = m_form.OnOK(input)) {
    MessageBox(refusal, MB_OK);
    return;
  }
  // The user must know when the setting did not stick; the dialog still
  // ends, as a retry would meet the same file.
  if (const std::optional<SaveError>& failed = m_form.SaveFailure())
    MessageBox(SaveErrorText(*failed).c_str(), MB_OK | MB_ICONERROR);
  DialogBase::OnOK();
}

void ProxySettingDlg::ShowControls(const ProxyControls& controls) {
  m_shown = controls;
  m_edtProxyHost.SetWindowText(controls.hostText);
  m_edtProxyPort.SetWindowText(controls.portText);
  m_edtUserId.SetWindowText(controls.userText);
  m_edtUserPassword.SetWindowText(controls.passwordText);
  m_chkNeedLoginInfo.SetCheck(controls.needLoginChecked ? BST_CHECKED : BST_UNCHECKED);
  ShowEnabling(controls);
}

void ProxySettingDlg::ShowEnabling(const ProxyControls& controls) {
  m_stcHost.EnableWindow(controls.hostLabelEnabled);
  m_edtProxyHost.EnableWindow(controls.hostEditEnabled);
  m_stcPort.EnableWindow(controls.portLabelEnabled);
  m_edtProxyPort.EnableWindow(controls.portEditEnabled);
  m_chkNeedLoginInfo.EnableWindow(controls.needLoginEnabled);
  m_stcUserId.EnableWindow(controls.userLabelEnabled);
  m_edtUserId.EnableWindow(controls.userEditEnabled);
  m_stcUserPs.EnableWindow(controls.passwordLabelEnabled);
  m_edtUserPassword.EnableWindow(controls.passwordEditEnabled);
}

}  // namespace rk
