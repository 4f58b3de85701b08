// tarnwick.exe, the reference host: one subcommand per operation.
//
// Each subcommand lives in a cmd_*.cpp file of its own and is listed once in
// the table of main.cpp. A subcommand gets the arguments after its name and
// returns the process exit code (0 when the operation succeeded).
#pragma once

#include <string>
#include <vector>

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    const char* usage;    // arguments, for the help text
    const char* summary;  // one line
    int (*run)(const Args& args);
};

// Folder and file operations (cmd_folders.cpp).
int cmdMakeFolder(const Args& args);
int cmdCheckFolder(const Args& args);
int cmdFindFile(const Args& args);
int cmdRename(const Args& args);

// UUCP mail import (cmd_mailimport.cpp).
int cmdImportMail(const Args& args);

// SMTP sending and ETRN (cmd_smtp.cpp).
int cmdSendMail(const Args& args);
int cmdSendTo(const Args& args);
int cmdEtrn(const Args& args);

// Prints "usage: tarnwick <name> <usage>" to stderr and returns 2.
int usageError(const char* name);
