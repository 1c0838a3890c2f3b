#pragma once

#include <filesystem>
#include <string_view>

// The one place where this program replaces the content of a file (profile files and run order
// files). Standard types only, so that another platform's version can stand in for it.
//
// Symbolic links are followed by the shared-folder rule of TrustedPath.h: the file a trusted link
// points to is written and the link stays; an untrusted link makes the write fail with nothing
// written. A file is replaced whole (a temporary file beside it, renamed over it) when that keeps
// everything the file is: its owner, group and mode. Otherwise it is rewritten in place: a file
// with more than one hard link, so that all its names see the new content; a file of another
// user, so that it keeps its owner (and because a sticky folder lets nobody else rename over
// it); a file of a group this user is not in; a file in a folder this user may not write. A new
// file is readable and writable by its group (mode 0664), which a set-group-id folder chooses,
// so that operators who share a data folder can each save what another saved.
// A kill at any moment leaves a replaced file old or new, and a file rewritten in place old,
// new, or new followed by a tail of the old content (for content of up to one page; see
// rewriteInPlace).
//
// Nothing is locked, so nobody can hold a save up: the temporary file has a name of its own,
// created exclusively (whatever someone put at another name is not in the way); the next write
// of the same file by the same user takes away what an interrupted one left. Two rewrites in
// place at the same moment each read back what they wrote, and write again when it was mixed.

// True for a file that is not marked read-only and that this user may write, and for a missing
// file whose folder exists.
bool mayWriteFile(const std::filesystem::path& path);

// Makes `content` the whole content of the file. False when that failed; the file is then as it
// was, unless a rewrite in place failed halfway (a full disk).
bool writeWholeFile(const std::filesystem::path& path, std::string_view content);
