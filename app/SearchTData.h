#pragma once
// The payload of every search-list item: a kind and the record of that
// kind, saying what the item stands for and what choosing it does.
//
//   0 layer entry   a layer a list was filled from (kept only in SubLists)
//   1 map object    zoom to it at 1:2500 and highlight it
//   2 text          the text window
//   3 sub-list      a group window on a child list
//   4 owned object  nothing
//   5 form          the form shown modally
//   6 card          the card window
//   7 action        the list's OnAction
//
// Payloads are shared: an item listed in a child list and its parent, the
// index of sub-lists and the action registry hold the same payload, which
// goes with the last of them.
#include "app/TarnData.h"
#include "model/ObjKey.h"

#include <QPointer>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>

class QWidget;

namespace tarn {

class TModel;
class TSearchText;
class TView;

constexpr uint8_t LayerEntryKind = 0;
// ObjectItemKind (1) and CardItemKind (6) come with the object database.
constexpr uint8_t TextItemKind = 2;
constexpr uint8_t SubListKind = 3;
constexpr uint8_t OwnedObjectKind = 4;
constexpr uint8_t FormItemKind = 5;
constexpr uint8_t ActionKind = 7;

struct TLayerEntryRec {
    TModel* Model = nullptr;
    TView* View = nullptr;
    TLayerSelector Selector;
    std::string Suffix;  // at most 100 characters
};

struct TTextItemRec {
    TModel* Model = nullptr;
    TView* View = nullptr;
    TObjectKey Key;
    std::string Text;  // code page 1251
};

struct TSubListRec {
    TModel* Model = nullptr;
    TView* View = nullptr;
    std::weak_ptr<TSearchText> Child;  // owned by the list that made it
};

struct TFormItemRec {
    TModel* Model = nullptr;
    TView* View = nullptr;
    TObjectKey Key;
    QPointer<QWidget> Form;
};

class TData {
public:
    // In kind order; kind 7 has no record.
    using TRecord = std::variant<TLayerEntryRec, TObjectItemRec, TTextItemRec, TSubListRec, std::shared_ptr<void>,
                                 TFormItemRec, TCardRec, std::monostate>;

    explicit TData(TRecord record) : Kind(uint8_t(record.index())), Rec(std::move(record)) {}

    const uint8_t Kind;
    const TRecord Rec;

    template <class T>
    const T* As() const
    {
        return std::get_if<T>(&Rec);
    }
    // The object key of kinds 1, 2, 5 and 6; null for the others.
    const TObjectKey* Key() const;
    // Layer, sheet and code equal (the model number and force are not compared).
    bool Matches(const TObjectKey& key) const;
};

using TDataPtr = std::shared_ptr<TData>;

inline TDataPtr MakeData(TData::TRecord record) { return std::make_shared<TData>(std::move(record)); }
inline TDataPtr MakeObjectData(TModel* model, TView* view, const TObjectKey& key)
{
    return MakeData(TObjectItemRec{model, view, key});
}

// The part of a key that names an object, for indexes by key.
struct TObjectId {
    int32_t LayerID = 0;
    int32_t SheetID = 0;
    int32_t Code = 0;
    TObjectId() = default;
    explicit TObjectId(const TObjectKey& k) : LayerID(k.LayerID), SheetID(k.SheetID), Code(k.Code) {}
    bool operator==(const TObjectId&) const = default;
    // Well mixed in its low bits too.
    uint64_t Hash() const
    {
        uint64_t h = uint64_t(uint32_t(LayerID)) * 0x9E3779B97F4A7C15ull ^
                     uint64_t(uint32_t(SheetID)) * 0xC2B2AE3D27D4EB4Full ^ uint64_t(uint32_t(Code)) * 0x165667B19E3779F9ull;
        h ^= h >> 29;
        h *= 0xBF58476D1CE4E5B9ull;
        return h ^ (h >> 32);
    }
};

} // namespace tarn
