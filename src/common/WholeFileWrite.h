#pragma once

#include <filesystem>
#include <string_view>

// The one place where this program replaces the content of a file (profile files and run order
// files). Standard types only, so that another platform's version can stand in for it.
//
// A symbolic link is followed: the file it points to is written and the link stays. A file is
// replaced whole (a temporary file beside it, renamed over it) when that keeps everything the
// file is: its owner, group and mode. Otherwise it is rewritten in place: a file with more than
// one hard link, so that all its names see the new content; a file of another user, so that it
// keeps its owner; a file of a group this user is not in; a file in a folder this user may not
// write. A new file is readable and writable by its group (mode 0664), which a set-group-id
// folder chooses, so that operators who share a data folder can each save what another saved.
// A kill at any moment leaves a replaced file old or new, and a file rewritten in place old,
// new, or new followed by a tail of the old content (for content of up to one page; see
// rewriteInPlace).
//
// The temporary file has one fixed name per file, so an interrupted write leaves at most one,
// and the next write of that file takes it away.

// True for a file that is not marked read-only and that this user may write, and for a missing
// file whose folder exists.
bool mayWriteFile(const std::filesystem::path& path);

// Makes `content` the whole content of the file. False when that failed; the file is then as it
// was, unless a rewrite in place failed halfway (a full disk).
bool writeWholeFile(const std::filesystem::path& path, std::string_view content);
