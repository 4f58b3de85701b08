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
    {"read-message", "<store> <area> <offset> <count> [--news|--mapi|--body] [--out file]",
     "read a stored message whole, chunk by chunk (READMESSAGE, READNEWS, READMAPIMSG, "
     "_EXTRACTMESSAGE@24)", cmdReadMessage},
    {"read-mail", "<work> <record> [--body] [--out file]",
     "read the message of a mail.hdr record (READMESSAGE, or its body by _EXTRACTMESSAGE@24)",
     cmdReadMail},
    {"append-message", "<store> <area> <file> [--mform] [--repeat n]",
     "append a text file to an area and show its offsets (WRITEMESSAGE, WRITEMFORM)",
     cmdAppendMessage},
    {"attach", "<folder> <source> <target> [--hold]",
     "append a file to folder\\target, or copy it to folder\\hold\\target (FILEATTACH)", cmdAttach},
    {"prepare-mail", "<outbound> <header-file> <body-file> [more-text-file]",
     "build rmail.z: header text and body (GENUUCP), more text appended (WRITEUUCP)",
     cmdPrepareMail},
    {"export-mail", "<outbound> <work> <recipients> <system> <sender> [level]",
     "queue rmail.z as a UUCP mail job (EXPMAIL) and list the job files", cmdExportMail},
    {"plain-io", "read <file> <copy> | append <file> <text-file> <n>",
     "the benchmarks' baseline: the same bytes by plain C runtime reads and writes", cmdPlainIo},
    {"fetch-pop", "<folder> <host> <address|-> <user> <password> <log> [level]",
     "fetch and delete a POP3 mailbox into numbered files (initPopMail, getPopMail)", cmdFetchPop},
    {"soak-import", "<inbound> <work> <system1> <system2> [every]",
     "IMPMAIL until none is left, handle count and memory every n calls", cmdSoakImport},
    {"soak-pop", "<folder> <address> <user> <password> <log> [every]",
     "one POP3 session, handle count and memory every n messages", cmdSoakPop},
    {"soak-smtp", "<address> <port> <helo-domain> <folder> <log> <level> <count> [every]",
     "count SMTP sessions of one numbered message each, handle count and memory every n",
     cmdSoakSmtp},
    {"pop-port", "[port]", "store or show the POP3 port tarnpop reads (registry pop_out)",
     cmdPopPort},
    {"mime-decode", "<message> <out>", "decode the message's attachment into out (MIMEDECODE)",
     cmdMimeDecode},
    {"mime-attach", "<file> <out> <name>", "write file as a base64 attachment part (MIMEENCODE)",
     cmdMimeAttach},
    {"qp-encode", "<file>", "turn a text file into quoted-printable in place (WRITEQUOTED)", cmdQuote},
    {"iso-to-850", "<in> <out>", "Latin-1 quoted-printable text to code page 850 (DECODE_ISO)",
     cmdIsoTo850},
    {"uucode", "<in> [out|-] [begin|-] [countdir] [maxKB]",
     "UU-encode into parts, or decode .enc/.uue/.xxe (_UUENCODE@20)", cmdUuCode},
    {"import-news", "<inbound> <work> <system1> <system2> [bits] [level]",
     "import UUCP news batches one call each (IMPNEWS), list each batch's records", cmdImportNews},
    {"export-news", "<outbound> <work> <system> <count> [bits] [level]",
     "queue the outbound news batch as a UUCP news job (EXPNEWS)", cmdExportNews},
    {"dial", "<entry> [<user> <password>] [seconds]",
     "dial a phone-book entry (TARNDIAL), show its progress until connected", cmdDial},
    {"hangup", "", "hang up the connection of the last dial (TARNHANGUP)", cmdHangUp},
    {"dial-status", "", "state of the connection of the last dial (TarnGetConnectStatus)",
     cmdDialStatus},
    {"dial-params", "<entry>", "stored user name and password of an entry (TarnGetDialParams)",
     cmdDialParams},
    {"AUTO", "", "run unattended: the window \"roziradedeze39\", the work of tarnwick.auto",
     cmdAuto},
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

const Command* findCommand(const std::string& name)
{
    for (const Command& c : kCommands) {
        if (name == c.name)
            return &c;
    }
    return nullptr;
}

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
