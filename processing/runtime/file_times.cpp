#include "processing/runtime/file_times.h"

#include <sys/stat.h>
#include <utime.h>

#include <cerrno>
#include <system_error>

namespace travik {

DateTime fileModificationTime(const std::filesystem::path& file, LinkHandling links) {
  struct stat info {};
  if ((links == LinkHandling::Followed ? ::stat(file.c_str(), &info) : ::lstat(file.c_str(), &info)) != 0)
    throw std::filesystem::filesystem_error("cannot read the modification time", file,
                                            std::error_code(errno, std::generic_category()));
  return DateTime::fromTimeT(info.st_mtim.tv_sec);
}

void setFileModificationTime(const std::filesystem::path& file, const DateTime& time) {
  struct utimbuf times {};
  times.actime = time.toTimeT();
  times.modtime = times.actime;
  if (::utime(file.c_str(), &times) != 0)
    throw std::filesystem::filesystem_error("cannot set the modification time", file,
                                            std::error_code(errno, std::generic_category()));
}

}  // namespace travik
