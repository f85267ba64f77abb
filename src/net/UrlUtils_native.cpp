// No socket library needs starting outside Windows.
#include "net/UrlUtils.h"

namespace tw {

TpkSocketLibrary::TpkSocketLibrary() : started_(true) {}
TpkSocketLibrary::~TpkSocketLibrary() = default;

}  // namespace tw
