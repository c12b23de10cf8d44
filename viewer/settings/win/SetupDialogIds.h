#pragma once
// The setup dialog's template and items (SetupDialog.rc and CSimpleSetupDlg). Plain defines, so
// that the resource compiler reads them too.
#define IDD_SIMPLE_SETUP 203

// Per channel n (0 to 15): the item is FIRST + n.
#define IDC_SETUP_QUALITY_FIRST 222 // drop-down list: quality level
#define IDC_SETUP_ENABLE_FIRST 254 // check box: enabled
#define IDC_SETUP_WEIGHTED_FIRST 271 // read-only field: weighted rate
#define IDC_SETUP_RATEBAR_FIRST 391 // trackbar: rate position
#define IDC_SETUP_RATE_FIRST 408 // static: shown rate
#define IDC_SETUP_TYPE_FIRST 439 // static: resolution label
#define IDC_SETUP_ROW_FIRST 461 // static: row number

#define IDC_SETUP_TOTAL 407
#define IDC_SETUP_HEAD_CHANNEL 455 // headings 455 to 460
#define IDC_SETUP_HEAD_QUALITY 456
#define IDC_SETUP_HEAD_REFRESH 457
#define IDC_SETUP_HEAD_FPS 458
#define IDC_SETUP_HEAD_TYPE 459
#define IDC_SETUP_HEAD_ENABLE 460
#define IDC_SETUP_TOTAL_LABEL 477

#define IDC_SETUP_EASY 500 // radio button "Easy Setup"
#define IDC_SETUP_MANUAL 502 // radio button "Manual Setup"
#define IDC_SETUP_EASY_QUALITY 503 // group "Quality"
#define IDC_SETUP_EASY_SPLIT 504 // heading "Split"
#define IDC_SETUP_SPLIT_FIRST 505 // statics "1", "4", "9", "16"
#define IDC_SETUP_LEVEL_FIRST 509 // drop-down lists: quality level of the 1-, 4-, 9- and 16-picture layouts
#define IDC_SETUP_REFRESH 513 // drop-down list: refresh option
#define IDC_SETUP_REFRESH_LABEL 514
#define IDC_SETUP_AUDIO 520 // check box "Enable Audio"
