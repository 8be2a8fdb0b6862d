// Layers, groups and maps in their three stored forms, against records
// written out by hand field by field.
#include "LayerTestSupport.h"
#include "data/Layers.h"
#include "data/MapObj.h"

#include <cmath>
#include <functional>
#include <limits>

using namespace tarn;
using namespace tarn::test;

namespace {

const TLogFont LabelF = Font(12, 6, 0, 400, 204, "Tahoma");
const TLogFont TextF = Font(-27, 0, 900, 700, 204, "Arial");
// "Отсутствует" in code page 1251.
const std::string NoRef = "\xCE\xF2\xF1\xF3\xF2\xF1\xF2\xE2\xF3\xE5\xF2";

std::unique_ptr<TLayer> RoadLayer()
{
    auto l = std::make_unique<TLayer>();
    l->Name = "Roads";
    l->Flags = 0x401;
    l->Kind = LayerKindLine;
    l->Colour = 0xFF;
    l->Colour2 = 0xFF00;
    l->Style1 = 2;
    l->Style2 = -3;
    l->Style3 = 7;
    l->ScaleLimit = 5000;
    l->LayerId = 42;
    l->LabelFont = LabelF;
    l->LabelColour = 0x123456;
    l->LayerTag = 9;
    l->LayerText = "note";
    l->RefName1 = "A1";
    l->RefName2 = "B2";
    l->RefName3 = "C3";
    return l;
}

// The style part shared by the stream rows of the road layer.
const std::string RoadStyles = I16(0) + I16(100) + I32(0xFF);

const std::string RoadStream102 = EmptyList + Str("Roads") + I32(42) + I32(0x401) + RoadStyles + I32(7) + I32(2) +
                                  I32(-3) + I32(5000) + I32(0xFF00) + Font60(LabelF) + I32(0x123456) + I32(9) +
                                  Fixed("note", 100);
const std::string RoadStream101 = EmptyList + Str("Roads") + I32(42) + I32(0x401) + RoadStyles + I32(7) + I32(2) +
                                  I32(-3) + I32(5000) + I32(0xFF00) + I32(9) + Fixed("note", 100);
const std::string RoadProject102 = EmptyCollection + Str("Roads") + I32(0x401) + RoadStyles + I32(0xFF00) + I32(7) +
                                   I32(2) + I32(-3) + I32(5000) + Fixed("A1", 13) + I32(42) + Fixed("B2", 13) +
                                   Fixed("C3", 13) + Font60(LabelF) + I32(0x123456) + I32(9) + Fixed("note", 100);
const std::string RoadProject101 = EmptyCollection + Str("Roads") + I32(0x401) + RoadStyles + I32(0xFF00) + I32(7) +
                                   I32(2) + I32(-3) + I32(5000) + Fixed("A1", 13) + I32(42) + Fixed("B2", 13) +
                                   Fixed("C3", 13) + I32(9) + Fixed("note", 100);
const std::string RoadSheet = EmptyCollection16 + Str("Roads") + U16(0x401) + RoadStyles + I32(0xFF00) + I16(7) +
                              I16(2) + I16(-3) + I32(5000) + Fixed("A1", 13) + U16(42) + Fixed("B2", 13) +
                              Fixed("C3", 13) + U16(9) + Fixed("note", 100);

std::unique_ptr<TLayer> NameLayer()
{
    auto l = RoadLayer();
    l->Name = "Names";
    l->Kind = LayerKindText;
    l->Colour2 = 0x12345;  // means nothing for a text layer
    l->TextFont = TextF;
    return l;
}

const std::string NameStyles = I16(6) + I16(100) + I32(0xFF);
const std::string NameStream = EmptyList + Str("Names") + I32(42) + I32(0x401) + NameStyles + I32(7) + I32(2) +
                               I32(-3) + I32(5000) + Font60(TextF) + Font60(LabelF) + I32(0x123456) + I32(9) +
                               Fixed("note", 100);
const std::string NameProject = EmptyCollection + Str("Names") + I32(0x401) + NameStyles + I32(0) + I32(7) + I32(2) +
                                I32(-3) + I32(5000) + Font60(TextF) + Fixed("A1", 13) + I32(42) + Fixed("B2", 13) +
                                Fixed("C3", 13) + Font60(LabelF) + I32(0x123456) + I32(9) + Fixed("note", 100);
const std::string NameSheet = EmptyCollection16 + Str("Names") + U16(0x401) + NameStyles + I32(0) + I16(7) + I16(2) +
                              I16(-3) + I32(5000) + Font50(TextF) + Fixed("A1", 13) + U16(42) + Fixed("B2", 13) +
                              Fixed("C3", 13) + U16(9) + Fixed("note", 100);

std::unique_ptr<TInfoLayer> InfoLayer()
{
    auto l = std::make_unique<TInfoLayer>();
    l->Name = "Info";
    l->Flags = 1;
    l->Kind = LayerKindSign;
    l->Style1 = 12;
    l->Style3 = 5;
    l->ScaleLimit = 20000;
    l->LayerId = 300;
    l->InfoValue1 = 11;
    l->InfoValue2 = 22;
    l->InfoText = "card";
    l->LayerTag = 3;
    l->LayerText = "t";
    l->LabelFont = LabelF;
    l->LabelColour = 0x10;
    return l;
}

const std::string InfoHead = Str("Info") + I32(1) + I16(7) + I16(100) + I32(0x808080) + I32(0);
const std::string InfoStream100 = EmptyList + InfoHead + I32(5) + I32(12) + I32(0) + I32(20000) + I32(300) +
                                  I32(11) + I32(22) + Str("card") + I32(3) + Fixed("t", 100);
const std::string InfoStream = InfoStream100 + Font60(LabelF) + I32(0x10);
const std::string InfoProject = EmptyCollection + InfoHead + I32(5) + I32(12) + I32(0) + I32(20000) + U16(300) +
                                I32(11) + I32(22) + Font60(LabelF) + I32(0x10);
const std::string InfoSheet = EmptyCollection16 + Str("Info") + U16(1) + I16(7) + I16(100) + I32(0x808080) + I32(0) +
                              I16(5) + I16(12) + I16(0) + I32(20000) + U16(300) + I32(11) + I32(22);

class LayerForms : public ::testing::Test {
protected:
    void SetUp() override { RegisterTestClasses(); }
};

void ExpectRoadFields(const TCustomLayer& l)
{
    EXPECT_EQ(l.Name, "Roads");
    EXPECT_EQ(l.Kind, LayerKindLine);
    EXPECT_EQ(l.LayerParam, 100);
    EXPECT_EQ(l.Colour, 0xFF);
    EXPECT_EQ(l.Colour2, 0xFF00);
    EXPECT_EQ(l.Style1, 2);
    EXPECT_EQ(l.Style2, -3);
    EXPECT_EQ(l.Style3, 7);
    EXPECT_EQ(l.ScaleLimit, 5000);
    EXPECT_EQ(l.LayerId, 42);
    EXPECT_EQ(l.LayerTag, 9);
    EXPECT_EQ(l.LayerText, "note");
}

} // namespace

