// Identifiers of the dialog templates and of the controls that code
// addresses.
#pragma once

// Dialog templates
#define IDD_WIZARD_FRAME 107
#define IDD_SPLASH 108
#define IDD_SMALL_PROGRESS 109
#define IDD_ERROR 119
#define IDD_LANGUAGE 121

// Controls shared by several dialogs
#define IDC_TEXT 51
#define IDC_BACK 12
#define IDC_DIALOG_ICON 100
#define IDC_PROGRESS 301
#define IDC_LANGUAGE_LIST 306
#define IDC_PROGRESS_TEXT 1008

// The error dialog
#define IDC_ERROR_REPORT 1010
#define IDC_ERROR_DETAIL 1011
#define IDC_ERROR_DETAILS 1014
#define IDC_ERROR_EXPLANATION 1015
#define IDC_ERROR_HEADLINE 1016
#define IDC_ERROR_ICON 1017

// Wizard pages, normal and large layout, and the prerequisite dialog
#define IDD_LANGUAGE_PAGE 103
#define IDD_INSTANCE_PAGE 105
#define IDD_PROGRESS_PAGE 106
#define IDD_INSTANCE_CHOICE_PAGE 125
#define IDD_LARGE_LANGUAGE_PAGE 127
#define IDD_LARGE_INSTANCE_PAGE 128
#define IDD_LARGE_INSTANCE_CHOICE_PAGE 129
#define IDD_LARGE_PROGRESS_PAGE 130
#define IDD_LARGE_WIZARD_FRAME 131
#define IDD_PREREQUISITES 1034
#define IDD_LARGE_PREREQUISITES 3004

// Controls of the pages
#define IDC_PAGE_CANCEL 9
#define IDC_PAGE_SUBTITLE 51
#define IDC_PAGE_TITLE 52
#define IDC_HEADER_BAND 208
#define IDC_HEADER_LINE 215
#define IDC_FOOTER_LINE 216
#define IDC_PRODUCT_MARK 217
#define IDC_PAGE_LANGUAGE_LIST 304
#define IDC_RATE_LABEL 307
#define IDC_RATE_VALUE 308
#define IDC_TIME_LABEL 309
#define IDC_TIME_VALUE 310
#define IDC_SPARE_TEXT_1 1004
#define IDC_SPARE_TEXT_2 1005
#define IDC_INSTANCE_EXISTING 1010
#define IDC_INSTANCE_NEW 1011
#define IDC_INSTANCE_LIST 1005
#define IDC_INSTANCE_TEXT 1018
#define IDC_INSTANCE_LABEL 1019
#define IDC_IMAGE 1200

// Controls of the prerequisite dialog
#define IDC_PREREQ_TEXT_1 1003
#define IDC_PREREQ_TEXT_2 1004
#define IDC_PREREQ_TEXT_3 1005
#define IDC_PREREQ_TEXT_4 1006
#define IDC_PREREQ_LIST 1035
