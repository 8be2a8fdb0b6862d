#include "Registration.h"
#include "_Common.h"
#include "cObjects.h"

#include <mutex>

namespace tarn {

void RegisterMapEngineClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Stream class ids are written into ".mts" files and must never change.
        RegisterCollectionClasses();                 // 130
        RegisterItemClass<TMapHeaderBlock>(131);
    });
}

} // namespace tarn
