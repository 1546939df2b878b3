// Resource ids of Reachkit.exe, shared by the resource scripts and the code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_REACHKIT_DIALOG 102
#define IDS_SOCKETS_INIT_FAILED 103
#define IDR_MAINFRAME 128

#define IDB_PNG_CLEAR 136
#define IDB_PNG_PING 138
#define IDB_PNG_PING_FADED 139
#define IDB_PNG_TELNET 140
#define IDB_PNG_TELNET_FADED 141
#define IDB_PNG_TRACE 142
#define IDB_PNG_TRACE_FADED 143
#define IDB_PNG_CONNECT_SETTING 144
#define IDB_PNG_PROXY_SETTING 146

// Controls of the main window's template.
#define IDC_RESULT_LIST 1006
#define IDC_HOST_COMBO 1007
#define IDC_PREFERENCE_TITLE 1026
#define IDC_SETTINGS_TITLE 1027
#define IDC_NETWORK_TITLE 1028
#define IDC_PREFERENCE_LINE 1029
#define IDC_SETTINGS_LINE 1030
#define IDC_NETWORK_LINE 1031

// Controls the main window creates at run time.
#define IDC_BTN_PROXY_SETTING 3000
#define IDC_BTN_CONNECT_SETTING 3001
#define IDC_PREFERENCE_LABEL 3002
#define IDC_BTN_PING 3010
#define IDC_BTN_TRACERT 3011
#define IDC_BTN_CLEAR 3012
#define IDC_BTN_TELNET 3013

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The check window: every endpoint of the host list at once.
#define IDD_CHECK_WINDOW 150
#define IDC_CHECK_CONCLUSION 1100
#define IDC_CHECK_PROGRESS 1101
#define IDC_CHECK_LIST 1102
#define IDC_CHECK_STOP 1103
#define IDC_CHECK_AGAIN 1104
#define IDC_CHECK_COPY 1105
#define IDC_CHECK_SAVE 1106
#define IDC_CHECK_CLOSE 1107

// The watch window: every endpoint sampled on and on, with a chart of the selected one.
#define IDD_WATCH_WINDOW 160
#define IDC_WATCH_STATUS 1200
#define IDC_WATCH_LIST 1201
#define IDC_WATCH_CHART 1202
#define IDC_WATCH_HOUR 1203
#define IDC_WATCH_START 1204
#define IDC_WATCH_SAVE_LOG 1205
#define IDC_WATCH_SAVE_HTML 1206
#define IDC_WATCH_CLOSE 1207
// The ranking of the connection locations.
#define IDD_RANK_WINDOW 151
#define IDC_RANK_PROGRESS 1110
#define IDC_RANK_LIST 1111
#define IDC_RANK_ADVICE 1112
#define IDC_RANK_APPLY 1113
#define IDC_RANK_CLOSE 1114

// The About item of the system menu.
#define IDM_ABOUTBOX 0x0010

// The check of every host, a second item of the system menu.
#define IDM_CHECK_ALL 0x0020

// The watch window, an item of the system menu.
#define IDM_WATCH 0x0040
// The ranking of the connection locations, a third item of the system menu.
#define IDM_RANK_LOCATIONS 0x0030

// The result list's context menu; commands of the main window.
#define IDM_COPY_LINE 33000
#define IDM_COPY_ALL 33001
#define IDM_SAVE_REPORT 33002
