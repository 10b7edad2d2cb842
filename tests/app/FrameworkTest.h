#pragma once
// Ids of the framework tests' own dialog template.

#define IDD_FRAMEWORK_TEST 200
#define IDC_TEST_A 201
#define IDC_TEST_TEXT 202
#define IDC_TEST_B 203
#define IDC_TEST_C 204
#define IDC_TEST_GO 205
#define IDC_TEST_D 206
