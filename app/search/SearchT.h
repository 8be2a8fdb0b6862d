#pragma once
// Search lists. TSearch is a named list of items (a name in code page 1251
// and a payload, SearchTData.h) with an index of sub-lists and its child
// lists; TSearchText binds such a list to a search panel (an edit for
// typing, a list box showing the names, a "show" button): typing selects
// the first name that begins with the text and completes the edit, or else
// the first that holds every typed word; Enter, a double click and the
// button run the item. The main window owns the street list and the object
// list (groups are its child lists); each group window binds its own
// controls to a child list. TSearchObject (SearchObj.h) is the third kind.
//
// Binding installs the list's handlers on the controls' hook chains
// (ControlHooks.h) and keeps the tokens: unbinding, or the list going,
// takes them off again; a control that is gone took them with it.
#include "app/common/ControlHooks.h"
#include "app/search/SearchTData.h"
#include "app/search/SearchTItems.h"
#include "app/search/SearchTKeyed.h"

#include <QMetaObject>
#include <QPointer>
#include <QString>

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QAbstractButton;
class QIcon;
class QLineEdit;
class QListWidget;
class QObject;

namespace tarn {

class TInfoModule;
class TModel;
class TSearchText;
class TView;

struct TSearchEntry {
    std::string Name;
    TDataPtr Data;
};

class TSearch {
public:
    // info gives the windows and services that item actions open (null:
    // they open nothing); model and view are where item actions act.
    TSearch(TInfoModule* info, TModel* model, TView* view, bool sorted);
    virtual ~TSearch();
    TSearch(const TSearch&) = delete;
    TSearch& operator=(const TSearch&) = delete;

    // Everything added with the index flag and the layers the list was
    // filled from; unsorted, equal names kept.
    TKeyedEntries<TSearchEntry> SubLists;
    std::vector<std::shared_ptr<TSearchText>> Children;
    bool Updating = false;
    std::string Name;  // "Основной список", or the group's name
    TSearchItems Items;
    // Runs before an item is added when UseOnItem is set; may rewrite the name.
    std::function<int32_t(std::string& name, const TDataPtr& data)> OnItem;
    bool UseOnItem = false;

    TInfoModule* const Info;
    TModel* const Model;
    TView* const View;

    // Items gets the pair (SubLists too with alsoIndex). Answers 1, or 0
    // when it failed; a sorted list answers 1 for a name it already holds.
    virtual int32_t AddItem(TModel* model, TView* view, std::string name, TDataPtr data, bool alsoIndex);
    // AddItem with the index flag, then the bound list box shows Items.
    int32_t AddItem(std::string name, TDataPtr data);
    // Items gets the pair as it is: no OnItem, no index (a fill from a layer).
    void AddListed(std::string name, TDataPtr data);

    // While updating, adds are not shown, and a sorted list (and every
    // child list) sorts once when the update ends; then the list box shows
    // Items.
    void BeginUpdate();
    void EndUpdate();

    // The item goes to the child list named subName (made, with a sub-list
    // item in this list, when there is none), and to this list too with
    // alsoMain. Answers 1, or -1 when it failed.
    int32_t AddToSubList(const std::string& subName, const std::string& itemName, bool alsoMain, TDataPtr data);
    // The item goes to the subgroup's list inside the group's list (see
    // the loader's placement rules).
    int32_t AddToSubGroup(const std::string& groupName, const std::string& subgroupName, const std::string& itemName,
                          bool alsoMain, TDataPtr data);
    // Takes every item of the object out of Items, SubLists and the child
    // lists; answers how many left Items (the child lists' included). Only
    // the lists that were given items of the object are looked at.
    virtual int32_t RemoveItemsByKey(const TObjectKey& key);

    // The first child list with exactly this name.
    TSearchText* FindChild(const std::string& name) const;

protected:
    // The bound list box shows Items (only TSearchText has one).
    virtual void ShowItems() {}
    void ShowIfAdded(int32_t result)
    {
        if (result >= 1 && !Updating) ShowItems();
    }

private:
    std::shared_ptr<TSearchText> ChildList(const std::string& name, bool& created);
    // Child list number `child`, or a list below it, was given an item of
    // the object.
    void ChildHolds(const TObjectId& id, uint32_t child);
    // HeldByChild made from what the child lists hold now (theirs made
    // first); from then on it is kept up as items are added.
    void MakeHeldByChild();

