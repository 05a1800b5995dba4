// Where a process may create or replace a file by its name, so that a hostile set-up cannot turn
// the write against the system or against the user whose folder it is (POSIX).
//
// A file is written by naming it in a folder. Two set-ups make such a write do harm:
//   - a symbolic link at the name, or on the way to the folder, sends the write to a file of the
//     link maker's choosing, with the writer's rights (root, started with a user's HOME, would
//     replace /etc/passwd through a planted "MX40.ini -> /etc/passwd");
//   - root writing into a user's folder leaves files and folders owned by root there, which the
//     user's own program can no longer replace or fill.
// So:
//   - root (effective user 0) writes only into folders that root owns, and never through a
//     symbolic link at the file's name;
//   - any other user follows a symbolic link at the file's name only in a folder of its own (the
//     file the link leads to is then written, and created when missing; the link stays). In any
//     folder the system lets it write into (a shared group folder, /tmp) it may create or replace
//     a plain file: a replacing write renames a new file over the name, so it never writes into
//     whatever the name leads to;
//   - a symbolic link on the way to a folder is followed only when root or the writer made it;
//   - the name must hold nothing, a regular file or an allowed link: never a folder, a device, a
//     pipe or a socket.
#pragma once

#include <sys/types.h>

#include <system_error>
#include <type_traits>

namespace dekvanto::platform {

// What a name holds, as lstat(2) sees it (a link is not followed).
enum class EntryKind { kMissing, kRegularFile, kSymbolicLink, kOther };

// The facts that decide whether a name in a folder may be written.
struct WritePlace {
    uid_t writer = 0;        // the process's effective user
    uid_t folder_owner = 0;  // the owner of the folder that holds the name
    EntryKind entry = EntryKind::kMissing;
};

// Why a write is refused; kNone: it is allowed. As a std::error_code (WriteRefusalCategory) its
// message says why in a sentence for the user.
enum class WriteRefusal {
    kNone = 0,
    kFolderOfAnotherUser = 1,        // root, in a folder another user owns
    kLinkAsAdministrator = 2,        // root, through a symbolic link at the name
    kLinkInFolderOfAnotherUser = 3,  // a symbolic link at the name, in a folder not the writer's
    kLinkOfAnotherUserOnTheWay = 4,  // a symbolic link to the folder made by someone else
    kNotAFile = 5,                   // the name holds a folder, a device, a pipe or a socket
};

// The refusal of a write of the name described by place (kNone when it may be written).
WriteRefusal RefusalOf(const WritePlace &place);

// The refusal of following, on the way to a folder, a symbolic link owned by link_owner.
WriteRefusal RefusalOfLinkOnTheWay(uid_t writer, uid_t link_owner);

const std::error_category &WriteRefusalCategory();
std::error_code make_error_code(WriteRefusal refusal);

}  // namespace dekvanto::platform

template <>
struct std::is_error_code_enum<dekvanto::platform::WriteRefusal> : std::true_type {};