TEST_F(LayerForms, PlainLayerInEveryFormAndVersion)
{
    struct Case {
        TForm Form;
        int32_t Version;
        const std::string& Golden;
        bool LabelFont;
    } cases[] = {
        {TForm::Stream, 102, RoadStream102, true},   {TForm::Stream, 101, RoadStream101, false},
        {TForm::Project, 102, RoadProject102, true}, {TForm::Project, 101, RoadProject101, false},
        {TForm::Sheet, 102, RoadSheet, false},
    };
    auto road = RoadLayer();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "form " << int(c.Form) << ", version " << c.Version);
        TFormIo io{c.Version};
        EXPECT_TRUE(SameBytes(io.Write(*road, c.Form), c.Golden));
        auto back = io.Read<TLayer>(c.Golden, c.Form);
        ExpectRoadFields(*back);
        EXPECT_EQ(back->Flags, 0x401u);
        if (c.Form == TForm::Sheet) {
            // Sheets carry no label font: the reader gives the Courier New default.
            TLogFont courier{};
            courier.Height = 16;
            courier.Width = 10;
            courier.Weight = 300;
            courier.Quality = 1;
            courier.PitchAndFamily = 50;
            std::strcpy(courier.FaceName, "Courier New");
            EXPECT_TRUE(SameFont(back->LabelFont, courier));
            EXPECT_EQ(back->LabelColour, 0);
        } else if (c.LabelFont) {
            EXPECT_TRUE(SameFont(back->LabelFont, LabelF));
            EXPECT_EQ(back->LabelColour, 0x123456);
        } else {
            EXPECT_TRUE(SameFont(back->LabelFont, TLogFont{}));
            EXPECT_EQ(back->LabelColour, 0);
        }
        if (c.Form == TForm::Stream) EXPECT_EQ(back->RefName1, NoRef);  // the stream form has none
        else EXPECT_EQ(back->RefName2, "B2");
        EXPECT_TRUE(SameBytes(io.Write(*back, c.Form), c.Golden)) << "written back";
        EXPECT_TRUE(EveryTruncationFails(c.Golden, [&](const std::string& b) { io.Read<TLayer>(b, c.Form); }));
    }
}

