// The command line of one subcommand: positional arguments, named options
// ("--port 25" or "--port=25"), flags ("--hold"), and the one convention
// for the library log level: "--level N", "-v" (9, everything) or "-q"
// (1, errors only); a command's own default applies when none is given.
//
// Every number is checked whole ("25x", "", "-" and values out of range are
// refused) and every refusal names the argument. No Win32 here.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

constexpr int kLevelVerbose = 9;  // -v
constexpr int kLevelQuiet = 1;    // -q

struct KnownOption {
    const char* name;  // "--port", "--hold", "-v"
    bool takesValue;
};

// The decimal integer text, whole, within [min, max]. False otherwise.
bool parseNumber(const std::string& text, long min, long max, long& value);

class CommandLine {
public:
    // Splits args by the known options; "--" ends the options. An unknown
    // "--name", or an option without its value, makes error() non-empty; an
    // unknown "-x" counts as a positional argument.
    CommandLine(const std::vector<std::string>& args, std::initializer_list<KnownOption> known);

    const std::vector<std::string>& positional() const { return positional_; }
    // The first problem found ("unknown option --x"), empty when none.
    const std::string& error() const { return error_; }

    bool has(const char* name) const;
    // The option's last value, or fallback when it was not given.
    std::string value(const char* name, const std::string& fallback = "") const;

    // The option's number, or fallback when it was not given; false (and
    // error() set) when it is not a whole number within [min, max].
    bool number(const char* name, long min, long max, long fallback, long& out);
    // A positional argument as a number, named in the error by label.
    bool number(std::size_t index, const char* label, long min, long max, long& out);

    // The log level: --level, -v or -q, else the positional text when given
    // (non-empty), else fallback. False on a bad level.
    bool level(const std::string& positionalText, long fallback, long& out);

private:
    void fail(const std::string& text);

    std::vector<std::pair<std::string, std::string>> options_;
    std::vector<std::string> positional_;
    std::string error_;
};
