// File attributes natively: only read-only has a POSIX counterpart (a missing owner write bit);
// every present file is taken to carry the archive attribute.
#include "rss/pkHTTPDownloadQueue.h"

#include <sys/stat.h>

namespace tw {

bool ReadPlatformFileAttributes(const std::string& fileName, TpkFileAttributes& attributes) {
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    attributes = TpkFileAttributes{atrArchive};
    if ((st.st_mode & S_IWUSR) == 0) attributes.Include(atrReadOnly);
    return true;
}

}  // namespace tw
