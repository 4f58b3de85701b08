#include "jobfile.h"

#include <cstring>
#include <vector>

namespace tarn {

namespace {
std::string takeSpoolName(const char* line)
{
    std::size_t n = std::strlen(line);
    std::string name = n > 2 ? std::string(line + 2, n - 2) : std::string();
    if (name.size() > kSpoolNameSize - 1)
        name.resize(kSpoolNameSize - 1);
    std::size_t lf = name.find('\n');
    if (lf != std::string::npos && lf < kSpoolNameSize - 2)
        name.erase(lf);
    return name;
}
}  // namespace

JobFile readJobFile(std::FILE* file, JobLetters letters, int lineWidth)
{
    JobFile job;
    std::vector<char> line(static_cast<std::size_t>(lineWidth));
    while (std::fgets(line.data(), lineWidth, file)) {
        char kind = line[0];
        if (letters == JobLetters::kAnyCase && (kind == 'f' || kind == 'c'))
            kind = static_cast<char>(kind - 'a' + 'A');
        if (kind == 'F') {
            job.spoolName = takeSpoolName(line.data());
        } else if (kind == 'C') {
            job.commandLine.assign(line.data());
            if (job.commandLine.size() > kCommandLineSize - 1)
                job.commandLine.resize(kCommandLineSize - 1);
        }
    }
    return job;
}

}  // namespace tarn
