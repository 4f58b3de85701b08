#include "report.h"

#include "commands.h"

#include <cstdarg>
#include <cstdio>

namespace {
void vErrorLine(const char* format, va_list args)
{
    std::fflush(stdout);
    std::fputs("tarnwick: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}
}  // namespace

void errorLine(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vErrorLine(format, args);
    va_end(args);
}

int failure(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vErrorLine(format, args);
    va_end(args);
    return kExitFailed;
}

int usageProblem(const char* command, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vErrorLine(format, args);
    va_end(args);
    return usageError(command);
}
