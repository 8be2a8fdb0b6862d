#pragma once
// The document model and its views.
//
// TModel holds one open project (".prj", ".mts" or a lone ".map"), its
// working map (the layer tree of all sheets, without objects), compound
// objects, the highlight set, the symbol library, and the views that show
// it. TView is one drawing surface: scale, visible world rectangle, history,
// and its own map holding the objects of the sheets of the current level of
// detail.
//
// The model tells its owner of every change through the OnNotify hook
// (codes below), and forwards mouse events and the end of each drawing to
// hooks that tools chain into (Hooks.h). Every read and write goes through
// the model's own file context, so two models never share reading state.
//
// Codes sent through OnNotify (A, B, C as TNotifyArgs gives them typed):
//    2 object created or deleted   A op (2, 3)   B key       C buffer
//    3 object data set             A op 10-14    B key       C buffer
//    4 layer attributes set        A -1          B selector  C layer record
//    5 layers refreshed            A -1
//    8 highlight changed           A mode 0-2                C key list
//   10 compound objects            A op 0-3      B key       C buffer
//   12 view map rebuilt for a level                          C view
//   14 a lone map sheet opened
//   17 before save                               B answer (int32_t*, preset 0; 1 saves)
//   18 scale fitted, 19 rectangle held in the extent, 20 view state set: A -1, B view
//   21 before (A 0) and after (A 1) each layer drawn: B layer, C draw context
//   22 an object drawn by its owner: C owner-draw record
// Flags set by code: modified 4, 5, 6, 7, 10, 13, 15; structure changed 2, 3;
// needs redraw 2, 3, 4, 5, 8, 11, 12, 13, 18, 19, 20.
//
// Sheet maps give their MapParams this meaning (every reader and writer of
// the model and the demo city use it):
//   Ints[0], Ints[1]  the sheet's width and height in stored units (a
//                     ".map" stores coordinates divided by 1000 and by the
//                     level's scale); they must fit 16 bits
//   Ints[2]           the project scale the sheet's style sizes relate to
//   Reals[0..3]       the sheet's left, bottom, width and height: in
//                     thousands of world units in a ".map", in world units
//                     in a ".mts"
//   the rest          carried unchanged
#include "data/DrawContext.h"
#include "data/FileContext.h"
#include "data/FillRec.h"
#include "data/FlatFile.h"
#include "data/Layers.h"
#include "data/Project.h"
#include "data/_Common.h"
#include "model/Hooks.h"
#include "model/ObjKey.h"
#include "platform/DynLib.h"
#include "platform/WindowSurface.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <typeindex>
#include <vector>

namespace tarn {

class TFolderNames;
class TModel;
class TView;

// The two file messages of the model: "Ошибка входного файла " + name, and
// "Тип файла " + extension + " не поддерживается..."; and the reason a
// read-only model writes nothing. Cause holds what went wrong underneath,
// for logs.
class EModel : public ETarnError {
public:
    explicit EModel(std::string message, std::string cause = std::string())
        : ETarnError(std::move(message)), Cause(std::move(cause))
    {
    }
    std::string Cause;
};

// Confirmations and the busy cursor, provided by the application; tests
// replace them. The default answers no and shows nothing.
class TModelUI {
public:
    virtual ~TModelUI() = default;
    // An OK/Cancel question; true for OK.
    virtual bool Confirm(const std::string& message) { (void)message; return false; }
    virtual void SetBusy(bool busy) { (void)busy; }
    // A message for the user: sheets, pictures or files that could not be
    // loaded or written, each named with the reason.
    virtual void ShowError(const std::string& message) { (void)message; }
};

// Shows the busy cursor for its lifetime.
class TBusyCursor {
public:
    explicit TBusyCursor(TModelUI& ui) : UI(ui) { UI.SetBusy(true); }
    ~TBusyCursor() { UI.SetBusy(false); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;

private:
    TModelUI& UI;
};

// One change notification. The arguments are pointer-sized; the accessors
// give them typed for the codes that carry them, null for the others.
struct TNotifyArgs {
    int32_t Code = 0;
    intptr_t A = 0;
    intptr_t B = 0;
    intptr_t C = 0;

