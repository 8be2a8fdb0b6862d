#pragma once
// The object-action registry: a search list that is never shown. For
// objects of the main map it registers what a click on the object does (a
// hint with its name, its text window, a form, its card), marks the map as
// being over such an object while the mouse hovers it (mouse mode 89), and
// answers the object's plain text (the ticker reads its lines so).
//
// Items keep the order they were registered in and may share a name; the
// first item of an object decides. An index by object finds it (sorted,
// made again on the first look-up after a change), so the hover over the
// map costs a binary search per object under the mouse and loading a
// database costs no look-up at all.
#include "app/search/SearchT.h"

#include <QTimer>

#include <vector>

namespace tarn {

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
    bool HasAction(const TObjectKey& key) const { return FirstItem(key) >= 0; }

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
    // The first item of the object, -1 when none.
    int32_t FirstItem(const TObjectKey& key) const;

    struct TIndexEntry {
        TObjectId Id;
        int32_t Item;
    };
    mutable std::vector<TIndexEntry> Index;  // by object, the first item of each
    mutable bool IndexValid = true;
    QTimer Timer;
    THookToken DownToken;
    THookToken MoveToken;
};

} // namespace tarn
