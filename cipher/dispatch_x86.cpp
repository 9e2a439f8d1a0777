// Which kernels run on an x86-64 processor: AVX-512 where the processor has
// the parts of it that those kernels use, else AVX2 where it has that (with
// BMI1 and BMI2, which both also use), SSE2 otherwise.

#include "cipher/kernels.h"

namespace tolvana::kernels {

extern const Kernels kSse2;
extern const Kernels kAvx2;
extern const Kernels kAvx512;

namespace {

bool HasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
           __builtin_cpu_supports("bmi2");
}

bool HasAvx512() {
    __builtin_cpu_init();
    return HasAvx2() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512cd") && __builtin_cpu_supports("avx512vbmi") &&
           __builtin_cpu_supports("avx512vbmi2");
}

bool CanRun(const Kernels* set) {
    if (set == &kAvx512) return HasAvx512();
    if (set == &kAvx2) return HasAvx2();
    return true;
}

} // namespace

const Kernels& Selected() {
    static const Kernels& selected = HasAvx512() ? kAvx512 : HasAvx2() ? kAvx2 : kSse2;
    return selected;
}

std::vector<const Kernels*> Available() {
    std::vector<const Kernels*> sets{&Selected()};
    for (const Kernels* other : {&kAvx512, &kAvx2, &kSse2, &kPortable})
        if (other != sets.front() && CanRun(other)) sets.push_back(other);
    return sets;
}

} // namespace tolvana::kernels
