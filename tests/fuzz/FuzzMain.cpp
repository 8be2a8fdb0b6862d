// One libFuzzer target; TARN_FUZZ_TARGET names its entry.
#include "FuzzEntries.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    tarn::fuzz::ShareDemoCity = true;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const tarn::fuzz::TFuzzTarget* target = [] {
        const tarn::fuzz::TFuzzTarget* t = tarn::fuzz::FindFuzzTarget(TARN_FUZZ_TARGET);
        if (!t) {
            std::fprintf(stderr, "no fuzz entry \"%s\"\n", TARN_FUZZ_TARGET);
            std::abort();
        }
        return t;
    }();
    target->Run(data, size);
    return 0;
}
