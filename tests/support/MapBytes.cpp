#include "MapBytes.h"

#include "data/LayerWalk.h"
#include "data/Filer.h"
#include "data/Streams.h"

#include <vector>

namespace tarn::test {

std::string MapBytes(const TMap& map, uint32_t ignoredFlags)
{
    TMemoryStream ms;
    std::vector<TCustomLayer*> layers;
    CollectLayers(map, true, layers);
    for (const TCustomLayer* l : layers) {
        WritePStrStream(ms, l->Name);
        ms.writeI32LE(l->Count);
        for (int32_t i = 0; i < l->Count; ++i) {
            TBaseObject& o = *l->Object(i);
            const uint32_t flags = o.Flags();
            o.SetFlags(flags & ~ignoredFlags);
            StoreItem(ms, &o);
            o.SetFlags(flags);
        }
    }
    return ms.TakeBytes();
}

} // namespace tarn::test
