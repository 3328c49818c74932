// The object library on disk: one folder whose entries are named by six
// decimal digits ("000001", "000002", ...), each made of three files: NAME.jpg
// (the object's colours), NAME.alp (its matte) and NAME.tmb (its thumbnail).
// The clipping tool and orvane-cut add entries through WriteObjectEntry; the
// paste tool lists, reads and deletes them.
//
// Several programs may save into one library at once (the editor and batch
// runs of orvane-cut): a new entry reserves its name by creating NAME.alp
// exclusively, writes each file under a temporary name of its own and renames
// it when complete, the .tmb last, since the library is listed from the .tmb
// files.  The files are the user's alone (mode 0600).
// An entry is thus written whole or not at all and never over another one.
// Reading opens only regular files, so a directory or a pipe named like an
// entry's file can neither block nor fool a reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class TThumbnailList;

// Whether name is an entry name: exactly six decimal digits.
bool IsObjectName(std::string_view name);
// folder / (name + extension), extension with its dot.
std::filesystem::path EntryFile(const std::filesystem::path& folder, std::string_view name,
                                std::string_view extension);

// The highest entry name any .alp, .jpg or .tmb file of the folder carries;
// "000000" for a folder without one (or no folder).
std::string LastObjectName(const std::filesystem::path& folder);
// One above LastObjectName; empty when that would take a seventh digit.
std::string NextObjectName(const std::filesystem::path& folder);

// The names of the folder's entries, those with a .tmb that is a regular
// file, in ascending order (folders list their files in no particular one).
std::vector<std::string> ListEntryNames(const std::filesystem::path& folder);
// Clears the list and adds every entry of its folder in ascending order.
void LoadLibraryList(TThumbnailList& list);

// Removes the entry's .tmb, .alp and .jpg files in this order; the .tmb goes
// first, so that an entry whose removal fails half-way is no longer listed.
// Things of other kinds than files named like them (a directory) are not the
// entry's and stay.  False when a file that exists could not be removed; a
// .tmb that cannot be removed leaves the other two untouched.
bool DeleteObjectFiles(const std::filesystem::path& folder, std::string_view name);

// Reads a whole regular file of at most maxBytes bytes.  False, bytes empty,
// for anything else: no file, another kind of thing (never opened for
// reading, so a pipe cannot block), larger, unreadable.
bool ReadEntryFile(const std::filesystem::path& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes);

// The three files of an entry, ready to be written.
struct TObjectEntryFiles {
    std::vector<std::uint8_t> Jpeg;
    std::vector<std::uint8_t> Alp;
    std::vector<std::uint8_t> Tmb;
};

struct TEntryWriteResult {
    enum TStatus {
        Written,
        LibraryFull, // every six-digit name up to 999999 is taken
        Failed       // Error says what failed; nothing of the entry is left
    };
    TStatus Status = Failed;
    std::string Name;  // the entry written
    std::string Error; // what failed, with the path concerned
};

// Creates the folder with its parents when missing, then writes the files as
// the next entry.
TEntryWriteResult WriteObjectEntry(const std::filesystem::path& folder, const TObjectEntryFiles& files);
