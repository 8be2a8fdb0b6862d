#include "TestSupport.h"

using namespace tarn;
using namespace tarn::test;

namespace {

class Collections : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterTestClasses();
        LiveBefore = TTestItem::Live;
    }
    void TearDown() override { EXPECT_EQ(TTestItem::Live, LiveBefore) << "items leaked or freed twice"; }
    int LiveBefore = 0;
};

TCollection* Filled(int n)
{
    auto* c = new TCollection;
    for (int i = 0; i < n; ++i) c->Insert(new TTestItem(i));
    return c;
}

std::string Write16(const TCollection& c)
{
    TMemoryStream m;
    TWriter w(m);
    c.WriteFiler16(w);
    return m.Bytes();
}

std::string WriteInt(const TCollection& c)
{
    TMemoryStream m;
    TWriter w(m);
    c.WriteFiler(w);
    return m.Bytes();
}

std::unique_ptr<TCollection> Read16(const std::string& b)
{
    TMemoryStream m(b);
    TReader r(m);
    return std::make_unique<TCollection>(r, TCollection::FromMap16{});
}

std::unique_ptr<TCollection> ReadInt(const std::string& b)
{
    TMemoryStream m(b);
    TReader r(m);
    return std::make_unique<TCollection>(r, TCollection::FromProject{});
}

} // namespace

TEST_F(Collections, InsertReturnsTheNewCount)
{
    std::unique_ptr<TCollection> c(Filled(4));
    EXPECT_EQ(c->Insert(new TTestItem), 5);
}

TEST_F(Collections, SixteenBitFormHead)
{
    std::unique_ptr<TCollection> c(Filled(3));
    std::string b = Write16(*c);
    EXPECT_TRUE(SameBytes(b.substr(0, 6), Bytes({0x03, 0x00, 0x03, 0x00, 0x10, 0x00})));
    // Each item: its code, then its record.
    EXPECT_TRUE(SameBytes(b.substr(6, 4), Bytes({0x61, 0xEA, 0x02, 0x00})));
}

TEST_F(Collections, IntegerFormHeads)
{
    std::unique_ptr<TCollection> empty(new TCollection);
    EXPECT_TRUE(SameBytes(WriteInt(*empty), Bytes({0x02, 0x00, 0x02, 0x00, 0x02, 0x10})));
    std::unique_ptr<TCollection> c(Filled(200));
    EXPECT_TRUE(SameBytes(WriteInt(*c).substr(0, 8), Bytes({0x03, 0xC8, 0x00, 0x03, 0xC8, 0x00, 0x02, 0x10})));
}

TEST_F(Collections, BothFormsRoundTrip)
{
    std::unique_ptr<TCollection> c(Filled(3));
    static_cast<TTestItem*>(c->GetItem(2))->Value = 70000;
    for (bool sixteen : {true, false}) {
        std::string b = sixteen ? Write16(*c) : WriteInt(*c);
        auto back = sixteen ? Read16(b) : ReadInt(b);
        ASSERT_EQ(back->Count, 3);
        EXPECT_EQ(static_cast<TTestItem*>(back->GetItem(2))->Value, 70000);
        EXPECT_EQ(back->GetItem(0)->Owner, nullptr);
        EXPECT_TRUE(SameBytes(sixteen ? Write16(*back) : WriteInt(*back), b));
    }
}