    TView* View() const;                     // 18, 19, 20 (B); 12 (C)
    const TObjectKey* Key() const;           // 2, 3, 10 (B)
    const void* Buffer() const;              // 2, 3, 10 (C)
    int32_t* Answer() const;                 // 17 (B)
    const TLayerSelector* Selector() const;  // 4 (B)
    const TLayerRec* LayerRecord() const;    // 4 (C)
    const TKeyList* Keys() const;            // 8 (C)
    TCustomLayer* Layer() const;             // 21 (B)
    TDrawContext* Context() const;           // 21 (C)
    const TOwnerDrawRec* OwnerDraw() const;  // 22 (C)
};

// The window message 2026 sent to a view's notify window after a change
// of scale or position.
constexpr int32_t MessageViewChanged = 2026;
using TNotifyWindow = std::function<void(int32_t message, intptr_t wParam, intptr_t lParam)>;

// View flags.
constexpr uint32_t ViewFlagOwnDC = 0x01;        // the caller supplies the device context
constexpr uint32_t ViewFlagKeepExtents = 0x02;
constexpr uint32_t ViewFlagStop = 0x04;
constexpr uint32_t ViewFlagQuiet = 0x10;        // no redraw, no message 2026 after a change
constexpr uint32_t ViewFlagIgnoreMax = 0x20;    // fitting ignores the maximum scale

// View mouse modes.
constexpr int32_t ModeNormal = 0;
constexpr int32_t ModeAddSign = 61;
constexpr int32_t ModeDeleteSign = 62;
constexpr int32_t ModeMoveSign = 63;
constexpr int32_t ModeMeasure = 82;
constexpr int32_t ModeHover = 89;
constexpr int32_t ModePan = 180;
constexpr int32_t ModeMagnifier = 181;
constexpr int32_t ModeSelect = 182;
constexpr int32_t ModeSelectGroup = 183;
constexpr int32_t ModePick = 184;

// A view's off-screen picture for double-buffered drawing. It keeps the
// last map drawn into it; the view's NeedsRedraw says whether that picture
// is stale.
class TViewBitmap {
public:
    // Sizes the picture; answers true when a new (blank) one was made.
    bool Resize(int32_t width, int32_t height);
    TDeviceContext* DC() const { return Dc.get(); }
    int32_t Width() const { return W; }
    int32_t Height() const { return H; }

private:
    std::unique_ptr<TDeviceContext> Dc;
    int32_t W = 0;
    int32_t H = 0;
};

class TView {
public:
    // A view of the window; scale 0, previous scale -1, millimetres per
    // pixel from the window (1.0 without one), client rectangle the window's.
    explicit TView(TWindowSurface* wnd = nullptr);
    // Leaves its model's registry.
    ~TView();
    TView(const TView&) = delete;
    TView& operator=(const TView&) = delete;

    // Map and history are shared with the views that took this view's
    // state, so a stale copy never points at freed memory.
    std::shared_ptr<THistory> History;
    double Scale = 0;                 // world units per pixel
    std::shared_ptr<TMap> Map;        // the map of the current level of detail
    TRect WorldRect{};                // Top above Bottom
    TRect ClientRect{};
    TWindowSurface* Wnd = nullptr;
    TNotifyWindow NotifyWnd;          // unset: message 2026 goes nowhere
    std::array<double, 3> KeptValues{};
    double PrevScale = -1.0;
    double MaxScale = 0;              // 0: no limit
    int32_t ViewMode = ModeNormal;
    uint32_t Flags = 0;
    double MmPerPixel = 1.0;
    TDeviceContext* DrawDC = nullptr; // valid during a drawing; with ViewFlagOwnDC the caller sets it
    TModel* Model = nullptr;          // set by TModel::AttachView
    TDrawContext Context{};
    intptr_t DrawThread = 0;          // never set: drawing runs on the UI thread
    TDeviceContext* WindowDC = nullptr;
    TViewBitmap Bitmap;               // sized by the double-buffered drawing
    bool NeedsRedraw = true;          // Bitmap's picture is stale (set by change codes)
};

// Where a sheet file stands (from its permission bits): missing files count
// as read-only.
struct TSheetFileState {
    bool Exists = false;
    bool ReadOnly = true;
};

class TModel : public TAbstractItem, public TDrawNotify {
public:
    TModel();
    // Saves on close (SaveIfModified without forcing), frees the named
    // objects, the library and the document; views stay, detached.
    ~TModel() override;

