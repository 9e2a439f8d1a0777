// Which kernels run on an x86-64 processor: AVX2 where the processor has it
// (with BMI1 and BMI2, which the AVX2 kernels also use), SSE2 otherwise.

#include "cipher/kernels.h"

namespace tolvana::kernels {

extern const Kernels kSse2;
extern const Kernels kAvx2;

namespace {

bool HasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
           __builtin_cpu_supports("bmi2");
}

} // namespace

const Kernels& Selected() {
    static const Kernels& selected = HasAvx2() ? kAvx2 : kSse2;
    return selected;
}

std::vector<const Kernels*> Available() {
    std::vector<const Kernels*> sets{&Selected()};
    for (const Kernels* other : {&kAvx2, &kSse2, &kPortable})
        if (other != sets.front() && (other != &kAvx2 || HasAvx2())) sets.push_back(other);
    return sets;
}

} // namespace tolvana::kernels
