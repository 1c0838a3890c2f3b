#pragma once

#include <filesystem>
#include <string>

// The token that lets a page drive the show: 128 random bits as 32 lower-case hex digits, kept
// in a file of the user's own configuration, never in the shared data folder.
struct TokenFileResult {
    std::string token;   // empty when there is none
    std::string reason;  // why not, when there is none
    bool made = false;   // made now rather than read
};

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config; with "/elevra" after it.
std::filesystem::path userConfigFolder();

// Reads the token from `folder`/show-view-token, or makes one there. The folder is created
// (mode 0700) when missing and must belong to the user and be closed to others' writes; the
// file is read only when it is a plain file of the user's, mode 0600, holding a token; anything
// else there (a link, a file others may read, other text) is replaced by a new token, written
// to a file of its own and renamed into place, so no link is ever followed.
TokenFileResult loadOrMakeToken(const std::filesystem::path& folder);
