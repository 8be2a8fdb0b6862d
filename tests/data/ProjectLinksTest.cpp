#include "TestSupport.h"
#include "data/ProjectLinks.h"

using namespace tarn;
using namespace tarn::test;

namespace {

// Hand-written pieces of the goldens.
std::string Str(const std::string& s) { return Bytes({int(s.size() & 0xFF), int(s.size() >> 8)}) + s; }
std::string Zeros(std::size_t n) { return std::string(n, '\0'); }
std::string Run(int first, std::size_t n) // first, first + 1, ...
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(first + int(i)));
    return s;
}
template <std::size_t N>
void Fill(std::array<uint8_t, N>& a, int first)
{
    for (std::size_t i = 0; i < N; ++i) a[i] = static_cast<uint8_t>(first + int(i));
}

const std::string EmptyListFiler = Bytes({2, 0, 2, 0, 2, 0x10});
const std::string EmptyListStream = I32(0) + I32(8);
// A client with no names, no items, number 0.
const std::string EmptyClientFiler = Str("") + Str("") + EmptyListFiler + I32(0) + Zeros(8);
const std::string EmptyClientStream = Str("") + Str("") + EmptyListStream + I32(0) + Zeros(8);
const std::string EmptyFieldTable = Str("") + Zeros(1) + Zeros(12);
const std::string EmptyVoc = Str("") + Str("") + EmptyFieldTable + EmptyFieldTable + Str("") + Zeros(12);

struct Case {
    const char* Name;
    std::function<std::unique_ptr<TLinkRecord>()> Make;
    int Id;
    uint16_t Code;
    std::string Filer;
    std::string Stream;
};

