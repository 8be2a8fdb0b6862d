#pragma once
// The object-action registry: a search list that is never shown. For
// objects of the main map it registers what a click on the object does (a
// hint with its name, its text window, a form, its card), marks the map as
// being over such an object while the mouse hovers it (mouse mode 89), and
// answers the object's plain text (the ticker reads its lines so).
//
// Items keep the order they were registered in and may share a name; the
// first item of an object decides. An index by object finds it, so the
// hover over the map costs a hash look-up per object under the mouse.
#include "app/SearchT.h"

#include <QTimer>

#include <cstddef>
#include <vector>

namespace tarn {

// The first payload registered for each object: open addressing, no
// allocation per object (a database registers tens of thousands).
class TObjectIndex {
public:
    const TDataPtr* Find(const TObjectId& id) const;
    // False, and nothing changed, when the object is there already.
    bool Insert(const TObjectId& id, const TDataPtr& data);
    void Erase(const TObjectId& id);
    std::size_t Size() const { return Used; }

private:
    struct TSlot {
        TObjectId Id;
        TDataPtr Data;  // null: free
    };
    std::size_t Slot(const TObjectId& id) const;  // where it is, or the free slot it would take
    void Grow();

    std::vector<TSlot> Slots;  // a power of two, at most half full
    std::size_t Used = 0;
};

class TSearchObject : public TSearch {
public:
    // Takes the model's mouse-down and mouse-move hooks (they go back when
    // the registry goes).
    TSearchObject(TInfoModule* info, TModel* model, TView* view);
    ~TSearchObject() override;

    using TSearch::AddItem;
    // Only payloads of kinds 1, 2, 5 and 6 (they name an object): 1, or 0
    // and nothing added.
    int32_t AddItem(TModel* model, TView* view, std::string name, TDataPtr data, bool alsoIndex) override;
    int32_t RegisterObject(std::string name, TDataPtr data) { return AddItem(Model, View, std::move(name), std::move(data), false); }
    int32_t RemoveItemsByKey(const TObjectKey& key) override;

    // Runs the object's action; false when it has none.
    bool ExecuteObjectAction(const TObjectKey& key);
    // The object's plain text (a map object's name, a text, a card's text);
    // empty when there is none.
    QString GetObjectText(const TObjectKey& key);
    bool HasAction(const TObjectKey& key) const { return Index.Find(TObjectId(key)) != nullptr; }

    // The model's hooks; both answer whether the event goes on.
    bool MouseDown(TView& sender, TMouseButton button, int32_t x, int32_t y);
    bool HoverMove(TView& sender, int32_t x, int32_t y);
    void HideHint();

    TPoint LastPoint{};  // the map pixel of the last click handled
    // Clear while a card window opens from a click: clicks and hovering
    // that arrive meanwhile do nothing.
    bool Enabled = true;

    static constexpr int HintMilliseconds = 2000;
    static constexpr int32_t HintMaxWidth = 200;

private:
    // The name of the item that holds the payload.
    const std::string* NameOf(const TData* data) const;

    TObjectIndex Index;
    QTimer Timer;
    THookToken DownToken;
    THookToken MoveToken;
};

} // namespace tarn
