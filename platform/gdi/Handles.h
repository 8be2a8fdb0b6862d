#pragma once
// The table behind the handles that cross to the symbol library. A handle
// encodes a slot, a generation and a kind, so a stale or forged value finds
// nothing. Internal to platform/gdi.
#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <vector>

namespace tarn {

class TGdiHandles {
public:
    // Registers `object` and answers its handle. `owning`: the table holds a
    // reference (objects made through the C interface) until Delete.
    static TgdiHandle Register(TGdiObject* object, bool owning);
    static TgdiHandle RegisterContext(TDeviceContext* dc, uint32_t& slot);
    static TgdiHandle HandleOf(TGdiObject* object);
    static TgdiHandle HandleOfContext(uint32_t slot);
    static void Forget(uint32_t slot);

    // Null unless `h` is live and of that kind (any object kind for Object).
    static TGdiObject* Object(TgdiHandle h);
    static TDeviceContext* Context(TgdiHandle h);
    // Drops the table's reference of an object made through the C
    // interface; false for anything else.
    static bool Delete(TgdiHandle h);

    static std::size_t LiveCount();

private:
    struct TEntry {
        void* Ptr = nullptr;
        uint32_t Generation = 0;
        TGdiKind Kind = TGdiKind::Pen;
        bool Owning = false;
    };
    static std::vector<TEntry>& Table();
    static std::vector<uint32_t>& FreeSlots();
    static uint32_t Take(void* ptr, TGdiKind kind, bool owning);
    static TgdiHandle Encode(uint32_t index, const TEntry& e);
    static TEntry* Find(TgdiHandle h);
};

} // namespace tarn
