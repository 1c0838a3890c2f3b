#include "common/TrustedPathWin32.h"

#include <aclapi.h>
#include <sddl.h>
#include <winioctl.h>

#include <memory>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The reparse data of a symbolic link or a junction, as the file system hands it out; MinGW's
// headers keep it in the driver kit only.
struct ReparseData {
    ULONG tag;
    USHORT dataLength;
    USHORT reserved;
    USHORT substituteOffset;
    USHORT substituteLength;
    USHORT printOffset;
    USHORT printLength;
};
constexpr ULONG SymlinkFlagRelative = 1;
constexpr int LinkLimit = 40;

using Sid = std::vector<BYTE>;

Sid copySid(PSID sid)
{
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    return Sid(bytes, bytes + GetLengthSid(sid));
}

Sid ownerOf(HANDLE entry)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(entry, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr, &descriptor)
        != ERROR_SUCCESS)
        return {};
    Sid copy = owner ? copySid(owner) : Sid{};
    LocalFree(descriptor);
    return copy;
}

Sid currentUser()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    Sid user;
    if (size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        user = copySid(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
    CloseHandle(token);
    return user;
}

Sid wellKnown(WELL_KNOWN_SID_TYPE type)
{
    Sid sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    if (!CreateWellKnownSid(type, nullptr, sid.data(), &size))
        return {};
    sid.resize(size);
    return sid;
}

bool sameSid(const Sid& a, const Sid& b)
{
    return !a.empty() && !b.empty() && EqualSid(const_cast<BYTE*>(a.data()), const_cast<BYTE*>(b.data()));
}

// The same rule as on Linux: a link is followed when this user or the administrators made it,
// or, in a shared folder, the folder's owner.
bool trusted(const Sid& link, const Sid& folderOwner, LinkTrust trust)
{
    if (sameSid(link, currentUser()) || sameSid(link, wellKnown(WinBuiltinAdministratorsSid))
        || sameSid(link, wellKnown(WinLocalSystemSid)))
        return true;
    return trust == LinkTrust::SharedFolder && sameSid(link, folderOwner);
}

// What a link points to, or nothing for a reparse point that is no symbolic link or junction.
std::optional<fs::path> linkTarget(HANDLE link, const fs::path& folder)
{
    std::vector<BYTE> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD size = 0;
    if (!DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(), static_cast<DWORD>(buffer.size()),
                         &size, nullptr)
        || size < sizeof(ReparseData))
        return std::nullopt;
    const auto* data = reinterpret_cast<const ReparseData*>(buffer.data());
    size_t pathStart = sizeof(ReparseData);
    ULONG flags = 0;
    if (data->tag == IO_REPARSE_TAG_SYMLINK) {
        if (size < pathStart + sizeof(ULONG))
            return std::nullopt;
        flags = *reinterpret_cast<const ULONG*>(buffer.data() + pathStart);
        pathStart += sizeof(ULONG);
    } else if (data->tag != IO_REPARSE_TAG_MOUNT_POINT) {
        return std::nullopt;
    }
    if (pathStart + data->substituteOffset + data->substituteLength > size)
        return std::nullopt;
    std::wstring target(reinterpret_cast<const wchar_t*>(buffer.data() + pathStart + data->substituteOffset),
                        data->substituteLength / sizeof(wchar_t));
    if (target.starts_with(L"\\??\\"))
        target.erase(0, 4);
    if (flags & SymlinkFlagRelative)
        return folder / target;
    return fs::path(target);
}

void pushNames(std::vector<fs::path>& pending, const fs::path& relative)
{
    std::vector<fs::path> names(relative.begin(), relative.end());
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        pending.push_back(*name);
}

} // namespace

FileHandle openEntry(const fs::path& path, DWORD access)
{
    return FileHandle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool ownedByCurrentUser(HANDLE entry)
{
    return sameSid(ownerOf(entry), currentUser());
}

std::optional<fs::path> resolveTrustedPath(const fs::path& path, LinkTrust trust)
{
    const fs::path absolute = fs::absolute(path);
    fs::path resolved = absolute.root_path();
    std::vector<fs::path> pending;
    pushNames(pending, absolute.relative_path());
    int links = 0;
    while (!pending.empty()) {
        const fs::path name = pending.back();
        pending.pop_back();
        if (name == L"." || name.empty())
            continue;
        if (name == L"..") {
            resolved = resolved.parent_path();
            continue;
        }
        const fs::path next = resolved / name;
        const DWORD attributes = GetFileAttributesW(next.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            // Missing from here on: the rest follows as written.
            fs::path rest = next;
            for (auto it = pending.rbegin(); it != pending.rend(); ++it)
                rest /= *it;
            return rest;
        }
        if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            resolved = next;
            continue;
        }
        const FileHandle link = openEntry(next, READ_CONTROL | FILE_READ_ATTRIBUTES);
        const FileHandle folder = openEntry(resolved, READ_CONTROL);
        if (!link || !folder || ++links > LinkLimit || !trusted(ownerOf(link.get()), ownerOf(folder.get()), trust))
            return std::nullopt;
        const auto target = linkTarget(link.get(), resolved);
        if (!target)
            return std::nullopt;
        if (target->is_absolute())
            resolved = target->root_path();
        pushNames(pending, target->is_absolute() ? target->relative_path() : target->lexically_relative(resolved));
    }
    return resolved;
}

FileRead readTrustedFile(const fs::path& path, std::string& content, std::size_t limit)
{
    const auto resolved = resolveTrustedPath(path, LinkTrust::SharedFolder);
    if (!resolved)
        return FileRead::Refused;
    const FileHandle file = openEntry(*resolved, GENERIC_READ);
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::Missing : FileRead::Refused;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &info)
        || (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return FileRead::Refused;
    const ULONGLONG size = (ULONGLONG(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > limit)
        return FileRead::Refused;
    // One byte more than the limit, so that a file that grew since is caught.
    std::string data(static_cast<size_t>(size) + 1, '\0');
    size_t total = 0;
    for (DWORD got = 0; total < data.size(); total += got) {
        if (!ReadFile(file.get(), data.data() + total, static_cast<DWORD>(data.size() - total), &got, nullptr))
            return FileRead::Refused;
        if (got == 0)
            break;
    }
    if (total > limit)
        return FileRead::Refused;
    data.resize(total);
    content = std::move(data);
    return FileRead::Done;
}
