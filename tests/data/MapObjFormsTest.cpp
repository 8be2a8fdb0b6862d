// Both stored forms of every map object, from records laid out by hand
// after the record tables: read, check the fields, write back the same
// bytes; every cut record fails cleanly; values that a field cannot hold
// are refused before anything is written.
#include "TestSupport.h"
#include "data/MapObj.h"

#include <typeinfo>

using namespace tarn;
using namespace tarn::test;

namespace {

// The sheet being read: stream records are offsets from the origin.
TFileContext StreamSheet()
{
    TFileContext c;
    c.OriginX = 1000;
    c.OriginY = -500;
    c.CurrentSheetID = 3;
    return c;
}

// Filer points: x = (x16 * 2 + 10) * 1000, y = ((100 - y16) * 2 + 5) * 1000.
TFileContext FilerSheet()
{
    TFileContext c;
    c.FilerScale = 2;
    c.OriginX = 10;
    c.OriginY = 5;
    c.YBase = 100;
    c.CurrentSheetID = 4;
    return c;
}

// Flags 0x81, code 7, attribute -1, anchor (10, 20) from the origin.
const std::string StreamHead = I32(0x81) + I32(7) + I32(-1) + I32(10) + I32(20);
// Flags byte 0x81 (reads as 0x381), code 7, attribute -1.
const std::string FilerHead = Bytes({0x81, 0x07, 0x00, 0xFF, 0xFF});

// Two points (1, 2), (3, 4) from the origin: world (1001, -498), (1003, -496).
const std::string LineStream = StreamHead + I32(2) + I32(1) + I32(2) + I32(3) + I32(4);
// Anchor = the first point's low 16 bits (16000 = 0x3E80, 25000 = 0x61A8),
// two points (3, 90) and (-1, 101): world (16000, 25000), (8000, 3000).
const std::string LineFiler =
    FilerHead + Bytes({0x80, 0x3E, 0xA8, 0x61}) + Bytes({0x02, 0x00}) + Bytes({0x03, 0x00, 0x5A, 0x00}) +
    Bytes({0xFF, 0xFF, 0x65, 0x00});

// Colour, width 25, style 102, label "A-1", value mode 2 with one value per
// point (-5, 6), extra.
const std::string LineExStreamTail = I32(0x00112233) + I32(25) + I32(102) + Bytes({0x03, 0x00, 'A', '-', '1'}) +
                                     I32(2) + I32(-5) + I32(6) + I32(int32_t(0xDEADBEEF));
const std::string LineExFilerTail = I32(0x00112233) + Bytes({25, 0}) + Bytes({102, 0}) +
                                    Bytes({0x03, 0x00, 'A', '-', '1'}) + Bytes({2, 0}) + I32(-5) + I32(6) +
                                    I32(int32_t(0xDEADBEEF));

// Fill 0x0000FF, outline 0x00FF00, fill style -2, no label, outline pen
// style 1 width 3.
const std::string AreaExStreamTail = I32(0xFF) + I32(0xFF00) + I32(-2) + Bytes({0, 0}) + I32(0x00010003);
const std::string AreaExFilerTail = I32(0xFF) + I32(0xFF00) + Bytes({0xFE, 0xFF}) + Bytes({0, 0}) + I32(0x00010003);

// Angle 900, text "Ab".
const std::string TextStream = StreamHead + I32(900) + Bytes({0x02, 0x00, 'A', 'b'});
// Anchor (3, 90), text "Ab", angle 0xFFFF = -1.
const std::string TextFiler = FilerHead + Bytes({0x03, 0x00, 0x5A, 0x00}) + Bytes({0x02, 0x00, 'A', 'b'}) +
                              Bytes({0xFF, 0xFF});
// Colour 0x80, size -12, extra 77.
const std::string TextExStreamTail = I32(0x80) + I32(-12) + I32(77);
const std::string TextExFilerTail = I32(0x80) + Bytes({0xF4, 0xFF}) + I32(77);

// Sign number 40000 (the stream form has 32 bits).
const std::string SignStream = StreamHead + I32(40000);
// Anchor (3, 90), sign number 42.
const std::string SignFiler = FilerHead + Bytes({0x03, 0x00, 0x5A, 0x00}) + Bytes({0x2A, 0x00});
const std::string ExactTail = I32(-1) + I32(123456);
// Label "L", offset (-30, 40), then Size 15 before DllSignNumber 9, extra 5.
const std::string SignExStreamTail = Bytes({0x01, 0x00, 'L'}) + I32(-30) + I32(40) + I32(15) + I32(9) + I32(5);
const std::string SignExFilerTail =
    Bytes({0x01, 0x00, 'L'}) + Bytes({0xE2, 0xFF, 0x28, 0x00}) + Bytes({0x0F, 0x00}) + Bytes({0x09, 0x00}) + I32(5);

template <class T>
std::unique_ptr<T> FromStream(const std::string& bytes)
{
    TFileContext c = StreamSheet();
    TMemoryStream m(bytes);
    m.SetContext(c);
    auto item = std::make_unique<T>(m, nullptr);
    EXPECT_EQ(m.Remaining(), 0) << "bytes left over";
    return item;
}

template <class T>
std::unique_ptr<T> FromFiler(const std::string& bytes)
{
    TFileContext c = FilerSheet();
    TMemoryStream m(bytes);
    m.SetContext(c);
    TReader r(m);
    auto item = std::make_unique<T>(r);
    EXPECT_EQ(m.Remaining(), 0) << "bytes left over";
    return item;
}

std::string StreamBytes(const TBaseObject& o)
{
    TFileContext c = StreamSheet();
    TMemoryStream m;
    m.SetContext(c);
    o.Store(m);
    return m.Bytes();
}

std::string FilerBytes(const TBaseObject& o, TFileContext c = FilerSheet())
{
    TMemoryStream m;
    m.SetContext(c);
    TWriter w(m);
    o.WriteFiler(w);
    return m.Bytes();
}

// Golden read, fields checked by `check`, written back byte for byte, and
// every cut of the record refused.
template <class T, class Check>
void BothWays(const std::string& stream, const std::string& filer, Check check)
{
    SCOPED_TRACE(ClassNameOf(typeid(T)));
    auto s = FromStream<T>(stream);
    EXPECT_EQ(s->SheetID, 3);
    check(*s, false);
    EXPECT_TRUE(SameBytes(StreamBytes(*s), stream));
    auto f = FromFiler<T>(filer);
    EXPECT_EQ(f->SheetID, 4);
    check(*f, true);
    EXPECT_TRUE(SameBytes(FilerBytes(*f), filer));
    EXPECT_TRUE(EveryTruncationFails(stream, [](const std::string& b) { FromStream<T>(b); }));
    EXPECT_TRUE(EveryTruncationFails(filer, [](const std::string& b) { FromFiler<T>(b); }));
}

void ExpectHead(const TBaseObject& o, bool filer)
{
    EXPECT_EQ(o.Flags(), filer ? 0x381u : 0x81u);
    EXPECT_EQ(o.Code, 7);
    EXPECT_EQ(o.Attribute, -1);
}

void ExpectLine(const TPolyLine& o, bool filer)
{
    ExpectHead(o, filer);
    if (filer) {
        EXPECT_EQ(o.Points, (std::vector<TPoint>{{16000, 25000}, {8000, 3000}}));
        EXPECT_EQ((TPoint{o.X, o.Y}), (TPoint{16000, 25000})) << "the anchor becomes the first point";
    } else {
        EXPECT_EQ(o.Points, (std::vector<TPoint>{{1001, -498}, {1003, -496}}));
        EXPECT_EQ((TPoint{o.X, o.Y}), (TPoint{1010, -480}));
    }
}

void ExpectPointAnchor(const TBaseObject& o, bool filer)
{
    ExpectHead(o, filer);
    EXPECT_EQ((TPoint{o.X, o.Y}), filer ? (TPoint{16000, 25000}) : (TPoint{1010, -480}));
}

class MapObjectForms : public ::testing::Test {
protected:
    void SetUp() override { RegisterTestClasses(); }
};

} // namespace

