#include "view/TokenFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* FileName = "show-view-token";
constexpr size_t TokenBytes = 16;
constexpr size_t TokenDigits = 2 * TokenBytes;

std::string failure(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool isToken(const std::string& text)
{
    if (text.size() != TokenDigits)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

// Each missing folder of the path is made for the user alone.
bool makeFolders(const std::filesystem::path& folder)
{
    std::filesystem::path made;
    for (const std::filesystem::path& part : folder) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

// The token in the file, when the file is one that can be trusted with it.
std::string readToken(int folder)
{
    const Descriptor file(::openat(folder, FileName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()
        || (info.st_mode & 077) != 0)
        return {};
    char text[TokenDigits + 2] = {};
    const ssize_t length = ::read(file.get(), text, sizeof text);
    if (length < 0)
        return {};
    std::string token(text, size_t(length));
    if (!token.empty() && token.back() == '\n')
        token.pop_back();
    return isToken(token) ? token : std::string();
}

std::string writeToken(int folder, std::string& reason)
{
    unsigned char random[TokenBytes];
    if (::getrandom(random, sizeof random, 0) != ssize_t(sizeof random)) {
        reason = failure("no random numbers");
        return {};
    }
    static const char Digits[] = "0123456789abcdef";
    std::string token;
    for (unsigned char b : random) {
        token += Digits[b >> 4];
        token += Digits[b & 15];
    }
    const std::string temporary = std::string(".") + FileName + "." + std::to_string(::getpid());
    ::unlinkat(folder, temporary.c_str(), 0);
    {
        const Descriptor file(::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        const std::string line = token + "\n";
        if (file.get() < 0 || ::write(file.get(), line.data(), line.size()) != ssize_t(line.size()) || ::fsync(file.get()) != 0) {
            reason = failure(std::string("cannot write ") + FileName);
            ::unlinkat(folder, temporary.c_str(), 0);
            return {};
        }
    }
    if (::renameat(folder, temporary.c_str(), folder, FileName) != 0) {
        reason = failure(std::string("cannot write ") + FileName);
        ::unlinkat(folder, temporary.c_str(), 0);
        return {};
    }
    return token;
}

} // namespace

std::filesystem::path userConfigFolder()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::filesystem::path(config) / "elevra";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && home[0] == '/' ? home : "/") / ".config" / "elevra";
}

TokenFileResult loadOrMakeToken(const std::filesystem::path& folder)
{
    TokenFileResult result;
    if (!makeFolders(folder)) {
        result.reason = failure("cannot make " + folder.string());
        return result;
    }
    const Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (dir.get() < 0 || ::fstat(dir.get(), &info) != 0) {
        result.reason = failure("cannot open " + folder.string());
        return result;
    }
    if (info.st_uid != ::geteuid() || (info.st_mode & 022) != 0) {
        result.reason = folder.string() + " is not a folder of the user's own that only the user may write";
        return result;
    }
    result.token = readToken(dir.get());
    if (result.token.empty()) {
        result.token = writeToken(dir.get(), result.reason);
        result.made = !result.token.empty();
    }
    return result;
}