    // The first child list of each name.
    std::unordered_map<std::string, std::shared_ptr<TSearchText>> ChildIndex;
    // The list this one is a child list of; null for a main list.
    TSearch* Parent = nullptr;
    // The child lists (by place in Children) given items of each object
    // since it was last removed from this list. Made at the first removal:
    // a database without supplements never needs it. A list's is made only
    // after those of all the lists below it.
    TPairTable<TObjectId, TObjectIdHash> HeldByChild;
    bool HeldByChildMade = false;
    uint32_t ChildNumber = 0;  // this list's place in its parent's Children
};

class TSearchText : public TSearch {
public:
    TSearchText(TInfoModule* info, TModel* model, TView* view);
    ~TSearchText() override;

    // Binding: the list's handlers go on the control, the list box shows
    // the names; the control bound before is let go.
    void SetListBox(QListWidget* list);
    void SetEdit(QLineEdit* edit);
    void SetButton(QAbstractButton* button);
    QListWidget* ListBox() const;
    QLineEdit* Edit() const;
    QAbstractButton* Button() const;

    // Fill from a layer of the main map (by name); answer how many objects
    // were read (names already held count too).
    int32_t FillList(const std::string& layerName);
    int32_t FillSubList(const std::string& layerName, const std::string& suffix);

    // Run for items of kind 7.
    std::function<void(QObject* sender)> OnAction;
    int32_t ItemIndex = -1;
    // Whether the list reacts to typing; the main window switches it off
    // while the map has the keyboard.
    bool AutoSearch = true;
    void SetAutoSearch(bool on) { AutoSearch = on; }
    // Key releases that start no search: every code from 1 to 47 but Enter.
    std::bitset<256> IgnoredKeys;

    // The handlers binding installs; each answers whether the event goes
    // on down the control's chain.
    bool EditKeyUp(TKeyArgs& key);
    bool EditKeyDown(TKeyArgs& key);
    bool EditKeyPress(QChar& key);
    bool ListKeyPress(QChar& key);
    bool ListClick();
    bool ListMouseDown(TMouseButton button, int32_t x, int32_t y);
    bool ListMouseUp(TMouseButton button);
    bool ListDrawItem(TDrawItemArgs& item);
    // Runs the current item (Enter, a double click, the button); answers
    // whether the event goes on to the control's own handlers.
    bool ExecuteItem(QObject* sender);

    // The plain text of the object as this list knows it: the name of a
    // map object's item, a text item's text, a card's text; empty when
    // the list has no item of it.
    QString GetItemText(const TObjectKey& key) const;

    // Where the list's hint opens, relative to the map's top-left corner.
    static constexpr int32_t HintX = 0;
    static constexpr int32_t HintY = 0;
    static constexpr int32_t HintMaxWidth = 350;

protected:
    void ShowItems() override;

private:
    void SelectItem(int32_t index, bool completeFrom, std::size_t typed);
    void UnbindList();

    QPointer<QListWidget> List;
    QPointer<QLineEdit> EditCtl;
    QPointer<QAbstractButton> ButtonCtl;
    // The user changed the edit's text since the last search: a key
    // release that changed nothing (Ctrl+A, Shift and an arrow) keeps the
    // selection the user made.
    bool Edited = false;
    QMetaObject::Connection EditChanged;
    std::vector<THookToken> ListHooks;
    std::vector<THookToken> EditHooks;
    std::vector<THookToken> ButtonHooks;
};

// The street-type words and the street-name normaliser: «УЛ. 1-Я ПОЛЕВАЯ»
// is listed as «ПОЛЕВАЯ 1-Я, УЛ.».
class TSubText {
public:
    std::vector<std::string> Words;  // code page 1251, in the order tried
    // Moves the first word found to the end after ", " and a number token
    // that does not end in a digit before it; answers 0, or -1 when it
    // failed (the name then holds what was done).
    int32_t NormalizeStreetName(std::string& name, const TDataPtr& data) const;
};

// Adds the objects of a layer of the view's map (found by identifier or
// exact name): each object's text, with " (suffix)" after it when there is
// a suffix, and a map-object payload. With indexLayer the layer goes into
// SubLists. Answers the number of objects read, 0 without the layer.
int32_t FillFromLayer(TSearch& list, TModel* model, TView* view, bool indexLayer, const std::string& suffix,
                      TLayerSelector selector);

// What a search list shows for a payload that opens a window, shared by
// the lists and the action registry. The form of kind 5 is shown modally
// when it is a dialog; answers false when it is not.
bool ShowFormItem(const TFormItemRec& form);
// The plain text of an item: a map object's name, a text item's text, a
// card's text (none without info); empty for the other kinds.
QString ItemPlainText(TInfoModule* info, const std::string& name, const TData& data);
// A list box drawn by its search list (rows with icons); the object list is.
void SetOwnerDrawn(QListWidget* list, bool on);
bool IsOwnerDrawn(const QListWidget* list);
// The icon of a row by its payload: a text, a folder for a sub-list, a
// card's file type; null for the others.
QIcon RowIcon(const TData& data);

} // namespace tarn
