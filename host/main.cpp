// tarnwick.exe: the reference host application. It loads the system's
// libraries by name, calls their exports as the host contract asks and
// prints what they did in a form a person can read.
#include "commands.h"

#include <cstdio>
#include <cstring>

namespace {

const Command kCommands[] = {
    {"mkdir", "<folder>", "create one folder (GENDIR)", cmdMakeFolder},
    {"chkdir", "<folder>", "check a folder by entering it (CHKDIR)", cmdCheckFolder},
    {"find", "<folder> <pattern>", "first entry matching a wildcard (FIND_FILE)", cmdFindFile},
    {"rename", "<old> <new>", "rename a file, never replacing one (FILERENAME)", cmdRename},
    {"import-mail", "<inbound> <work> <system1> <system2> [level]",
     "import UUCP mail jobs until none is left (IMPMAIL), list the new records", cmdImportMail},
    {"send-mail", "<relay> <port> <helo-domain> <folder> <log> <level> <envelope> <message>...",
     "send each message by SMTP (postgate), one session each; report refusals from smtp.bad",
     cmdSendMail},
    {"send-to", "<relay> <port> <helo-domain> <folder> <log> <level> <sender> <rcpt,...> <file>",
     "build the envelope and message files in <folder> from a text file and send them",
     cmdSendTo},
    {"etrn", "<server> <domain> [port]",
     "ask a server to deliver the mail queued for a domain (qflush); port is stored in smtp_out",
     cmdEtrn},
};

void printHelp()
{
    std::printf("usage: tarnwick <command> [arguments]\n\ncommands:\n");
    for (const Command& c : kCommands)
        std::printf("  %-12s %s\n  %-12s   %s\n", c.name, c.usage, "", c.summary);
}

}  // namespace

int usageError(const char* name)
{
    for (const Command& c : kCommands) {
        if (std::strcmp(c.name, name) == 0)
            std::fprintf(stderr, "usage: tarnwick %s %s\n", c.name, c.usage);
    }
    return 2;
}

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0) {
        printHelp();
        return argc < 2 ? 2 : 0;
    }
    for (const Command& c : kCommands) {
        if (std::strcmp(c.name, argv[1]) == 0)
            return c.run(Args(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "tarnwick: unknown command '%s'\n", argv[1]);
    printHelp();
    return 2;
}
