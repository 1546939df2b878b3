#pragma once
// Template and control ids of the two settings dialogs (res/dialogs.rc holds
// the same numbers); shared by the dialogs and the window tests.

namespace rk::dlg {

inline constexpr int kConnectSettingTemplate = 148;
inline constexpr int kConnectLocationCombo = 1015;
inline constexpr int kConnectNmPortEdit = 1012;
inline constexpr int kConnectPsPortEdit = 1013;

inline constexpr int kProxySettingTemplate = 129;
inline constexpr int kProxyTypeCombo = 1015;
inline constexpr int kProxyHostEdit = 1017;
inline constexpr int kProxyPortEdit = 1012;
inline constexpr int kProxyNeedLoginCheck = 1016;
inline constexpr int kProxyUserEdit = 1013;
inline constexpr int kProxyPasswordEdit = 1014;
inline constexpr int kProxyHostLabel = 1019;
inline constexpr int kProxyPortLabel = 1020;
inline constexpr int kProxyUserLabel = 1021;
inline constexpr int kProxyPasswordLabel = 1022;
inline constexpr int kProxyTypeLabel = 1018;

}  // namespace rk::dlg