    // ---------------------------------------------------------------- views
    int32_t AttachView(TView& view);
    void DetachView(TView& view);
    // The registered view with view's window and client rectangle.
    TView* FindView(const TView& view) const;
    // Copies map, history, rectangles, scale, notify window, kept values and
    // mouse mode from the registered view; -5 when none matches.
    int32_t GetViewState(TView& view);
    // The registered view takes view's mouse mode; view's rectangle is
    // recomputed and held in the extent, then code 20. -5 without a
    // project or a registered view.
    int32_t SetViewState(TView& view);

    // ---------------------------------------------------------------- hooks
    // Sets the model's flags by code, then calls OnNotify; what the hook
    // throws stays here (LastHookError keeps its message). Answers 0.
    int32_t Notify(int32_t code, intptr_t a = 0, intptr_t b = 0, intptr_t c = 0);

    THook<TView&, TMouseButton, uint32_t, int32_t, int32_t> OnMouseDown;
    THook<TView&, TMouseButton, uint32_t, int32_t, int32_t> OnMouseUp;
    THook<TView&, uint32_t, int32_t, int32_t> OnMouseMove;
    THook<const TNotifyArgs&> OnNotify;
    THook<TDrawContext&> OnAfterPaint;
    THook<TFlatFile&> OnLoadFlatFile;  // after a ".mts" project was read
    THook<TFlatFile&> OnSaveFlatFile;  // after a ".mts" project was written, before it is committed

    int32_t LeftMouseDown(TView& view, uint32_t shift, int32_t x, int32_t y);
    int32_t RightMouseDown(TView& view, uint32_t shift, int32_t x, int32_t y);
    int32_t LeftMouseUp(TView& view, uint32_t shift, int32_t x, int32_t y);
    int32_t RightMouseUp(TView& view, uint32_t shift, int32_t x, int32_t y);
    int32_t MouseMove(TView& view, uint32_t shift, int32_t x, int32_t y);

    // TDrawNotify: the layer drawing's codes 21 and 22 go straight to the hook.
    bool HasNotifyHook() const override { return OnNotify.Assigned(); }
    void CallNotifyHook(int32_t code, intptr_t a, intptr_t b, intptr_t c) override;

    TModelUI& UI() { return *UIServices; }
    // The model keeps the services; null puts the silent default back.
    void SetUI(std::shared_ptr<TModelUI> ui);

    // ---------------------------------------------------------------- files
    // Reads ".prj", ".mts" or ".map" by the extension (any case); another
    // extension reads nothing and answers false. A failed read raises
    // EModel "Ошибка входного файла " + fileName and leaves the model as it
    // was. On success the file name is kept, the project's library loaded
    // and every view's map rebuilt.
    bool OpenFile(const std::string& fileName);
    // Writes by the extension; ".map" only for a project opened from a
    // ".map". withSheets 1 also writes the loaded sheets that are not
    // read-only. Every file is complete in memory before any is replaced
    // (temporary file and rename; a sheet's backup copy first); a value
    // that does not fit refuses the whole save with no file touched. So
    // does a file that changed on disk since the model read it
    // (EFileChanged naming it), and a read-only model (EModel with
    // ReadOnlyReason); what changed in memory stays there.
    void SaveFile(const std::string& fileName, int32_t withSheets);
    // Loads the library named (its name part with StripPaths) from the
    // project's folder; only when the model has a file name.
    void LoadProjectDll(const std::string& dllName);
    // Adds a map file as a sheet of a level; -1 no level, -2 scale differs,
    // -(n + 10) layer tree mismatch at n, else the count of missing layers
    // less one (0 at least).
    int32_t AddSheet(int32_t levelIndex, const std::string& fileName);
    // One sheet file (".map" or ".mts") read with the model's context
    // (origins set by the caller); with withLayers its objects too. Null
    // for another extension.
    std::unique_ptr<TMap> LoadSheetFile(const std::string& fileName, TSheetFileState& state, bool withLayers);
    // Writes one sheet now (backup copy first).
    void SaveSheetFile(const std::string& fileName, const TMap& map);

