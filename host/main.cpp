// tarnwick.exe: the reference host application. It loads the system's
// libraries by name, calls their exports as the host contract asks and
// prints what they did in a form a person can read.
//
// The table below is the whole command list: "tarnwick help" prints it by
// group, "tarnwick help NAME" and "tarnwick NAME --help" one entry.
#include "commands.h"
#include "report.h"
#include "statusline.h"

#include <cstdio>
#include <cstring>

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "1.0"
#endif

namespace {

const char kStore[] = "Store: messages in area files, folders";
const char kUucp[] = "UUCP mail: import and export";
const char kNews[] = "News: import and export";
const char kCodecs[] = "Codecs: MIME, quoted-printable, code page 850, UU";
const char kNetwork[] = "Network: POP3, SMTP, ETRN";
const char kDialUp[] = "Dial-up";
const char kService[] = "Service";
const char kTools[] = "Measuring tools (benchmarks and soak runs, not for everyday use)";

const char* const kGroups[] = {kStore, kUucp, kNews, kCodecs, kNetwork, kDialUp, kService, kTools};

#define LEVEL_NOTE(def)                                                                    \
    "  --level N      the library log level, 0 to 9 (default " def "); -v is 9, -q 1;\n" \
    "                 the old form takes the level as its last word\n"

const Command kCommands[] = {
    // Store.
    {"read-mail", kStore, "<work> <record> [--body] [--out FILE]",
     "read the message of a mail.hdr record",
     "  <record>       the record's number in <work>\\mail.hdr, from 1\n"
     "  --body         the body only (_EXTRACTMESSAGE@24), else the whole message\n"
     "                 (READMESSAGE)\n"
     "  --out FILE     write the text to FILE instead of standard output\n",
     cmdReadMail},
    {"read-message", kStore, "<store> <area> <offset> <count> [options]",
     "read a stored message chunk by chunk",
     "  <area> <offset> <count>  whole numbers, 0 or more\n"
     "  --news, --mapi, --body   READNEWS, READMAPIMSG or _EXTRACTMESSAGE@24 instead\n"
     "                           of READMESSAGE\n"
     "  --out FILE     write the text to FILE instead of standard output\n",
     cmdReadMessage},
    {"append-message", kStore, "<store> <area> <file> [--mform] [--repeat N]",
     "append a text file to an area, show its offsets",
     "  --mform        WRITEMFORM instead of WRITEMESSAGE\n"
     "  --repeat N     append N times (default 1, at most 1000000)\n",
     cmdAppendMessage},
    {"attach", kStore, "<folder> <source> <target> [--hold]",
     "append a file to folder\\target (or copy into hold)",
     "  --hold         copy to <folder>\\hold\\<target> instead (FILEATTACH)\n", cmdAttach},
    {"mkdir", kStore, "<folder>", "create one folder (GENDIR)", "", cmdMakeFolder},
    {"chkdir", kStore, "<folder>", "check a folder by entering it (CHKDIR)", "", cmdCheckFolder},
    {"find", kStore, "<folder> <pattern>", "first entry matching a wildcard (FIND_FILE)", "",
     cmdFindFile},
    {"rename", kStore, "<old> <new>", "rename a file, never replacing one (FILERENAME)", "",
     cmdRename},
    // UUCP mail.
    {"import-mail", kUucp, "<inbound> <work> <system1> <system2> [-v|-q]",
     "import received UUCP mail jobs, list the new records",
     "  Calls IMPMAIL until it returns -1 and lists the records it added to\n"
     "  <work>\\mail.hdr. Fails (1) when mail jobs (*.x) stay in <inbound>.\n" LEVEL_NOTE("5"),
     cmdImportMail},
    {"prepare-mail", kUucp, "<outbound> <header-file> <body-file> [more-file]",
     "build rmail.z from header text and a body",
     "  GENUUCP writes <outbound>\\rmail.z from the header text and the body file;\n"
     "  WRITEUUCP appends the more-file (text). Refused while rmail.z exists.\n",
     cmdPrepareMail},
    {"export-mail", kUucp, "<outbound> <work> <rcpts> <system> <sender> [-v|-q]",
     "queue rmail.z as a UUCP mail job (EXPMAIL)",
     "  <rcpts>        the recipients, separated by blanks, in one argument\n" LEVEL_NOTE("2"),
     cmdExportMail},
    // News.
    {"import-news", kNews, "<inbound> <work> <system1> <system2> [options]",
     "import UUCP news batches, list each batch's records",
     "  --bits N       compressed batches: 9 to 16 bits (default 0: plain);\n"
     "                 the old form takes it after <system2>\n" LEVEL_NOTE("5"),
     cmdImportNews},
    {"export-news", kNews, "<outbound> <work> <system> <count> [options]",
     "queue the outbound news batch as a UUCP job",
     "  <count>        the number of articles in the batch\n"
     "  --bits N       compress with 9 to 16 bits (default 0: plain)\n" LEVEL_NOTE("5"),
     cmdExportNews},
    // Codecs.
    {"mime-decode", kCodecs, "<message> <out>", "decode a message's attachment (MIMEDECODE)",
     "  Fails (1) when the message holds no attachment to keep.\n", cmdMimeDecode},
    {"mime-attach", kCodecs, "<file> <out> <name>", "write a file as a base64 part (MIMEENCODE)",
     "", cmdMimeAttach},
    {"qp-encode", kCodecs, "<file>", "make a text file quoted-printable in place", "", cmdQuote},
    {"iso-to-850", kCodecs, "<in> <out>", "Latin-1 quoted-printable to code page 850", "",
     cmdIsoTo850},
    {"uucode", kCodecs, "<in> [out|-] [begin|-] [countdir] [maxKB]",
     "UU-encode into parts, or decode .enc/.uue/.xxe",
     "  An input ending in .enc, .uue or .xxe is decoded (into out, or the name\n"
     "  its begin line gives); any other is encoded into parts of at most maxKB\n"
     "  (default 0: one part) named after out. '-' leaves a place empty.\n",
     cmdUuCode},
    // Network.
    {"fetch-pop", kNetwork,
     "<folder> <host> --user NAME --password-env VAR [...]",
     "fetch and delete a POP3 mailbox into numbered files",
     "  --user NAME    the mailbox's user name\n"
     "  --password-env VAR     the password from the environment variable VAR,\n"
     "  --password-file FILE   or from the first line of FILE\n"
     "  --address A    connect to this address instead of looking up <host>\n"
     "  --log FILE     the session log (default <folder>\\pop.log)\n" LEVEL_NOTE("9")
     "  The port is the registry value pop_out (see pop-port; default 110).\n"
     "  Messages are kept in <folder>\\received, unfinished ones in incomplete.\n"
     "  Old form: <folder> <host> <address|-> <user> <password> <log> [level]\n",
     cmdFetchPop},
    {"pop-port", kNetwork, "[port]", "store or show the POP3 port (registry pop_out)",
     "  Writes HKEY_LOCAL_MACHINE\\software\\tarnwick\\ports, value pop_out: it stays\n"
     "  for every later fetch until written again.\n",
     cmdPopPort},
    {"send-mail", kNetwork, "<relay> <envelope> <message>... [options]",
     "send each message by SMTP, report refusals",
     "  <envelope>     the sender line and one line per recipient, <angled>\n"
     "  --port N       the relay's port (default 25)\n"
     "  --helo NAME    the name given in HELO (default localhost)\n"
     "  --folder F     where smtp.bad records refusals (default .)\n"
     "  --log FILE     the session log (default <folder>\\smtp.log)\n" LEVEL_NOTE("9")
     "  Fails (1) when a message was not delivered or a recipient was refused.\n"
     "  Old form: <relay> <port> <helo> <folder> <log> <level> <envelope>\n"
     "            <message>...\n",
     cmdSendMail},
    {"send-to", kNetwork, "<relay> <sender> <rcpt,...> <file> [options]",
     "send a text file to recipients by SMTP",
     "  Builds outgoing.env and outgoing.msg in the folder from the text file and\n"
     "  sends them; the options are those of send-mail.\n"
     "  Old form: <relay> <port> <helo> <folder> <log> <level> <sender> <rcpt,...>\n"
     "            <file>\n",
     cmdSendTo},
    {"etrn", kNetwork, "<server> <domain> [port]",
     "ask a server to deliver the mail queued for a domain",
     "  [port]         stored first in the registry value smtp_out (it stays for\n"
     "                 later runs); without it the stored port is used (default 25)\n"
     "  The library reports nothing back: 0 means the request was made, not that\n"
     "  the server accepted it (its own log says that).\n",
     cmdEtrn},
    // Dial-up.
    {"dial", kDialUp, "<entry> [<user> <password>] [seconds] [options]",
     "dial a phone-book entry and follow it until connected",
     "  --user NAME            the user name (default: the entry's stored one)\n"
     "  --password-env VAR     the password from the environment variable VAR\n"
     "  --password-file FILE   the password from the first line of FILE\n"
     "  --wait SECONDS         how long to wait for the connection (default 60)\n"
     "  User name and password are at most 256 characters each.\n"
     "  The connection belongs to this process: hangup and dial-status in a later\n"
     "  tarnwick call do not see it. In tarnwick.auto, steps of one AUTO run do.\n",
     cmdDial},
    {"hangup", kDialUp, "", "hang up this process's dial (only useful in AUTO)",
     "  Acts on the connection dialled earlier in the same process: a step after\n"
     "  a dial step of tarnwick AUTO. A separate tarnwick call has dialled nothing.\n",
     cmdHangUp},
    {"dial-status", kDialUp, "", "state of this process's dial (only useful in AUTO)",
     "  As hangup: the connection of a dial earlier in the same process.\n", cmdDialStatus},
    {"dial-params", kDialUp, "<entry>", "stored user name of an entry, password kept hidden", "",
     cmdDialParams},
    // Service.
    {"AUTO", kService, "", "run the steps of tarnwick.auto unattended",
     "  Keeps the window \"roziradedeze39\" open, runs the steps of tarnwick.auto\n"
     "  in the folder of tarnwick.exe (one subcommand per line; every N, pause N\n"
     "  and quit besides), logs to tarnwick.log there (passwords masked), and\n"
     "  closes after the messages 1024 and 1023 (tarnsvc sends them on stop).\n",
     cmdAuto},
    // Measuring tools.
    {"plain-io", kTools, "read <file> <copy> | append <file> <text-file> <n>",
     "baseline: the same bytes by plain C runtime calls", "", cmdPlainIo},
    {"soak-import", kTools, "<inbound> <work> <system1> <system2> [every]",
     "IMPMAIL to the end, handles and memory every n calls", "", cmdSoakImport},
    {"soak-pop", kTools, "<folder> <address> <user> <password> <log> [every]",
     "one POP3 session, handles and memory every n messages", "", cmdSoakPop},
    {"soak-smtp", kTools, "<addr> <port> <helo> <folder> <log> <lvl> <count> [n]",
     "count SMTP sessions, handles and memory every n", "", cmdSoakSmtp},
};

const char kExitCodes[] =
    "exit codes: 0 done, 1 the operation failed, 2 usage (bad or missing argument)\n";

void printHelp(FILE* to)
{
    std::fprintf(to,
                 "usage: tarnwick COMMAND [ARGUMENTS]\n"
                 "       tarnwick help COMMAND    (or tarnwick COMMAND --help)\n"
                 "       tarnwick --version\n");
    for (const char* group : kGroups) {
        std::fprintf(to, "\n%s\n", group);
        for (const Command& c : kCommands) {
            if (c.group == group)
                std::fprintf(to, "  %-15s %s\n", c.name, c.summary);
        }
    }
    std::fprintf(to, "\n%s", kExitCodes);
}

void printCommandHelp(const Command& c)
{
    std::printf("usage: tarnwick %s %s\n\n%s\n", c.name, c.usage, c.summary);
    if (*c.details)
        std::printf("\n%s", c.details);
    std::printf("\n%s", kExitCodes);
}

bool asksForHelp(const Args& args)
{
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h")
            return true;
    }
    return false;
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

int runCommand(const Command& c, const Args& args)
{
    // Asked anywhere in the list, so that no folder or file is ever named
    // "--help".
    if (asksForHelp(args)) {
        printCommandHelp(c);
        return kExitDone;
    }
    return c.run(args);
}

int usageError(const char* name)
{
    std::fflush(stdout);
    if (const Command* c = findCommand(name))
        std::fprintf(stderr, "usage: tarnwick %s %s\n       (tarnwick help %s says more)\n",
                     c->name, c->usage, c->name);
    return kExitUsage;
}

int main(int argc, char** argv)
{
    bufferRedirectedOutput();
    if (argc < 2) {
        printHelp(stderr);
        return kExitUsage;
    }
    std::string first = argv[1];
    if (first == "--version" || first == "version") {
        std::printf("tarnwick %s (%s build)\n", TARNWICK_VERSION,
                    sizeof(void*) == 8 ? "64-bit" : "32-bit");
        return kExitDone;
    }
    if (first == "help" || first == "--help" || first == "-h") {
        if (argc == 2) {
            printHelp(stdout);
            return kExitDone;
        }
        const Command* c = findCommand(argv[2]);
        if (!c) {
            errorLine("no command '%s'; tarnwick help lists them", argv[2]);
            return kExitUsage;
        }
        printCommandHelp(*c);
        return kExitDone;
    }
    if (const Command* c = findCommand(first))
        return runCommand(*c, Args(argv + 2, argv + argc));
    errorLine("unknown command '%s'; tarnwick help lists the commands", first.c_str());
    return kExitUsage;
}
