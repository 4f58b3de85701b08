// The message store's area files and the mail header index.
//
// Area file: raw message bytes appended back to back, no separator, length
// or index inside. A message is found only by the start and end offsets
// recorded when it was appended: start = file size before the append, end =
// size after it. The importers record a start of 0 as 1.
//
//   area 0    "mailarea.txt"         the mail area
//   area -50  "temparea.dat"         written by the host, only read here
//   area N    "area" + N + ".txt"    news and other areas (e.g. "area12.txt",
//                                    "area-3.txt")
//
// Mail header index "mail.hdr" (text mode, so each \n is stored as CR LF),
// eight lines per imported message:
//   1  "To:" + command line after its first seven characters
//   2  "From: " line                 (none: "From: \n")
//   3  "Date: " line                 (none: "Date: \n")
//   4  "Message-Id..." line          (none: "Message-ID: <0>\n")
//   5  "Subject: " line              (none: "Subject: Wasn't one for this message\n")
//   6  "Cc: " line                   (none: "NO CC\n")
//   7  start offset, "%ld\n"
//   8  end offset, "%ld\n"
// Lines 1 to 6 get a line feed when the copied text holds none.
#pragma once

#include <string>

namespace tarn {

constexpr const char* kMailAreaName = "mailarea.txt";
constexpr const char* kTempAreaName = "temparea.dat";
constexpr const char* kMailIndexName = "mail.hdr";

// "area" + number + ".txt" for any number (no special cases).
std::string numberedAreaName(long area);

// Which file an area number names depends on the operation:
//   area   kRead             kMapiRead   kWrite
//   0      "mailarea.txt"    "rmail.z"   "mailarea.txt"
//   -50    "temparea.dat"    "temparea.dat"  "area-50.txt"
//   other  "area" + N + ".txt" for all three
// ("rmail.z" is the prepared outgoing message of the outbound folder.)
enum class AreaAccess {
    kRead,      // READMESSAGE, READNEWS, _EXTRACTMESSAGE@24
    kMapiRead,  // READMAPIMSG
    kWrite,     // WRITEMESSAGE, WRITEMFORM
};
std::string areaFileName(long area, AreaAccess access);

}  // namespace tarn
