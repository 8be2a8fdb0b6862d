#pragma once
// User signs: placing, deleting and moving the user's own point objects in
// one layer of the map, the sign layer, in the view mouse modes 61 (add),
// 62 (delete) and 63 (move: press on a sign, release at its new place).
//
// Every change goes through a virtual operation with a before-event that
// may cancel it (a non-zero answer) and an after-event, so the application
// can ask which sign to place, confirm deletions and save the project. The
// tool never saves on its own from the mouse.
#include "model/Models.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tarn {

class TWorkSign {
public:
    using TBeforeChange = std::function<int32_t(const TObjectKey& key, const TPoint& p, bool save)>;
    using TAfterChange = std::function<void(const TObjectKey& key, const TPoint& p, bool save)>;
    using TBeforeDelete = std::function<int32_t(const TObjectKey& key, bool confirm, bool save)>;
    using TAfterDelete = std::function<void(const TObjectKey& key, bool confirm, bool save)>;
    using TRefused = std::function<void(const TObjectKey& key, const std::string& why)>;

    // With a model, installs the handlers on its OnMouseDown and OnMouseUp.
    TWorkSign(TModel* model, TView* view);
    virtual ~TWorkSign();
    TWorkSign(const TWorkSign&) = delete;
    TWorkSign& operator=(const TWorkSign&) = delete;

    // The mouse hooks; they answer whether the event goes on to the
    // handlers installed before the tool.
    virtual bool MouseDown(TView& sender, TMouseButton button, uint32_t shift, int32_t x, int32_t y);
    virtual bool MouseUp(TView& sender, TMouseButton button, uint32_t shift, int32_t x, int32_t y);
    // 1 when the sign was created (deleted, moved), else 0. The after-event
    // follows unless the before-event cancelled; an add takes the code the
    // model gave the sign. A sign is changed only in a model that may write
    // its files and in the loaded, writable sign sheet, and added only with
    // a code that its file can hold; otherwise Refusal says why, before
    // anything is asked or changed.
    virtual int32_t AddSign(TObjectKey key, const TPoint& p, bool save);
    virtual int32_t DeleteSign(const TObjectKey& key, bool confirm, bool save);
    virtual int32_t MoveSign(const TObjectKey& key, const TPoint& p, bool save);

    // The project saved to its own file with its sheets. Throws what the
    // save throws; no file is then changed.
    void SaveModel();
    // The lowest code from 1 up that no sign of the sheet has.
    int32_t NextFreeCode();
    // Takes a sign off the map with no events and no question (a sign that
    // could not be placed); 1 when it was there.
    int32_t RemoveSign(const TObjectKey& key);

    TObjectKey CurrentSign{};  // picked by the last press in mode 63
    TBeforeChange OnBeforeAdd;
    TAfterChange OnAfterAdd;
    TBeforeDelete OnBeforeDelete;
    TAfterDelete OnAfterDelete;
    TBeforeChange OnBeforeMove;
    TAfterChange OnAfterMove;
    // An add, delete or move refused before its before-event (Refusal says
    // why), so the owner can tell the user and leave the mode.
    TRefused OnRefused;
    TModel* const Model;
    TView* const View;
    TLayerSelector SignLayer;  // its LayerID names the sign layer
    int32_t SignSheetID = 0;   // the sheet of new signs
    std::string Refusal;       // why the last change was refused; empty when it was not

protected:
    // The first sign of the sign layer at the client point, or false.
    bool Pick(TView& sender, int32_t x, int32_t y, TObjectKey& key);
    // Why the sign of this key cannot be changed (added) now; empty when it can.
    std::string ChangeRefusal(const TObjectKey& key);
    std::string AddRefusal(const TObjectKey& key);
    // Notes and reports the refusal of a change; true when refused.
    bool Refused(const TObjectKey& key, std::string why);

private:
    THookToken DownToken;
    THookToken UpToken;
};

} // namespace tarn
