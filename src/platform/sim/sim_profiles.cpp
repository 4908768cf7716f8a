// The profile (INI file) functions over files of the simulated disk, following the parser and
// the section reader of Wine, which copy the behaviour of Windows.
#include <stdio.h>

#include <algorithm>
#include <vector>

#include "platform/sim/sim_internal.h"

// One line of a section as the parser keeps it. Comments and blank lines are kept too, so a
// rewrite gives them back; lines without '=' have no value.
struct ProfileLine {
    std::string key;
    bool hasValue = false;
    std::string value;
};

struct ProfileSection {
    std::string name;  // "" for the lines before the first section header
    std::vector<ProfileLine> lines;
};

typedef std::vector<ProfileSection> Profile;

// Blanks as the profile parser counts them: the C white space and the DOS end-of-file mark.
static bool IsProfileSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' ||
           c == 0x1A;
}

static std::string Trim(const std::string& text)
{
    size_t start = 0, end = text.size();
    while (start < end && IsProfileSpace(text[start]))
        ++start;
    while (end > start && IsProfileSpace(text[end - 1]))
        --end;
    return text.substr(start, end - start);
}

// A name without a folder lives in the Windows folder; so does any path that is not absolute.
static std::string ProfilePath(const char* fileName)
{
    std::string name = fileName ? fileName : "";
    bool absolute = (name.size() >= 2 && name[1] == ':') ||
                    (!name.empty() && (name[0] == '\\' || name[0] == '/'));
    return absolute ? name : Machine().disk.windowsFolder + "\\" + name;
}

static Profile ParseProfile(const std::string& text)
{
    Profile profile(1);  // the nameless section before the first header
    size_t position = 0;
    while (position < text.size()) {
        size_t end = text.find_first_of("\r\n", position);
        if (end == std::string::npos)
            end = text.size();
        std::string line = Trim(text.substr(position, end - position));
        position = end;
        if (position < text.size() && text[position] == '\r')
            ++position;
        if (position < text.size() && text[position] == '\n')
            ++position;

        size_t close = line.rfind(']');
        if (!line.empty() && line[0] == '[' && close != std::string::npos) {
            ProfileSection section;
            section.name = line.substr(1, close - 1);
            profile.push_back(section);
            continue;
        }
        ProfileLine entry;
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            entry.key = line;
        } else {
            entry.key = Trim(line.substr(0, equals));
            entry.hasValue = true;
            entry.value = Trim(line.substr(equals + 1));
        }
        profile.back().lines.push_back(entry);
    }
    return profile;
}

static std::string FormatProfile(const Profile& profile)
{
    std::string text;
    for (size_t i = 0; i < profile.size(); ++i) {
        if (i > 0)
            text += "[" + profile[i].name + "]\r\n";
        for (const ProfileLine& line : profile[i].lines)
            text += line.key + (line.hasValue ? "=" + line.value : "") + "\r\n";
    }
    return text;
}

// A missing file reads as an empty profile; the file appears once something is written.
static Profile LoadProfile(const std::string& path)
{
    if (!PathExists(path) || IsFolder(path))
        return Profile(1);
    return ParseProfile(FileData(path));
}

static ProfileSection* FindSection(Profile& profile, const std::string& name)
{
    std::string folded = FoldCase(name);
    for (size_t i = 1; i < profile.size(); ++i) {
        if (FoldCase(profile[i].name) == folded)
            return &profile[i];
    }
    return nullptr;
}

// Writes need the folder of the file; the file itself is created when missing.
static bool SaveProfile(const std::string& path, const Profile& profile)
{
    size_t slash = path.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
    bool driveRoot = folder.size() == 2 && folder[1] == ':';
    if ((!folder.empty() && !driveRoot && !IsFolder(folder)) || IsFolder(path))
        return false;
    AddFile(path, FormatProfile(profile));
    return true;
}

DWORD WINAPI GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize,
                                       LPCSTR lpFileName)
{
    std::string sectionName = lpAppName ? lpAppName : "";
    SimFaultKind kind = SimFaultError;
    bool fault = SimFaultHit("GetPrivateProfileSectionA", sectionName.c_str(), &kind);
    if (!lpAppName || !lpReturnedString || nSize == 0 || (fault && kind != SimFaultShortRead)) {
        if (lpReturnedString && nSize > 0)
            lpReturnedString[0] = '\0';
        return (DWORD)SimFail("GetPrivateProfileSectionA", sectionName,
                           fault ? ERROR_READ_FAULT : ERROR_INVALID_PARAMETER);
    }
    Profile profile = LoadProfile(ProfilePath(lpFileName));
    ProfileSection* section = FindSection(profile, sectionName);
    if (!section) {
        // A missing section or file reads as an empty list: two NULs where there is room.
        lpReturnedString[0] = '\0';
        if (nSize > 1)
            lpReturnedString[1] = '\0';
        SimRecordCall("GetPrivateProfileSectionA", sectionName, 0);
        return 0;
    }
    std::vector<ProfileLine> lines;
    for (const ProfileLine& line : section->lines) {
        if (line.key.empty() && !line.hasValue)
            continue;  // blank line
        if (!line.key.empty() && line.key[0] == ';')
            continue;  // comment
        lines.push_back(line);
    }
    if (fault)  // SimFaultShortRead: only the first half of the entries comes back
        lines.resize(lines.size() / 2);

    // Copies entry by entry while more than two characters are left; an entry that does not
    // fit is cut, and then the list ends in two NULs and the result is the size minus 2.
    char* out = lpReturnedString;
    DWORD left = nSize;
    for (const ProfileLine& line : lines) {
        if (left <= 2)
            break;
        size_t count = std::min(line.key.size(), (size_t)left - 2);
        memcpy(out, line.key.data(), count);
        out[count] = '\0';
        out += count + 1;
        left -= (DWORD)count + 1;
        if (left < 2)
            break;
        if (line.hasValue) {
            out[-1] = '=';
            count = std::min(line.value.size(), (size_t)left - 2);
            memcpy(out, line.value.data(), count);
            out[count] = '\0';
            out += count + 1;
            left -= (DWORD)count + 1;
        }
    }
    *out = '\0';
    DWORD result = nSize - left;
    if (left <= 1) {
        out[-1] = '\0';
        result = nSize - 2;
    }
    SimRecordCall("GetPrivateProfileSectionA", sectionName, result);
    return result;
}

