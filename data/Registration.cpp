#include "Registration.h"
#include "Layers.h"
#include "MapObj.h"
#include "MapObjBmp.h"
#include "Project.h"
#include "ProjectLinks.h"
#include "_Common.h"
#include "cObjects.h"

#include <mutex>

namespace tarn {

namespace {

// A map object: read and written only in the map sheet (".map") form.
template <class T>
void RegisterMapCode(uint16_t code)
{
    RegisterTypeCode(code, typeid(T), FilerFns<T>(), TFilerFormFns{});
}

// A class read and written only in the project (".prj") form.
template <class T>
void RegisterProjectCode(uint16_t code)
{
    RegisterTypeCode(code, typeid(T), TFilerFormFns{}, FilerFns<T>());
}

} // namespace

void RegisterMapEngineClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Stream class ids are written into ".mts" files and must never change.
        RegisterItemClass<TPolyLine>(100);
        RegisterItemClass<TPolyLineEx>(101);
        RegisterItemClass<TPolygon>(102);
        RegisterItemClass<TPolygonEx>(103);
        RegisterItemClass<TText>(104);
        RegisterItemClass<TTextEx>(105);
        RegisterItemClass<TSign>(106);
        RegisterItemClass<TSignEx>(107);
        RegisterItemClass<TBmp>(108);
        RegisterItemClass<TExactPoint>(109);
        RegisterItemClass<TMap>(110);
        RegisterItemClass<TLayer>(111);
        RegisterItemClass<TGapLayer>(112);
        RegisterItemClass<TProject>(113);
        RegisterItemClass<TLevel>(114);
        RegisterItemClass<TSheet>(115);
        RegisterItemClass<TInfoLayer>(116);
        RegisterItemClass<TComplObject>(117);
        RegisterItemClass<TComplItem>(118);
        RegisterItemClass<TClientInfo>(119);
        RegisterItemClass<TAlias>(120);
        RegisterItemClass<TFieldTable>(121);
        RegisterItemClass<TFieldProc>(122);
        RegisterItemClass<TProcInfoNoPar>(123);
        RegisterItemClass<TProcInfoGraphObj>(124);
        RegisterItemClass<TProcInfoPar>(125);
        RegisterItemClass<TVoc>(126);
        RegisterItemClass<TFieldEx>(127);
        RegisterItemClass<TDBConnect>(128);
        RegisterItemClass<TLayerID>(129);
        RegisterCollectionClasses(); // 130
        RegisterItemClass<TMapHeaderBlock>(131);

        // Type codes of the map sheet form, in code order.
        RegisterMapCode<TPolyLine>(1001);
        RegisterMapCode<TPolyLineEx>(1004);
        RegisterMapCode<TPolygon>(1005);
        RegisterMapCode<TText>(1007);
        RegisterMapCode<TSign>(1008);
        RegisterTypeCode(1009, typeid(TLayer), Map16FilerFns<TLayer>(), FilerFns<TLayer>());
        RegisterTypeCode(1010, typeid(TGapLayer), Map16FilerFns<TGapLayer>(), FilerFns<TGapLayer>());
        // Pictures are read from both forms but written only to sheets.
        RegisterTypeCode(1011, typeid(TBmp), FilerFns<TBmp>(), TFilerFormFns{FilerFns<TBmp>().Read, nullptr});
        RegisterMapCode<TExactPoint>(1012);
        RegisterMapCode<TSignEx>(1020);
        RegisterMapCode<TPolygonEx>(1022);
        RegisterMapCode<TTextEx>(1023);

        // Type codes of the project form, in code order.
        RegisterProjectCode<TProject>(1200);
        RegisterProjectCode<TLevel>(1201);
        RegisterProjectCode<TSheet>(1202);
        RegisterProjectCode<TInfoLayer>(1203);
        RegisterProjectCode<TComplObject>(1204);
        RegisterProjectCode<TComplItem>(1205);
        RegisterProjectCode<TClientInfo>(1206);
        RegisterProjectCode<TAlias>(1207);
        RegisterProjectCode<TFieldTable>(1208);
        RegisterProjectCode<TFieldProc>(1209);
        RegisterProjectCode<TProcInfoNoPar>(1210);
        RegisterProjectCode<TProcInfoGraphObj>(1211);
        RegisterProjectCode<TProcInfoPar>(1212);
        RegisterProjectCode<TVoc>(1213);
        RegisterProjectCode<TFieldEx>(1214);
        RegisterProjectCode<TLayerID>(1215);
        RegisterProjectCode<TDBConnect>(1216);
    });
}

} // namespace tarn
