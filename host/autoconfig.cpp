#include "autoconfig.h"

#include <cstdlib>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// A whole number of seconds, 1 to one day.
bool parseSeconds(const std::string& s, unsigned& out)
{
    if (s.empty() || s.size() > 6)
        return false;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
    }
    unsigned long v = std::strtoul(s.c_str(), nullptr, 10);
    if (v < 1 || v > 86400)
        return false;
    out = static_cast<unsigned>(v);
    return true;
}

}  // namespace

bool splitWords(const std::string& line, std::vector<std::string>& words, std::string& error)
{
    words.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i == line.size())
            break;
        std::string word;
        bool quoted = false;
        for (; i < line.size() && (quoted || !isBlank(line[i])); ++i) {
            if (line[i] == '"')
                quoted = !quoted;
            else
                word += line[i];
        }
        if (quoted) {
            error = "unclosed quote";
            words.clear();
            return false;
        }
        words.push_back(word);
    }
    return true;
}

AutoConfig parseAutoConfig(const std::string& text)
{
    AutoConfig config;
    std::size_t pos = 0;
    int lineNo = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#' || line[first] == ';')
            continue;

        std::vector<std::string> words;
        std::string error;
        std::string where = "line " + std::to_string(lineNo) + ": ";
        if (!splitWords(line, words, error)) {
            config.errors.push_back(where + error);
            continue;
        }
        if (words[0] == "every") {
            unsigned seconds = 0;
            if (words.size() != 2 || !parseSeconds(words[1], seconds))
                config.errors.push_back(where + "every takes a number of seconds (1 to 86400)");
            else
                config.everySeconds = seconds;
            continue;
        }
        if (words[0] == "pause") {
            unsigned seconds = 0;
            if (words.size() != 2 || !parseSeconds(words[1], seconds)) {
                config.errors.push_back(where + "pause takes a number of seconds (1 to 86400)");
                continue;
            }
        }
        if (words[0] == "quit" && words.size() != 1) {
            config.errors.push_back(where + "quit takes no arguments");
            continue;
        }
        config.steps.push_back(AutoStep{words, lineNo});
    }
    return config;
}

namespace {

// Where a subcommand's argument list holds the password: its index among
// the positional arguments. A list that reaches that place is masked there
// even when it is not a valid form: the step fails, but its log line must
// not show the password.
struct PasswordPlace {
    const char* command;
    std::size_t index;
};

const PasswordPlace kPasswordPlaces[] = {
    {"fetch-pop", 4},  // <folder> <host> <address|-> <user> <password> <log> [level]
    {"soak-pop", 3},   // <folder> <address> <user> <password> <log> [every]
    {"dial", 2},       // <entry> <user> <password> [seconds]
};

// Options that take a value, so that the value is not counted as a
// positional argument.
bool takesValue(const std::string& word)
{
    for (const char* o : {"--level", "--user", "--address", "--log", "--password-env",
                          "--password-file", "--wait", "--port", "--helo", "--folder", "--bits",
                          "--out", "--repeat"}) {
        if (word == o)
            return true;
    }
    return false;
}

}  // namespace

std::string stepForLog(const std::vector<std::string>& words)
{
    std::vector<std::string> shown = words;
    const PasswordPlace* place = nullptr;
    for (const PasswordPlace& p : kPasswordPlaces) {
        if (!words.empty() && words[0] == p.command)
            place = &p;
    }
    if (place) {
        std::vector<std::size_t> positional;  // indexes into words
        for (std::size_t i = 1; i < words.size(); ++i) {
            // As the commands read them: "--name" is an option, "-v" and
            // "-q" are flags, any other word (a password "-x" too) counts.
            const std::string& w = words[i];
            if ((w.size() > 2 && w.compare(0, 2, "--") == 0) || w == "-v" || w == "-q") {
                i += takesValue(w) ? 1 : 0;
                continue;
            }
            positional.push_back(i);
        }
        if (positional.size() > place->index)
            shown[positional[place->index]] = "*****";
    }
    std::string s;
    for (const std::string& w : shown)
        s += (s.empty() ? "" : " ") + (w.find(' ') != std::string::npos ? "\"" + w + "\"" : w);
    return s;
}
