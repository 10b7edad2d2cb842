#pragma once
// Resource and control ids, shared by the program and its resource script.

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_OSTREL_DIALOG 102
#define IDR_MAINFRAME 128
#define IDC_RADIO_ON 1001
#define IDC_RADIO_OFF 1002
#define IDC_EDIT_LOG 1003
#define IDC_STATIC_POWERSAVE 1004
#define IDC_BUTTON_SCAN 1005

// The About item of the system menu; system commands keep the low four bits
// for the system's own use.
#define IDM_ABOUTBOX 0x0010
