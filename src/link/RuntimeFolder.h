#pragma once

#include <filesystem>
#include <string>

// The user's private folder for the link's sockets and the single-instance lock.
struct RuntimeFolder {
    std::filesystem::path path;
    std::string error;  // empty when the folder may be used
};

// $XDG_RUNTIME_DIR when it is set. Without it, a folder of the effective user's own that is
// closed to others: /tmp/elevra-<uid>, made when missing, or, when that name is not such a folder
// (another user took it first), $HOME/.elevra-runtime, where nobody else can take the name.
// Every program of the user makes the same choice, since a folder of the user's own in the
// sticky /tmp stays the user's.
RuntimeFolder UserRuntimeFolder();
