// Test support for the delivery to the page: not for production code.
#pragma once

namespace nv {

// Back to the start state: no cache, nothing pending, page not ready.
void ResetDelivery();

}  // namespace nv