TEST_F(MapObjectForms, PolylinesAndPolygons)
{
    BothWays<TPolyLine>(LineStream, LineFiler, ExpectLine);
    BothWays<TPolygon>(LineStream, LineFiler, ExpectLine);
}

TEST_F(MapObjectForms, StyledPolylineWithOneValuePerPoint)
{
    BothWays<TPolyLineEx>(LineStream + LineExStreamTail, LineFiler + LineExFilerTail,
                          [](const TPolyLineEx& o, bool filer) {
                              ExpectLine(o, filer);
                              EXPECT_EQ(o.Color, 0x00112233u);
                              EXPECT_EQ(o.Width, 25);
                              EXPECT_EQ(o.PenStyle, 102);
                              EXPECT_EQ(o.Label, "A-1");
                              EXPECT_EQ(o.ValueMode, 2);
                              EXPECT_EQ(o.Values, (std::vector<int32_t>{-5, 6}));
                              EXPECT_EQ(o.Extra, 0xDEADBEEFu);
                          });
}

TEST_F(MapObjectForms, StyledPolylineValueModes)
{
    // Mode 1: one value; mode 0: none; another mode: none either.
    struct Case {
        int32_t Mode;
        std::string Values;
    } cases[] = {{1, I32(-9)}, {0, ""}, {3, ""}};
    for (const Case& c : cases) {
        std::string stream = LineStream + I32(0) + I32(0) + I32(0) + Bytes({0, 0}) + I32(c.Mode) + c.Values + I32(1);
        std::string filer =
            LineFiler + I32(0) + Bytes({0, 0, 0, 0}) + Bytes({0, 0}) + Bytes({uint8_t(c.Mode), 0}) + c.Values + I32(1);
        auto s = FromStream<TPolyLineEx>(stream);
        EXPECT_EQ(s->Value, c.Mode == 1 ? -9 : 0);
        EXPECT_TRUE(s->Values.empty());
        EXPECT_TRUE(SameBytes(StreamBytes(*s), stream));
        EXPECT_TRUE(SameBytes(FilerBytes(*FromFiler<TPolyLineEx>(filer)), filer));
    }
}

