// The compiled resources carry every field of both dialog templates and of the icon group exactly:
// the bytes checked here are the ones the exe is built from.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "platform/sim/sim_resources.h"

namespace {

const DWORD kNoId = 0xFFFFFFFF;  // -1 in a 32-bit id field
const WORD kButtonClass = 0x0080;
const WORD kStaticClass = 0x0082;
const WORD kEnglishUnitedStates = 1033;

struct ControlRow {
    const char* name;
    DWORD id;
    WORD classOrdinal;      // 0 when the class is given by name
    const char* className;  // when classOrdinal is 0
    const char* text;
    DWORD style;
    short x, y, cx, cy;
};

struct DialogRow {
    const char* name;
    const char* storedName;
    const char* requestedName;  // as the program asks for it
    DWORD exStyle;
    short x, y, cx, cy;
    std::vector<ControlRow> controls;
};

const DialogRow kDialogs[] = {
    {"progress dialog", "UNINSTALLING", "Uninstalling", 0, 38, 32, 230, 49,
     {
         {"removing line", 100, kStaticClass, "", "Removing:", 0x50000000, 9, 8, 211, 8},
         {"progress bar", 200, 0, "msctls_progress32", "", 0x50010000, 20, 25, 192, 12},
     }},
    {"fallback dialog", "AFTERRUN", "AfterRun", 0x00000004, 30, 24, 239, 76,
     {
         {"first text", kNoId, kStaticClass, "",
          "The Plexitone uninstall cannot start. The program had possibly been already "
          "uninstalled.",
          0x50000000, 14, 8, 215, 18},
         {"second text", kNoId, kStaticClass, "",
          "However the uninstall may attempt to remove the Plexitone pipe driver and/or start "
          "menu group if they are left in the system.",
          0x50000000, 14, 28, 213, 25},
         {"Go on", 1, kButtonClass, "", "&Go on", 0x50010001, 47, 54, 66, 13},
         {"Cancel", 2, kButtonClass, "", "Cancel", 0x50010000, 131, 54, 66, 13},
     }},
};

TEST(TemplateFidelity, DialogTemplatesCarryEveryField)
{
    for (const DialogRow& row : kDialogs) {
        SCOPED_TRACE(row.name);
        const SimResourceEntry* entry = SimFindResource(SimResourceDialog, row.requestedName);
        ASSERT_NE(entry, nullptr);
        EXPECT_FALSE(entry->name.isOrdinal);
        EXPECT_EQ(entry->name.text, row.storedName);
        EXPECT_EQ(entry->languageId, kEnglishUnitedStates);

        SimDialogTemplate dialog;
        ASSERT_TRUE(SimParseDialogTemplate(entry->data.data(), entry->data.size(), &dialog));
        EXPECT_EQ(dialog.dlgVer, 1);
        EXPECT_EQ(dialog.signature, 0xFFFF);
        EXPECT_EQ(dialog.helpId, 0u);
        EXPECT_EQ(dialog.exStyle, row.exStyle);
        // WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, and no WS_POPUP.
        EXPECT_EQ(dialog.style, 0x10C800C0u);
        EXPECT_EQ(dialog.x, row.x);
        EXPECT_EQ(dialog.y, row.y);
        EXPECT_EQ(dialog.cx, row.cx);
        EXPECT_EQ(dialog.cy, row.cy);
        EXPECT_FALSE(dialog.menu.isOrdinal);  // no menu
        EXPECT_EQ(dialog.menu.text, "");
        EXPECT_FALSE(dialog.windowClass.isOrdinal);  // the standard dialog class
        EXPECT_EQ(dialog.windowClass.text, "");
        EXPECT_EQ(dialog.title, "Uninstall Plexitone");
        EXPECT_TRUE(dialog.hasFont);
        EXPECT_EQ(dialog.pointSize, 8);
        EXPECT_EQ(dialog.weight, 0);
        EXPECT_EQ(dialog.italic, 0);
        EXPECT_EQ(dialog.charset, 1);
        EXPECT_EQ(dialog.typeface, "MS Sans Serif");
        // Nothing follows the last item.
        EXPECT_EQ(dialog.byteCount, entry->data.size());
        EXPECT_EQ(dialog.itemCount, row.controls.size());
        ASSERT_EQ(dialog.items.size(), row.controls.size());

        for (size_t i = 0; i < row.controls.size(); i++) {
            const ControlRow& control = row.controls[i];
            const SimDialogItem& item = dialog.items[i];
            SCOPED_TRACE(control.name);
            EXPECT_EQ(item.id, control.id);
            if (control.classOrdinal != 0) {
                EXPECT_TRUE(item.windowClass.isOrdinal);
                EXPECT_EQ(item.windowClass.ordinal, control.classOrdinal);
            } else {
                // By name, spelt exactly: case included.
                EXPECT_FALSE(item.windowClass.isOrdinal);
                EXPECT_EQ(item.windowClass.text, control.className);
            }
            EXPECT_FALSE(item.title.isOrdinal);
            EXPECT_EQ(item.title.text, control.text);
            EXPECT_EQ(item.style, control.style);
            EXPECT_EQ(item.exStyle, 0u);
            EXPECT_EQ(item.helpId, 0u);
            EXPECT_EQ(item.x, control.x);
            EXPECT_EQ(item.y, control.y);
            EXPECT_EQ(item.cx, control.cx);
            EXPECT_EQ(item.cy, control.cy);
            EXPECT_EQ(item.extraCount, 0);
        }
    }
}

// RT_ICON images as the group names them: a BITMAPINFOHEADER with twice the height (image and
// mask), 4 bits per pixel, then 16 palette entries, the XOR bitmap and the AND mask.
struct IconRow {
    const char* name;
    BYTE size;         // width and height in pixels
    DWORD bytes;       // 40 + 64 + XOR + AND
    WORD id;
};

const IconRow kIcons[] = {
    {"32 by 32", 32, 744, 1},  // 40 + 64 + 512 + 128
    {"16 by 16", 16, 296, 2},  // 40 + 64 + 128 + 64
};

DWORD ReadDword(const std::vector<BYTE>& data, size_t offset)
{
    return (DWORD)data[offset] | ((DWORD)data[offset + 1] << 8) |
           ((DWORD)data[offset + 2] << 16) | ((DWORD)data[offset + 3] << 24);
}

TEST(TemplateFidelity, IconGroupHoldsTwoSixteenColourImages)
{
    const SimResourceEntry* groupEntry = SimFindResource(SimResourceGroupIcon, "AAA");
    ASSERT_NE(groupEntry, nullptr);
    EXPECT_EQ(groupEntry->languageId, kEnglishUnitedStates);
    SimIconGroup group;
    ASSERT_TRUE(SimParseIconGroup(groupEntry->data.data(), groupEntry->data.size(), &group));
    EXPECT_EQ(group.reserved, 0);
    EXPECT_EQ(group.type, 1);
    ASSERT_EQ(group.entries.size(), 2u);

    for (size_t i = 0; i < 2; i++) {
        const IconRow& row = kIcons[i];
        const SimIconGroupEntry& entry = group.entries[i];
        SCOPED_TRACE(row.name);
        EXPECT_EQ(entry.width, row.size);
        EXPECT_EQ(entry.height, row.size);
        EXPECT_EQ(entry.colourCount, 16);
        EXPECT_EQ(entry.reserved, 0);
        EXPECT_EQ(entry.planes, 1);
        EXPECT_EQ(entry.bitCount, 4);
        EXPECT_EQ(entry.bytesInRes, row.bytes);
        EXPECT_EQ(entry.id, row.id);

        const SimResourceEntry* image = SimFindResource(SimResourceIcon, MAKEINTRESOURCEA(row.id));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->languageId, kEnglishUnitedStates);
        ASSERT_EQ(image->data.size(), row.bytes);
        EXPECT_EQ(ReadDword(image->data, 0), 40u);            // biSize
        EXPECT_EQ(ReadDword(image->data, 4), row.size);       // biWidth
        EXPECT_EQ(ReadDword(image->data, 8), 2u * row.size);  // biHeight: image and mask
        EXPECT_EQ(ReadDword(image->data, 12), 0x00040001u);   // biPlanes 1, biBitCount 4
        EXPECT_EQ(ReadDword(image->data, 16), 0u);            // biCompression: BI_RGB
    }
}

