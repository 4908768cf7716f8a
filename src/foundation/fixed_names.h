// The names the uninstaller finds the installation by, and the constants of the uninstall log's
// format: the one home of both. tools/fixed_names.py turns this file into the NSIS kit's defines
// (installer/pxunins_names.nsh) and the Wine harness's names (tools/pxwine/fixed_names.py); the test
// fixed_names_generated fails while either differs from what this file gives. Keep to the two forms
// below, one constant a line: the generator reads nothing else.
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

// The group in the current user's start-menu Programs folder and its five shortcuts.
static const char kGroupName[] = "Plexitone";
static const char kAppShortcut[] = "Plexitone.lnk";
static const char kHelpShortcut[] = "Plexitone Help.lnk";
static const char kLicenseShortcut[] = "Plexitone License.lnk";
static const char kHomePageShortcut[] = "Plexitone Home Page.lnk";
static const char kUninstallShortcut[] = "Uninstall Plexitone.lnk";

// Registry keys, each under the root its user names.
static const char kAppFileName[] = "px.exe";
static const char kAppPathKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\px.exe";
static const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plexitone";
static const char kMakerKey[] = "SOFTWARE\\Morvaine";
static const char kProductKey[] = "SOFTWARE\\Morvaine\\Plexitone";
static const char kAudioSettingsKey[] = "SOFTWARE\\Morvaine\\Plexitone\\Audio";
static const char kMidiSettingsKey[] = "SOFTWARE\\Morvaine\\Plexitone\\MIDI";
static const char kRecentFilesKey[] = "SOFTWARE\\Morvaine\\Plexitone\\Recent Files";
static const char kOfflineRenderingKey[] = "SOFTWARE\\Morvaine\\Plexitone\\Offline Rendering";

// The pipe driver: the product key's value that names its file, its use count, its place in the
// MIDI driver lists of the two lines.
static const char kPipeDriverValue[] = "PlexitonePipe";
static const char kPipeDriverFileName[] = "pxpipe.drv";
static const char kSharedDllsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
static const char kDrivers32Key[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
static const char kDriversDescKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc";
static const char kDriverListName[] = "midi";
enum { kDriverListNames = 100 };  // "midi", then "midi1" to "midi99"
static const char kSystemIniFile[] = "system.ini";
static const char kSystemIniDrivers[] = "drivers";
static const char kSystemIniDriverKey[] = "MIDIPlexitone";

#endif
