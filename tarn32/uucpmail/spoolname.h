// Spool-name shortening: turns the data-file name that a received job file
// names (D. or X., the sending system's name, a job number) into the short
// local name under which the data file lies in the inbound folder.
//
//   1. refuse unless the name starts with "D." or "X." (upper case only);
//   2. take the rest after those two characters;
//   3. remove the longer of its common prefixes with the two system names;
//   4. case code: over the last five characters left, shift left and add 1
//      for each lower-case letter; 0..31 written as "0".."9", "A".."V";
//   5. tail: the last seven characters left;
//   6. short name: code, tail, ".", first character ("%c%s.%c").
//
// Used by mail and news import. Pure string work, no Win32.
#pragma once

#include <string>

namespace tarn {

// Returns false when the spool name is refused (step 1).
bool shortenSpoolName(const std::string& spoolName, const std::string& systemName1,
                      const std::string& systemName2, std::string& shortName);

}  // namespace tarn
