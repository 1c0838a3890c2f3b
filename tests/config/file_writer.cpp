// A child program for tests and benchmarks that need a writer they can kill at any moment, or
// that must run as a user who may not write the folder.
//
//   file_writer [--user UID] profile-loop PATH       rewrites PATH through the profile object until
//                                                    killed: its run order alternately 3 entries
//                                                    "short" and 40 entries 0 to 39
//   file_writer [--user UID] runorder PATH ENTRY...  writes a run order file once
//   file_writer [--user UID] profile PATH KEY VALUE  writes KEY=VALUE into [Main] of a profile
//   file_writer [--user UID] read PATH               prints the file as the shared-file reader
//                                                    reads it; exit code 3 when it is missing
//
// A write that fails prints its error and ends with exit code 1, as does a refused read.
// --user drops to that user and group first (only root may ask for it); --user UID:GID also
// keeps the group GID as the user's only supplementary group.
#include "common/AppError.h"
#include "common/TrustedPath.h"
#include "config/IniFile.h"
#include "runorder/RunOrder.h"

#include <cstdio>
#include <grp.h>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

bool dropTo(const std::string& user)
{
    const auto colon = user.find(':');
    const auto id = static_cast<uid_t>(std::stoul(user.substr(0, colon)));
    const auto group = colon == std::string::npos ? std::nullopt : std::optional(static_cast<gid_t>(std::stoul(user.substr(colon + 1))));
    return ::setgroups(group ? 1 : 0, group ? &*group : nullptr) == 0 && ::setgid(id) == 0 && ::setuid(id) == 0;
}

[[noreturn]] void profileLoop(const QString& path)
{
    std::puts("looping");
    std::fflush(stdout);
    for (int round = 0;; ++round) {
        IniFile ini(path);
        ini.EraseSection("Run Order");
        const bool shortList = round % 2 == 0;
        for (int k = 0; k < (shortList ? 3 : 40); ++k)
            ini.WriteString("Run Order", QStringLiteral("R%1").arg(k), shortList ? QStringLiteral("short") : QString::number(k));
        ini.updateFile();
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--user") {
        if (!dropTo(args[1])) {
            std::perror("file_writer: cannot change user");
            return 2;
        }
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.size() < 2)
        return 2;
    const QString path = QString::fromStdString(args[1]);
    try {
        if (args[0] == "profile-loop")
            profileLoop(path);
        if (args[0] == "runorder") {
            QStringList entries;
            for (size_t i = 2; i < args.size(); ++i)
                entries.append(QString::fromStdString(args[i]));
            writeRunOrderFile(entries, path);
            return 0;
        }
        if (args[0] == "profile" && args.size() == 4) {
            IniFile ini(path);
            ini.WriteString("Main", QString::fromStdString(args[2]), QString::fromStdString(args[3]));
            ini.updateFile();
            return 0;
        }
        if (args[0] == "read") {
            std::string content;
            const FileRead result = readTrustedFile(args[1], content);
            std::fwrite(content.data(), 1, content.size(), stdout);
            return result == FileRead::Done ? 0 : result == FileRead::Missing ? 3 : 1;
        }
    } catch (const AppError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 2;
}