TEST_F(LayerForms, DefaultsAndTheFlagClearedByTheProjectReader)
{
    TLayer fresh;
    EXPECT_EQ(fresh.RefName1, NoRef);
    EXPECT_EQ(fresh.RefName3, NoRef);

    // Flags 5 read from a project are 1; the stream and sheet forms keep bit 4.
    TFormIo io;
    EXPECT_EQ(io.Read<TLayer>(PatchI32(RoadProject102, EmptyCollection.size() + 7, 5), TForm::Project)->Flags, 1u);
    EXPECT_EQ(io.Read<TInfoLayer>(PatchI32(InfoProject, EmptyCollection.size() + 6, 5), TForm::Project)->Flags, 1u);
    EXPECT_EQ(io.Read<TLayer>(PatchI32(RoadStream102, EmptyList.size() + 11, 5), TForm::Stream)->Flags, 5u);
    // A sheet's flags word is zero-extended; identifiers and tags too.
    std::string sheet = PatchU16(RoadSheet, EmptyCollection16.size() + 7, 0x8001);
    EXPECT_EQ(io.Read<TLayer>(sheet, TForm::Sheet)->Flags, 0x8001u);
}

TEST_F(LayerForms, TextLayerCarriesItsFontNeverAReference)
{
    auto names = NameLayer();
    TFormIo io;
    // The stream form puts the font where the second colour would be; the
    // filer forms write that colour as 0 and readers ignore it.
    EXPECT_TRUE(SameBytes(io.Write(*names, TForm::Stream), NameStream));
    EXPECT_TRUE(SameBytes(io.Write(*names, TForm::Project), NameProject));
    EXPECT_TRUE(SameBytes(io.Write(*names, TForm::Sheet), NameSheet));
    EXPECT_TRUE(SameBytes(io.Write(*names, TForm::Project), io.Write(*names, TForm::Project))) << "same bytes twice";

    const std::size_t colour2 = EmptyCollection.size() + 2 + 5 + 4 + 2 + 2 + 4;
    auto a = io.Read<TLayer>(PatchI32(NameProject, colour2, 0x7FFF1234), TForm::Project);
    EXPECT_EQ(a->Colour2, 0);
    EXPECT_TRUE(SameFont(a->TextFont, TextF));
    auto b = io.Read<TLayer>(NameStream, TForm::Stream);
    EXPECT_TRUE(SameFont(b->TextFont, TextF));
    EXPECT_EQ(b->Colour2, 0);

    // The sheet's 50-byte font comes back with its integers sign-extended.
    auto c = io.Read<TLayer>(NameSheet, TForm::Sheet);
    EXPECT_EQ(c->TextFont.Height, -27);
    EXPECT_EQ(c->TextFont.Escapement, 900);
    EXPECT_EQ(c->TextFont.Weight, 700);
    EXPECT_TRUE(SameFont(c->TextFont, TextF));
    EXPECT_TRUE(SameBytes(io.Write(*c, TForm::Sheet), NameSheet));
    for (const std::string* g : {&NameStream, &NameProject, &NameSheet}) {
        TForm form = g == &NameStream ? TForm::Stream : g == &NameProject ? TForm::Project : TForm::Sheet;
        EXPECT_TRUE(EveryTruncationFails(*g, [&](const std::string& x) { io.Read<TLayer>(x, form); }));
    }
}

