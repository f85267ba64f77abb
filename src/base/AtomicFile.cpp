#include "base/AtomicFile.h"

namespace tw {

std::string PendingFileFor(const std::string& path) { return path + ".new"; }

}  // namespace tw
