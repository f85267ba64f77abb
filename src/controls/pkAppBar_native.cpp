#include "controls/pkAppBar.h"

#include <stdexcept>

namespace tw {

// Natively there is no shell: tests install a platform of their own.
TAppBarPlatform& DefaultAppBarPlatform() {
    throw std::logic_error("No shell here: install an application-bar platform first");
}

}  // namespace tw
