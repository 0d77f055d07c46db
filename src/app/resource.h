// Identifiers of the program's resources: dialogs (IDD_), their controls (IDC_), strings (IDS_).
#pragma once

#define IDI_TARVIK 1

#define IDS_APP_TITLE 100
#define IDS_MAIN_CAPTION 101
#define IDS_VIEW_CAPTION 102
#define IDS_ARCHIVE_NAME 103
#define IDS_COLUMN_NAME 104
#define IDS_COLUMN_SIZE 105
#define IDS_COLUMN_DATE 106
#define IDS_FOLDER 107

#define IDD_BAR 200
#define IDC_LABEL2 201
#define IDC_LABEL1 202
#define IDC_PROGRESSBAR1 203
#define IDC_BITBTN1 204
#define IDC_BITBTN2 205

#define IDD_ABOUT 300
#define IDD_HELP 310
#define IDC_HELP_TEXT 311

#define IDD_INPUT 400
#define IDC_INPUT_PROMPT 401
#define IDC_INPUT_EDIT 402

// Controls of the main window (created in code; captions from the string table).
#define IDC_SHELLCOMBOBOX1 500
#define IDC_SHELLLISTVIEW1 501
#define IDC_EDIT1 502
#define IDC_EDIT1_LABEL 503
