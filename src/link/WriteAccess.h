#pragma once

#include <filesystem>
#include <string>

#ifdef _WIN32
// Why an account other than this process's user, the Administrators and SYSTEM could change what
// `file` holds, or empty when none can: the file's owner and every allowing entry of its access
// list that grants writing, deleting, or changing its access or owner, and, for every folder on
// its way to the root, its owner and the entries that let others delete or replace its entries
// or change its access. A file or folder without an access list is open to everyone.
std::string OthersMayChange(const std::filesystem::path& file);
#else
#include <sys/types.h>

// Why a user other than `user` and root could change what `file` holds, or empty when none can.
// Looked at are the file and every folder on its way from the root, every link met on that way
// (followed where it points) and who may replace each entry: a folder of another user, or one
// that others may write unless it is sticky and the entry belongs to `user` or root. A group
// counts as others unless it is the user's own private group (its primary group, named after
// the user, with no other member).
std::string OthersMayChange(const std::filesystem::path& file, uid_t user);
#endif
