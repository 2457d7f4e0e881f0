// The image library with a colour quantiser that always fails, as a fault inside it would: built
// as a libimgctl.so of its own for the upload tests.
#include "reduce.h"

namespace {

const bool failing = [] {
    imgctl::testing::failQuantizer(true);
    return true;
}();

}  // namespace
