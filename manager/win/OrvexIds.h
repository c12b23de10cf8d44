#pragma once
// Resource and control identifiers of Orvex's own templates.

#define IDD_ABOUTBOX 100
#define IDD_MAIN 102
#define IDC_ABOUT_ICON 210
#define IDC_ABOUT_NAME 211
#define IDC_ABOUT_NOTICE 212

// The main window's buttons.
#define IDC_NVS_CLIENT 1000
#define IDC_VIEWER 1001
#define IDC_BACKUP 1002
#define IDC_PLAYER 1003
#define IDC_SEARCH 1004
#define IDC_REMOTE_SETUP 1005
#define IDC_SITE_SETUP 1008
#define IDC_EXIT 1011

// The system menu's About item.
#define IDM_ABOUTBOX 16

// The site list (template 140).
#define IDD_SITE_SETUP 140
#define IDC_SITE_LIST 1050
#define IDC_SITE_NEW 1051
#define IDC_SITE_UPDATE 1052
#define IDC_SITE_DELETE 1053
#define IDC_SITE_SELECT 1054
#define IDC_SITE_CANCEL 1055
#define IDC_SITE_SAVE 1056

// The site edit dialog (template 135).
#define IDD_IP_SETUP 135
#define IDC_DDNS_MEMBER_LABEL 1023
#define IDC_DDNS_NAME_LABEL 1024
#define IDC_ADDRESS_LABEL 1025
#define IDC_PORT_LABEL 1026
#define IDC_USER_LABEL 1027
#define IDC_PASSWORD_LABEL 1028
#define IDC_MODE_MANUAL 1030
#define IDC_MODE_DDNS 1031
#define IDC_DDNS_MEMBER 1032
#define IDC_DDNS_NAME 1033
#define IDC_DDNS_TEST 1034
#define IDC_ADDRESS 1035
#define IDC_PORT 1036
#define IDC_USER 1037
#define IDC_PASSWORD 1038
#define IDC_IP_OK 1058
#define IDC_IP_CANCEL 1059
#define IDC_LOCATION_LABEL 2078
#define IDC_LOCATION 2079
