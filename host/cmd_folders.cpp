// Subcommands: the folder and file operations of tarn32.
#include "commands.h"
#include "library.h"
#include "report.h"

#include <cstdio>

namespace {
int folderOp(const Args& args, const char* name, const char* exportName, const char* okText,
             const char* failText)
{
    if (args.size() != 1)
        return usageError(name);
    Library dll("tarn32.dll");
    auto op = dll.get<tarn32::FolderOp>(exportName);
    if (!op)
        return kExitFailed;
    if (op(args[0].c_str()) != 0)
        return failure("%s: %s", args[0].c_str(), failText);
    std::printf("%s: %s\n", args[0].c_str(), okText);
    return kExitDone;
}
}  // namespace

int cmdMakeFolder(const Args& args)
{
    return folderOp(args, "mkdir", "GENDIR", "created", "cannot be created (exists, or no parent)");
}

int cmdCheckFolder(const Args& args)
{
    return folderOp(args, "chkdir", "CHKDIR", "folder is usable", "not a usable folder");
}

int cmdFindFile(const Args& args)
{
    if (args.size() != 2)
        return usageError("find");
    Library dll("tarn32.dll");
    auto find = dll.get<tarn32::FindFile>("FIND_FILE");
    if (!find)
        return kExitFailed;
    char found[260] = "";
    if (find(args[0].c_str(), found, args[1].c_str()) == -1)
        return failure("nothing in %s matches %s", args[0].c_str(), args[1].c_str());
    std::printf("%s\n", found);
    return kExitDone;
}

int cmdRename(const Args& args)
{
    if (args.size() != 2)
        return usageError("rename");
    Library dll("tarn32.dll");
    auto rename = dll.get<tarn32::FileRename>("FILERENAME");
    if (!rename)
        return kExitFailed;
    if (rename(args[0].c_str(), args[1].c_str()) != 0)
        return failure("cannot rename %s to %s (missing, or the new name exists)", args[0].c_str(),
                       args[1].c_str());
    std::printf("renamed %s to %s\n", args[0].c_str(), args[1].c_str());
    return kExitDone;
}
