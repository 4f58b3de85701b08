// Test support: what every shipped binary shows a host's loader, the same in
// the 32-bit and the 64-bit build: the export names with their ordinals and
// the only DLLs it may import. The export tests under Wine and the static
// check of both build trees read these tables.
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <string>

namespace shipped {

using ExportTable = std::map<std::string, int>;  // name -> ordinal

inline const ExportTable kTarn32Exports = {
    {"CHKDIR", 1}, {"EXPMAIL", 2}, {"EXPNEWS", 3}, {"FILEATTACH", 4}, {"GENDIR", 5},
    {"GENUUCP", 6}, {"IMPMAIL", 7}, {"IMPNEWS", 8}, {"READMESSAGE", 9}, {"WRITEMESSAGE", 10},
    {"WRITEMFORM", 11}, {"WRITEUUCP", 12}, {"TARNDIAL", 13}, {"TARNHANGUP", 14},
    {"FILERENAME", 15}, {"MIMEDECODE", 16}, {"WRITEQUOTED", 17}, {"TarnGetConnectStatus", 18},
    {"READMAPIMSG", 19}, {"READNEWS", 20}, {"MIMEENCODE", 21}, {"DECODE_ISO", 22},
    {"FIND_FILE", 23}, {"TarnGetDialParams", 24}, {"_EXTRACTMESSAGE@24", 25},
    {"_UUENCODE@20", 26},
};
inline const ExportTable kTarnpopExports = {{"LibMain", 1}, {"getPopMail", 2}, {"initPopMail", 3}};
inline const ExportTable kPostgateExports = {
    {"LibMain", 1}, {"initSmtpMail", 2}, {"DestroyIt", 3}, {"ConnectToHost", 4}};
inline const ExportTable kQflushExports = {{"LibMain", 1}, {"Q_FLUSH", 2}};
inline const ExportTable kNoExports = {};

struct Binary {
    const char* file;
    const ExportTable& exports;
};

// Every binary a release holds. The programs export nothing.
inline const Binary kBinaries[] = {
    {"tarn32.dll", kTarn32Exports},   {"tarnpop.dll", kTarnpopExports},
    {"postgate.dll", kPostgateExports}, {"qflush.dll", kQflushExports},
    {"tarnwick.exe", kNoExports},     {"wincomp.exe", kNoExports},
    {"tarnsvc.exe", kNoExports},
};

// The system's own DLLs, the only ones a shipped binary may import. The
// socket library and the Remote Access Service are loaded at run time by
// name, never imported: a machine without them still loads every binary.
inline std::string upperDllName(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name;
}

inline bool isSystemDll(const std::string& name)
{
    std::string upper = upperDllName(name);
    return upper == "KERNEL32.DLL" || upper == "USER32.DLL" || upper == "ADVAPI32.DLL" ||
           upper == "MSVCRT.DLL";
}

}  // namespace shipped
