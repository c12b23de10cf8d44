#pragma once
// Identifiers shared by the foundation's tests and their DLLs.
#include <objbase.h>

// {6F1E8A52-3C1B-4D0E-9E57-2B9A7C4D1E01}
inline constexpr GUID kClsidTestObject = {0x6f1e8a52, 0x3c1b, 0x4d0e, {0x9e, 0x57, 0x2b, 0x9a, 0x7c, 0x4d, 0x1e, 0x01}};
#define TEST_PROGID L"PxFoundation.TestObject.1"

#define IDD_TEST 100
#define IDC_TEST_EDIT 101

#define IDD_ITEMS 110
#define IDC_ITEMS_CHECK 111
#define IDC_ITEMS_COMBO 112
#define IDC_ITEMS_LIST 113
#define IDC_ITEMS_STATIC 114
#define IDC_ITEMS_ROWS 115