std::vector<Case> Cases()
{
    std::vector<Case> cases;
    cases.push_back({"TClientInfo",
                     [] {
                         auto r = std::make_unique<TClientInfo>();
                         r->FirstName = "ab";
                         auto* id = new TLayerID;
                         id->LayerName = "L";
                         id->LayerID = 2;
                         r->Items->Insert(id);
                         r->Number = 0x01020304;
                         Fill(r->Reserved, 0xA1);
                         return r;
                     },
                     119, 1206,
                     Str("ab") + Str("") + Bytes({2, 1, 2, 1, 2, 0x10, 0xBF, 0x04}) + Str("L") + I32(2) +
                         I32(0x01020304) + Run(0xA1, 8),
                     Str("ab") + Str("") + I32(1) + I32(8) + Bytes({129, 0}) + Str("L") + I32(2) + I32(0x01020304) +
                         Run(0xA1, 8)});
    cases.push_back({"TAlias",
                     [] {
                         auto r = std::make_unique<TAlias>();
                         Fill(r->Reserved, 0xB1);
                         return r;
                     },
                     120, 1207, EmptyClientFiler + Run(0xB1, 12), EmptyClientStream + Run(0xB1, 12)});
    cases.push_back({"TFieldTable",
                     [] {
                         auto r = std::make_unique<TFieldTable>();
                         r->FieldName = "F";
                         r->FieldType = 3;
                         Fill(r->Reserved, 0xC1);
                         return r;
                     },
                     121, 1208, Str("F") + Bytes({3}) + Run(0xC1, 12), Str("F") + Bytes({3}) + Run(0xC1, 12)});
    cases.push_back({"TFieldProc",
                     [] {
                         auto r = std::make_unique<TFieldProc>();
                         r->FieldName = "F";
                         r->ProcName = "\xCF\xF0\xEE\xF6";
                         r->Kind = 9;
                         Fill(r->Reserved, 1);
                         return r;
                     },
                     122, 1209, Str("F") + Str("\xCF\xF0\xEE\xF6") + Bytes({9}) + Run(1, 12),
                     Str("F") + Str("\xCF\xF0\xEE\xF6") + Bytes({9}) + Run(1, 12)});
    cases.push_back({"TProcInfoNoPar",
                     [] {
                         auto r = std::make_unique<TProcInfoNoPar>();
                         r->FirstName = "a";
                         r->SecondName = "b";
                         r->ThirdName = "c";
                         r->Number = -2;
                         Fill(r->Reserved, 0x41);
                         return r;
                     },
                     123, 1210, Str("a") + Str("b") + Str("c") + I32(-2) + Run(0x41, 12),
                     Str("a") + Str("b") + Str("c") + I32(-2) + Run(0x41, 12)});
    cases.push_back({"TProcInfoGraphObj",
                     [] {
                         auto r = std::make_unique<TProcInfoGraphObj>();
                         r->ObjectNumber = 5;
                         return r;
                     },
                     124, 1211,
                     Str("") + Str("") + Str("") + I32(0) + Zeros(12) + EmptyListFiler + Zeros(12) + Str("") +
                         Bytes({0x02, 0x05}) + Zeros(12),
                     Str("") + Str("") + Str("") + I32(0) + Zeros(12) + EmptyListStream + Zeros(12) + Str("") +
                         Bytes({0x05, 0x00, 0x00, 0x00}) + Zeros(12)});
    cases.push_back({"TProcInfoPar",
                     [] {
                         auto r = std::make_unique<TProcInfoPar>();
                         r->Number = 1;
                         auto* param = new TFieldTable;
                         param->FieldName = "x";
                         r->Params->Insert(param);
                         Fill(r->Reserved2, 0xD1);
                         return r;
                     },
                     125, 1212,
                     Str("") + Str("") + Str("") + I32(1) + Zeros(12) + Bytes({2, 1, 2, 1, 2, 0x10, 0xB8, 0x04}) +
                         Str("x") + Zeros(13) + Run(0xD1, 12),
                     Str("") + Str("") + Str("") + I32(1) + Zeros(12) + I32(1) + I32(8) + Bytes({121, 0}) + Str("x") +
                         Zeros(13) + Run(0xD1, 12)});
    cases.push_back({"TVoc",
                     [] {
                         auto r = std::make_unique<TVoc>();
                         r->FirstName = "v1";
                         r->KeyField->FieldName = "k";
                         r->KeyField->FieldType = 1;
                         r->TextField->FieldName = "t";
                         r->TextField->FieldType = 2;
                         r->ThirdName = "z";
                         Fill(r->Reserved, 0x61);
                         return r;
                     },
                     126, 1213,
                     Str("v1") + Str("") + Str("k") + Bytes({1}) + Zeros(12) + Str("t") + Bytes({2}) + Zeros(12) +
                         Str("z") + Run(0x61, 12),
                     Str("v1") + Str("") + Str("k") + Bytes({1}) + Zeros(12) + Str("t") + Bytes({2}) + Zeros(12) +
                         Str("z") + Run(0x61, 12)});
    cases.push_back({"TFieldEx",
                     [] {
                         auto r = std::make_unique<TFieldEx>();
                         r->Field->FieldName = "f";
                         r->Caption = "\xCA\xE0\xEF";
                         r->FieldType = 300;
                         r->Number = 9;
                         Fill(r->Reserved, 0x71);
                         return r;
                     },
                     127, 1214,
                     Str("f") + Zeros(13) + Str("\xCA\xE0\xEF") + Bytes({3, 0x2C, 0x01}) + EmptyVoc + I32(9) +
                         Run(0x71, 8),
                     Str("f") + Zeros(13) + Str("\xCA\xE0\xEF") + I32(300) + EmptyVoc + I32(9) + Run(0x71, 8)});
    cases.push_back({"TDBConnect",
                     [] {
                         auto r = std::make_unique<TDBConnect>();
                         r->Client->SecondName = "db";
                         Fill(r->Reserved, 0x21);
                         return r;
                     },
                     128, 1216,
                     Str("") + Str("db") + EmptyListFiler + I32(0) + Zeros(8) + EmptyListFiler + Run(0x21, 12),
                     Str("") + Str("db") + EmptyListStream + I32(0) + Zeros(8) + EmptyListStream + Run(0x21, 12)});
    cases.push_back({"TLayerID",
                     [] {
                         auto r = std::make_unique<TLayerID>();
                         r->LayerName = "A";
                         r->LayerID = 7;
                         return r;
                     },
                     129, 1215, Bytes({0x01, 0x00, 0x41, 0x07, 0x00, 0x00, 0x00}),
                     Bytes({0x01, 0x00, 0x41, 0x07, 0x00, 0x00, 0x00})});
    return cases;
}

std::string FilerOf(const TAbstractItem& item)
{
    TMemoryStream m;
    TWriter w(m);
    WriteProjectItem(w, &item);
    return m.Bytes();
}

std::string StreamOf(const TAbstractItem& item)
{
    TMemoryStream m;
    StoreItem(m, &item);
    return m.Bytes();
}