TEST_F(MapObjectForms, StyledPolylineValuesStayInStepWithThePoints)
{
    auto o = FromStream<TPolyLineEx>(LineStream + LineExStreamTail);
    o->AddPoint({1, 1}, false);  // three points, two values
    std::string bytes = StreamBytes(*o);
    auto back = FromStream<TPolyLineEx>(bytes);
    EXPECT_EQ(back->Values, (std::vector<int32_t>{-5, 6, 0})) << "the missing value is stored as 0";
    o->Values = {1, 2, 3, 4, 5};
    EXPECT_EQ(FromStream<TPolyLineEx>(StreamBytes(*o))->Values, (std::vector<int32_t>{1, 2, 3}));
}

TEST_F(MapObjectForms, StyledPolygon)
{
    BothWays<TPolygonEx>(LineStream + AreaExStreamTail, LineFiler + AreaExFilerTail,
                         [](const TPolygonEx& o, bool filer) {
                             ExpectLine(o, filer);
                             EXPECT_EQ(o.FillColor, 0xFFu);
                             EXPECT_EQ(o.OutlineColor, 0xFF00u);
                             EXPECT_EQ(o.FillStyle, -2);
                             EXPECT_EQ(o.Label, "");
                             EXPECT_EQ(o.OutlinePen, 0x00010003u);
                         });
}

TEST_F(MapObjectForms, TextsAndStyledTexts)
{
    auto text = [](const TText& o, bool filer) {
        ExpectPointAnchor(o, filer);
        EXPECT_EQ(o.Text, "Ab");
        EXPECT_EQ(o.Angle, filer ? -1 : 900) << "a filer angle of 0xFFFF is a tenth of a degree clockwise";
    };
    BothWays<TText>(TextStream, TextFiler, text);
    BothWays<TTextEx>(TextStream + TextExStreamTail, TextFiler + TextExFilerTail, [&](const TTextEx& o, bool filer) {
        text(o, filer);
        EXPECT_EQ(o.TextColor, 0x80u);
        EXPECT_EQ(o.Size, -12);
        EXPECT_EQ(o.Extra, 77u);
    });
}

TEST_F(MapObjectForms, SignsExactPointsAndStyledSigns)
{
    auto sign = [](const TSign& o, bool filer) {
        ExpectPointAnchor(o, filer);
        EXPECT_EQ(o.SignNumber, filer ? 42 : 40000);
    };
    BothWays<TSign>(SignStream, SignFiler, sign);
    BothWays<TExactPoint>(SignStream + ExactTail, SignFiler + ExactTail, [&](const TExactPoint& o, bool filer) {
        sign(o, filer);
        EXPECT_EQ(o.Extra1, -1);
        EXPECT_EQ(o.Extra2, 123456);
    });
    BothWays<TSignEx>(SignStream + SignExStreamTail, SignFiler + SignExFilerTail, [&](const TSignEx& o, bool filer) {
        sign(o, filer);
        EXPECT_EQ(o.Label, "L");
        EXPECT_EQ(o.LabelOffset, (TPoint{-30, 40})) << "stored unconverted";
        EXPECT_EQ(o.Size, 15) << "stored before the library sign number";
        EXPECT_EQ(o.DllSignNumber, 9);
        EXPECT_EQ(o.Extra, 5u);
    });
}

