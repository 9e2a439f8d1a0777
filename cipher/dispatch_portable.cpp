// Processors other than x86-64 run the portable kernels.

#include "cipher/kernels.h"

namespace tolvana::kernels {

const Kernels& Selected() { return kPortable; }

std::vector<const Kernels*> Available() { return {&kPortable}; }

} // namespace tolvana::kernels
