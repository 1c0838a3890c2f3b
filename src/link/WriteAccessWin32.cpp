#include "link/WriteAccess.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <vector>

namespace fs = std::filesystem;

namespace {

// What lets an account change a file's content or who may.
constexpr DWORD FileRights = FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
// What lets an account replace or remove a folder's entries, or change who may.
constexpr DWORD FolderRights = FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_ALL;

struct LocalMemory {
    void operator()(void* memory) const { LocalFree(memory); }
};

std::vector<BYTE> ProcessUser()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    const bool got = size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    CloseHandle(token);
    if (!got)
        return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    std::vector<BYTE> copy(GetLengthSid(sid));
    CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid);
    return copy;
}

std::vector<BYTE> WellKnown(WELL_KNOWN_SID_TYPE type)
{
    DWORD size = SECURITY_MAX_SID_SIZE;
    std::vector<BYTE> sid(size);
    if (!CreateWellKnownSid(type, nullptr, sid.data(), &size))
        return {};
    sid.resize(size);
    return sid;
}

std::vector<BYTE> FromString(const wchar_t* text)
{
    PSID sid = nullptr;
    if (!ConvertStringSidToSidW(text, &sid))
        return {};
    std::unique_ptr<void, LocalMemory> owned(sid);
    return std::vector<BYTE>(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
}

std::string Name(PSID sid)
{
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return "an unknown account";
    std::unique_ptr<void, LocalMemory> owned(text);
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use;
    std::wstring shown = text;
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        shown = (domainSize > 0 ? std::wstring(domain) + L"\\" : std::wstring()) + name;
    const int size = WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

std::string Utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

class Trusted {
public:
    Trusted()
        : accounts_{ProcessUser(), WellKnown(WinBuiltinAdministratorsSid), WellKnown(WinLocalSystemSid),
                    FromString(L"S-1-5-80-956008885-3418522649-1831038044-1850769356-2271462224")}
    {
    }
    bool Knows(PSID sid) const
    {
        for (const std::vector<BYTE>& account : accounts_)
            if (!account.empty() && EqualSid(const_cast<BYTE*>(account.data()), sid))
                return true;
        return false;
    }
    bool HasUser() const { return !accounts_[0].empty(); }

private:
    std::vector<std::vector<BYTE>> accounts_;
};

// Why others may change `entry` with `rights`, or empty.
std::string Refusal(const fs::path& entry, DWORD rights, const Trusted& trusted)
{
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD code = GetNamedSecurityInfoW(entry.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                             &owner, nullptr, &dacl, nullptr, &descriptor);
    if (code != ERROR_SUCCESS)
        return Utf8(entry) + ": its access list cannot be read (error " + std::to_string(code) + ")";
    std::unique_ptr<void, LocalMemory> owned(descriptor);
    if (owner && !trusted.Knows(owner))
        return Utf8(entry) + " belongs to " + Name(owner);
    if (!dacl)
        return Utf8(entry) + " has no access list: everyone may change it";
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header)) || header->AceType != ACCESS_ALLOWED_ACE_TYPE
            || (header->AceFlags & INHERIT_ONLY_ACE))
            continue;
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        const PSID sid = &ace->SidStart;
        if ((ace->Mask & rights) && !trusted.Knows(sid))
            return Utf8(entry) + " may be changed by " + Name(sid);
    }
    return {};
}

} // namespace

std::string OthersMayChange(const fs::path& file)
{
    const Trusted trusted;
    if (!trusted.HasUser())
        return "this process's account is unknown";
    std::error_code error;
    const fs::path full = fs::weakly_canonical(fs::absolute(file, error), error);
    if (error)
        return Utf8(file) + ": " + error.message();
    if (std::string refusal = Refusal(full, FileRights, trusted); !refusal.empty())
        return refusal;
    for (fs::path folder = full.parent_path(); !folder.empty(); folder = folder.parent_path()) {
        if (std::string refusal = Refusal(folder, FolderRights, trusted); !refusal.empty())
            return refusal;
        if (folder == folder.root_path())
            break;
    }
    return {};
}
