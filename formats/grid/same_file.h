#pragma once
// Whether two paths name one file, so that a job never truncates one of its own inputs, nor
// writes two of its outputs into one file.
//
// SameExistingFile: both paths exist and are one file (same device and inode: different
// spellings and links count too); false when either does not exist or cannot be examined.
// SameOutputFile: as SameExistingFile, or, while either does not exist yet, the two paths are
// the same once made absolute and normalised (links of the existing part resolved), so two
// outputs that are yet to be created are told apart before either is. A symbolic link counts
// as the file it names, also when that file does not exist yet.
// FollowLinks: the path a write to `path` lands on: its last component's links followed (a
// dangling link to the file it would create), at most 40 of them.
#include <filesystem>

namespace quarnel {

std::filesystem::path FollowLinks(const std::filesystem::path& path);

bool SameExistingFile(const char* a, const char* b);
bool SameOutputFile(const char* a, const char* b);

}  // namespace quarnel