    // The folder of the project file ("" before one), and a stored name
    // resolved there (with the folder listings of a load when given).
    std::string ProjectDir() const;
    std::string ResolveInProject(const std::string& name, TFolderNames* names = nullptr) const;

    // ---------------------------------------------------------------- drawing
    // Draws the view: directly into its window, or (DoubleBuffer) into its
    // off-screen picture, only when that is stale, then copies the picture
    // to the window. Both clear to the window's background colour first.
    // The tools then draw on the window through OnAfterPaint. With
    // ViewFlagOwnDC the map goes straight into view.DrawDC, set by the
    // caller, with no clearing and no after-paint. -5 without a window (or
    // DrawDC) or with an empty client rectangle: nothing is drawn.
    int32_t PaintView(TView& view);
    // Asks the view's window for a repaint, erasing it only when drawing
    // directly (a double-buffered repaint covers it whole).
    void InvalidateView(TView& view);
    void RedrawView(TView& view);
    // Drawing always runs on the user-interface thread: this only clears
    // the view's thread handle.
    void JoinDrawThread(TView& view);

    // ---------------------------------------------------------------- navigation
    // Each pushes the position left onto the view's history (ZoomAtPoint
    // only with a new denominator), checks the level of detail, holds the
    // rectangle inside the project extent and, when the rectangle or the
    // scale moved, sends message 2026 to the notify window and invalidates
    // the view (not with ViewFlagQuiet). They answer 0, -5 without a
    // project, and -4 for a denominator that is not above 0 or a scale or
    // point that would put the view's corners outside 32 bits; a refused
    // call changes nothing. The fits (ZoomAll, SetViewRect) answer -5 for a
    // view with an empty client rectangle.
    //
    // The whole project, fitted (at least 12 world units per pixel); the
    // maximum scale becomes 1.5 times the fitted one.
    int32_t ZoomAll(TView& view);
    // The rectangle fitted into the window, grown to its proportions from
    // the rectangle's left and top.
    int32_t SetViewRect(TView& view, const TRect& rect);
    // 1:denominator keeping the centre, no larger than the maximum scale.
    int32_t SetScaleDenominator(TView& view, double denominator);
    // Centres the view at p; a denominator above 0 sets the scale too.
    int32_t ZoomAtPoint(TView& view, const TPoint& p, double denominator);

    // Navigation that passes through one position on its way to another
    // (a fit, then a scale) switches the view's level once, for the last
    // position, when the hold ends: the positions between are never drawn.
    class TLevelHold {
    public:
        TLevelHold(TModel& model, TView& view);
        ~TLevelHold();
        TLevelHold(const TLevelHold&) = delete;
        TLevelHold& operator=(const TLevelHold&) = delete;

    private:
        TModel& Model;
        TView& View;
        TView* Outer;
        double From;
    };

    // Client pixels to world coordinates and back, through the view's
    // scale and rectangles (in 64 bits, saturated to 32).
    void ScreenToWorld(const TView& view, int32_t x, int32_t y, int32_t& wx, int32_t& wy) const;
    void ViewWorldToScreen(const TView& view, int32_t wx, int32_t wy, int32_t& x, int32_t& y) const;
    // The project origin added to p, or taken away (the shared world of two
    // models); p unchanged without a project.
    TPoint ProjectToWorld(const TPoint& p) const;
    TPoint WorldToProject(const TPoint& p) const;