TEST_F(MapObjectForms, FilerSignNumberHasSixteenBits)
{
    std::string bytes = SignFiler;
    bytes[bytes.size() - 2] = char(0x40);
    bytes[bytes.size() - 1] = char(0x9C);
    EXPECT_EQ(FromFiler<TSign>(bytes)->SignNumber, -25536);
}

TEST_F(MapObjectForms, EmptyFilerPolylineKeepsItsRawAnchor)
{
    const std::string bytes = FilerHead + Bytes({0x34, 0x12, 0xFE, 0xFF}) + Bytes({0, 0});
    auto o = FromFiler<TPolyLine>(bytes);
    EXPECT_EQ(o->Count(), 0);
    EXPECT_EQ((TPoint{o->X, o->Y}), (TPoint{0x1234, -2}));
    EXPECT_TRUE(SameBytes(FilerBytes(*o), bytes));
}

TEST_F(MapObjectForms, WritingRoundsFilerCoordinatesHalvesToEven)
{
    TSign s;
    s.X = 15000;  // (15 - 10) / 2 = 2.5 -> 2
    s.Y = 4000;   // 100 - (4 - 5) / 2 = 100.5 -> 100
    s.SignNumber = -1;
    EXPECT_TRUE(SameBytes(FilerBytes(s), Bytes({0, 0, 0, 0, 0, 2, 0, 100, 0, 0xFF, 0xFF})));
    s.X = 17000;  // 3.5 -> 4
    s.Y = 2000;   // 100 - (2 - 5) / 2 = 101.5 -> 102
    EXPECT_TRUE(SameBytes(FilerBytes(s), Bytes({0, 0, 0, 0, 0, 4, 0, 102, 0, 0xFF, 0xFF})));
}

TEST_F(MapObjectForms, ImpossibleCountsAreRefusedBeforeAllocating)
{
    struct Case {
        const char* Name;
        std::string Bytes;
        bool Filer;
    } cases[] = {
        {"negative stream count", StreamHead + I32(-1), false},
        {"stream count beyond the data", StreamHead + I32(0x7FFFFFFF) + I32(1) + I32(2), false},
        {"negative filer count", FilerHead + Bytes({0, 0, 0, 0}) + Bytes({0x00, 0x80}), true},
        {"filer count beyond the data", FilerHead + Bytes({0, 0, 0, 0}) + Bytes({0x00, 0x70}) + Bytes({1, 0, 1, 0}),
         true},
    };
    for (const Case& c : cases) {
        try {
            if (c.Filer) FromFiler<TPolyLine>(c.Bytes);
            else FromStream<TPolyLine>(c.Bytes);
            ADD_FAILURE() << c.Name << ": read";
        } catch (const EFormatError& e) {
            EXPECT_NE(std::string(e.what()).find("point count"), std::string::npos) << c.Name << ": " << e.what();
        }
    }
    // One value per point, but the record ends first.
    std::string values = LineStream + I32(0) + I32(0) + I32(0) + Bytes({0, 0}) + I32(2) + I32(1);
    EXPECT_THROW(FromStream<TPolyLineEx>(values), EFormatError);
}

TEST_F(MapObjectForms, FilerPointsOutsideTheWorldAreFormatErrors)
{
    TFileContext c = FilerSheet();
    c.FilerScale = 1e6;
    TMemoryStream m(SignFiler);
    m.SetContext(c);
    TReader r(m);
    EXPECT_THROW(TSign s(r), EFormatError);
}

