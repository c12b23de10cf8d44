#pragma once
// The login dialog's template and items (LoginDlg.rc).
#define IDD_LOGIN 207
#define IDC_LOGIN_ID_LABEL 2072
#define IDC_LOGIN_ID 2073
#define IDC_LOGIN_PASSWORD 2074
#define IDC_LOGIN_PASSWORD_LABEL 2075
#define IDC_LOGIN_OK 2076
#define IDC_LOGIN_CANCEL 2077
