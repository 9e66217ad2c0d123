#pragma once
// Resource identifiers of the video source DLL: the property page's dialog and its controls.

#define IDD_PROPERTIES 100

#define IDC_SERIAL 1001
#define IDC_PROFILE 1002
#define IDC_BROWSE 1003
#define IDC_STATUS 1004
// The adjustment rows: name, value and range of row i are IDC_NAME + i, IDC_VALUE + i, IDC_RANGE + i.
#define IDC_NAME 1100
#define IDC_VALUE 1200
#define IDC_RANGE 1300
#define ADJUSTMENT_ROWS 5