TEST_F(Collections, UnknownTypeCodeIsAFormatErrorNamingCodeAndOffset)
{
    // 1002 is no class's code; the project-only code is unknown to the map form.
    std::string b = Bytes({0x02, 0x00, 0x02, 0x00, 0x10, 0x00, 0x61, 0xEA, 0x02, 0x00, 0xEA, 0x03});
    try {
        Read16(b);
        FAIL();
    } catch (const EFormatError& e) {
        EXPECT_NE(std::string(e.what()).find("offset 0xA"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("unknown type code 1002"), std::string::npos) << e.what();
    }
    std::string projectOnly = Bytes({0x01, 0x00, 0x01, 0x00, 0x10, 0x00, 0x62, 0xEA, 0x02, 0x00});
    EXPECT_THROW(Read16(projectOnly), EFormatError);
    std::string asProject = Bytes({0x02, 0x01, 0x02, 0x01, 0x02, 0x10, 0x62, 0xEA, 0x02, 0x05});
    auto c = ReadInt(asProject);
    EXPECT_EQ(static_cast<TTestItem*>(c->GetItem(0))->Value, 5);
}

TEST_F(Collections, RefusesWritesThatTheFormCannotHoldBeforeWritingAnything)
{
    std::unique_ptr<TCollection> c(new TCollection);
    c->Insert(new TProjectOnlyItem(1));
    TMemoryStream m;
    TWriter w(m);
    EXPECT_THROW(c->WriteFiler16(w), EWriteError);
    EXPECT_EQ(m.Size(), 0);
    c->Insert(new TUnregisteredItem);
    EXPECT_THROW(c->WriteFiler(w), EWriteError);
    EXPECT_EQ(m.Size(), 0);
}

TEST_F(Collections, RefusesMoreThan65535ItemsInTheSixteenBitForm)
{
    std::unique_ptr<TCollection> c(Filled(65536));
    TMemoryStream m;
    TWriter w(m);
    EXPECT_THROW(c->WriteFiler16(w), EWriteError);
    EXPECT_EQ(m.Size(), 0);
    delete c->GetItem(65535);
    c->Delete(65535);
    EXPECT_NO_THROW(c->WriteFiler16(w));
}

TEST_F(Collections, TruncatedOrAbsurdHeadsFailCleanly)
{
    std::unique_ptr<TCollection> c(Filled(2));
    std::string b16 = Write16(*c);
    std::string bInt = WriteInt(*c);
    EXPECT_TRUE(EveryTruncationFails(b16, [](const std::string& b) { Read16(b); }));
    EXPECT_TRUE(EveryTruncationFails(bInt, [](const std::string& b) { ReadInt(b); }));
    for (uint16_t n : {uint16_t(3), uint16_t(65535)}) EXPECT_THROW(Read16(PatchU16(b16, 0, n)), EFormatError);
    // Integer-form counts as 4-byte tagged integers.
    std::string head = Bytes({0x04, 0, 0, 0, 0, 0x02, 0x02, 0x02, 0x10});
    for (int32_t n : {-1, 65535, 0x7FFFFFFF}) {
        SCOPED_TRACE(n);
        EXPECT_THROW(ReadInt(PatchI32(head, 1, n) + bInt.substr(6)), EFormatError);
    }
}

TEST_F(Collections, StreamFormItemsHaveNoOwner)
{
    std::unique_ptr<TCollection> c(Filled(2));
    TMemoryStream m;
    c->Store(m);
    m.Seek(0);
    TCollection back(m, nullptr);
    ASSERT_EQ(back.Count, 2);
    EXPECT_EQ(back.GetItem(1)->Owner, nullptr);
}

TEST_F(Collections, AppendItemsSharesReferences)
{
    std::unique_ptr<TCollection> a(Filled(2));
    std::unique_ptr<TCollection> b(Filled(3));
    a->AppendItems(b.get());
    a->AppendItems(nullptr);
    ASSERT_EQ(a->Count, 5);
    EXPECT_EQ(a->GetItem(4), b->GetItem(2));
    b->Clear(); // the target now owns them
    EXPECT_EQ(TTestItem::Live, LiveBefore + 5);
}

TEST(MemoryBlockList, KeepsCopiesOfBlocks)
{
    TMemoryBlockList list;
    int32_t key[5] = {1, 1, 67, 24, 3};
    EXPECT_EQ(list.Insert(key, sizeof key), 1);
    key[4] = 9;
    EXPECT_EQ(list.Insert(key, sizeof key), 2);
    EXPECT_EQ(list.BlockSize(0), 20u);
    EXPECT_EQ(list.Block(0)[16], 3);
    EXPECT_EQ(list.Block(1)[16], 9);
}

TEST(Item, KeepsItsOwnCopyOfTheName)
{
    std::string name = "Названия улиц";
    TItem item(nullptr, name, 2, 6);
    name.clear();
    EXPECT_EQ(item.Name, "Названия улиц");
    EXPECT_EQ(item.Depth, 2);
}