// Nothing else rides along: a stray resource would ship in the exe unseen.
TEST(TemplateFidelity, ProgramCarriesTheseResourcesOnly)
{
    std::set<std::pair<int, std::string>> found;
    for (const SimResourceEntry& entry : SimProgramResources()) {
        ASSERT_TRUE(entry.type.isOrdinal);
        found.insert({entry.type.ordinal, entry.name.isOrdinal
                                              ? "#" + std::to_string(entry.name.ordinal)
                                              : entry.name.text});
    }
    std::set<std::pair<int, std::string>> expected = {
        {SimResourceIcon, "#1"},
        {SimResourceIcon, "#2"},
        {SimResourceGroupIcon, "AAA"},
        {SimResourceDialog, "UNINSTALLING"},
        {SimResourceDialog, "AFTERRUN"},
        {16, "#1"},  // RT_VERSION, VS_VERSION_INFO: the file's properties
        {24, "#1"},  // RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID
    };
    EXPECT_EQ(found, expected);
}

// The manifest has Windows ask for an administrator before the run, keeps it from virtualising
// the registry and files, and from taking the common controls from beside the exe.
TEST(TemplateFidelity, ManifestAsksForAnAdministratorAndTheSystemsCommonControls)
{
    const SimResourceEntry* manifest = NULL;
    for (const SimResourceEntry& entry : SimProgramResources())
        if (entry.type.isOrdinal && entry.type.ordinal == 24)
            manifest = &entry;
    ASSERT_NE(manifest, nullptr);
    std::string text(manifest->data.begin(), manifest->data.end());
    const char* required[] = {
        "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>",
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "publicKeyToken=\"6595b64144ccf1df\"",
        "processorArchitecture=\"x86\"",
        "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",  // Windows 7
        "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",  // Windows 10 and 11
    };
    for (const char* text_required : required)
        EXPECT_NE(text.find(text_required), std::string::npos) << text_required;
    EXPECT_EQ(manifest->languageId, 1033);
}

