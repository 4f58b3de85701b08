#include "options.h"

#include <cerrno>
#include <cstdlib>

bool parseNumber(const std::string& text, long min, long max, long& value)
{
    if (text.empty() || text.size() > 18)
        return false;
    std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (i == text.size() || text.find_first_not_of("0123456789", i) != std::string::npos)
        return false;
    errno = 0;
    long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (errno != 0 || v < min || v > max)
        return false;
    value = static_cast<long>(v);
    return true;
}

CommandLine::CommandLine(const std::vector<std::string>& args,
                         std::initializer_list<KnownOption> known)
{
    bool optionsEnd = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool looksLikeOption = !optionsEnd && a.size() > 1 && a[0] == '-' &&
                               (a[1] == '-' || (a.size() == 2 && a[1] != '-'));
        if (!looksLikeOption) {
            positional_.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnd = true;
            continue;
        }
        std::string name = a, value;
        std::size_t eq = a.find('=');
        bool inlineValue = a[1] == '-' && eq != std::string::npos;
        if (inlineValue) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
        }
        const KnownOption* option = nullptr;
        for (const KnownOption& k : known) {
            if (name == k.name)
                option = &k;
        }
        if (!option && a[1] != '-') {
            // "-x" that is no flag of this command: an argument such as a
            // password that begins with a dash.
            positional_.push_back(a);
            continue;
        }
        if (!option) {
            fail("unknown option " + name);
            continue;
        }
        if (option->takesValue && !inlineValue) {
            if (i + 1 >= args.size()) {
                fail(name + " needs a value");
                continue;
            }
            value = args[++i];
        } else if (!option->takesValue && inlineValue) {
            fail(name + " takes no value");
            continue;
        }
        options_.emplace_back(name, value);
    }
}

void CommandLine::fail(const std::string& text)
{
    if (error_.empty())
        error_ = text;
}

bool CommandLine::has(const char* name) const
{
    for (const auto& o : options_) {
        if (o.first == name)
            return true;
    }
    return false;
}

std::string CommandLine::value(const char* name, const std::string& fallback) const
{
    std::string v = fallback;
    for (const auto& o : options_) {
        if (o.first == name)
            v = o.second;
    }
    return v;
}

bool CommandLine::number(const char* name, long min, long max, long fallback, long& out)
{
    if (!has(name)) {
        out = fallback;
        return true;
    }
    std::string text = value(name);
    if (parseNumber(text, min, max, out))
        return true;
    fail(std::string(name) + " must be a whole number from " + std::to_string(min) + " to " +
         std::to_string(max) + ", not '" + text + "'");
    return false;
}

bool CommandLine::number(std::size_t index, const char* label, long min, long max, long& out)
{
    const std::string& text = positional_.at(index);
    if (parseNumber(text, min, max, out))
        return true;
    fail(std::string(label) + " must be a whole number from " + std::to_string(min) + " to " +
         std::to_string(max) + ", not '" + text + "'");
    return false;
}

bool CommandLine::level(const std::string& positionalText, long fallback, long& out)
{
    int given = has("--level") + has("-v") + has("-q") + !positionalText.empty();
    if (given > 1) {
        fail("give the log level once (--level, -v, -q or its place in the list)");
        return false;
    }
    if (has("-v")) {
        out = kLevelVerbose;
        return true;
    }
    if (has("-q")) {
        out = kLevelQuiet;
        return true;
    }
    if (!positionalText.empty()) {
        if (parseNumber(positionalText, 0, 9, out))
            return true;
        fail("level must be a whole number from 0 to 9, not '" + positionalText + "'");
        return false;
    }
    return number("--level", 0, 9, fallback, out);
}
