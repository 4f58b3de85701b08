// UUCP mail import: one call brings at most one received mail message from
// the inbound folder into "mailarea.txt", with its eight-line record in
// "mail.hdr", logging the search to "mail.log" and the import to
// "mailin.log", and deletes the job and data file.
//
// Before the job file is deleted, "mail.hdr" and "mailarea.txt" are opened:
// when either cannot be, both spool files stay for a later call, and a record
// is only ever written whole, after its message has been copied.
#pragma once

#include <string>

namespace tarn {

struct MailImportArgs {
    std::string inboundFolder;  // ends with its backslash
    std::string workFolder;     // ends with its backslash
    std::string systemName1;
    std::string systemName2;
    int logLevel = 0;
};

// 0 when one message was imported, -1 when none was.
int importMail(const MailImportArgs& args);

}  // namespace tarn
