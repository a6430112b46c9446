// Identifiers of every resource of setup.exe: strings, dialogs, images.
#pragma once

// Strings
#define IDS_ADMIN_INSTALLED 2009
#define IDS_ANOTHER_INSTANCE 2010

// Version information
#define KX_VERSION_NUMBERS 1, 0, 0, 0
#define KX_VERSION_TEXT "1.0.0.0"
#define KX_INTERNAL_VERSION "1.0.0.1"
