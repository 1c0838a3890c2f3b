#include "common/WholeFileWrite.h"

#include "common/TrustedPathWin32.h"

#include <optional>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

// The file to write, found by the link rule, and whether something stands at its name.
struct Target {
    fs::path path;
    bool exists = false;
    DWORD attributes = 0;
};

// Nothing for a path through an untrusted link, a missing folder, or a name that holds
// something other than a regular file.
std::optional<Target> findTarget(const fs::path& path)
{
    const auto resolved = resolveTrustedPath(path, LinkTrust::SharedFolder);
    if (!resolved)
        return std::nullopt;
    const DWORD attributes = GetFileAttributesW(resolved->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD folder = GetFileAttributesW(resolved->parent_path().c_str());
        if (GetLastError() != ERROR_FILE_NOT_FOUND && folder == INVALID_FILE_ATTRIBUTES)
            return std::nullopt;
        if (folder == INVALID_FILE_ATTRIBUTES || !(folder & FILE_ATTRIBUTE_DIRECTORY))
            return std::nullopt;
        return Target{*resolved, false, 0};
    }
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
        return std::nullopt;
    return Target{*resolved, true, attributes};
}

bool mayWrite(const Target& target)
{
    if (!target.exists)
        return true;
    // A file marked read-only stays untouched, even for a user whom the system would let write.
    return !(target.attributes & FILE_ATTRIBUTE_READONLY) && static_cast<bool>(openEntry(target.path, GENERIC_WRITE));
}

// "." + the file's name + "." + a tag + ".saving", in the file's folder.
const std::wstring TemporaryEnd = L".saving";
constexpr size_t TagLength = 8;

std::wstring temporaryStart(const Target& target)
{
    return L"." + target.path.filename().wstring() + L".";
}

std::wstring randomTag()
{
    static constexpr wchar_t Letters[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device source;
    std::uniform_int_distribution<size_t> pick(0, std::size(Letters) - 2);
    std::wstring tag;
    for (size_t i = 0; i < TagLength; ++i)
        tag += Letters[pick(source)];
    return tag;
}

// Takes away the temporary files of this user that interrupted writes of the file left. One that
// a write still has open is not deleted (the open handle refuses the sharing).
void removeOwnLeftovers(const Target& target)
{
    const fs::path folder = target.path.parent_path();
    const std::wstring start = temporaryStart(target);
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((folder / (start + L"*" + TemporaryEnd)).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name.size() != start.size() + TagLength + TemporaryEnd.size()
            || (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
            continue;
        FileHandle file(CreateFileW((folder / name).c_str(), DELETE | READ_CONTROL, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        // Deleted as the handle closes; another user's is reopened without the delete.
        if (file && !ownedByCurrentUser(file.get())) {
            FILE_DISPOSITION_INFO keep{FALSE};
            SetFileInformationByHandle(file.get(), FileDispositionInfo, &keep, sizeof keep);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

bool writeAll(HANDLE file, std::string_view content)
{
    size_t done = 0;
    while (done < content.size()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1 << 20));
        if (!WriteFile(file, content.data() + done, chunk, &wrote, nullptr) || wrote == 0)
            return false;
        done += wrote;
    }
    return true;
}

enum class Replaced { Done, NotHere, Failed };

// A new file beside the old one, written and flushed, then put in its place in one step.
// ReplaceFileW keeps what the old file is: its security descriptor (owner and rights), its
// attributes and its creation time. Where the writer may not change the new file's rights (the
// shared data folder takes that from a file's maker), the new file keeps the rights it inherited
// from the folder instead of failing the save.
Replaced replaceWhole(const Target& target, std::string_view content)
{
    const fs::path folder = target.path.parent_path();
    fs::path temporary;
    FileHandle file;
    for (int attempt = 0; attempt < 16 && !file; ++attempt) {
        temporary = folder / (temporaryStart(target) + randomTag() + TemporaryEnd);
        // CREATE_NEW: nothing planted under the name receives the content.
        file = FileHandle(CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file && GetLastError() != ERROR_FILE_EXISTS)
            return GetLastError() == ERROR_ACCESS_DENIED ? Replaced::NotHere : Replaced::Failed;
    }
    if (!file)
        return Replaced::Failed;
    const bool written = writeAll(file.get(), content) && FlushFileBuffers(file.get());
    file.reset();
    const bool placed = written
                        && (target.exists ? ReplaceFileW(target.path.c_str(), temporary.c_str(), nullptr,
                                                         REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr)
                                          : MoveFileExW(temporary.c_str(), target.path.c_str(), MOVEFILE_WRITE_THROUGH));
    if (placed)
        return Replaced::Done;
    const DWORD error = GetLastError();
    DeleteFileW(temporary.c_str());
    return written && error == ERROR_ACCESS_DENIED ? Replaced::NotHere : Replaced::Failed;
}

bool holds(HANDLE file, std::string_view content)
{
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return false;
    std::string back(content.size() + 1, '\0');
    DWORD got = 0;
    size_t total = 0;
    while (total < back.size() && ReadFile(file, back.data() + total, static_cast<DWORD>(back.size() - total), &got, nullptr)
           && got > 0)
        total += got;
    return total == content.size() && std::string_view(back.data(), total) == content;
}

// For a file that may be written but not replaced here (another operator's, in a folder that
// lets this user change files but not delete them). New content over the old from the start,
// then the length cut, so a kill never leaves the file shorter than either; read back, and
// written again when another writer mixed in.
bool rewriteInPlace(const Target& target, std::string_view content)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        const FileHandle file = openEntry(target.path, GENERIC_READ | GENERIC_WRITE);
        BY_HANDLE_FILE_INFORMATION info{};
        if (!file || GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &info)
            || (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
            return false;
        if (!writeAll(file.get(), content) || !SetEndOfFile(file.get()) || !FlushFileBuffers(file.get()))
            return false;
        if (holds(file.get(), content))
            return true;
    }
    return false;
}

} // namespace

bool mayWriteFile(const fs::path& path)
{
    const auto target = findTarget(path);
    return target && mayWrite(*target);
}

bool writeWholeFile(const fs::path& path, std::string_view content)
{
    const auto target = findTarget(path);
    if (!target || !mayWrite(*target))
        return false;
    removeOwnLeftovers(*target);
    switch (replaceWhole(*target, content)) {
    case Replaced::Done:
        return true;
    case Replaced::Failed:
        return false;
    case Replaced::NotHere:
        break;
    }
    return target->exists && rewriteInPlace(*target, content);
}
