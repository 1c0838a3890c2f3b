#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

// Paths that operators share: a folder that several users may write can hold symbolic links
// that another user planted, pointing at a file of ours or at something that never ends (a FIFO,
// /dev/zero). Everything the program reads or writes there goes through these functions.
// Standard types only, so that another platform's version can stand in for them.

// Which symbolic links are followed.
enum class LinkTrust {
    // The kernel's rule for sticky shared folders, applied to every folder that others than its
    // owner may write: a link there is followed only when it belongs to this user or to the
    // folder's owner. Links in folders that only their owner may write are followed.
    SharedFolder,
    // Only links of this user or of the administrator (root), wherever they lie.
    OwnOrAdministrator,
};

// `path` with every link on the way, the last name included, replaced by what it points to; no
// link remains in it. Nothing when a link is not trusted or links loop. Where a name does not
// exist the resolution stops and the rest of the path follows as written.
std::optional<std::filesystem::path> resolveTrustedPath(const std::filesystem::path& path, LinkTrust trust);

// The shared files are small; this bounds what one of them can make the program take in.
constexpr std::size_t SharedFileLimit = std::size_t(1) << 20;

enum class FileRead {
    Done,
    Missing,  // nothing at the path (a trusted link that points nowhere included)
    Refused,  // an untrusted link on the way, not a regular file, over the limit, or unreadable
};

// Reads a whole regular file of at most `limit` bytes, following links by the SharedFolder rule
// and never waiting for a writer (a FIFO) or a device.
FileRead readTrustedFile(const std::filesystem::path& path, std::string& content,
                         std::size_t limit = SharedFileLimit);
