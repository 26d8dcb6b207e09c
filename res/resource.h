// Dialog and control identifiers shared by the templates and the code.
#pragma once

#define IDD_WELCOME 101
#define IDD_LICENSE 102
#define IDD_README 103
#define IDD_DIRECTORY 104
#define IDD_READY 105
#define IDD_PROGRESS 106
#define IDD_ENVIRONMENT 107

#define IDC_BACK 1000      // "< Back"; "No" on the environment page
#define IDC_NEXT 1001      // "Next >"; "I Agree" on the licence page; "Yes" on the environment page
#define IDC_ABORT 1003     // "Abort"; "I Disagree" on the licence page
#define IDC_TEXTPANE 1005  // read-only document pane of the licence and information pages
#define IDC_INSTALLDIR 1008
#define IDC_PROGRESS 1009

#ifndef IDC_STATIC
#define IDC_STATIC (-1)  // group boxes and static texts
#endif