    // ---------------------------------------------------------------- levels
    // After a change of scale: switches the view's map when a level holds
    // exactly one of the previous and the present scale's denominators.
    void LevelCheck(TView& view);
    // Whether a level holds exactly one of the two scales' denominators.
    bool LevelsDiffer(const TView& view, double scale0, double scale1) const;
    // Rebuilds a view's map for its scale: the working map's tree with the
    // objects of every sheet of the levels whose range holds the scale's
    // denominator. Then highlight marks, largest codes and code 12.
    void LevelSwitch(TView& view);
    // Waits for the map the last switch let go of to be freed; the heap's
    // free pages are handed back later, once no switch has come for a while.
    void JoinMapFreer();
    // For every view: level switch, objects in view marked, invalidation.
    void RefreshViews();
    // Marks the objects of the view's map that lie in view.
    void MarkViewObjects(TView& view);
    // The view's draw context filled from the view and the model.
    void FillDrawContext(TView& view, TDeviceContext* dc);
    // The hit tolerance in world units for the view's scale.
    void SetHitToleranceFor(const TView& view) const;
    // right := left + width x scale, bottom := top - height x scale.
    void RecomputeRect(TView& view) const;
    // Holds the view's rectangle inside the project extent; code 19.
    void ClampToExtent(TView& view);
    // The project's extent in world coordinates (relative to its origin).
    TRect ProjectRect() const;

    // ---------------------------------------------------------------- objects
    int32_t GetObjectData(TView* view, uint16_t op, const TObjectKey& key, std::vector<uint8_t>& buffer);
    int32_t SetObjectData(TView* view, uint16_t op, const TObjectKey& key, const void* buffer, int32_t& size);
    int32_t CreateObject(TView* view, uint16_t op, TObjectKey& key, const void* buffer, int32_t size);

    // ---------------------------------------------------------------- layers and queries
    // Merge mode bits.
    static constexpr uint8_t MergeSkipNamed = 2;
    static constexpr uint8_t MergeToLevels = 4;
    static constexpr uint8_t MergeInfoLayers = 8;
    static constexpr uint8_t MergeLayerIds = 16;
    static constexpr uint8_t MergeFreeLevelMaps = 64;
    bool MergeLayers(const TMap& source, std::unique_ptr<TMap>& dest, uint8_t mode);
    std::unique_ptr<TMap> CopyMapWithObjects(const TMap& source);

    bool ObjectsAtPoint(TView* view, uint32_t mask, TKeyList& list, const TPoint& p);
    bool ObjectsInRect(TView* view, uint32_t mask, TKeyList& list, const TRect& rect);
    int32_t GetLayerInfo(const TLayerSelector& selector, TLayerRec& rec);
    int32_t SetLayerInfo(const TLayerSelector& selector, const TLayerRec& rec);
    // form 1 for information layers, 0 for groups and the map.
    int32_t SetLayerRecord(const TLayerSelector& selector, uint8_t form, const TLayerRec& rec);
    void GetLayerList(int32_t mode, std::vector<TLayerSelector>& list);
    void HighlightObjects(TView* view, uint16_t mode, TKeyList& list);
    void SetObjectFlags(TView& view, int32_t mode, const TKeyList& entries);
    void DrawObjects(TView& view, const TKeyList& keys);
    void RefreshLayers();
    int32_t CompoundObjects(uint16_t op, const TObjectKey& key, std::vector<uint8_t>& buffer, int32_t mode);
    // The compound whose members include the object, or null.
    TComplObject* CompoundOf(const TObjectKey& key) const;

    // ---------------------------------------------------------------- small services
    template <class T>
    void AddObject(const std::string& name, std::unique_ptr<T> object)
    {
        NamedObjects.push_back({name, std::shared_ptr<void>(std::move(object)), std::type_index(typeid(T))});
    }
    template <class T>
    T* FindNamedObject(const std::string& name) const
    {
        for (const TNamed& n : NamedObjects)
            if (n.Name == name && n.Type == std::type_index(typeid(T))) return static_cast<T*>(n.Object.get());
        return nullptr;
    }
    std::size_t NamedObjectCount() const { return NamedObjects.size(); }

    // The layer of block layerID + 100 of a block file, or null.
    std::unique_ptr<TCustomLayer> LoadLayerBlock(const std::string& fileName, int32_t layerID);
    // -5 unless forced, structure changed and a file name; then code 17,
    // and only an answer of 1 saves (with sheets).
    int32_t SaveIfModified(bool force);
    // Widens the project extent to hold rect, then refreshes the views.
    void SetExtent(const TRect& rect);
    void UpdateLayerCodes(const TMap& viewMap);
    // mode bit 1: raster layers of source back into target's picture list;
    // bit 2: source's picture list into target's raster layer.
    void BuildRasterLayers(int32_t mode, TMap& source, TMap& target, TFolderNames* names = nullptr);

