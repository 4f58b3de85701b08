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