TEST(TemplateFidelity, TemplateNamesMatchWithoutRegardToCase)
{
    struct Row {
        const char* name;
        LPCSTR requested;
        const char* found;  // NULL: no such template
    } rows[] = {
        {"as the progress step asks", "Uninstalling", "UNINSTALLING"},
        {"as stored", "UNINSTALLING", "UNINSTALLING"},
        {"lower case", "afterrun", "AFTERRUN"},
        {"a prefix is not a match", "Uninstall", NULL},
        {"one letter more", "AfterRuns", NULL},
        {"by ordinal", MAKEINTRESOURCEA(1), NULL},
        {"by #ordinal", "#5", NULL},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const SimResourceEntry* entry = SimFindResource(SimResourceDialog, row.requested);
        if (row.found == NULL) {
            EXPECT_EQ(entry, nullptr);
        } else {
            ASSERT_NE(entry, nullptr);
            EXPECT_EQ(entry->name.text, row.found);
        }
    }
    // An icon image found by "#n" is the same as by MAKEINTRESOURCE(n).
    EXPECT_EQ(SimFindResource(SimResourceIcon, "#2"),
              SimFindResource(SimResourceIcon, MAKEINTRESOURCEA(2)));
    EXPECT_NE(SimFindResource(SimResourceIcon, "#2"), nullptr);
}

}  // namespace
