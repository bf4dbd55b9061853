#pragma once
// Resource ids shared by every language file and by the code.

#define IDS_NOT_REMOVABLE 113
#define IDS_AUTOPLAY_QUESTION 131
#define IDS_UNSUPPORTED_OS 145
#define IDS_ALREADY_RUNNING 151
#define IDS_ERROR_CAPTION 152
#define IDS_STARTUP_SETTING 154
