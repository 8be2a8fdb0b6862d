// Reading, changing, creating and deleting objects by key.
//
// Attribute layouts (op 4 of GetObjectData, op 14 of SetObjectData), each
// field 32 bits little-endian unless said otherwise:
//    6 TText       Angle
//    7 TSign       SignNumber
//    9 TPolyLineEx Color, point count, Width (16 bits at 8), PenStyle (16
//                  bits at 10), ValueMode, Value, Extra, then with
//                  ValueMode 2 one value per point
//   10 TPolygonEx  FillColor, OutlineColor, FillStyle, OutlinePen's high
//                  16 bits, its low 16 bits
//   11 TTextEx     TextColor, Size, Angle, Extra
//   12 TSignEx     SignNumber, LabelOffset X, LabelOffset Y, DllSignNumber, Size
#include "ModelsInternal.h"

#include "data/LayerWalk.h"
#include "data/MapObjBmp.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace tarn {

namespace {

constexpr const char* NewTextObject = "no text";

bool HasClass(int kind)
{
    switch (kind) {
    case 0: case 1: case 6: case 7: case 9: case 10: case 11: case 12: case 13: return true;
    default: return false;
    }
}

bool LineKind(int kind) { return kind == 0 || kind == 1 || kind == 9 || kind == 10; }

// The object as the class its layer's kind says, or null.
TBaseObject* AsKind(TBaseObject* o, int kind)
{
    switch (kind) {
    case 0: case 1: return dynamic_cast<TPolyLine*>(o);
    case 6: return dynamic_cast<TText*>(o);
    case 7: return dynamic_cast<TSign*>(o);
    case 9: return dynamic_cast<TPolyLineEx*>(o);
    case 10: return dynamic_cast<TPolygonEx*>(o);
    case 11: return dynamic_cast<TTextEx*>(o);
    case 12: return dynamic_cast<TSignEx*>(o);
    case 13: return dynamic_cast<TBmp*>(o);
    default: return nullptr;
    }
}

const std::string* TextOf(TBaseObject* o, int kind)
{
    switch (kind) {
    case 6: case 11: return &static_cast<TText*>(o)->Text;
    case 9: return &static_cast<TPolyLineEx*>(o)->Label;
    case 10: return &static_cast<TPolygonEx*>(o)->Label;
    case 12: return &static_cast<TSignEx*>(o)->Label;
    case 13: return &static_cast<TBmp*>(o)->FileName();
    default: return nullptr;
    }
}

std::size_t GeometrySize(TBaseObject* o, int kind)
{
    if (LineKind(kind)) return 8 * std::size_t(static_cast<TPolyLine*>(o)->Count());
    if (kind == 13) return 32;
    return 8;
}

std::size_t AttributeSize(TBaseObject* o, int kind)
{
    switch (kind) {
    case 6: case 7: return 4;
    case 9: {
        const TPolyLineEx* p = static_cast<TPolyLineEx*>(o);
        return p->ValueMode == 2 ? 24 + 4 * std::size_t(p->Count()) : 24;
    }
    case 10: case 12: return 20;
    case 11: return 16;
    default: return 0;
    }
}

uint16_t Size16(std::size_t n) { return static_cast<uint16_t>(std::min<std::size_t>(n, 0xFFFF)); }

void PutPoint(std::vector<uint8_t>& b, std::size_t at, int32_t x, int32_t y)
{
    PutI32(b.data() + at, x);
    PutI32(b.data() + at + 4, y);
}

void EncodeGeometry(TBaseObject* o, int kind, std::vector<uint8_t>& b)
{
    b.assign(GeometrySize(o, kind), 0);
    if (LineKind(kind)) {
        const auto& pts = static_cast<TPolyLine*>(o)->Points;
        for (std::size_t i = 0; i < pts.size(); ++i) PutPoint(b, 8 * i, pts[i].X, pts[i].Y);
    } else if (kind == 13) {
        const TBmp* p = static_cast<TBmp*>(o);
        int32_t right = static_cast<int32_t>(int64_t(p->Left) + p->Width);
        int32_t bottom = static_cast<int32_t>(int64_t(p->Top) - p->Height);
        PutPoint(b, 0, p->Left, p->Top);
        PutPoint(b, 8, right, p->Top);
        PutPoint(b, 16, right, bottom);
        PutPoint(b, 24, p->Left, bottom);
    } else {
        PutPoint(b, 0, o->X, o->Y);
    }
}

void EncodeAttributes(TBaseObject* o, int kind, std::vector<uint8_t>& b)
{
    b.assign(AttributeSize(o, kind), 0);
    uint8_t* p = b.data();
    switch (kind) {
    case 6: PutI32(p, static_cast<TText*>(o)->Angle); break;
    case 7: PutI32(p, static_cast<TSign*>(o)->SignNumber); break;
    case 9: {
        const TPolyLineEx* l = static_cast<TPolyLineEx*>(o);
        PutI32(p, static_cast<int32_t>(l->Color));
        PutI32(p + 4, l->Count());
        PutU16(p + 8, static_cast<uint16_t>(l->Width));
        PutU16(p + 10, static_cast<uint16_t>(l->PenStyle));
        PutI32(p + 12, l->ValueMode);
        PutI32(p + 16, l->Value);
        PutI32(p + 20, static_cast<int32_t>(l->Extra));
        if (l->ValueMode == 2)
            for (int32_t i = 0; i < l->Count(); ++i)
                PutI32(p + 24 + 4 * i, i < int32_t(l->Values.size()) ? l->Values[std::size_t(i)] : 0);
        break;
    }
    case 10: {
        const TPolygonEx* g = static_cast<TPolygonEx*>(o);
        PutI32(p, static_cast<int32_t>(g->FillColor));
        PutI32(p + 4, static_cast<int32_t>(g->OutlineColor));
        PutI32(p + 8, g->FillStyle);
        PutI32(p + 12, static_cast<int32_t>(g->OutlinePen >> 16));
        PutI32(p + 16, static_cast<int32_t>(g->OutlinePen & 0xFFFF));
        break;
    }
    case 11: {
        const TTextEx* t = static_cast<TTextEx*>(o);
        PutI32(p, static_cast<int32_t>(t->TextColor));
        PutI32(p + 4, t->Size);
        PutI32(p + 8, t->Angle);
        PutI32(p + 12, static_cast<int32_t>(t->Extra));
        break;
    }
    case 12: {
        const TSignEx* s = static_cast<TSignEx*>(o);
        PutI32(p, s->SignNumber);
        PutI32(p + 4, s->LabelOffset.X);
        PutI32(p + 8, s->LabelOffset.Y);
        PutI32(p + 12, s->DllSignNumber);
        PutI32(p + 16, s->Size);
        break;
    }
    default: break;
    }
}

// Bytes op 14 needs for a kind; 0: the kind has no attributes.
int32_t AttributeNeed(int kind)
{
    switch (kind) {
    case 6: case 7: return 4;
    case 9: return 24;
    case 10: case 12: return 20;
    case 11: return 16;
    default: return 0;
    }
}

void DecodeAttributes(TBaseObject* o, int kind, const uint8_t* p)
{
    switch (kind) {
    case 6: static_cast<TText*>(o)->Angle = GetI32(p); break;
    case 7: static_cast<TSign*>(o)->SignNumber = GetI32(p); break;
    case 9: {
        TPolyLineEx* l = static_cast<TPolyLineEx*>(o);
        l->Color = static_cast<TColorRef>(GetI32(p));
        l->Width = GetU16(p + 8);
        l->PenStyle = GetU16(p + 10);
        l->ValueMode = GetI32(p + 12);
        l->Value = GetI32(p + 16);
        l->Extra = static_cast<uint32_t>(GetI32(p + 20));
        break;
    }
    case 10: {
        TPolygonEx* g = static_cast<TPolygonEx*>(o);
        g->FillColor = static_cast<TColorRef>(GetI32(p));
        g->OutlineColor = static_cast<TColorRef>(GetI32(p + 4));
        g->FillStyle = GetI32(p + 8);
        g->OutlinePen = (static_cast<uint32_t>(GetI32(p + 12)) << 16) | (static_cast<uint32_t>(GetI32(p + 16)) & 0xFFFF);
        break;
    }
    case 11: {
        TTextEx* t = static_cast<TTextEx*>(o);
        t->TextColor = static_cast<TColorRef>(GetI32(p));
        t->Size = GetI32(p + 4);
        t->Angle = GetI32(p + 8);
        t->Extra = static_cast<uint32_t>(GetI32(p + 12));
        break;
    }
    case 12: {
        TSignEx* s = static_cast<TSignEx*>(o);
        s->SignNumber = GetI32(p);
        s->LabelOffset = {GetI32(p + 4), GetI32(p + 8)};
        s->DllSignNumber = GetI32(p + 12);
        s->Size = GetI32(p + 16);
        break;
    }
    default: break;
    }
}

TObjectKey KeyOf(const TBaseObject* o, int32_t modelNo, int32_t layerId)
{
    TObjectKey k;
    k.ModelNo = modelNo;
    k.LayerID = layerId;
    k.SheetID = o->SheetID;
    k.Code = o->Code;
    return k;
}

std::unique_ptr<TBaseObject> NewObjectOfKind(int kind)
{
    switch (kind) {
    case 0: return std::make_unique<TPolyLine>();
    case 1: return std::make_unique<TPolygon>();
    case 6: return std::make_unique<TText>();
    case 7: return std::make_unique<TSign>();
    case 9: return std::make_unique<TPolyLineEx>();
    case 10: return std::make_unique<TPolygonEx>();
    case 11: return std::make_unique<TTextEx>();
    case 12: return std::make_unique<TSignEx>();
    case 13: return std::make_unique<TBmp>();
    default: return nullptr;
    }
}

} // namespace

