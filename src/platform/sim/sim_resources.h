// The program's compiled resources as the simulated Windows reads them: the .res file that windres
// makes from src/dialogs/pxunins.rc, its entries, the extended dialog templates and the icon group.
#ifndef PLATFORM_SIM_SIM_RESOURCES_H
#define PLATFORM_SIM_SIM_RESOURCES_H

#include <string>
#include <vector>

#include "platform/platform.h"

// The .res bytes, embedded in the simulation by the build (cmake/embedded_resources.cmake): the
// same script, compiled by the same resource compiler, as the resources of the exe.
extern const unsigned char SimResFileBytes[];
extern const size_t SimResFileSize;

// Resource types by their ordinals.
enum SimResourceType {
    SimResourceIcon = 3,        // RT_ICON: one image of an icon
    SimResourceDialog = 5,      // RT_DIALOG
    SimResourceGroupIcon = 14,  // RT_GROUP_ICON: the directory of an icon's images
};

// A type, a name, a class or a title that the formats store either as a 16-bit ordinal (marked by
// 0xFFFF) or as a NUL-terminated UTF-16 string. A field that stores a lone 0 (no menu, the
// standard dialog class) is neither: isOrdinal false and text empty.
struct SimResourceName {
    bool isOrdinal = false;
    WORD ordinal = 0;   // when isOrdinal
    std::string text;   // when not: the UTF-16 text with each character above 0x7F as '?'
};

// One entry of a .res file (a RESOURCEHEADER and its data).
struct SimResourceEntry {
    SimResourceName type;   // an ordinal such as SimResourceDialog, or a name
    SimResourceName name;   // resource compilers store string names upper-cased
    DWORD dataVersion = 0;  // 0 in files that windres and rc write
    WORD memoryFlags = 0;   // MOVEABLE 0x10, PURE 0x20, DISCARDABLE 0x1000; Win32 ignores them
    WORD languageId = 0;    // MAKELANGID: 1033 is English, United States
    DWORD version = 0;      // the VERSION statement, 0 when absent
    DWORD characteristics = 0;  // the CHARACTERISTICS statement, 0 when absent
    std::vector<BYTE> data;     // DataSize bytes
};

// Reads every entry of a .res file, skipping the empty entry that opens 32-bit .res files (type
// and name ordinal 0). False when an entry runs past the end or its header is inconsistent.
bool SimParseResFile(const BYTE* bytes, size_t size, std::vector<SimResourceEntry>* entries);

// The entries of the embedded .res, read once.
const std::vector<SimResourceEntry>& SimProgramResources();

// FindResource: the entry of this type and name in the program's resources, or NULL. A string
// name is upper-cased (A-Z only) before the comparison, as Windows does, so "Uninstalling" finds
// the stored "UNINSTALLING"; "#5" and MAKEINTRESOURCEA(5) both ask for ordinal 5.
const SimResourceEntry* SimFindResource(WORD type, LPCSTR name);

// One control of an extended dialog template (DLGITEMTEMPLATEEX).
struct SimDialogItem {
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0;    // dialog units, from the dialog's client area
    short cx = 0, cy = 0;  // dialog units
    DWORD id = 0;          // 32 bits in the extended form; -1 (no identifier) is 0xFFFFFFFF
    SimResourceName windowClass;  // ordinal 0x0080 BUTTON ... 0x0085 COMBOBOX, or a class name
    SimResourceName title;        // the text, or an ordinal (an icon or bitmap resource)
    WORD extraCount = 0;          // bytes of creation data that follow
    std::vector<BYTE> extra;
};

// An extended dialog template (DLGTEMPLATEEX) with its items.
struct SimDialogTemplate {
    WORD dlgVer = 0;      // 1
    WORD signature = 0;   // 0xFFFF
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    WORD itemCount = 0;   // cDlgItems
    short x = 0, y = 0;   // dialog units
    short cx = 0, cy = 0; // dialog units
    SimResourceName menu;         // none: neither ordinal nor text
    SimResourceName windowClass;  // none: the standard dialog class "#32770"
    std::string title;
    // The font fields are present only when the style has DS_SETFONT.
    bool hasFont = false;
    WORD pointSize = 0;
    WORD weight = 0;      // 0 is FW_DONTCARE
    BYTE italic = 0;
    BYTE charset = 0;     // 1 is DEFAULT_CHARSET
    std::string typeface;
    std::vector<SimDialogItem> items;
    size_t byteCount = 0;  // bytes from the start of the template to the end of its last item
};

// Reads an extended dialog template. False for the old (non-extended) form, which this program
// does not carry, and for a template that runs past the end of its data.
bool SimParseDialogTemplate(const BYTE* bytes, size_t size, SimDialogTemplate* dialog);

// One image of an icon group (GRPICONDIRENTRY).
struct SimIconGroupEntry {
    BYTE width = 0, height = 0;  // pixels; 0 means 256
    BYTE colourCount = 0;        // 16 for 4 bits per pixel, 0 for 8 and more
    BYTE reserved = 0;
    WORD planes = 0;
    WORD bitCount = 0;
    DWORD bytesInRes = 0;        // size of the RT_ICON resource
    WORD id = 0;                 // the RT_ICON resource's ordinal name
};

// An icon group (GRPICONDIR and its entries).
struct SimIconGroup {
    WORD reserved = 0;
    WORD type = 0;  // 1 for icons
    std::vector<SimIconGroupEntry> entries;
};

bool SimParseIconGroup(const BYTE* bytes, size_t size, SimIconGroup* group);

#endif