TEST_F(MapObjectForms, ValuesTheFilerCannotHoldAreRefusedBeforeWriting)
{
    auto line = [] {
        auto o = std::make_unique<TPolyLineEx>();
        o->Points = {{16000, 25000}};
        return o;
    };
    auto text = [] {
        auto o = std::make_unique<TTextEx>();
        o->X = 16000;
        o->Y = 25000;
        return o;
    };
    auto sign = [] {
        auto o = std::make_unique<TSignEx>();
        o->X = 16000;
        o->Y = 25000;
        return o;
    };
    struct Case {
        const char* Name;
        std::function<std::unique_ptr<TBaseObject>()> Make;
    } cases[] = {
        {"point beyond 16 bits", [&] { auto o = line(); o->AddPoint({80'000'000, 25000}, false); return o; }},
        {"32768 points", [&] { auto o = line(); o->Points.resize(32768, {16000, 25000}); return o; }},
        {"width", [&] { auto o = line(); o->Width = 65536; return o; }},
        {"pen style", [&] { auto o = line(); o->PenStyle = -1; return o; }},
        {"value mode", [&] { auto o = line(); o->ValueMode = 40000; return o; }},
        {"line label", [&] { auto o = line(); o->Label.assign(65536, 'x'); return o; }},
        {"code", [&] { auto o = line(); o->Code = 32768; return o; }},
        {"text anchor", [&] { auto o = text(); o->Y = -80'000'000; return o; }},
        {"angle", [&] { auto o = text(); o->Angle = 36000 * 10; return o; }},
        {"text size", [&] { auto o = text(); o->Size = -40000; return o; }},
        {"text", [&] { auto o = text(); o->Text.assign(70000, 'x'); return o; }},
        {"sign number", [&] { auto o = sign(); o->SignNumber = 40000; return o; }},
        {"label offset", [&] { auto o = sign(); o->LabelOffset = {0, 32768}; return o; }},
        {"sign size", [&] { auto o = sign(); o->Size = 32768; return o; }},
        {"library sign", [&] { auto o = sign(); o->DllSignNumber = -32769; return o; }},
    };
    for (const Case& c : cases) {
        std::unique_ptr<TBaseObject> o = c.Make();
        TFileContext ctx = FilerSheet();
        TMemoryStream m;
        m.SetContext(ctx);
        TWriter w(m);
        EXPECT_THROW(o->WriteFiler(w), EWriteError) << c.Name;
        EXPECT_EQ(m.Size(), 0) << c.Name << ": nothing written";
    }
    // A zero filer scale cannot place a point.
    TFileContext zero = FilerSheet();
    zero.FilerScale = 0;
    EXPECT_THROW(FilerBytes(*text(), zero), EWriteError);

    // The stream form has 32 bits for everything but its strings.
    auto o = sign();
    o->Label.assign(65536, 'x');
    TMemoryStream m;
    EXPECT_THROW(o->Store(m), EWriteError);
    EXPECT_EQ(m.Size(), 0);
}

TEST_F(MapObjectForms, ClassIdsAndTypeCodes)
{
    struct Case {
        int Id;
        uint16_t Code;
        const std::type_info& Type;
        std::string Stream, Filer;
    } cases[] = {
        {100, 1001, typeid(TPolyLine), LineStream, LineFiler},
        {101, 1004, typeid(TPolyLineEx), LineStream + LineExStreamTail, LineFiler + LineExFilerTail},
        {102, 1005, typeid(TPolygon), LineStream, LineFiler},
        {103, 1022, typeid(TPolygonEx), LineStream + AreaExStreamTail, LineFiler + AreaExFilerTail},
        {104, 1007, typeid(TText), TextStream, TextFiler},
        {105, 1023, typeid(TTextEx), TextStream + TextExStreamTail, TextFiler + TextExFilerTail},
        {106, 1008, typeid(TSign), SignStream, SignFiler},
        {107, 1020, typeid(TSignEx), SignStream + SignExStreamTail, SignFiler + SignExFilerTail},
        {109, 1012, typeid(TExactPoint), SignStream + ExactTail, SignFiler + ExactTail},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Id);
        TFileContext sc = StreamSheet();
        TMemoryStream s(Bytes({c.Id, 0}) + c.Stream);
        s.SetContext(sc);
        std::unique_ptr<TAbstractItem> a(LoadRegisteredItem(s, nullptr));
        EXPECT_EQ(typeid(*a), c.Type);
        EXPECT_EQ(s.Remaining(), 0);
        TMemoryStream stored;
        stored.SetContext(sc);
        StoreItem(stored, a.get());
        EXPECT_TRUE(SameBytes(stored.Bytes(), Bytes({c.Id, 0}) + c.Stream));

        const std::string coded = Bytes({c.Code & 0xFF, c.Code >> 8}) + c.Filer;
        TFileContext fc = FilerSheet();
        TMemoryStream f(coded);
        f.SetContext(fc);
        TReader r(f);
        std::unique_ptr<TAbstractItem> b(ReadMapObject(r));
        EXPECT_EQ(typeid(*b), c.Type);
        EXPECT_EQ(f.Remaining(), 0);
        TMemoryStream written;
        written.SetContext(fc);
        TWriter w(written);
        WriteMapObject(w, b.get());
        EXPECT_TRUE(SameBytes(written.Bytes(), coded));

        TMemoryStream project(coded);
        TReader pr(project);
        EXPECT_THROW(ReadProjectItem(pr), EFormatError) << "map objects have no project form";
    }
}