TEST_F(LayerForms, InformationLayerInEveryForm)
{
    auto info = InfoLayer();
    TFormIo io;
    EXPECT_TRUE(SameBytes(io.Write(*info, TForm::Stream), InfoStream));
    EXPECT_TRUE(SameBytes(io.Write(*info, TForm::Project), InfoProject));
    EXPECT_TRUE(SameBytes(io.Write(*info, TForm::Sheet), InfoSheet));

    // Version 101 still carries the label font; version 100 does not.
    for (int32_t version : {102, 101}) {
        auto s = TFormIo{version}.Read<TInfoLayer>(InfoStream, TForm::Stream);
        EXPECT_EQ(s->InfoText, "card");
        EXPECT_EQ(s->InfoValue2, 22);
        EXPECT_TRUE(SameFont(s->LabelFont, LabelF));
    }
    auto old = TFormIo{100}.Read<TInfoLayer>(InfoStream100, TForm::Stream);
    EXPECT_EQ(old->LabelColour, 0);
    EXPECT_EQ(old->LayerId, 300);

    auto p = io.Read<TInfoLayer>(InfoProject, TForm::Project);
    EXPECT_EQ(p->InfoText, "");  // not in the project form
    EXPECT_EQ(p->LayerId, 300);
    EXPECT_EQ(p->InfoValue1, 11);
    EXPECT_TRUE(SameBytes(io.Write(*p, TForm::Project), InfoProject));
    EXPECT_TRUE(EveryTruncationFails(InfoStream, [&](const std::string& b) { io.Read<TInfoLayer>(b, TForm::Stream); }));
    EXPECT_TRUE(EveryTruncationFails(InfoProject, [&](const std::string& b) { io.Read<TInfoLayer>(b, TForm::Project); }));

    // No sheet reads an information layer: a map holding one cannot be a sheet.
    TMap map;
    map.Insert(InfoLayer().release());
    EXPECT_THROW(io.Write(map, TForm::Sheet), EWriteError);
    // Its identifier has two bytes in the project form.
    info->LayerId = 70000;
    EXPECT_THROW(io.Write(*info, TForm::Project), EWriteError);
}

TEST_F(LayerForms, GroupInEveryForm)
{
    TGapLayer g;
    g.Name = "G";
    g.Flags = 1;
    g.GroupTag = 77;
    g.GroupText = "grp";
    const std::string stream = EmptyList + Str("G") + I32(1) + I32(77) + Fixed("grp", 100);
    const std::string project = EmptyCollection + Str("G") + I32(1);
    const std::string sheet = EmptyCollection16 + Str("G") + U16(1);
    TFormIo io;
    for (auto [form, golden] : {std::pair{TForm::Stream, stream}, std::pair{TForm::Project, project},
                                std::pair{TForm::Sheet, sheet}}) {
        EXPECT_TRUE(SameBytes(io.Write(g, form), golden));
        auto back = io.Read<TGapLayer>(golden, form);
        EXPECT_EQ(back->Name, "G");
        EXPECT_EQ(back->Flags, 1u);
        EXPECT_TRUE(EveryTruncationFails(golden, [&](const std::string& b) { io.Read<TGapLayer>(b, form); }));
    }
    EXPECT_EQ(io.Read<TGapLayer>(stream, TForm::Stream)->GroupText, "grp");
    EXPECT_EQ(io.Read<TGapLayer>(PatchU16(sheet, sheet.size() - 2, 0xFFFF), TForm::Sheet)->Flags, 0xFFFFu);
}

TEST_F(LayerForms, FixedNameFieldsAreTerminatedAndLongNamesRefused)
{
    TFormIo io;
    // Thirteen letters and a hundred letters with no terminator: cut before the last byte.
    std::string project = RoadProject102;
    const std::size_t ref1 = EmptyCollection.size() + 7 + 4 + 2 + 2 + 4 + 4 + 12 + 4;
    project.replace(ref1, 13, std::string(13, 'R'));
    project.replace(project.size() - 100, 100, std::string(100, 'T'));
    auto l = io.Read<TLayer>(project, TForm::Project);
    EXPECT_EQ(l->RefName1, std::string(12, 'R'));
    EXPECT_EQ(l->LayerText, std::string(99, 'T'));
    // Bytes after a terminator are not kept.
    project.replace(ref1, 13, std::string("ab\0garbage!!!", 13));
    EXPECT_EQ(io.Read<TLayer>(project, TForm::Project)->RefName1, "ab");

    struct Case {
        const char* What;
        std::function<void(TLayer&)> Spoil;
    } cases[] = {
        {"short name of 13", [](TLayer& x) { x.RefName2 = std::string(13, 'x'); }},
        {"text of 100", [](TLayer& x) { x.LayerText = std::string(100, 'x'); }},
        {"name of 70000", [](TLayer& x) { x.Name = std::string(70000, 'x'); }},
    };
    for (const Case& c : cases) {
        auto road = RoadLayer();
        c.Spoil(*road);
        TMemoryStream m;
        TWriter w(m);
        EXPECT_THROW(road->WriteFiler(w), EWriteError) << c.What;
        EXPECT_EQ(m.Size(), 0) << c.What << ": nothing written";
    }
}