bool TModel::SheetLoaded(int32_t sheetID) const
{
    if (!Project) return false;
    // A sheet that several levels list is loaded when any of its records
    // says so: letting the last level decide would hide the objects of a
    // sheet shared with a level that is not current.
    for (int32_t li = 0; li < Project->Count; ++li) {
        const TLevel& level = *static_cast<const TLevel*>(Project->GetItem(li));
        for (int32_t si = 0; si < level.Sheets->Count; ++si) {
            const TSheet& s = *static_cast<const TSheet*>(level.Sheets->GetItem(si));
            if (s.FileID == sheetID && (s.Flags & SheetFlagLoaded)) return true;
        }
    }
    return false;
}

TCustomLayer* TModel::FindKeyLayer(TView& view, const TObjectKey& key) const
{
    if (!view.Map) return nullptr;
    if (!key.Force && !SheetLoaded(key.SheetID)) return nullptr;
    return FindLayerById(*view.Map, key.LayerID);
}

int32_t TModel::GetObjectData(TView* view, uint16_t op, const TObjectKey& key, std::vector<uint8_t>& buffer)
{
    if (!view || !view->Map) return ResultNoData;
    TCustomLayer* layer = FindKeyLayer(*view, key);
    if (!layer) return ResultNoLayer;
    if (op == 0) {
        if (key.Code < 0 || key.Code >= layer->Count) return ResultNoObject;
        buffer.assign(ObjectKeySize, 0);
        TObjectKey k = KeyOf(layer->Object(key.Code), ModelNo, layer->LayerId);
        k.Force = 0;
        EncodeObjectKey(k, buffer.data());
        return ResultDone;
    }
    if (op == 5) {
        buffer.assign(ObjectKeySize * std::size_t(layer->Count), 0);
        for (int32_t i = 0; i < layer->Count; ++i)
            EncodeObjectKey(KeyOf(layer->Object(i), ModelNo, layer->LayerId), buffer.data() + ObjectKeySize * i);
        return ResultDone;
    }
    TBaseObject* found = layer->FindObject(key.SheetID, key.Code);
    if (!found) return ResultNoObject;
    if (op > 5) return ResultOutOfRange;
    int kind = layer->Kind;
    TBaseObject* o = AsKind(found, kind);
    if (!o) return ResultNoData;
    const std::string* text = TextOf(o, kind);
    switch (op) {
    case 1: {
        TObjectHeader h;
        h.Compound = CompoundOf(key) ? 1 : 0;
        h.X = o->X;
        h.Y = o->Y;
        h.Flags = static_cast<uint16_t>(o->Flags());
        h.GeometrySize = Size16(GeometrySize(o, kind));
        h.TextSize = Size16(text && !text->empty() ? text->size() + 1 : 0);
        h.AttributeSize = Size16(AttributeSize(o, kind));
        buffer.assign(ObjectHeaderSize, 0);
        EncodeObjectHeader(h, buffer.data());
        return ResultDone;
    }
    case 2: EncodeGeometry(o, kind, buffer); return ResultDone;
    case 3:
        if (!text || text->empty()) return ResultNoData;
        buffer.assign(text->begin(), text->end());
        buffer.push_back(0);
        return ResultDone;
    case 4:
        if (AttributeSize(o, kind) == 0) return ResultNoData;
        EncodeAttributes(o, kind, buffer);
        return ResultDone;
    default: return ResultOutOfRange;
    }
}

