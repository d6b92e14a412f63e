// Resource identifiers of the test camera module.
#pragma once

#define IDD_CAMERA_PAGE 100
#define IDC_PAGE_SIZE 1001
#define IDC_PAGE_RATE 1002
#define IDC_PAGE_FRAMES 1003
