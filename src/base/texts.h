#pragma once
// The system's own texts, stored as code page 950 (Big5) bytes exactly as the
// window, the result list and the message boxes show them. Each is readable in
// the comment beside it; tools/cp950_literal.py makes the literal from UTF-8.
// Formats are printf-style and go through Format() (base/format.h).

namespace rk::text {

// Window, menu and start-up.
inline constexpr char kAppCaption[] = "\xBA\xF4\xB8\xF4\xA4\x75\xA8\xE3\xBD\x63";  // 網路工具箱
inline constexpr char kAboutMenuItem[] = "\xC3\xF6\xA9\xF3 Reachkit(&A)...";  // 關於 Reachkit(&A)...
inline constexpr char kAboutCaption[] = "\xC3\xF6\xA9\xF3 Reachkit";  // 關於 Reachkit
inline constexpr char kSocketsInitFailed[] = "Windows sockets \xB1\xD2\xA9\x6C\xA5\xA2\xB1\xD1\xA1\x43";  // Windows sockets 啟始失敗。
inline constexpr char kIcmpFunctionsMissing[] = "Could not find ICMP functions in the ICMP DLL";
inline constexpr char kTitleFormat[] = "%s v%s";
inline constexpr char kPreferenceGroupTitle[] = "\xB3\x73\xBD\x75\xA6\xEC\xB8\x6D";  // 連線位置
inline constexpr char kSettingsGroupTitle[] = "\xB3\x5D\xA9\x77";  // 設定
inline constexpr char kNetworkGroupTitle[] = "\xBA\xF4\xB8\xF4\xA6\xEC\xA7\x7D";  // 網路位址
inline constexpr char kAboutFontName[] = "\xB7\x73\xB2\xD3\xA9\xFA\xC5\xE9";  // 新細明體

// Host catalogue.
inline constexpr char kTradingHost[] = "\xA5\xE6\xA9\xF6\xA5\x44\xBE\xF7";  // 交易主機
inline constexpr char kQuoteHost[] = "\xB3\xF8\xBB\xF9\xA5\x44\xBE\xF7";  // 報價主機
inline constexpr char kServerEntryLabelFormat[] = "%s-%s : %s";
inline constexpr char kLocalEntryLabelFormat[] = "\xA5\xE6\xA9\xF6\xA5\x44\xBE\xF7-%d : %s:%d";  // 交易主機-%d : %s:%d

// Connection preference.
inline constexpr char kNoRecord[] = " - ";
inline constexpr char kRecordFormat[] = "%s,%d,%d";
inline constexpr char kIdeographicSpace[] = "\xA1\x40";  // U+3000
inline constexpr char kPreferenceLabelFormat[] = "\xA6\xA8\xA5\x5C\xB3\x73\xBD\x75\xA1\x47%s\xA1\x40\xA1\x40\xC0\x75\xA5\xFD\xB3\x73\xBD\x75\xA1\x47%s";  // 成功連線：%s　　優先連線：%s

// Target resolution.
inline constexpr char kNoSelection[] = "Get Host From ComboBox Failed !";
inline constexpr char kLookupFailed[] = "Get Host By Name Failed !";
inline constexpr char kNoLocalPort[] = "Order Port Size Error!";

// Test runs.
inline constexpr char kNoIcmpHandle[] = "Could not get a valid ICMP handle";
// A worker thread that the system refused to start; the run is given back.
inline constexpr char kWorkerNotStarted[] = "Could not start the test";
inline constexpr char kPingHeaderFormat[] = "Ping %s [%s]";
inline constexpr char kPingEchoFormat[] = "32 bytes from %s: icmp_seq = %d. time: %d ms";
// An echo that got no answer: never a stale time, but the status number
// that the ICMP layer gave, as the trace's time-out line does.
inline constexpr char kPingLostFormat[] = "No reply from %s: icmp_seq = %d. Err=%d";
inline constexpr char kPingEnd[] = "End ";
inline constexpr char kTraceHeaderFormat[] = "TraceRT %s [%s]";
inline constexpr char kTraceHopFormat[] = "\xB2\xC4%d\xAD\xD3\xB8\xF4\xA5\xD1\xBE\xB9\xA1\x41IP\xA6\x61\xA7\x7D\xA1\x47%s\xA5\xCE\xAE\xC9\xA1\x47%d\xB2\x40\xAC\xED";  // 第%d個路由器，IP地址：%s用時：%d毫秒
inline constexpr char kTraceTimeoutFormat[] = "\xB2\xC4%d\xAD\xD3\xB8\xF4\xA5\xD1\xBE\xB9\xA1\x41\xAD\x6E\xA8\x44\xB5\xA5\xAD\xD4\xB9\x4F\xAE\xC9 Err=%d";  // 第%d個路由器，要求等候逾時 Err=%d
inline constexpr char kTargetReached[] = "\xA5\xD8\xBC\xD0\xA8\xEC\xB9\x46";  // 目標到達
// A trace that used all its routers without an answer from the target itself:
// it must not claim arrival, so it says the target was not reached within 30.
inline constexpr char kTargetNotReached[] = "30\xAD\xD3\xB8\xF4\xA5\xD1\xBE\xB9\xA4\xBA\xA5\xBC\xA8\xEC\xB9\x46\xA5\xD8\xBC\xD0";  // 30個路由器內未到達目標
inline constexpr char kTelnetHeaderFormat[] = "Telnet %s [%s]";
inline constexpr char kConnectSucceededFormat[] = "\xB3\x73\xBD\x75\xA6\xA8\xA5\x5C\xA1\x41%s\xA1\x47%d";  // 連線成功，%s：%d
inline constexpr char kConnectFailedFormat[] = "\xB3\x73\xBD\x75\xA5\xA2\xB1\xD1\xA1\x41%s\xA1\x47%d";  // 連線失敗，%s：%d

// Connect-setting dialog.
inline constexpr char kConnectSettingPrompt[] = "\xB3\x5D\xA9\x77\xC0\x75\xA5\xFD\xB3\x73\xBD\x75\xAA\xBA\xA6\xEC\xB8\x6D\xBB\x50Port";  // 設定優先連線的位置與Port
inline constexpr char kNoLocationChosen[] = "\xA8\x53\xA6\xB3\xBF\xEF\xBE\xDC\xB3\x73\xBD\x75\xA6\xEC\xB8\x6D";  // 沒有選擇連線位置
inline constexpr char kPortMustBePositive[] = "Port\xA5\xB2\xB6\xB7\xAC\x4F\xA5\xBF\xBE\xE3\xBC\xC6";  // Port必須是正整數
inline constexpr char kNmPortOutOfRange[] = "NM Port\xA5\xB2\xB6\xB7\xA4\xB6\xA9\xF3" "1\xA8\xEC" "65535";  // NM Port必須介於1到65535
inline constexpr char kPsPortOutOfRange[] = "PS Port\xA5\xB2\xB6\xB7\xA4\xB6\xA9\xF3" "1\xA8\xEC" "65535";  // PS Port必須介於1到65535

// Proxy-setting dialog.
// A save that did not stick: the file, then the reason.
inline constexpr char kSettingNotSavedFormat[] = "\xB3\x5D\xA9\x77\xA5\xBC\xAF\xE0\xC0\x78\xA6\x73\xA1\x47%s\xA1\x5D%s\xA1\x5E";  // 設定未能儲存：%s（%s）
inline constexpr char kEnterUserId[] = "\xBD\xD0\xBF\xE9\xA4\x4AUserID";  // 請輸入UserID
inline constexpr char kEnterUserPassword[] = "\xBD\xD0\xBF\xE9\xA4\x4AUserPassword";  // 請輸入UserPassword
inline constexpr char kEnterProxyHost[] = "\xBD\xD0\xBF\xE9\xA4\x4AProxyHost";  // 請輸入ProxyHost
inline constexpr char kEnterProxyPort[] = "\xBD\xD0\xBF\xE9\xA4\x4AProxyPort";  // 請輸入ProxyPort
inline constexpr char kPortOutOfRange[] = "Port\xA5\xB2\xB6\xB7\xA4\xB6\xA9\xF3" "1\xA8\xEC" "65535";  // Port必須介於1到65535

// Result list: its context menu, the clipboard and the saved report.
inline constexpr char kCopyLineItem[] = "\xBD\xC6\xBB\x73(&C)";  // 複製(&C)
inline constexpr char kCopyAllItem[] = "\xA5\xFE\xB3\xA1\xBD\xC6\xBB\x73(&A)";  // 全部複製(&A)
inline constexpr char kSaveReportItem[] = "\xC0\x78\xA6\x73\xB3\xF8\xA7\x69(&S)...";  // 儲存報告(&S)...
inline constexpr char kClipboardBusy[] = "\xB0\xC5\xB6\x4B\xC3\xAF\xA5\xBF\xB3\x51\xA8\xE4\xA5\x4C\xB5\x7B\xA6\xA1\xA8\xCF\xA5\xCE\xA1\x41\xBD\xD0\xB5\x79\xAB\xE1\xA6\x41\xB8\xD5\xA1\x43";  // 剪貼簿正被其他程式使用，請稍後再試。
inline constexpr char kSaveFailedFormat[] = "\xB5\x4C\xAA\x6B\xBC\x67\xA4\x4A\xC0\xC9\xAE\xD7\xA1\x47%s\xA1\x5D%s\xA1\x5E";  // 無法寫入檔案：%s（%s）
inline constexpr char kTextFilesFilter[] = "\xA4\xE5\xA6\x72\xC0\xC9 (*.txt)";  // 文字檔 (*.txt)
inline constexpr char kAllFilesFilter[] = "\xA9\xD2\xA6\xB3\xC0\xC9\xAE\xD7 (*.*)";  // 所有檔案 (*.*)

// The check of every host (system menu), as the result list shows it.
inline constexpr char kCheckAllItem[] = "\xC0\xCB\xAC\x64\xA5\xFE\xB3\xA1\xA5\x44\xBE\xF7(&K)...";  // 檢查全部主機(&K)...
inline constexpr char kNoHostsToCheck[] = "\xA8\x53\xA6\xB3\xA5\x69\xC0\xCB\xAC\x64\xAA\xBA\xA5\x44\xBE\xF7";  // 沒有可檢查的主機
inline constexpr char kVerdictOpen[] = "\xA5\x69\xB3\x73\xBD\x75";  // 可連線
inline constexpr char kVerdictRefused[] = "\xB3\x73\xBD\x75\xB3\x51\xA9\xDA";  // 連線被拒
inline constexpr char kVerdictTimeout[] = "\xB3\x73\xBD\x75\xB9\x4F\xAE\xC9";  // 連線逾時
inline constexpr char kVerdictUnreachable[] = "\xBA\xF4\xB8\xF4\xB5\x4C\xAA\x6B\xA8\xEC\xB9\x46";  // 網路無法到達
inline constexpr char kVerdictUnresolved[] = "\xB5\x4C\xAA\x6B\xB8\xD1\xAA\x52\xA5\x44\xBE\xF7\xA6\x57\xBA\xD9";  // 無法解析主機名稱
inline constexpr char kVerdictNoPort[] = "\xA8\x53\xA6\xB3\xB3\x5D\xA9\x77Port";  // 沒有設定Port
inline constexpr char kVerdictError[] = "\xBF\xF9\xBB\x7E";  // 錯誤
inline constexpr char kCheckLineFormat[] = "%s  %s:%d  %s  %.1f\xB2\x40\xAC\xED";  // %s  %s:%d  %s  %.1f毫秒
inline constexpr char kCheckNoPortLineFormat[] = "%s  %s  %s";
inline constexpr char kCheckCauseFormat[] = "%s:%d  \xAD\xEC\xA6\x5D\xA1\x47%s";  // %s:%d  原因：%s
inline constexpr char kCheckSummaryFormat[] = "\xC0\xCB\xAC\x64\xA7\xB9\xA6\xA8\xA1\x41\xA6\x40%d\xAD\xD3\xBA\xDD\xC2\x49\xA1\x47";  // 檢查完成，共%d個端點：
inline constexpr char kCheckCountFormat[] = "%s%d\xAD\xD3";  // %s%d個
inline constexpr char kListComma[] = "\xA1\x41";  // ，
inline constexpr char kViaProxyFormat[] = "\xA1\x41\xB8\x67\xA5\x4E\xB2\x7A\xA1\x47%s";  // ，經代理：%s
inline constexpr char kProxyVerdictUnreachable[] = "\xB5\x4C\xAA\x6B\xB3\x73\xA4\x57\xA5\x4E\xB2\x7A";  // 無法連上代理
inline constexpr char kProxyVerdictLoginRefused[] = "\xA5\x4E\xB2\x7A\xA9\xDA\xB5\xB4\xB5\x6E\xA4\x4A";  // 代理拒絕登入
inline constexpr char kProxyVerdictRefusedTarget[] = "\xA5\x4E\xB2\x7A\xA9\xDA\xB5\xB4\xB3\x73\xBD\x75";  // 代理拒絕連線
inline constexpr char kProxyVerdictProtocolError[] = "\xA5\x4E\xB2\x7A\xA6\x5E\xC0\xB3\xA4\xA3\xA6\x58\xA8\xF3\xA9\x77";  // 代理回應不合協定
inline constexpr char kProxyVerdictError[] = "\xA5\x4E\xB2\x7A\xB3\x5D\xA9\x77\xBF\xF9\xBB\x7E";  // 代理設定錯誤

// The check window: its table, progress and causes in words.
inline constexpr char kCheckWindowTitle[] = "\xC0\xCB\xAC\x64\xA5\xFE\xB3\xA1\xA5\x44\xBE\xF7";  // 檢查全部主機
inline constexpr char kColumnHost[] = "\xA5\x44\xBE\xF7";  // 主機
inline constexpr char kColumnAddress[] = "\xA6\xEC\xA7\x7D:Port";  // 位址:Port
inline constexpr char kColumnDirect[] = "\xAA\xBD\xB3\x73";  // 直連
inline constexpr char kColumnTime[] = "\xAE\xC9\xB6\xA1";  // 時間
inline constexpr char kColumnViaProxy[] = "\xB8\x67\xA5\x4E\xB2\x7A";  // 經代理
inline constexpr char kColumnCause[] = "\xAD\xEC\xA6\x5D";  // 原因
inline constexpr char kRowPending[] = "\xC0\xCB\xAC\x64\xA4\xA4";  // 檢查中
inline constexpr char kRowStopped[] = "\xA4\x77\xB0\xB1\xA4\xEE";  // 已停止
inline constexpr char kCheckProgressFormat[] = "\xA4\x77\xA7\xB9\xA6\xA8 %d / %d";  // 已完成 %d / %d
inline constexpr char kCheckProgressDoneFormat[] = "\xA4\x77\xA7\xB9\xA6\xA8 %d / %d\xA1\x5D%.1f \xAC\xED\xA1\x5E";  // 已完成 %d / %d（%.1f 秒）
inline constexpr char kCheckStoppedProgressFormat[] = "\xA4\x77\xB0\xB1\xA4\xEE\xA1\x47\xA4\x77\xA7\xB9\xA6\xA8 %d / %d";  // 已停止：已完成 %d / %d
inline constexpr char kMsFormat[] = "%.1f \xB2\x40\xAC\xED";  // %.1f 毫秒
inline constexpr char kCauseRefusedFormat[] = "\xA5\x44\xBE\xF7\xA6\xB3\xA6\x5E\xC0\xB3\xA1\x41\xA6\xFD Port %d \xA8\x53\xA6\xB3\xB5\x7B\xA6\xA1\xA6\x62\xB1\xB5\xC5\xA5";  // 主機有回應，但 Port %d 沒有程式在接聽
inline constexpr char kCauseReportedFormat[] = "\xB8\xF4\xA5\xD1\xBE\xB9 %s \xA6\x5E\xB3\xF8%s";  // 路由器 %s 回報%s
inline constexpr char kCauseReportedUnknownFormat[] = "\xBA\xF4\xB8\xF4\xA6\x5E\xB3\xF8%s\xA1\x5D\xA4\xA3\xAA\xBE\xAC\x4F\xAD\xFE\xAD\xD3\xB8\xF4\xA5\xD1\xBE\xB9\xA1\x5E";  // 網路回報%s（不知是哪個路由器）
inline constexpr char kUnreachableHost[] = "\xA5\x44\xBE\xF7\xB5\x4C\xAA\x6B\xA8\xEC\xB9\x46";  // 主機無法到達
inline constexpr char kUnreachableNetwork[] = "\xBA\xF4\xB8\xF4\xB5\x4C\xAA\x6B\xA8\xEC\xB9\x46";  // 網路無法到達
inline constexpr char kUnreachableProhibited[] = "\xB3\x73\xBD\x75\xB3\x51\xBA\xDE\xB2\x7A\xA4\x57\xB8\x54\xA4\xEE";  // 連線被管理上禁止
inline constexpr char kCauseNeedsIcmp[] = "\xB3\x73\xBD\x75\xAD\x6E\xA8\x44\xA8\x53\xA6\xB3\xA6\x5E\xC0\xB3\xA1\x46\xAD\x6E\xA7\xE4\xA5\x58\xA6\x62\xAD\xFE\xB8\xCC\xA4\xA4\xC2\x5F\xBB\xDD\xAD\x6E ICMP \xC5\x76\xAD\xAD";  // 連線要求沒有回應；要找出在哪裡中斷需要 ICMP 權限
inline constexpr char kCauseNoAnswer[] = "\xB3\x73\xBD\x75\xAD\x6E\xA8\x44\xA8\x53\xA6\xB3\xA6\x5E\xC0\xB3";  // 連線要求沒有回應
inline constexpr char kCauseFilteredFormat[] = "\xA5\x44\xBE\xF7\xA6\x5E\xC0\xB3 ping\xA1\x41Port %d \xB3\x51\xA5\x44\xBE\xF7\xA9\xCE\xA8\xE4\xAB\x65\xA4\xE8\xAA\xBA\xA8\xBE\xA4\xF5\xC0\xF0\xB9\x4C\xC2\x6F";  // 主機回應 ping，Port %d 被主機或其前方的防火牆過濾
inline constexpr char kCauseBeyondRouterFormat[] = "\xB2\xC4 %d \xAD\xD3\xB8\xF4\xA5\xD1\xBE\xB9\xA1\x5D%s\xA1\x5E\xA4\xA7\xAB\xE1\xA8\x53\xA6\xB3\xA6\x5E\xC0\xB3";  // 第 %d 個路由器（%s）之後沒有回應
inline constexpr char kCauseNothingAnswers[] = "\xA8\x53\xA6\xB3\xA5\xF4\xA6\xF3\xA6\x5E\xC0\xB3\xA1\x41\xB3\x73\xB2\xC4\xA4\x40\xAD\xD3\xB8\xF4\xA5\xD1\xBE\xB9\xA4\x5D\xA8\x53\xA6\xB3";  // 沒有任何回應，連第一個路由器也沒有
inline constexpr char kCauseNotHostName[] = "\xA4\xA3\xAC\x4F\xA5\x44\xBE\xF7\xA6\x57\xBA\xD9\xA1\x5D\xA8\x53\xA6\xB3\xAC\x64\xB8\xDF\xA1\x5E";  // 不是主機名稱（沒有查詢）
inline constexpr char kCauseLookupSlowFormat[] = "\xAC\x64\xB8\xDF\xA5\x44\xBE\xF7\xA6\x57\xBA\xD9\xB6\x57\xB9\x4C %u \xB2\x40\xAC\xED";  // 查詢主機名稱超過 %u 毫秒
inline constexpr char kCauseNameNotFound[] = "\xA5\x44\xBE\xF7\xA6\x57\xBA\xD9\xB5\x4C\xAA\x6B\xB8\xD1\xAA\x52";  // 主機名稱無法解析
inline constexpr char kCauseNoPortSet[] = "\xB3\x6F\xAD\xD3\xB6\xB5\xA5\xD8\xA8\x53\xA6\xB3\xB3\x5D\xA9\x77 Port";  // 這個項目沒有設定 Port
inline constexpr char kCausePortOutOfRangeFormat[] = "Port %d \xA4\xA3\xA6\x62 1 \xA8\xEC 65535 \xA4\xA7\xB6\xA1";  // Port %d 不在 1 到 65535 之間
inline constexpr char kCauseError[] = "\xB5\x4C\xAA\x6B\xC0\xCB\xAC\x64";  // 無法檢查
inline constexpr char kCheckProxyCauseFormat[] = "%s:%d  \xB8\x67\xA5\x4E\xB2\x7A\xA1\x47%s";  // %s:%d  經代理：%s

}  // namespace rk::text
