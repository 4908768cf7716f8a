// The names the uninstaller finds the installation by, and the constants of the uninstall log's
// format: the one home of both. tools/fixed_names.py turns this file into the NSIS kit's defines
// (installer/pxunins_names.nsh), the Wine harness's names (tools/pxwine/fixed_names.py) and the resource
// scripts' version (fixed_names_rc.h); the test fixed_names_generated fails while one differs from what
// this file gives, and fixed_names_spelled_once while a source file outside these spells one of the names
// itself. One constant a line, in the
// forms below; a text may join string literals and the FIXED_ pieces defined above it, so that a name
// built on another (the product key on the maker key) is written once. The generator reads nothing else.
#ifndef FOUNDATION_FIXED_NAMES_H
#define FOUNDATION_FIXED_NAMES_H

#include <stdint.h>

// The uninstall log, beside the uninstaller in the installation folder.
static const char kLogFileName[] = "_pxunins.dat";
static const char kUninstallerFileName[] = "pxunins.exe";
// The first four bytes of every log, read little-endian: E0 AA 49 57 on disk.
enum : uint32_t { UninstallLogMagic = 0x5749AAE0u };
// The header: the magic, a word that must be 0, the entry count (signed) at offset 8.
enum { kLogHeaderSize = 12 };
enum { kLogCountOffset = 8 };
// Each entry opens with its kind word and its path's length in bytes, then the path, no NUL.
enum { kLogEntryHeadSize = 8 };
// An entry's kind word.
enum { EntryKindFile = 0 };       // removed with DeleteFileA
enum { EntryKindDirectory = 1 };  // removed with RemoveDirectoryA, only when empty
// The longest path an entry may carry: a MAX_PATH block holds it with its NUL.
enum { kLongestLoggedPath = 259 };

// The pieces that several names share; the generator joins them into the names, and writes no name of
// their own.
#define FIXED_PRODUCT "Plexitone"
#define FIXED_WINDOWS_KEY "Software\\Microsoft\\Windows\\CurrentVersion"
#define FIXED_WINDOWS_NT_KEY "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
#define FIXED_MAKER "Morvaine"
#define FIXED_MAKER_KEY "SOFTWARE\\" FIXED_MAKER
#define FIXED_PRODUCT_KEY FIXED_MAKER_KEY "\\" FIXED_PRODUCT

// The product's version and maker, one home for the exe's and the installer's version resources, the
// Uninstall entry's values and the release's file names: major.minor.patch.build. The generator joins
// them into the text "2.1.0.0" (PX_VERSION_TEXT) for the others.
enum { kVersionMajor = 2 };
enum { kVersionMinor = 1 };
enum { kVersionPatch = 0 };
enum { kVersionBuild = 0 };
static const char kMakerName[] = FIXED_MAKER;
static const char kLegalCopyright[] = "Copyright (C) " FIXED_MAKER;
// The product's home page: the installed Plexitone.url, and the address a signature names its maker by.
static const char kHomePageUrl[] = "http://plexitone.example/";

// The group in the current user's start-menu Programs folder and its five shortcuts.
static const char kGroupName[] = FIXED_PRODUCT;
static const char kAppShortcut[] = FIXED_PRODUCT ".lnk";
static const char kHelpShortcut[] = FIXED_PRODUCT " Help.lnk";
static const char kLicenseShortcut[] = FIXED_PRODUCT " License.lnk";
static const char kHomePageShortcut[] = FIXED_PRODUCT " Home Page.lnk";
static const char kUninstallShortcut[] = "Uninstall " FIXED_PRODUCT ".lnk";

// Registry keys, each under the root its user names.
#define FIXED_APP_FILE_NAME "px.exe"
static const char kAppFileName[] = FIXED_APP_FILE_NAME;
static const char kAppPathKey[] = FIXED_WINDOWS_KEY "\\App Paths\\" FIXED_APP_FILE_NAME;
static const char kUninstallKey[] = FIXED_WINDOWS_KEY "\\Uninstall\\" FIXED_PRODUCT;
static const char kMakerKey[] = FIXED_MAKER_KEY;
static const char kProductKey[] = FIXED_PRODUCT_KEY;
static const char kAudioSettingsKey[] = FIXED_PRODUCT_KEY "\\Audio";
static const char kMidiSettingsKey[] = FIXED_PRODUCT_KEY "\\MIDI";
static const char kRecentFilesKey[] = FIXED_PRODUCT_KEY "\\Recent Files";
static const char kOfflineRenderingKey[] = FIXED_PRODUCT_KEY "\\Offline Rendering";

// The pipe driver: the product key's value that names its file, its use count, its place in the
// MIDI driver lists of the two lines.
static const char kPipeDriverValue[] = FIXED_PRODUCT "Pipe";
static const char kPipeDriverFileName[] = "pxpipe.drv";
static const char kSharedDllsKey[] = FIXED_WINDOWS_KEY "\\SharedDLLs";
static const char kDrivers32Key[] = FIXED_WINDOWS_NT_KEY "\\Drivers32";
static const char kDriversDescKey[] = FIXED_WINDOWS_NT_KEY "\\drivers.desc";
static const char kDriverListName[] = "midi";
enum { kDriverListNames = 100 };  // "midi", then "midi1" to "midi99"
static const char kSystemIniFile[] = "system.ini";
static const char kSystemIniDrivers[] = "drivers";
static const char kSystemIniDriverKey[] = "MIDI" FIXED_PRODUCT;

#endif
