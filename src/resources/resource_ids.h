// Identifiers of the add-in module's resources.
#pragma once

#define IDS_PROJNAME 100
#define IDR_BVOL 101           // the AppID registry script
#define IDR_CONNECT 102        // the class registry script
#define IDD_ADDIN_WINDOW 201   // the add-in's hidden window
#define IDD_PROGRESS 204       // the progress dialog
#define IDD_WORKER_WINDOW 206  // each action worker's hidden stop window
