// Ids of the setup dialog and its controls, shared by the template and the code.
#pragma once

#define IDD_SETUP            1001
#define IDC_ASSEMBLER_PATH   1002
#define IDC_BROWSE           1003
#define IDC_PATH_LABEL       1006
#define IDC_PATH_FRAME       1007
#define IDC_EXPORT_UI        1008
#define IDC_KEEP_RC          1009
#define IDC_VERSION          1010
#define IDC_GOTO_ERROR       1011
#define IDC_ASSEMBLER_ANSWER 1012
#define IDC_INCLUDE_LABEL    1013
#define IDC_INCLUDE_FRAME    1014
#define IDC_INCLUDE_PATH     1015
#define IDC_INCLUDE_BROWSE   1016
