// File modification times as the system compares them: local civil time,
// whole seconds.
#pragma once

#include <filesystem>

#include "processing/text/date_time.h"

namespace travik {

enum class LinkHandling { Followed, NotFollowed };

// Throws std::filesystem::filesystem_error when the file cannot be examined.
// NotFollowed gives a symbolic link's own time, not its target's.
DateTime fileModificationTime(const std::filesystem::path& file, LinkHandling links = LinkHandling::Followed);
// Sets a file's modification time (tests and the traffic generator).
void setFileModificationTime(const std::filesystem::path& file, const DateTime& time);

}  // namespace travik
