#include "Registration.h"
#include "cObjects.h"

#include <mutex>

namespace tarn {

void RegisterMapEngineClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Stream class ids are written into ".mts" files and must never change.
        RegisterCollectionClasses(); // 130
    });
}

} // namespace tarn