int32_t TModel::SetObjectData(TView* view, uint16_t op, const TObjectKey& key, const void* buffer, int32_t& size)
{
    if (!view || !view->Map) return ResultNoData;
    const uint8_t* b = static_cast<const uint8_t*>(buffer);
    int32_t result = ResultDone;
    TCustomLayer* layer = FindKeyLayer(*view, key);
    TBaseObject* found = layer ? layer->FindObject(key.SheetID, key.Code) : nullptr;
    int kind = layer ? layer->Kind : -1;
    TBaseObject* o = found ? AsKind(found, kind) : nullptr;
    if (!b || size < 0) result = ResultNoData;
    else if (!layer) result = ResultNoLayer;
    else if (!found) result = ResultNoObject;
    else if (op < 10 || op > 14) result = ResultOutOfRange;
    else if (!o) result = ResultNoData;
    if (result == ResultDone) {
        view->DrawThread = 0;
        const int32_t sheet = o->SheetID;
        switch (op) {
        case 10:
            if (size < int32_t(ObjectKeySize)) { result = ResultNoData; break; }
            o->SheetID = GetI32(b + 12);
            o->Code = GetI32(b + 16);
            break;
        case 11: {
            if (size < int32_t(ObjectHeaderSize)) { result = ResultNoData; break; }
            TObjectHeader h = DecodeObjectHeader(b);
            o->SetFlags((o->Flags() & 0xFFFF0000u) | h.Flags);
            o->X = h.X;
            o->Y = h.Y;
            break;
        }
        case 12:
            if (LineKind(kind)) {
                if (size < 8) { result = ResultNoData; break; }
                auto& pts = static_cast<TPolyLine*>(o)->Points;
                pts.resize(std::size_t(size / 8));
                for (std::size_t i = 0; i < pts.size(); ++i) pts[i] = {GetI32(b + 8 * i), GetI32(b + 8 * i + 4)};
            } else if (kind == 13) {
                if (size < 24) { result = ResultNoData; break; }
                TBmp* p = static_cast<TBmp*>(o);
                p->Left = GetI32(b);
                p->Top = GetI32(b + 4);
                p->Width = static_cast<int32_t>(int64_t(GetI32(b + 8)) - GetI32(b));
                p->Height = static_cast<int32_t>(int64_t(GetI32(b + 12)) - GetI32(b + 20));
            } else {
                if (size < 8) { result = ResultNoData; break; }
                o->X = GetI32(b);
                o->Y = GetI32(b + 4);
            }
            break;
        case 13: {
            const void* end = std::memchr(b, 0, std::size_t(size));
            if (!end || !TextOf(o, kind)) { result = ResultNoData; break; }
            std::string text(reinterpret_cast<const char*>(b), static_cast<const uint8_t*>(end) - b);
            switch (kind) {
            case 6: case 11: static_cast<TText*>(o)->Text = text; break;
            case 9: static_cast<TPolyLineEx*>(o)->Label = text; break;
            case 10: static_cast<TPolygonEx*>(o)->Label = text; break;
            case 12: static_cast<TSignEx*>(o)->Label = text; break;
            case 13: {
                TBmp* p = static_cast<TBmp*>(o);
                std::string file;
                try {
                    file = text.empty() ? text : ResolveInProject(text);
                } catch (const ETarnError&) {
                    result = ResultNoData;  // outside the project's folder
                    break;
                }
                p->SetFileName(file);
                p->LoadPicture();
                break;
            }
            default: result = ResultNoData; break;
            }
            break;
        }
        case 14: {
            int32_t need = AttributeNeed(kind);
            if (need == 0 || size < need) { result = ResultNoData; break; }
            DecodeAttributes(o, kind, b);
            if (kind == 10) size = 20;
            break;
        }
        default: result = ResultOutOfRange; break;
        }
        // Its place, outline or label may have changed: the layer's entries are made again.
        layer->InvalidateHitIndex();
        if (result == ResultDone) {
            NoteUnsaved(view, sheet);
            NoteUnsaved(view, o->SheetID);
        }
    }
    Notify(3, op, reinterpret_cast<intptr_t>(&key), reinterpret_cast<intptr_t>(buffer));
    return result;
}

