// UUCP mail export: turns the prepared message "rmail.z" of the outbound
// folder into a queued mail job (NNNN.CMD, NNNN.XQT, NNNN.DAT, numbered by
// the shared counter, see uucpjobs.h), logging to "mail.log" in the work
// folder. The data file is "rmail.z" itself, renamed; it is not read.
//
// One job or none: when "rmail.z" is missing, no number is free, a job file
// cannot be made or the rename fails, the export fails with a log line, no
// file of the job stays behind, the counter is unchanged and "rmail.z" stays.
#pragma once

#include <string>

namespace tarn {

constexpr const char* kPreparedMailName = "rmail.z";

struct MailExportArgs {
    std::string outboundFolder;  // without a trailing backslash
    std::string workFolder;      // without a trailing backslash
    std::string recipients;
    std::string systemName;
    std::string sender;          // only logged
    int logLevel = 0;
};

// 0 when the job was queued, -1 otherwise.
int exportMail(const MailExportArgs& args);

}  // namespace tarn