TEST_F(LayerForms, SheetRefusesValuesItCannotHold)
{
    struct Case {
        const char* What;
        std::function<void(TLayer&)> Spoil;
    } cases[] = {
        {"style 1 of 40000", [](TLayer& x) { x.Style1 = 40000; }},
        {"style 2 of -40000", [](TLayer& x) { x.Style2 = -40000; }},
        {"identifier 70000", [](TLayer& x) { x.LayerId = 70000; }},
        {"negative identifier", [](TLayer& x) { x.LayerId = -1; }},
        {"font height 40000",
         [](TLayer& x) {
             x.Kind = LayerKindText;
             x.TextFont.Height = 40000;
         }},
    };
    for (const Case& c : cases) {
        auto road = RoadLayer();
        c.Spoil(*road);
        TMemoryStream m;
        TWriter w(m);
        EXPECT_THROW(road->WriteFiler16(w), EWriteError) << c.What;
        EXPECT_EQ(m.Size(), 0) << c.What;
    }
    // What fits survives, negative styles included.
    auto road = RoadLayer();
    road->Style1 = -2;
    TFormIo io;
    EXPECT_EQ(io.Read<TLayer>(io.Write(*road, TForm::Sheet), TForm::Sheet)->Style1, -2);
}

// ---------------------------------------------------------------- maps

namespace {

std::unique_ptr<TMap> CityMap()
{
    auto m = std::make_unique<TMap>();
    m->Name = "City";
    m->Flags = 0x10002;
    m->MapParams.Ints = {1, 2, 3, 4, 5, 6, 7, 8};
    m->MapParams.Reals = {1.0, 2.5, -0.75, 1000.0};
    m->MapParams.Last = 9;
    m->MapExtra = {1, 2, 3, 4, 5, 6, 7, 8};
    m->ShortName = "CITY";
    auto signs = std::make_unique<TLayer>();
    signs->Name = "Signs";
    signs->Kind = LayerKindSign;
    signs->RefName1 = signs->RefName2 = signs->RefName3 = "";
    auto* sign = new TSign;
    sign->SetFlags(ObjFlagFromFile);
    sign->Code = 5;
    sign->X = 2000;
    sign->Y = -3000;
    sign->SignNumber = 7;
    signs->Insert(sign);
    m->Insert(signs.release());
    auto group = std::make_unique<TGapLayer>();
    group->Name = "G";
    m->Insert(group.release());
    return m;
}

// The sign layer's own record after its objects, in the sheet form.
const std::string SignsSheetFields = Str("Signs") + U16(0) + I16(7) + I16(100) + I32(0x808080) + I32(0) + I16(0) +
                                     I16(1) + I16(0) + I32(0) + Fixed("", 13) + U16(0) + Fixed("", 13) +
                                     Fixed("", 13) + U16(0) + Fixed("", 100);
// One sign in the sheet form: code 1008, flags byte, code, attribute, point (2, 3), sign 7.
const std::string SignSheet = U16(1008) + Bytes({0x80}) + I16(5) + I16(0) + I16(2) + I16(3) + I16(7);
const std::string CitySheetLayers = U16(2) + U16(2) + U16(16) + U16(1009) + U16(1) + U16(1) + U16(16) + SignSheet +
                                    SignsSheetFields + U16(1010) + EmptyCollection16 + Str("G") + U16(0);
const std::string Reals48 = Bytes({0x81, 0, 0, 0, 0, 0}) + Bytes({0x82, 0, 0, 0, 0, 0x20}) +
                            Bytes({0x80, 0, 0, 0, 0, 0xC0}) + Bytes({0x8A, 0, 0, 0, 0, 0x7A});
const std::string Ints = I32(1) + I32(2) + I32(3) + I32(4) + I32(5) + I32(6) + I32(7) + I32(8);
// Map scale 2.5.
const std::string CitySheetTail = Str("City") + U16(2) + Ints + Reals48 + I32(9) + Bytes({1, 2, 3, 4}) +
                                  Fixed("CITY", 13) + Bytes({0x82, 0, 0, 0, 0, 0x20});
const std::string CitySheet = std::string("TARN2.01") + CitySheetLayers + CitySheetTail;

const std::string SignsStreamFields = Str("Signs") + I32(0) + I32(0) + I16(7) + I16(100) + I32(0x808080) +
                                      I32(0) + I32(1) + I32(0) + I32(0) + I32(0) + Font60(TLogFont{}) + I32(0) +
                                      I32(0) + Fixed("", 100);
// One sign in the stream form: class id 106, flags, code, attribute, anchor, sign number.
const std::string SignStream = U16(106) + I32(0x80) + I32(5) + I32(0) + I32(2000) + I32(-3000) + I32(7);
const std::string CityStreamFields = Str("City") + I32(0x10002) + Ints + F64(1.0) + F64(2.5) + F64(-0.75) +
                                     F64(1000.0) + I32(9) + Bytes({1, 2, 3, 4, 5, 6, 7, 8}) + Fixed("CITY", 13) +
                                     F64(2.5);
const std::string CityStream = I32(2) + I32(8) + U16(111) + I32(1) + I32(8) + SignStream + SignsStreamFields +
                               U16(112) + EmptyList + Str("G") + I32(0) + I32(0) + Fixed("", 100) + CityStreamFields;

class MapForms : public ::testing::Test {
protected:
    void SetUp() override { RegisterTestClasses(); }
};

} // namespace