int32_t TModel::CreateObject(TView* view, uint16_t op, TObjectKey& key, const void* buffer, int32_t size)
{
    if (!view || !view->Map) return ResultNoData;
    auto done = [&](int32_t result) {
        Notify(2, op, reinterpret_cast<intptr_t>(&key), reinterpret_cast<intptr_t>(buffer));
        return result;
    };
    TCustomLayer* layer = FindKeyLayer(*view, key);
    if (op == 2) {
        if (!layer) return done(ResultNoLayer);
        for (int32_t i = 0; i < layer->Count; ++i) {
            TBaseObject* o = layer->Object(i);
            if (o->Code != key.Code || o->SheetID != key.SheetID) continue;
            NoteUnsaved(view, key.SheetID);
            layer->FreeAt(i);
            Highlight.erase(std::remove_if(Highlight.begin(), Highlight.end(),
                                           [&](const TObjectKey& h) {
                                               return h.LayerID == key.LayerID && h.SheetID == key.SheetID &&
                                                      h.Code == key.Code;
                                           }),
                            Highlight.end());
            return done(ResultDone);
        }
        return done(ResultNoObject);
    }
    if (op != 3) return done(ResultNoData);
    if (!layer) return done(ResultNoData);
    int kind = layer->Kind;
    if (!HasClass(kind)) return ResultNoData;
    if (!buffer || size < int32_t(ObjectHeaderSize)) return done(ResultNoData);
    const TSheet* firstSheet = nullptr;
    if (kind == 13) {
        if (Project && Project->Count > 0) {
            const TLevel& level = *static_cast<const TLevel*>(Project->GetItem(0));
            if (level.Sheets->Count > 0) firstSheet = static_cast<const TSheet*>(level.Sheets->GetItem(0));
        }
        if (!firstSheet) return done(ResultNoData);
    }
    bool taken = false;
    for (int32_t i = 0; i < layer->Count && !taken; ++i) taken = layer->Object(i)->Code == key.Code;
    if (taken) {
        int32_t largest = LargestCode(*layer);
        if (largest == std::numeric_limits<int32_t>::max()) return done(ResultOutOfRange);
        key.Code = largest + 1;
    }
    TObjectHeader h = DecodeObjectHeader(static_cast<const uint8_t*>(buffer));
    std::unique_ptr<TBaseObject> o = NewObjectOfKind(kind);
    o->SheetID = key.SheetID;
    o->Code = key.Code;
    o->SetFlags(h.Flags);
    o->X = h.X;
    o->Y = h.Y;
    if (LineKind(kind)) static_cast<TPolyLine*>(o.get())->Points.push_back({h.X, h.Y});
    switch (kind) {
    case 6: static_cast<TText*>(o.get())->Text = NewTextObject; break;
    case 9: {
        TPolyLineEx* l = static_cast<TPolyLineEx*>(o.get());
        l->Color = static_cast<TColorRef>(layer->Colour);
        l->Width = layer->Style2;
        l->PenStyle = layer->Style1;
        break;
    }
    case 10: {
        TPolygonEx* g = static_cast<TPolygonEx*>(o.get());
        g->FillColor = static_cast<TColorRef>(layer->Colour);
        g->OutlineColor = static_cast<TColorRef>(layer->Colour2);
        g->FillStyle = layer->Style1;
        break;
    }
    case 11: {
        TTextEx* t = static_cast<TTextEx*>(o.get());
        t->Text = NewTextObject;
        t->TextColor = static_cast<TColorRef>(layer->Colour);
        t->Size = 10;
        break;
    }
    case 12: {
        TSignEx* s = static_cast<TSignEx*>(o.get());
        s->SignNumber = 0;
        s->LabelOffset = {0, 0};
        s->DllSignNumber = 1;
        s->Size = 1;
        s->Extra = 0;
        break;
    }
    case 13: {
        TBmp* p = static_cast<TBmp*>(o.get());
        p->SheetID = firstSheet->FileID;
        p->Left = 10;
        p->Top = 10;
        p->Width = 100;
        p->Height = 100;
        break;
    }
    default: break;
    }
    NoteUnsaved(view, o->SheetID);
    layer->Add(o.get());
    o.release();
    key.ModelNo = ModelNo;
    return done(ResultDone);
}

} // namespace tarn
