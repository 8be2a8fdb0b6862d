#pragma once
// Typing into the search panels and finding rows and registered objects.
#include "app/MainForm.h"
#include "app/search/Group_f.h"
#include "app/search/SearchObj.h"
#include "platform/Cp1251.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPoint>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn::test {

inline std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

// The i-th group window open (they are held as plain windows).
inline TGroupForm* GroupWindow(const TInfoModule& info, std::size_t i)
{
    return static_cast<TGroupForm*>(info.GroupForms.at(i).data());
}

// The list at a path of child names (UTF-8) from a list; null when missing.
inline const TSearch* ListAt(const TSearch& main, std::initializer_list<const char*> path)
{
    const TSearch* list = &main;
    for (const char* name : path) {
        list = list->FindChild(Utf8ToCp1251(name));
        if (!list) return nullptr;
    }
    return list;
}

// The names of a list's items, in UTF-8.
inline std::vector<std::string> Names(const TSearch& list)
{
    std::vector<std::string> names;
    for (int32_t i = 0; i < list.Items.Count(); ++i) names.push_back(Cp1251ToUtf8(list.Items.Name(i)));
    return names;
}

// A key pressed and released on the control, through the window's key
// preview and the control's hooks, as the keyboard delivers it.
inline void Press(QWidget* w, int key, const QString& text = QString(), Qt::KeyboardModifiers mods = {})
{
    QKeyEvent down(QEvent::KeyPress, key, mods, text);
    QCoreApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, mods, text);
    QCoreApplication::sendEvent(w, &up);
}

// Each character as the key that types it (a Cyrillic layout gives the
// letter's code as the key).
inline void Type(QWidget* w, const QString& text)
{
    for (QChar c : text) Press(w, c.toUpper().unicode(), QString(c));
}
inline void Type(QWidget* w, const char* utf8) { Type(w, QString::fromUtf8(utf8)); }

// The search lists take the keyboard (the map does not).
inline void ListsTakeTheKeyboard(TMainForm& form)
{
    form.SetMapFocused(false);
    form.StreetSearch->SetAutoSearch(true);
    form.ObjectSearch->SetAutoSearch(true);
}

inline int RowOf(const QListWidget* list, const char* utf8)
{
    const QString name = QString::fromUtf8(utf8);
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text() == name) return i;
    return -1;
}

// The key of the first object registered under the name.
inline TObjectKey RegisteredKey(const TSearch& registry, const char* utf8)
{
    const std::string name = Utf8ToCp1251(utf8);
    for (int32_t i = 0; i < registry.Items.Count(); ++i)
        if (registry.Items.Name(i) == name) return *registry.Items.Data(i)->Key();
    ADD_FAILURE() << "nothing registered as " << utf8;
    return {};
}

// Where the object's anchor is on the map panel.
inline QPoint ScreenPointOf(TMainForm& form, const TObjectKey& key)
{
    std::vector<uint8_t> b;
    EXPECT_EQ(form.Model()->GetObjectData(form.View(), 1, key, b), ResultDone);
    const TObjectHeader h = DecodeObjectHeader(b.data());
    int32_t x = 0, y = 0;
    form.Model()->ViewWorldToScreen(*form.View(), h.X, h.Y, x, y);
    return {x, y};
}

// The view shows the object alone highlighted in its middle, at 1:scale
// (0: at whatever scale).
inline void ExpectShown(TMainForm& form, const TObjectKey& key, const std::string& what, int32_t scale = 2500)
{
    TModel& model = *form.Model();
    TView& view = *form.View();
    if (scale > 0) {
        EXPECT_NEAR(view.Scale / view.MmPerPixel, scale, 1) << what;
    }
    TKeyList lit;
    model.HighlightObjects(&view, 0, lit);
    ASSERT_EQ(lit.size(), 1u) << what;
    EXPECT_EQ(TObjectId(lit[0]), TObjectId(key)) << what;
    std::vector<uint8_t> b;
    ASSERT_EQ(model.GetObjectData(&view, 1, key, b), ResultDone) << what;
    const TObjectHeader h = DecodeObjectHeader(b.data());
    const TRect r = view.WorldRect;
    EXPECT_NEAR((int64_t(r.Left) + r.Right) / 2, h.X, (r.Right - r.Left) / 10) << what << ": centred";
    EXPECT_NEAR((int64_t(r.Top) + r.Bottom) / 2, h.Y, (r.Top - r.Bottom) / 10) << what << ": centred";
}

} // namespace tarn::test
