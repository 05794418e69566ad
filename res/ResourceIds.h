#pragma once
// Numeric ids of the program's resources: dialog templates, controls, menus, images and strings.
// Every window looks its parts up by these ids; the values are fixed and shared by all
// subsystems.

// Dialog templates.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_QUILLON_DIALOG = 102;
constexpr int IDD_WILDCARD_SELECT = 160;

// Images and menus.
constexpr int IDI_QUILLON = 128;      // application icon
constexpr int IDB_CHECKS = 129;       // 34 x 15: two 17-pixel check-box images
constexpr int IDR_MENU_SELECT = 134;  // the "Select" menu button's menu
constexpr int IDB_BANNER = 135;       // 500 x 110 banner of the About box

// String table.
constexpr int IDS_ABOUTBOX = 101;
constexpr int IDS_STATUS_FILES = 103;
constexpr int IDS_STATUS_DUPS = 104;
constexpr int IDS_STATUS_ELAPSED = 105;
constexpr int IDS_STATUS_SIZE = 106;

// Command ids.
constexpr int IDM_ABOUTBOX = 0x0010;  // window-menu item of the About box
constexpr int ID_SELECT_NEWER = 32771;
constexpr int ID_SELECT_OLDER = 32772;

// Standard dialog results and buttons.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDC_STATIC = -1;  // controls nobody addresses

// Controls of the main dialog (102).
constexpr int IDC_EDIT_FOLDER = 1000;
constexpr int IDC_LIST_FOLDERS = 1001;
constexpr int IDC_BUTTON_ADD = 1002;
constexpr int IDC_BUTTON_BROWSE = 1003;
constexpr int IDC_BUTTON_DELETE_FOLDER = 1004;
constexpr int IDC_LIST_RESULTS = 1006;
constexpr int IDC_BUTTON_SEARCH = 1007;
constexpr int IDC_BUTTON_DELETE_ALL = 1008;
constexpr int IDC_CAPTION_ADD_FOLDER = 1009;
constexpr int IDC_CAPTION_FOLDERS = 1010;
constexpr int IDC_CAPTION_SEARCH = 1011;
constexpr int IDC_CAPTION_SELECT = 1012;
constexpr int IDC_BUTTON_STOP = 1013;
constexpr int IDC_BUTTON_WILDCARDS = 1014;
constexpr int IDC_EDIT_SIZE_FROM = 1017;
constexpr int IDC_EDIT_SIZE_TO = 1018;
constexpr int IDC_BUTTON_SELECT = 1025;
constexpr int IDC_BUTTON_FOLDERS = 1026;
constexpr int IDC_BUTTON_DELETE = 1029;
constexpr int IDC_BUTTON_DESELECT = 1030;

// Controls of the About box (100).
constexpr int IDC_HYPERLINK = 1029;
constexpr int IDC_EDIT_VERSION = 1031;
constexpr int IDC_EDIT_BUILD_TIME = 1032;

// Controls of the pattern dialog (160).
constexpr int IDC_PATTERN_LINE = 1019;
constexpr int IDC_EDIT_PATTERN = 1036;
