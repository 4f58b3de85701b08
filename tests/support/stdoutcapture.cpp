#include "stdoutcapture.h"

#include "testdir.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace testsupport {

std::string capturingStdout(const std::string& scratchFile, const std::function<void()>& call)
{
    std::fflush(stdout);
    int saved = _dup(1);
    int fd = _open(scratchFile.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0666);
    _dup2(fd, 1);
    _close(fd);
    call();
    std::fflush(stdout);
    _dup2(saved, 1);
    _close(saved);
    std::string text = readFile(scratchFile);
    DeleteFileA(scratchFile.c_str());
    return text;
}

}  // namespace testsupport
