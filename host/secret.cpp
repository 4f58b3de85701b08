#include "secret.h"

#include "fileutil.h"
#include "options.h"
#include "report.h"

#include <cstdlib>

int passwordOption(const char* command, const CommandLine& line, std::string& password,
                   bool& found)
{
    found = false;
    bool fromEnv = line.has("--password-env");
    bool fromFile = line.has("--password-file");
    if (fromEnv && fromFile)
        return usageProblem(command, "give --password-env or --password-file, not both");
    if (fromEnv) {
        std::string name = line.value("--password-env");
        const char* v = std::getenv(name.c_str());
        if (!v || !*v)
            return usageProblem(command, "--password-env: the environment variable %s is not set",
                                name.c_str());
        password = v;
    } else if (fromFile) {
        std::string path = line.value("--password-file");
        std::string text;
        if (!readWholeFile(path, text))
            return usageProblem(command, "--password-file: cannot read %s", path.c_str());
        password = chomp(text.substr(0, text.find('\n')));
        if (password.empty())
            return usageProblem(command, "--password-file: %s holds no password on its first line",
                                path.c_str());
    } else {
        return kExitDone;
    }
    found = true;
    return kExitDone;
}
