#include "commandline.h"

namespace {

char foldAsciiLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool sameIgnoringLetterCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        if (foldAsciiLetter(*a) != foldAsciiLetter(*b))
            return false;
    }
    return *a == *b;
}

}  // namespace

Action actionFor(const char* firstArgument)
{
    if (!firstArgument)
        return Action::RunService;
    if (sameIgnoringLetterCase(firstArgument, "/Install"))
        return Action::Install;
    if (sameIgnoringLetterCase(firstArgument, "/Remove"))
        return Action::Remove;
    return Action::Usage;
}

std::string programAsTyped(const char* commandLine)
{
    std::string word;
    if (!commandLine)
        return word;
    const char* p = commandLine;
    while (*p == ' ' || *p == '\t')
        ++p;
    bool quoted = false;
    for (; *p; ++p) {
        if (*p == '"')
            quoted = !quoted;
        else if (!quoted && (*p == ' ' || *p == '\t'))
            break;
        word += *p;
    }
    return word;
}