std::unique_ptr<TAbstractItem> ReadFiler(const std::string& bytes)
{
    TMemoryStream m(bytes);
    TReader r(m);
    std::unique_ptr<TAbstractItem> item(ReadProjectItem(r));
    if (m.Remaining() != 0) throw ETarnError("bytes left over");
    return item;
}

std::unique_ptr<TAbstractItem> ReadStream(const std::string& bytes)
{
    TMemoryStream m(bytes);
    std::unique_ptr<TAbstractItem> item(LoadRegisteredItem(m, nullptr));
    if (m.Remaining() != 0) throw ETarnError("bytes left over");
    return item;
}

std::string U16(int v) { return Bytes({v & 0xFF, v >> 8}); }

class LinkRecords : public ::testing::Test {
protected:
    void SetUp() override { RegisterTestClasses(); }
};

} // namespace

TEST_F(LinkRecords, BothFormsMatchTheGoldens)
{
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.Name);
        std::unique_ptr<TLinkRecord> record = c.Make();
        std::string filer = U16(c.Code) + c.Filer;
        std::string stream = U16(c.Id) + c.Stream;
        EXPECT_TRUE(SameBytes(FilerOf(*record), filer));
        EXPECT_TRUE(SameBytes(StreamOf(*record), stream));
        // Read and written again in the same form: the same bytes.
        std::unique_ptr<TAbstractItem> fromFiler = ReadFiler(filer);
        EXPECT_EQ(ClassNameOf(*fromFiler), c.Name);
        EXPECT_TRUE(SameBytes(FilerOf(*fromFiler), filer));
        std::unique_ptr<TAbstractItem> fromStream = ReadStream(stream);
        EXPECT_EQ(ClassNameOf(*fromStream), c.Name);
        EXPECT_TRUE(SameBytes(StreamOf(*fromStream), stream));
        // And across: what one form read, the other writes as its golden.
        EXPECT_TRUE(SameBytes(StreamOf(*fromFiler), stream));
        EXPECT_TRUE(SameBytes(FilerOf(*fromStream), filer));
    }
}

TEST_F(LinkRecords, EveryTruncationFails)
{
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.Name);
        EXPECT_TRUE(EveryTruncationFails(U16(c.Code) + c.Filer, [](const std::string& b) { ReadFiler(b); }));
        EXPECT_TRUE(EveryTruncationFails(U16(c.Id) + c.Stream, [](const std::string& b) { ReadStream(b); }));
    }
}

TEST_F(LinkRecords, NestedRecordsBelongToTheirRecord)
{
    auto alias = ReadStream(U16(120) + EmptyClientStream + Zeros(12));
    auto* a = dynamic_cast<TAlias*>(alias.get());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->Client->Owner, a);
}

TEST_F(LinkRecords, DeepNestingIsRefused)
{
    // Clients whose items hold a client, 100000 deep: refused, not a stack overflow.
    const int depth = 100000;
    std::string filer, stream;
    for (int i = 0; i < depth; ++i) {
        filer += U16(1206) + Str("") + Str("") + Bytes({2, 1, 2, 1, 2, 0x10});
        stream += U16(119) + Str("") + Str("") + I32(1) + I32(8);
    }
    filer += U16(1206) + EmptyClientFiler;
    stream += U16(119) + EmptyClientStream;
    for (int i = 0; i < depth; ++i) {
        filer += I32(0) + Zeros(8);
        stream += I32(0) + Zeros(8);
    }
    for (const auto& [form, read, bytes] :
         {std::tuple{"filer", &ReadFiler, filer}, std::tuple{"stream", &ReadStream, stream}}) {
        try {
            read(bytes);
            ADD_FAILURE() << form << ": read " << depth << " levels";
        } catch (const EFormatError& e) {
            EXPECT_NE(std::string(e.what()).find("nested"), std::string::npos) << form << ": " << e.what();
        }
    }
    // A moderate depth still reads.
    std::string shallow;
    for (int i = 0; i < 50; ++i) shallow += U16(119) + Str("") + Str("") + I32(1) + I32(8);
    shallow += U16(119) + EmptyClientStream;
    for (int i = 0; i < 50; ++i) shallow += I32(0) + Zeros(8);
    EXPECT_TRUE(SameBytes(StreamOf(*ReadStream(shallow)), shallow));
}