    // ---------------------------------------------------------------- state
    uint16_t ModelNo = 1;
    std::unique_ptr<TMap> WorkMap;
    TKeyList Highlight;                        // LayerID, SheetID and Code count
    std::unique_ptr<TCollection> CollectionA;  // block 10002; carried
    std::vector<TView*> Views;                 // not owned
    std::unique_ptr<TCollection> Compounds;    // of TComplObject; block 10003
    std::unique_ptr<TCollection> CollectionB;  // block 10004; carried
    int32_t StoredValue = 0;                   // carried
    int32_t CurrentLevel = 0;
    uint8_t Modified = 0;
    uint8_t StructureChanged = 0;
    uint8_t OpenedFromMap = 0;
    uint8_t StripPaths = 1;
    uint8_t ThreadedDrawing = 0;
    std::array<uint8_t, 5> DrawOptions{};
    int32_t SelectColour = 0;
    TLogFont LabelFont{};
    uint32_t Spare2 = 0;
    int32_t PixelTolerance = 10;
    uint8_t LibraryLoaded = 0;
    TDynLib Library;
    uint8_t DoubleBuffer = 0;
    uint8_t NeedsRedraw = 1;
    std::string FileName;                      // empty before a file was opened or saved
    std::unique_ptr<TProject> Project;
    std::string LibraryName;                   // at most 100 bytes
    std::unique_ptr<TMapHeaderBlock> Header;
    TFileContext FileContext;                  // this model's reading and writing state
    // Where the identifier file lives; empty: the project's folder.
    std::string ProgramDir;
    // Why this model may not change its files (another running copy of the
    // program owns the folder), for the user; empty when it may.
    std::string ReadOnlyReason;
    std::string LastHookError;                 // the last exception a hook raised
    std::string LastSheetError;                // why the last sheet that could not be loaded was skipped
    // Threads that read a level's sheets: 0 as many as the machine has
    // cores, 1 one by one on the calling thread. The map is the same.
    int32_t LoadThreads = 0;
    // What a level switch could not load (each sheet or picture named with
    // the reason); sent to UI().ShowError once per open project and cleared.
    std::vector<std::string> LoadErrors;

    // The document a read builds before it replaces the model's (internal).
    struct TDocument;

private:
    struct TNamed {
        std::string Name;
        std::shared_ptr<void> Object;
        std::type_index Type;
    };
    struct TSaveBatch;
    struct TReadFiles;
    struct TSheetLoad;
    struct TKeptSheet;
    struct TMapSheets;
    struct TReadRuns;
    struct TSwitchInto;
    class TMapFreer;
    class TSheetKeeper;

    // The object of a key in the view's map (see Finding in ModelsAccess).
    TCustomLayer* FindKeyLayer(TView& view, const TObjectKey& key) const;
    bool SheetLoaded(int32_t sheetID) const;

