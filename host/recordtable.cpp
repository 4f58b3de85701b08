#include "recordtable.h"

#include "headertext.h"
#include "statusline.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

// The charset's Windows code page, 0 when unknown.
UINT codePageOf(const std::string& charset)
{
    if (charset == "utf-8")
        return CP_UTF8;
    if (charset == "iso-8859-1" || charset == "latin1" || charset == "us-ascii")
        return 28591;
    if (charset == "iso-8859-15")
        return 28605;
    if (charset == "iso-8859-2")
        return 28592;
    if (charset == "windows-1252")
        return 1252;
    if (charset.compare(0, 2, "cp") == 0)
        return static_cast<UINT>(std::atoi(charset.c_str() + 2));
    return 0;
}

// Bytes of a charset in the code page tarnwick writes in: the console's,
// else the system's.
std::string toOutput(const std::string& charset, const std::string& bytes)
{
    UINT from = codePageOf(charset);
    if (from == 0 || bytes.empty())
        return bytes;
    int n = MultiByteToWideChar(from, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0)
        return bytes;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(from, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], n);
    UINT to = stdoutIsConsole() ? GetConsoleOutputCP() : GetACP();
    int m = WideCharToMultiByte(to, 0, wide.data(), n, nullptr, 0, "?", nullptr);
    if (m <= 0)
        return bytes;
    std::string out(static_cast<std::size_t>(m), '\0');
    WideCharToMultiByte(to, 0, wide.data(), n, &out[0], m, "?", nullptr);
    return out;
}

std::string shown(const std::string& value, std::size_t width)
{
    return cut(decodeEncodedWords(value, toOutput), width);
}

// "Subject: x" -> "x"
std::string valueOf(const std::string& line)
{
    std::size_t colon = line.find(": ");
    return colon == std::string::npos ? line : line.substr(colon + 2);
}

}  // namespace

void printMailRecords(const std::vector<MailRecord>& records)
{
    if (records.empty())
        return;
    // 3 + 18 + 18 + 21 + 7 + 7 and five blanks: 79.
    std::printf("\n%-3s %-18s %-18s %-21s %7s %7s\n", "#", "To", "From", "Subject", "start", "end");
    int i = 0;
    for (const MailRecord& r : records)
        std::printf("%-3d %-18s %-18s %-21s %7ld %7ld\n", ++i, shown(valueOf(r.to), 18).c_str(),
                    shown(valueOf(r.from), 18).c_str(), shown(valueOf(r.subject), 21).c_str(),
                    r.start, r.end);
}

void printNewsRecords(const std::vector<NewsRecord>& records)
{
    if (records.empty())
        return;
    // 2 + 4 + 22 + 31 + 8 + 8 and four blanks: 79.
    std::printf("  %-4s %-22s %-31s %8s %8s\n", "area", "From", "Subject", "start", "end");
    for (const NewsRecord& r : records)
        std::printf("  %-4ld %-22s %-31s %8ld %8ld\n", r.area, shown(valueOf(r.from), 22).c_str(),
                    shown(valueOf(r.subject), 31).c_str(), r.start, r.end);
}
