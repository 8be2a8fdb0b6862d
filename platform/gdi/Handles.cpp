#include "platform/gdi/Handles.h"

namespace tarn {

// Handle bits: 0-3 kind, 4-31 slot + 1, 32-63 generation.
namespace {
constexpr uint32_t MaxSlots = (1u << 28) - 2;
}

std::vector<TGdiHandles::TEntry>& TGdiHandles::Table()
{
    static auto* t = new std::vector<TEntry>();  // outlives every static object
    return *t;
}

std::vector<uint32_t>& TGdiHandles::FreeSlots()
{
    static auto* f = new std::vector<uint32_t>();
    return *f;
}

TgdiHandle TGdiHandles::Encode(uint32_t index, const TEntry& e)
{
    uint64_t v = (uint64_t(e.Generation) << 32) | (uint64_t(index + 1) << 4) | uint64_t(e.Kind);
    return reinterpret_cast<TgdiHandle>(static_cast<uintptr_t>(v));
}

uint32_t TGdiHandles::Take(void* ptr, TGdiKind kind, bool owning)
{
    auto& t = Table();
    auto& f = FreeSlots();
    uint32_t index;
    if (!f.empty()) {
        index = f.back();
        f.pop_back();
    } else {
        if (t.size() >= MaxSlots) return UINT32_MAX;
        index = uint32_t(t.size());
        t.emplace_back();
    }
    TEntry& e = t[index];
    e.Ptr = ptr;
    e.Kind = kind;
    e.Owning = owning;
    ++e.Generation;
    return index;
}

TgdiHandle TGdiHandles::Register(TGdiObject* object, bool owning)
{
    if (!object) return nullptr;
    if (object->Slot) {
        TEntry& e = Table()[object->Slot - 1];
        if (owning && !e.Owning) {
            e.Owning = true;
            object->AddRef();
        }
        return Encode(object->Slot - 1, e);
    }
    uint32_t index = Take(object, object->Kind(), owning);
    if (index == UINT32_MAX) return nullptr;
    object->Slot = index + 1;
    if (owning) object->AddRef();
    return Encode(index, Table()[index]);
}

TgdiHandle TGdiHandles::RegisterContext(TDeviceContext* dc, uint32_t& slot)
{
    if (slot) return Encode(slot - 1, Table()[slot - 1]);
    uint32_t index = Take(dc, TGdiKind::DC, false);
    if (index == UINT32_MAX) return nullptr;
    slot = index + 1;
    return Encode(index, Table()[index]);
}

TgdiHandle TGdiHandles::HandleOf(TGdiObject* object)
{
    return Register(object, false);
}

TgdiHandle TGdiHandles::HandleOfContext(uint32_t slot)
{
    return slot ? Encode(slot - 1, Table()[slot - 1]) : nullptr;
}

void TGdiHandles::Forget(uint32_t slot)
{
    if (!slot) return;
    TEntry& e = Table()[slot - 1];
    e.Ptr = nullptr;
    e.Owning = false;
    ++e.Generation;  // every handle made so far goes stale
    FreeSlots().push_back(slot - 1);
}

TGdiHandles::TEntry* TGdiHandles::Find(TgdiHandle h)
{
    uint64_t v = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(h));
    uint64_t slot = (v >> 4) & 0x0FFFFFFFu;
    if (slot == 0) return nullptr;
    auto& t = Table();
    if (slot > t.size()) return nullptr;
    TEntry& e = t[slot - 1];
    if (!e.Ptr || e.Generation != uint32_t(v >> 32) || uint8_t(e.Kind) != (v & 0xF)) return nullptr;
    return &e;
}

TGdiObject* TGdiHandles::Object(TgdiHandle h)
{
    TEntry* e = Find(h);
    if (!e || e->Kind == TGdiKind::DC) return nullptr;
    return static_cast<TGdiObject*>(e->Ptr);
}

TDeviceContext* TGdiHandles::Context(TgdiHandle h)
{
    TEntry* e = Find(h);
    if (!e || e->Kind != TGdiKind::DC) return nullptr;
    return static_cast<TDeviceContext*>(e->Ptr);
}

bool TGdiHandles::Delete(TgdiHandle h)
{
    TEntry* e = Find(h);
    if (!e || e->Kind == TGdiKind::DC || !e->Owning) return false;
    auto* obj = static_cast<TGdiObject*>(e->Ptr);
    uint32_t slot = obj->Slot;
    obj->Slot = 0;
    Forget(slot);
    obj->Release();  // alive while still selected somewhere
    return true;
}

std::size_t TGdiHandles::LiveCount()
{
    return Table().size() - FreeSlots().size();
}

} // namespace tarn
