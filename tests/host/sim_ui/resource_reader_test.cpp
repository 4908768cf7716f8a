// The resource reader on hand-built .res files and templates: the shapes the program's own
// resources do not exercise (named types, odd-length names, creation data, no font, bad sizes).
#include <gtest/gtest.h>

#include "platform/sim/sim_resources.h"
#include "sim_ui/resource_builder.h"

namespace {

// One RESOURCEHEADER and its data. typeAndName holds the TYPE and NAME fields, already encoded.
void AddEntry(ResourceBuilder* file, const ResourceBuilder& typeAndName, uint16_t language,
              const std::vector<uint8_t>& data)
{
    ResourceBuilder header;
    header.Bytes(typeAndName.Data())
        .AlignToDword()   // entries start aligned and DataSize + HeaderSize take 8 bytes
        .Dword(0)         // DataVersion
        .Word(0x1030)     // MemoryFlags: MOVEABLE | PURE | DISCARDABLE
        .Word(language)   // LanguageId
        .Dword(0x11)      // Version
        .Dword(0x22);     // Characteristics
    file->Dword((uint32_t)data.size())        // DataSize
        .Dword((uint32_t)(8 + header.Size()))  // HeaderSize
        .Bytes(header.Data())
        .Bytes(data)
        .AlignToDword();
}

// The empty entry that opens every 32-bit .res.
void AddMarker(ResourceBuilder* file)
{
    ResourceBuilder typeAndName;
    typeAndName.Ordinal(0)   // TYPE 0
        .Ordinal(0);         // NAME 0
    file->Dword(0)                  // DataSize
        .Dword(32)                  // HeaderSize
        .Bytes(typeAndName.Data())
        .Dword(0)                   // DataVersion
        .Word(0)                    // MemoryFlags
        .Word(0)                    // LanguageId
        .Dword(0)                   // Version
        .Dword(0);                  // Characteristics
}

TEST(ResourceReader, ReadsNamedTypesOddNamesAndUnalignedData)
{
    ResourceBuilder file;
    AddMarker(&file);
    ResourceBuilder first;
    first.Ordinal(5)   // TYPE: RT_DIALOG
        .Text("AB");   // NAME: three UTF-16 units, so the header needs two bytes of padding
    AddEntry(&file, first, 1033, {0x01, 0x02, 0x03});
    ResourceBuilder second;
    second.Text("MYTYPE")  // TYPE by name
        .Ordinal(7);       // NAME 7
    AddEntry(&file, second, 1031, {0x0A, 0x0B, 0x0C, 0x0D});

    std::vector<SimResourceEntry> entries;
    ASSERT_TRUE(SimParseResFile(file.Data().data(), file.Size(), &entries));
    ASSERT_EQ(entries.size(), 2u);  // the marker is not an entry
    EXPECT_TRUE(entries[0].type.isOrdinal);
    EXPECT_EQ(entries[0].type.ordinal, 5);
    EXPECT_FALSE(entries[0].name.isOrdinal);
    EXPECT_EQ(entries[0].name.text, "AB");
    EXPECT_EQ(entries[0].memoryFlags, 0x1030);
    EXPECT_EQ(entries[0].languageId, 1033);
    EXPECT_EQ(entries[0].version, 0x11u);
    EXPECT_EQ(entries[0].characteristics, 0x22u);
    EXPECT_EQ(entries[0].data, std::vector<BYTE>({0x01, 0x02, 0x03}));
    EXPECT_FALSE(entries[1].type.isOrdinal);
    EXPECT_EQ(entries[1].type.text, "MYTYPE");
    EXPECT_TRUE(entries[1].name.isOrdinal);
    EXPECT_EQ(entries[1].name.ordinal, 7);
    EXPECT_EQ(entries[1].languageId, 1031);
    EXPECT_EQ(entries[1].data, std::vector<BYTE>({0x0A, 0x0B, 0x0C, 0x0D}));
}

TEST(ResourceReader, RefusesDamagedFiles)
{
    ResourceBuilder good;
    AddMarker(&good);
    ResourceBuilder typeAndName;
    typeAndName.Ordinal(5).Ordinal(1);
    AddEntry(&good, typeAndName, 1033, {1, 2, 3, 4, 5, 6, 7, 8});
    std::vector<uint8_t> wrongHeaderSize = good.Data();
    wrongHeaderSize[32 + 4] += 4;  // the entry's HeaderSize, four bytes too many
    std::vector<uint8_t> shortData(good.Data().begin(), good.Data().end() - 1);

    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;
        bool readable;
    } rows[] = {
        {"intact", good.Data(), true},
        {"data cut by one byte", shortData, false},
        {"header size disagrees with the fields", wrongHeaderSize, false},
        {"header cut inside the name", std::vector<uint8_t>(good.Data().begin(),
                                                            good.Data().begin() + 32 + 10), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<SimResourceEntry> entries;
        EXPECT_EQ(SimParseResFile(row.bytes.data(), row.bytes.size(), &entries), row.readable);
    }
}

// A template with what the program's own lack: no font, a menu, a class, an ordinal title and
// creation data that pushes the next item off its 32-bit boundary.
ResourceBuilder UnusualTemplate()
{
    ResourceBuilder t;
    t.Word(1)              // dlgVer
        .Word(0xFFFF)      // signature
        .Dword(77)         // helpID
        .Dword(0x00000100) // exStyle
        .Dword(0x80C80000) // style: WS_POPUP | WS_CAPTION | WS_SYSMENU, no DS_SETFONT
        .Word(2)           // cDlgItems
        .Word(1).Word(2)   // x, y
        .Word(100).Word(50)  // cx, cy
        .Ordinal(3)        // menu: ordinal 3
        .Text("MyClass")   // windowClass by name
        .Text("T");        // title; no font fields follow
    t.AlignToDword()
        .Dword(5)          // helpID
        .Dword(0)          // exStyle
        .Dword(0x50000003) // style: WS_CHILD | WS_VISIBLE | SS_ICON
        .Word(1).Word(1).Word(20).Word(20)  // x, y, cx, cy
        .Dword(0xFFFFFFFF) // id: none
        .Ordinal(0x0082)   // windowClass: STATIC
        .Ordinal(9)        // title: icon resource 9
        .Word(3)           // extraCount
        .Byte(0xA1).Byte(0xA2).Byte(0xA3);  // creation data
    t.AlignToDword()
        .Dword(0)          // helpID
        .Dword(0)          // exStyle
        .Dword(0x50010000) // style
        .Word(30).Word(1).Word(40).Word(14)  // x, y, cx, cy
        .Dword(1)          // id: IDOK
        .Ordinal(0x0080)   // windowClass: BUTTON
        .Text("OK")        // title
        .Word(0);          // extraCount
    return t;
}

TEST(ResourceReader, ReadsTemplateWithoutFontAndWithCreationData)
{
    ResourceBuilder t = UnusualTemplate();
    SimDialogTemplate dialog;
    ASSERT_TRUE(SimParseDialogTemplate(t.Data().data(), t.Size(), &dialog));
    EXPECT_EQ(dialog.helpId, 77u);
    EXPECT_EQ(dialog.exStyle, 0x100u);
    EXPECT_EQ(dialog.style, 0x80C80000u);
    EXPECT_EQ(dialog.cx, 100);
    EXPECT_TRUE(dialog.menu.isOrdinal);
    EXPECT_EQ(dialog.menu.ordinal, 3);
    EXPECT_EQ(dialog.windowClass.text, "MyClass");
    EXPECT_EQ(dialog.title, "T");
    EXPECT_FALSE(dialog.hasFont);
    EXPECT_EQ(dialog.typeface, "");
    ASSERT_EQ(dialog.items.size(), 2u);
    EXPECT_EQ(dialog.items[0].helpId, 5u);
    EXPECT_EQ(dialog.items[0].id, 0xFFFFFFFFu);
    EXPECT_TRUE(dialog.items[0].title.isOrdinal);
    EXPECT_EQ(dialog.items[0].title.ordinal, 9);
    EXPECT_EQ(dialog.items[0].extra, std::vector<BYTE>({0xA1, 0xA2, 0xA3}));
    EXPECT_EQ(dialog.items[1].id, 1u);
    EXPECT_EQ(dialog.items[1].x, 30);
    EXPECT_EQ(dialog.items[1].windowClass.ordinal, 0x0080);
    EXPECT_EQ(dialog.items[1].title.text, "OK");
    EXPECT_EQ(dialog.byteCount, t.Size());
}

TEST(ResourceReader, RefusesTemplatesItCannotRead)
{
    std::vector<uint8_t> whole = UnusualTemplate().Data();
    std::vector<uint8_t> oldForm = whole;
    oldForm[2] = 0;  // signature 0xFF00: not the extended form
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;
    } rows[] = {
        {"old form", oldForm},
        {"last item cut short", std::vector<uint8_t>(whole.begin(), whole.end() - 2)},
        {"header only", std::vector<uint8_t>(whole.begin(), whole.begin() + 10)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimDialogTemplate dialog;
        EXPECT_FALSE(SimParseDialogTemplate(row.bytes.data(), row.bytes.size(), &dialog));
    }
}

}  // namespace
