#include "base/FormHooks.h"

#include <stdexcept>

namespace tw {

// Natively there are no windows to subclass: tests install a model of them.
THookPlatform& DefaultHookPlatform() {
    throw std::logic_error("No window system here: install a hook platform first");
}

}  // namespace tw