TEST_F(MapForms, SheetFormWithSixByteReals)
{
    TFormIo io;
    auto city = CityMap();
    EXPECT_TRUE(SameBytes(io.Write(*city, TForm::Sheet, 2.5), CitySheet));

    TFileContext context;
    auto back = io.Read<TMap>(CitySheet, TForm::Sheet, &context);
    EXPECT_EQ(context.MapScale, 2.5);
    EXPECT_EQ(back->Name, "City");
    EXPECT_EQ(back->Flags, 2) << "bits above the low 16 are lost";
    EXPECT_EQ(back->MapParams.Reals, (std::array<double, 4>{1.0, 2.5, -0.75, 1000.0}));
    EXPECT_EQ(back->MapParams.Ints[7], 8);
    EXPECT_EQ(back->MapParams.Last, 9);
    EXPECT_EQ(back->MapExtra, (std::array<uint8_t, 8>{1, 2, 3, 4, 0, 0, 0, 0}));
    EXPECT_EQ(back->ShortName, "CITY");
    EXPECT_EQ(back->Extras, nullptr);
    ASSERT_EQ(back->Count, 2);
    auto* signs = dynamic_cast<TLayer*>(back->GetItem(0));
    ASSERT_NE(signs, nullptr);
    ASSERT_EQ(signs->Count, 1);
    EXPECT_EQ(signs->Object(0)->X, 2000);
    EXPECT_EQ(signs->Object(0)->Y, -3000);
    EXPECT_NE(dynamic_cast<TGapLayer*>(back->GetItem(1)), nullptr);
    EXPECT_TRUE(SameBytes(io.Write(*back, TForm::Sheet, 2.5), CitySheet));
    EXPECT_TRUE(EveryTruncationFails(CitySheet, [&](const std::string& b) { io.Read<TMap>(b, TForm::Sheet); }));
}

TEST_F(MapForms, OldSheetMagicBringsSixMoreFields)
{
    const std::string extras = Str("pictures") + Str("tarn.dll") + EmptyCollection16 + Str("third") +
                               Bytes({9, 8, 7, 6, 5, 4, 3, 2}) + U16(0xBEEF);
    const std::string old = std::string("TS 4.01 ") + CitySheetLayers + CitySheetTail + extras;
    TFormIo io;
    auto m = io.Read<TMap>(old, TForm::Sheet);
    EXPECT_EQ(m->ExtraText1, "pictures");
    EXPECT_EQ(m->ExtraText2, "tarn.dll");
    ASSERT_NE(m->Extras, nullptr);
    EXPECT_EQ(m->Extras->Count, 0);
    EXPECT_EQ(m->ExtraText3, "third");
    EXPECT_EQ(m->ExtraData, (std::array<uint8_t, 8>{9, 8, 7, 6, 5, 4, 3, 2}));
    EXPECT_EQ(m->ExtraWord, 0xBEEF);
    // Written back it is a new sheet: the new magic and no old fields.
    EXPECT_TRUE(SameBytes(io.Write(*m, TForm::Sheet, 2.5), CitySheet));
    EXPECT_TRUE(EveryTruncationFails(old, [&](const std::string& b) { io.Read<TMap>(b, TForm::Sheet); }));
}

