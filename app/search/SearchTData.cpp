// Payloads, the street-name normaliser and filling a list from a layer.
#include "SearchT.h"

#include "model/Models.h"
#include "platform/Cp1251.h"

#include <algorithm>

namespace tarn {

const TObjectKey* TData::Key() const
{
    if (const auto* r = As<TObjectItemRec>()) return &r->Key;
    if (const auto* r = As<TTextItemRec>()) return &r->Key;
    if (const auto* r = As<TFormItemRec>()) return &r->Key;
    if (const auto* r = As<TCardRec>()) return &r->Key;
    return nullptr;
}

bool TData::Matches(const TObjectKey& key) const
{
    const TObjectKey* k = Key();
    return k && k->LayerID == key.LayerID && k->SheetID == key.SheetID && k->Code == key.Code;
}

// ---------------------------------------------------------------- street names

int32_t TSubText::NormalizeStreetName(std::string& name, const TDataPtr&) const
{
    try {
        const auto word = std::find_if(Words.begin(), Words.end(), [&name](const std::string& w) {
            return !w.empty() && name.find(w) != std::string::npos;
        });
        if (word == Words.end()) return 0;
        // A number that does not end in a digit ("1-Я") goes after the name.
        if (const std::size_t digit = name.find_first_of("0123456789"); digit != std::string::npos) {
            std::size_t end = name.find(' ', digit);
            if (end == std::string::npos) end = name.size();
            const std::string token = name.substr(digit, end - digit);
            if (token.back() < '0' || token.back() > '9') {
                name.erase(digit, token.size());
                name += ' ' + token;
            }
        }
        name.erase(name.find(*word), word->size());
        name += ", " + *word;
        name.erase(0, name.find_first_not_of(' '));
        return 0;
    } catch (const std::exception&) {
        return -1;
    }
}

// ---------------------------------------------------------------- filling

int32_t FillFromLayer(TSearch& list, TModel* model, TView* view, bool indexLayer, const std::string& suffix,
                      TLayerSelector selector)
{
    if (!model || !view || !model->WorkMap) return 0;
    std::vector<TLayerSelector> layers;
    model->GetLayerList(0, layers);
    const std::string_view wanted = SelectorName(selector);
    // Identifier -1 selects by name alone.
    const auto layer = std::find_if(layers.begin(), layers.end(), [&](const TLayerSelector& l) {
        return (selector.LayerID != -1 && l.LayerID == selector.LayerID) || SelectorName(l) == wanted;
    });
    if (layer == layers.end()) return 0;
    if (wanted.empty()) MakeFieldQuery(SelectorName(*layer), selector.LayerID, selector);
    const std::string cut = suffix.substr(0, LayerNameMax);
    if (indexLayer)
        list.SubLists.push_back({std::string(SelectorName(*layer)), MakeData(TLayerEntryRec{model, view, selector, cut})});

    model->GetViewState(*view);
    const std::string failed = Utf8ToCp1251("## Ошибка !!! ##");
    int32_t count = 0;
    std::vector<uint8_t> b;
    for (int32_t i = 0;; ++i) {
        const TObjectKey at{1, 1, layer->LayerID, 1, i};
        if (model->GetObjectData(view, 0, at, b) != ResultDone || b.size() < ObjectKeySize) break;
        const TObjectKey key = DecodeObjectKey(b.data());
        const TDataPtr data = MakeObjectData(model, view, key);
        std::string text = failed;
        if (model->GetObjectData(view, 3, key, b) == ResultDone) {
            text.assign(b.begin(), std::find(b.begin(), b.end(), uint8_t(0)));
            if (list.UseOnItem && list.OnItem) list.OnItem(text, data);
        }
        if (!cut.empty()) text += " (" + cut + ")";
        list.AddListed(std::move(text), data);
        ++count;
    }
    return count;
}

int32_t TSearchText::FillList(const std::string& layerName)
{
    TLayerSelector selector;
    MakeFieldQuery(layerName, -1, selector);
    const int32_t count = FillFromLayer(*this, Model, View, true, std::string(), selector);
    ShowIfAdded(count);
    return count;
}

int32_t TSearchText::FillSubList(const std::string& layerName, const std::string& suffix)
{
    TLayerSelector selector;
    MakeFieldQuery(layerName, -1, selector);
    const int32_t count = FillFromLayer(*this, Model, View, true, suffix, selector);
    ShowIfAdded(count);
    return count;
}

} // namespace tarn
