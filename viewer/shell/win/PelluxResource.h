#pragma once
// Resource identifiers of Pellux.dll.
#define IDS_PELLUX_TYPENAME 1 // "Pellux Control"
#define IDS_PELLUXPPG_TYPENAME 2 // "Pellux Property Page"
#define IDS_PELLUX_VERSION 3 // "0,9,1,24"
#define IDS_PELLUXPPG_CAPTION 4 // "General" (string 0 does not load through LoadString)
#define IDB_PELLUX_TOOLBOX 1
#define IDD_PROPPAGE_PELLUX 200
