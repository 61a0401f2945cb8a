#pragma once
// Resource and control identifiers shared by the .rc file and the code.
#define IDI_TESSORAVIN 1

#define IDD_CONFIG 100
#define IDC_MAPPING_LIST 1001
#define IDC_ADD 1002
#define IDC_EDIT 1003
#define IDC_DELETE 1004
#define IDC_PARAMS 1005
#define IDC_CONFIG_PATH 1006
#define IDC_PARAMS_LABEL 1007
#define IDC_MAPPINGS_LABEL 1008

#define IDD_EDIT_MAPPING 101
#define IDC_GROUP 1101
#define IDC_EXTS 1102
#define IDC_EXE_PATH 1103
#define IDC_BROWSE 1104
#define IDC_GROUP_LABEL 1105
#define IDC_EXTS_LABEL 1106
#define IDC_EXE_PATH_LABEL 1107
