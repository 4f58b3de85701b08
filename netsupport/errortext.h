// Texts for Windows Sockets error numbers, as the session logs show them
// ("Pop3 Client connect failed: Connection refused").
//
// Pure lookup, no platform headers, so it also builds natively.
#pragma once

namespace net {

// The text for a Windows Sockets error number (10004 ... 11004); the empty
// text for every number without one (0, 10066, 10068, 10069, ...). The
// result is a static string; never null.
const char* errorText(int errorNumber);

}  // namespace net