TEST_F(MapForms, StreamAndProjectForms)
{
    TFormIo io;
    auto city = CityMap();
    EXPECT_TRUE(SameBytes(io.Write(*city, TForm::Stream, 2.5), CityStream));
    TFileContext context;
    auto back = io.Read<TMap>(CityStream, TForm::Stream, &context);
    EXPECT_EQ(context.MapScale, 2.5);
    EXPECT_EQ(back->Flags, 0x10002);
    EXPECT_EQ(back->MapExtra, city->MapExtra);
    EXPECT_TRUE(SameBytes(io.Write(*back, TForm::Stream, 2.5), CityStream));
    EXPECT_TRUE(EveryTruncationFails(CityStream, [&](const std::string& b) { io.Read<TMap>(b, TForm::Stream); }));

    // A project's map: layers without objects (objects have no project code).
    EXPECT_THROW(io.Write(*city, TForm::Project, 2.5), EWriteError);
    static_cast<TLayer*>(city->GetItem(0))->FreeAll();
    const std::string signsProject = EmptyCollection + Str("Signs") + I32(0) + I16(7) + I16(100) + I32(0x808080) +
                                     I32(0) + I32(0) + I32(1) + I32(0) + I32(0) + Fixed("", 13) + I32(0) +
                                     Fixed("", 13) + Fixed("", 13) + Font60(TLogFont{}) + I32(0) + I32(0) +
                                     Fixed("", 100);
    const std::string project = std::string("TARN2.01") + Bytes({2, 2, 2, 2, 2, 0x10}) + U16(1009) + signsProject +
                                U16(1010) + EmptyCollection + Str("G") + I32(0) + CityStreamFields;
    EXPECT_TRUE(SameBytes(io.Write(*city, TForm::Project, 2.5), project));
    auto p = io.Read<TMap>(project, TForm::Project);
    EXPECT_TRUE(SameBytes(io.Write(*p, TForm::Project, 2.5), project));
    EXPECT_TRUE(EveryTruncationFails(project, [&](const std::string& b) { io.Read<TMap>(b, TForm::Project); }));
}

TEST_F(MapForms, ForeignMagicIsRefusedInBothFilerForms)
{
    TFormIo io;
    for (const char* magic : {"TARN2.02", "TS 4.01\0", "tarn2.01", "\0\0\0\0\0\0\0\0"}) {
        std::string sheet = std::string(magic, 8) + CitySheet.substr(8);
        try {
            io.Read<TMap>(sheet, TForm::Sheet);
            ADD_FAILURE() << "read a sheet with a foreign magic";
        } catch (const EFormatError& e) {
            EXPECT_NE(std::string(e.what()).find("Структура файла неправильна..."), std::string::npos) << e.what();
        }
        EXPECT_THROW(io.Read<TMap>(std::string(magic, 8) + EmptyCollection, TForm::Project), EFormatError);
    }
    // The old magic belongs to sheets only.
    EXPECT_THROW(io.Read<TMap>(std::string("TS 4.01 ") + EmptyCollection, TForm::Project), EFormatError);
}

TEST_F(MapForms, AbsurdCountsAndForeignItemsEndInFormatErrors)
{
    TFormIo io;
    std::string sheet = PatchU16(CitySheet, 8, 0xFFFF);
    EXPECT_THROW(io.Read<TMap>(sheet, TForm::Sheet), EFormatError);
    EXPECT_THROW(io.Read<TMap>(std::string("TARN2.01") + Bytes({4, 0x80, 0x96, 0x98, 0, 2, 0, 2, 0x10}),
                               TForm::Project),
                 EFormatError);
    EXPECT_THROW(io.Read<TMap>(PatchI32(CityStream, 0, 0x7FFFFFFF), TForm::Stream), EFormatError);

    // A sign straight in a map, a layer inside a layer, a sheet record in a layer.
    const std::string signInMap = std::string("TARN2.01") + U16(1) + U16(1) + U16(16) + SignSheet + CitySheetTail;
    const std::string layerInLayer = std::string("TARN2.01") + U16(1) + U16(1) + U16(16) + U16(1009) + U16(1) +
                                     U16(1) + U16(16) + U16(1009) + RoadSheet + SignsSheetFields + CitySheetTail;
    const std::string signInStreamMap = I32(1) + I32(8) + SignStream + CityStreamFields;
    for (const auto& [bytes, form] : {std::pair{signInMap, TForm::Sheet}, std::pair{layerInLayer, TForm::Sheet},
                                      std::pair{signInStreamMap, TForm::Stream}}) {
        try {
            io.Read<TMap>(bytes, form);
            ADD_FAILURE() << "read a foreign item into the tree";
        } catch (const EFormatError& e) {
            EXPECT_NE(std::string(e.what()).find("cannot be an item"), std::string::npos) << e.what();
        }
    }
    // The same rule for code that builds trees.
    TMap map;
    auto sign = std::make_unique<TSign>();
    EXPECT_THROW(map.Insert(sign.get()), EObjList);
    TLayer layer;
    auto inner = std::make_unique<TLayer>();
    EXPECT_THROW(layer.Insert(inner.get()), EObjList);
    TGapLayer group;
    EXPECT_THROW(group.Insert(sign.get()), EObjList);
    EXPECT_EQ(map.Count + layer.Count + group.Count, 0);
}

