#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>

// Why a user other than `user` and root could change what `file` holds, or empty when none can.
// Looked at are the file and every folder on its way from the root, every link met on that way
// (followed where it points) and who may replace each entry: a folder of another user, or one
// that others may write unless it is sticky and the entry belongs to `user` or root. A group
// counts as others unless it is the user's own private group (its primary group, named after
// the user, with no other member).
std::string OthersMayChange(const std::filesystem::path& file, uid_t user);
