// No socket library needs starting outside Windows.
#include "net/pkInetUtils.h"

namespace tw {

TpkSocketLibrary::TpkSocketLibrary() : started_(true) {}
TpkSocketLibrary::~TpkSocketLibrary() = default;

}  // namespace tw
