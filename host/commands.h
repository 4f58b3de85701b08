// tarnwick.exe, the reference host: one subcommand per operation.
//
// Each subcommand lives in a cmd_*.cpp file of its own and is listed once in
// the table of main.cpp. A subcommand gets the arguments after its name and
// returns the process exit code of report.h (0 done, 1 failed, 2 usage).
#pragma once

#include <string>
#include <vector>

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    const char* group;    // the heading it is listed under in "tarnwick help"
    const char* usage;    // arguments, for the help text
    const char* summary;  // one line of at most 60 characters
    const char* details;  // "tarnwick help NAME": options, defaults, notes
    int (*run)(const Args& args);
};

// Folder and file operations (cmd_folders.cpp).
int cmdMakeFolder(const Args& args);
int cmdCheckFolder(const Args& args);
int cmdFindFile(const Args& args);
int cmdRename(const Args& args);

// UUCP mail import (cmd_mailimport.cpp).
int cmdImportMail(const Args& args);

// Single messages of the store (cmd_store.cpp).
int cmdReadMessage(const Args& args);
int cmdReadMail(const Args& args);
int cmdAppendMessage(const Args& args);
int cmdAttach(const Args& args);
int cmdPlainIo(const Args& args);

// Outgoing UUCP mail (cmd_mailexport.cpp).
int cmdPrepareMail(const Args& args);
int cmdExportMail(const Args& args);
// Soak runs with handle and memory samples (cmd_soak.cpp).
int cmdSoakImport(const Args& args);
int cmdSoakPop(const Args& args);
int cmdSoakSmtp(const Args& args);

// POP3 retrieval (cmd_popfetch.cpp).
int cmdFetchPop(const Args& args);
int cmdPopPort(const Args& args);
// Content codecs (cmd_codecs.cpp).
int cmdMimeDecode(const Args& args);
int cmdMimeAttach(const Args& args);
int cmdQuote(const Args& args);
int cmdIsoTo850(const Args& args);
int cmdUuCode(const Args& args);
// UUCP news import and export (cmd_news.cpp).
int cmdImportNews(const Args& args);
int cmdExportNews(const Args& args);
// Dial-up control (cmd_dial.cpp).
int cmdDial(const Args& args);
int cmdHangUp(const Args& args);
int cmdDialStatus(const Args& args);
int cmdDialParams(const Args& args);

// Unattended mode, as the service host starts it (cmd_auto.cpp).
int cmdAuto(const Args& args);

// The subcommand of that name in the table of main.cpp, or nullptr.
const Command* findCommand(const std::string& name);
// Runs it with its arguments, or prints its help when they ask for it
// ("--help" or "-h" anywhere); the exit code.
int runCommand(const Command& command, const Args& args);
// SMTP sending and ETRN (cmd_smtp.cpp).
int cmdSendMail(const Args& args);
int cmdSendTo(const Args& args);
int cmdEtrn(const Args& args);

// Prints "usage: tarnwick <name> <usage>" and where to find more to
// stderr, and returns 2.
int usageError(const char* name);
