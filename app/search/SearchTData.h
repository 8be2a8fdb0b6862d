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
#include "db/TarnData.h"
#include "model/ObjKey.h"

#include <QPointer>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
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

// Records too large to hold in every payload are held apart, so that a
// database's tens of thousands of key records stay small.
template <class T>
struct TBoxedRecord : std::false_type {};
template <>
struct TBoxedRecord<TLayerEntryRec> : std::true_type {};
template <>
struct TBoxedRecord<TTextItemRec> : std::true_type {};
template <>
struct TBoxedRecord<TFormItemRec> : std::true_type {};
template <>
struct TBoxedRecord<TCardRec> : std::true_type {};
template <class T>
using TStoredRecord = std::conditional_t<TBoxedRecord<T>::value, std::unique_ptr<const T>, T>;

class TData {
public:
    // In kind order; kind 4 owns any object, kind 7 has no record.
    using TRecord = std::variant<TStoredRecord<TLayerEntryRec>, TObjectItemRec, TStoredRecord<TTextItemRec>, TSubListRec,
                                 std::shared_ptr<void>, TStoredRecord<TFormItemRec>, TStoredRecord<TCardRec>,
                                 std::monostate>;

    explicit TData(TRecord record) : Kind(uint8_t(record.index())), Rec(std::move(record)) {}

    const uint8_t Kind;
    const TRecord Rec;

    // The record of kind T, null for another kind.
    template <class T>
    const T* As() const
    {
        if constexpr (TBoxedRecord<T>::value) {
            const auto* boxed = std::get_if<std::unique_ptr<const T>>(&Rec);
            return boxed ? boxed->get() : nullptr;
        } else {
            return std::get_if<T>(&Rec);
        }
    }
    // The object key of kinds 1, 2, 5 and 6; null for the others.
    const TObjectKey* Key() const;
    // Layer, sheet and code equal (the model number and force are not compared).
    bool Matches(const TObjectKey& key) const;
};

using TDataPtr = std::shared_ptr<TData>;

// A payload of the record's kind.
template <class T>
TDataPtr MakeData(T record)
{
    if constexpr (TBoxedRecord<T>::value)
        return std::make_shared<TData>(TData::TRecord(std::make_unique<const T>(std::move(record))));
    else
        return std::make_shared<TData>(TData::TRecord(std::move(record)));
}
inline TDataPtr MakeObjectData(TModel* model, TView* view, const TObjectKey& key)
{
    return MakeData(TObjectItemRec{model, view, key});
}
inline TDataPtr MakeOwnedData(std::shared_ptr<void> object)
{
    return std::make_shared<TData>(TData::TRecord(std::in_place_index<OwnedObjectKind>, std::move(object)));
}
inline TDataPtr MakeActionData() { return std::make_shared<TData>(TData::TRecord(std::in_place_index<ActionKind>)); }

// The part of a key that names an object, for indexes by key.
struct TObjectId {
    int32_t LayerID = 0;
    int32_t SheetID = 0;
    int32_t Code = 0;
    TObjectId() = default;
    explicit TObjectId(const TObjectKey& k) : LayerID(k.LayerID), SheetID(k.SheetID), Code(k.Code) {}
    bool operator==(const TObjectId&) const = default;
};

} // namespace tarn
