#pragma once
// The one place that names the program's version.
#define QC_VERSION_MAJOR 1
#define QC_VERSION_MINOR 0
#define QC_VERSION_PATCH 0
#define QC_VERSION_BUILD 0
#define QC_VERSION_TEXT "1.0.0.0"
#define QC_COPYRIGHT_TEXT "Copyright (C) 2026 Quavercart developers"
