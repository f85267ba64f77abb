// The inline stand-in of the worker thread: a component may go from inside its own handlers while
// its work is still on the stack (AddressSanitizer watches what is touched afterwards).
#include "net/pkThread.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(TpkCustomThreadInline, DestroyedFromItsOwnHandlers) {
    for (bool fromTerminate : {true, false}) {
        auto* t = new TpkCustomThread();
        bool destroyed = false;
        int afterHandler = 0;
        auto destroy = [&] {
            delete t;
            destroyed = true;
        };
        if (fromTerminate) {
            t->OnTerminate = [&](TpkCustomThread&) { destroy(); };
        } else {
            t->OnExecute = [&](TpkCustomThread& self) {
                self.Synchronize(destroy);
                ++afterHandler;  // given up: the work ends inside Synchronize
            };
        }
        EXPECT_TRUE(t->Run()) << fromTerminate;
        EXPECT_TRUE(destroyed) << fromTerminate;
        EXPECT_EQ(afterHandler, 0) << fromTerminate;
    }
}

}  // namespace
}  // namespace tw