BOOL WINAPI WritePrivateProfileSectionA(LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName)
{
    std::string sectionName = lpAppName ? lpAppName : "";
    if (SimFaultHit("WritePrivateProfileSectionA", sectionName.c_str(), nullptr))
        return SimFail("WritePrivateProfileSectionA", sectionName, ERROR_WRITE_FAULT);
    if (!lpAppName || !lpFileName)
        return SimFail("WritePrivateProfileSectionA", sectionName, ERROR_INVALID_PARAMETER);
    std::string path = ProfilePath(lpFileName);
    Profile profile = LoadProfile(path);
    ProfileSection* section = FindSection(profile, sectionName);
    if (!lpString) {
        // No list: the section goes altogether.
        if (section)
            profile.erase(profile.begin() + (section - profile.data()));
    } else {
        if (!section) {
            ProfileSection added;
            added.name = sectionName;
            profile.push_back(added);
            section = &profile.back();
        }
        // The list replaces the section whole: every entry is kept, equal ones included.
        section->lines.clear();
        for (const char* entry = lpString; *entry; entry += strlen(entry) + 1) {
            std::string text = entry;
            ProfileLine line;
            size_t equals = text.find('=');
            if (equals == std::string::npos) {
                line.key = Trim(text);
            } else {
                line.key = Trim(text.substr(0, equals));
                line.hasValue = true;
                line.value = Trim(text.substr(equals + 1));
            }
            section->lines.push_back(line);
        }
    }
    if (!SaveProfile(path, profile))
        return SimFail("WritePrivateProfileSectionA", sectionName, ERROR_PATH_NOT_FOUND);
    SimRecordCall("WritePrivateProfileSectionA", sectionName, TRUE);
    return TRUE;
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                       LPCSTR lpFileName)
{
    std::string sectionName = lpAppName ? lpAppName : "";
    if (SimFaultHit("WritePrivateProfileStringA", sectionName.c_str(), nullptr))
        return SimFail("WritePrivateProfileStringA", sectionName, ERROR_WRITE_FAULT);
    if (!lpAppName || !lpFileName)
        return SimFail("WritePrivateProfileStringA", sectionName, ERROR_INVALID_PARAMETER);
    std::string path = ProfilePath(lpFileName);
    Profile profile = LoadProfile(path);
    ProfileSection* section = FindSection(profile, sectionName);
    bool changed = false;
    if (!lpKeyName) {
        // No key: the whole section goes.
        if (section) {
            profile.erase(profile.begin() + (section - profile.data()));
            changed = true;
        }
    } else {
        std::string key = Trim(lpKeyName);
        ProfileLine* found = nullptr;
        if (section) {
            for (ProfileLine& line : section->lines) {
                if (!line.key.empty() && FoldCase(line.key) == FoldCase(key)) {
                    found = &line;
                    break;
                }
            }
        }
        if (!lpString) {
            // Deleting a key that is not there still succeeds.
            if (found) {
                section->lines.erase(section->lines.begin() + (found - section->lines.data()));
                changed = true;
            }
        } else {
            std::string value = Trim(lpString);
            if (!section) {
                ProfileSection added;
                added.name = sectionName;
                profile.push_back(added);
                section = &profile.back();
            }
            if (found) {
                changed = !found->hasValue || found->value != value;
                found->hasValue = true;
                found->value = value;
            } else {
                ProfileLine line;
                line.key = key;
                line.hasValue = true;
                line.value = value;
                section->lines.push_back(line);
                changed = true;
            }
        }
    }
    // A file is written only when something changed, so a deletion from a missing file
    // creates none.
    if (changed && !SaveProfile(path, profile))
        return SimFail("WritePrivateProfileStringA", sectionName, ERROR_PATH_NOT_FOUND);
    SimRecordCall("WritePrivateProfileStringA", sectionName, TRUE);
    return TRUE;
}

// ---- helpers for tests ----------------------------------------------------------------------

void SetIniFile(const std::string& fileName, const std::string& text)
{
    AddFile(ProfilePath(fileName.c_str()), text);
}

std::string IniFile(const std::string& fileName)
{
    return FileData(ProfilePath(fileName.c_str()));
}
