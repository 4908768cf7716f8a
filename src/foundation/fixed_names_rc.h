// The product's version and maker for the resource scripts. Written by tools/fixed_names.py from
// src/foundation/fixed_names.h: change them there.
#ifndef FOUNDATION_FIXED_NAMES_RC_H
#define FOUNDATION_FIXED_NAMES_RC_H
#define PX_VERSION_MAJOR 2
#define PX_VERSION_MINOR 1
#define PX_VERSION_PATCH 0
#define PX_VERSION_BUILD 0
#define PX_VERSION_TEXT "2.1.0.0"
#define PX_MAKER_NAME "Morvaine"
#define PX_LEGAL_COPYRIGHT "Copyright (C) Morvaine"
#endif