TEST_F(MapForms, DeeplyNestedGroupsAreRefused)
{
    std::string sheetGroup = EmptyCollection16 + Str("") + U16(0);
    std::string streamGroup = EmptyList + Str("") + I32(0) + I32(0) + Fixed("", 100);
    for (int i = 0; i < 300; ++i) {
        sheetGroup = U16(1) + U16(1) + U16(16) + U16(1010) + sheetGroup + Str("") + U16(0);
        streamGroup = I32(1) + I32(8) + U16(112) + streamGroup + Str("") + I32(0) + I32(0) + Fixed("", 100);
    }
    TFormIo io;
    EXPECT_THROW(io.Read<TMap>(std::string("TARN2.01") + U16(1) + U16(1) + U16(16) + U16(1010) + sheetGroup +
                                   CitySheetTail,
                               TForm::Sheet),
                 EFormatError);
    EXPECT_THROW(io.Read<TMap>(I32(1) + I32(8) + U16(112) + streamGroup + CityStreamFields, TForm::Stream),
                 EFormatError);
}

TEST_F(MapForms, ClassIdsAndTypeCodes)
{
    struct Case {
        std::unique_ptr<TAbstractItem> Item;
        int Id;
        uint16_t Sheet;
        uint16_t Project;
    };
    Case cases[4];
    cases[0] = {std::make_unique<TMap>(), 110, 0, 0};
    cases[1] = {std::make_unique<TLayer>(), 111, 1009, 1009};
    cases[2] = {std::make_unique<TGapLayer>(), 112, 1010, 1010};
    cases[3] = {std::make_unique<TInfoLayer>(), 116, 0, 1203};
    for (const Case& c : cases) {
        EXPECT_EQ(GetItemClassId(c.Item.get()), c.Id) << ClassNameOf(*c.Item);
        EXPECT_EQ(TypeCodeOf(typeid(*c.Item), TFilerForm::Map16), c.Sheet) << ClassNameOf(*c.Item);
        EXPECT_EQ(TypeCodeOf(typeid(*c.Item), TFilerForm::Project), c.Project) << ClassNameOf(*c.Item);
    }
}

TEST(Real48, ValuesAndLimits)
{
    struct Case {
        double Value;
        std::string Bytes;
    } cases[] = {
        {0.0, Bytes({0, 0, 0, 0, 0, 0})},
        {1.0, Bytes({0x81, 0, 0, 0, 0, 0})},
        {-1.0, Bytes({0x81, 0, 0, 0, 0, 0x80})},
        {0.5, Bytes({0x80, 0, 0, 0, 0, 0})},
        {2.5, Bytes({0x82, 0, 0, 0, 0, 0x20})},
        {-0.75, Bytes({0x80, 0, 0, 0, 0, 0xC0})},
        {1000.0, Bytes({0x8A, 0, 0, 0, 0, 0x7A})},
        // 1 + 2^-39, the smallest step above 1.
        {1.0 + std::ldexp(1.0, -39), Bytes({0x81, 1, 0, 0, 0, 0})},
    };
    for (const Case& c : cases) {
        uint8_t b[6];
        DoubleToReal48(c.Value, b);
        EXPECT_TRUE(SameBytes(std::string(reinterpret_cast<char*>(b), 6), c.Bytes)) << c.Value;
        EXPECT_EQ(Real48ToDouble(reinterpret_cast<const uint8_t*>(c.Bytes.data())), c.Value);
    }
    uint8_t b[6];
    // Halves of the last mantissa bit round to even; values below the range become 0.
    DoubleToReal48(1.0 + std::ldexp(1.0, -40), b);
    EXPECT_EQ(b[1], 0);
    DoubleToReal48(1.0 + 3 * std::ldexp(1.0, -40), b);
    EXPECT_EQ(b[1], 2);
    DoubleToReal48(std::ldexp(1.0, -140), b);
    EXPECT_EQ(b[0], 0);
    // An exponent byte of 0 is 0 whatever the mantissa.
    const uint8_t zero[6] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(Real48ToDouble(zero), 0.0);
    for (double bad : {std::ldexp(1.0, 127), std::numeric_limits<double>::infinity(), std::nan("")})
        EXPECT_THROW(DoubleToReal48(bad, b), EWriteError) << bad;
    // The largest 6-byte real.
    const uint8_t top[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
    EXPECT_EQ(Real48ToDouble(top), std::ldexp(2.0 - std::ldexp(1.0, -39), 126));
}