    void ReadPrj(const std::string& fileName, TDocument& doc);
    void ReadBlockFile(const std::string& fileName, TDocument& doc);
    void OpenBareMap(const std::string& fileName, TDocument& doc);
    void Commit(TDocument& doc, bool partial);
    int32_t AddSheetTo(TDocument& doc, int32_t levelIndex, const std::string& fileName);
    std::unique_ptr<TMap> ReadSheet(const std::string& path, TFileContext& context, TSheetFileState& state,
                                    bool withLayers);
    std::unique_ptr<TMap> ReadSheetFile(const std::string& path, TFileContext& context, bool withLayers);
    void WritePrj(const std::string& fileName, int32_t withSheets, TSaveBatch& batch);
    void WriteBlockFile(const std::string& fileName, int32_t withSheets, TSaveBatch& batch);
    void WriteMapProject(const std::string& fileName, TSaveBatch& batch);
    void WriteSheets(TSaveBatch& batch, bool forMapProject, const std::string& projectFile);
    void SaveSheetTo(TSaveBatch& batch, const std::string& path, TMap& map);
    // The view whose map holds the sheets flagged loaded: the one switched last.
    TView* SheetSourceView() const;
    // The sheets of a level that lie in loadRect, flagged loaded and planned.
    void LoadLevelSheets(TLevel& level, TRect& loadRect, std::vector<TSheetLoad>& loads, TFolderNames& names);
    void ReadSheets(std::vector<TSheetLoad>& loads);
    // Scales a read sheet's sizes, opens its pictures and moves its objects
    // into the map; notes the sheet when a later switch may keep it.
    void MergeSheet(TSheetLoad& load, TSwitchInto& into, TFolderNames& names);
    // What the merge of a read sheet leaves in the model and the sheet's
    // record, for a sheet whose objects were kept instead.
    void MergeKept(TSheetLoad& load, const TKeptSheet& kept, TSwitchInto& into);
    // With sheets, also records the layers' runs for the next switch.
    void UpdateLayerCodes(const TMap& viewMap, const TSheetKeeper* keeper, TMapSheets* sheets,
                          const TReadRuns* readRuns);
    // The layer each name of the new map's tree leads to.
    void IndexLayers(TSwitchInto& into);
    // Each layer of the new map sized once for all the switch brings; the
    // layers that stay whole are handed over first.
    void SizeLayers(const std::vector<TSheetLoad>& loads, TSwitchInto& into, TSheetKeeper& keeper,
                    const TSheetKeeper* spare);
    // The record of the sheets in a view's map, taken out of MapSheets (null: none).
    std::unique_ptr<TMapSheets> TakeMapSheets(const TMap* map);
    // A change of an object of that sheet in the view's map, not yet saved.
    void NoteUnsaved(const TView* view, int32_t sheetID);
    // After a save with the sheets: nothing unsaved, and the files as written.
    void NoteSaved();
    void ReportLoadErrors();
    // Frees the map a switch let go of: aside, when nothing in it is held
    // elsewhere, nothing in it opens files or pictures and it holds many
    // objects (SpentAsideFrom), else here.
    void FreeSpentMap(std::shared_ptr<TMap> map);
    // The objects of a spent map that nothing else holds, owns or opens
    // files for; -1 when anything is.
    static int64_t AloneObjects(const TMap& map);
    std::string UniqueIdDir() const;
    // The navigation steps on a view whose new state is known to fit.
    void FitScale(TView& view);
    void Recentre(TView& view, const TPoint& p);
    void ApplyScaleDenominator(TView& view, double scale);
    void CloseNavigation(TView& view, const TRect& r0, double s0);
    void DrawInto(TView& view, TDeviceContext& dc, bool clear);
    void AfterPaint(TView& view);

    std::vector<TNamed> NamedObjects;
    std::set<std::string> ReportedLoadErrors;  // of the open project
    // The sheets whose objects each view's map holds, as they were read:
    // the next switch keeps those its levels list again. Emptied when a
    // project is opened.
    std::vector<std::unique_ptr<TMapSheets>> MapSheets;
    TView* LastSwitchedView = nullptr;
    std::vector<std::unique_ptr<TMapFreer>> MapFreers;  // the last one's trim may still wait
    // What the last switch of SpareView let go of, when small: the band a
    // step left, for the step back to take instead of reading it again.
    // Let go of at any change of objects, flags or the highlight.
    std::shared_ptr<TMap> SpareMap;
    std::unique_ptr<TMapSheets> SpareSheets;
    const TView* SpareView = nullptr;
    void DropSpare();
    TView* HeldView = nullptr;  // of the innermost TLevelHold
    bool HeldChecked = false;
    std::shared_ptr<TModelUI> UIServices;
    // The files as the model read them or last wrote them.
    std::unique_ptr<TReadFiles> ReadFiles;
};

// Sheet flag bits.
constexpr uint16_t SheetFlagLoaded = 0x01;
constexpr uint16_t SheetFlagReadOnly = 0x04;

// The lower-cased extension with its dot ("" without one).
std::string LowerExtension(const std::string& fileName);

} // namespace tarn
