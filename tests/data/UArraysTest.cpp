#include "TestSupport.h"

#include <cstring>

using namespace tarn;
using namespace tarn::test;

namespace {

class UArrays : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterTestClasses();
        LiveBefore = TTestItem::Live;
    }
    void TearDown() override { EXPECT_EQ(TTestItem::Live, LiveBefore) << "items leaked or freed twice"; }
    int LiveBefore = 0;
};

std::string Store(const TAbstractItem& item)
{
    TMemoryStream m;
    item.Store(m);
    return m.Bytes();
}

int32_t Key(const TOpenArray& a, int32_t i)
{
    int32_t v;
    std::memcpy(&v, a.ItemPtr(i), 4);
    return v;
}

// Distinct classes for the registry's refusal tests.
class TClashA : public TAbstractItem {
public:
    TClashA(TStream& s, TAbstractItem* o) : TAbstractItem(s, o) {}
};
class TClashB : public TAbstractItem {
public:
    TClashB(TStream& s, TAbstractItem* o) : TAbstractItem(s, o) {}
};

} // namespace

TEST_F(UArrays, AddReturnsTheNewCount)
{
    TObjList list;
    EXPECT_EQ(list.Add(new TTestItem(1)), 1);
    for (int i = 2; i <= 5; ++i) list.Add(new TTestItem(i));
    EXPECT_EQ(list.Add(new TTestItem(6)), 6);
}

TEST_F(UArrays, ListsGrowByAFifthButAtLeastEight)
{
    TObjList list;
    list.Add(new TTestItem);
    EXPECT_EQ(list.Capacity, 8);
    TObjList big;
    big.SetCapacity(100);
    for (int i = 0; i < 100; ++i) big.Add(new TTestItem(i));
    EXPECT_EQ(big.Capacity, 100);
    big.Add(new TTestItem);
    EXPECT_EQ(big.Capacity, 120);
}

TEST_F(UArrays, IndexErrorsRaiseEObjList)
{
    TObjList list;
    list.Add(new TTestItem);
    EXPECT_THROW(list.GetItem(1), EObjList);
    EXPECT_THROW(list.GetItem(-1), EObjList);
    TTestItem stranger;
    try {
        list.Remove(&stranger);
        FAIL();
    } catch (const EObjList& e) {
        EXPECT_STREQ(e.what(), "Item not found");
    }
    list.FreeAt(5); // outside: nothing
    EXPECT_EQ(list.Count, 1);
}

TEST_F(UArrays, FreeingAListFreesOwnedItemsExactlyOnce)
{
    auto* list = new TObjList;
    for (int i = 0; i < 10; ++i) list->Add(new TTestItem(i, list)); // owner is the list
    list->Add(new TTestItem(99));                                    // no owner
    EXPECT_EQ(TTestItem::Live, LiveBefore + 11);
    delete list;
    EXPECT_EQ(TTestItem::Live, LiveBefore);
}

TEST_F(UArrays, OwnedItemsUnlinkThemselvesUnlessTheListIsFreeingThem)
{
    TObjList list;
    auto* a = new TTestItem(1, &list);
    auto* b = new TTestItem(2, &list);
    list.Add(a);
    list.Add(b);
    delete a; // unlinks itself
    ASSERT_EQ(list.Count, 1);
    EXPECT_EQ(list.GetItem(0), b);
    list.FreeAt(0); // LockCount keeps the item from removing itself; the list deletes the entry once
    EXPECT_EQ(list.Count, 0);
}

TEST_F(UArrays, ReleaseFreesAtZeroAndAnswersMinusOneForNoItem)
{
    EXPECT_EQ(TAbstractItem::Release(nullptr), -1);
    auto* item = new TTestItem(1);
    EXPECT_EQ(item->AddRef(), 2);
    EXPECT_EQ(TAbstractItem::Release(item), 1);
    EXPECT_EQ(TTestItem::Live, LiveBefore + 1);
    EXPECT_EQ(TAbstractItem::Release(item), 0);
    EXPECT_EQ(TTestItem::Live, LiveBefore);

    TObjList list;
    auto* shared = new TTestItem(2);
    shared->AddRef();
    list.Add(shared);
    list.ReleaseAll();
    EXPECT_EQ(shared->RefCount, 1);
    TAbstractItem::Release(shared);
}

TEST_F(UArrays, FindByKeyUsesCompareKey)
{
    struct TKeyed : TTestItem {
        using TTestItem::TTestItem;
        int8_t CompareKey(const void* key) const override { return Value == *static_cast<const int*>(key) ? 0 : 1; }
    };
    TObjList list;
    for (int i = 0; i < 4; ++i) list.Add(new TKeyed(i * 10));
    int32_t index = -1;
    int key = 20;
    EXPECT_TRUE(list.FindByKey(&key, index));
    EXPECT_EQ(index, 2);
    key = 25;
    EXPECT_FALSE(list.FindByKey(&key, index));
}

TEST_F(UArrays, EmptyListStreamFormIsCountAndGrowDelta)
{
    TObjList list;
    EXPECT_TRUE(SameBytes(Store(list), Bytes({0, 0, 0, 0, 8, 0, 0, 0})));
}

TEST_F(UArrays, ListRoundTripsThroughItsStreamFormWithOwners)
{
    TObjList list;
    list.Add(new TTestItem(5));
    list.Add(new TTestItem(-2));
    std::string bytes = Store(list);
    EXPECT_TRUE(SameBytes(bytes, Bytes({2, 0, 0, 0, 8, 0, 0, 0, TestItemId, 0, 5, 0, 0, 0, TestItemId, 0, 0xFE, 0xFF,
                                        0xFF, 0xFF})));
    TMemoryStream m(bytes);
    TObjList back(m, nullptr);
    ASSERT_EQ(back.Count, 2);
    EXPECT_EQ(static_cast<TTestItem*>(back.GetItem(1))->Value, -2);
    EXPECT_EQ(back.GetItem(0)->Owner, &back);
    EXPECT_EQ(back.RefCount, 1);
}

TEST_F(UArrays, ListLoadRejectsUnregisteredClassIds)
{
    for (int id : {99, 250}) {
        TMemoryStream m(Bytes({1, 0, 0, 0, 8, 0, 0, 0, id, 0, 0, 0, 0, 0}));
        try {
            TObjList list(m, nullptr);
            FAIL() << id;
        } catch (const EFormatError& e) {
            EXPECT_NE(std::string(e.what()).find("The Item class was not be registered in Load Time"),
                      std::string::npos);
        }
    }
}

TEST_F(UArrays, ListLoadRejectsAbsurdCountsBeforeAllocating)
{
    std::string good = Bytes({1, 0, 0, 0, 8, 0, 0, 0, TestItemId, 0, 7, 0, 0, 0});
    for (int32_t count : {-1, 65535, 0x7FFFFFFF, 2}) {
        SCOPED_TRACE(count);
        TMemoryStream m(PatchI32(good, 0, count));
        EXPECT_THROW(TObjList(m, nullptr), EFormatError);
    }
    EXPECT_TRUE(EveryTruncationFails(good, [](const std::string& b) {
        TMemoryStream m(b);
        TObjList list(m, nullptr);
    }));
}

TEST_F(UArrays, RegistryRefusesMisuse)
{
    try {
        RegisterItemClass<TClashA>(TestItemId);
        FAIL();
    } catch (const EItemClass& e) {
        EXPECT_STREQ(e.what(),
                     "Попытка зарегистрировать класс 'TClashA' с тем же идентификатором что и класс 'TTestItem'");
    }
    try {
        RegisterItemClass<TTestItem>(11);
        FAIL();
    } catch (const EItemClass& e) {
        EXPECT_NE(std::string(e.what()).find("Bad TAbstractItem.VMTIdPlace container"), std::string::npos);
    }
    EXPECT_THROW(RegisterItemClass<TClashB>(200), EItemClass);
    EXPECT_THROW(RegisterItemClass<TClashB>(-1), EItemClass);
}

TEST_F(UArrays, RegistryIsByExactClass)
{
    // TProjectOnlyItem derives from TTestItem but is not registered itself.
    TProjectOnlyItem derived(1);
    try {
        GetItemClassId(&derived);
        FAIL();
    } catch (const EItemClass& e) {
        EXPECT_STREQ(e.what(), "The Item's class was not be registered (TProjectOnlyItem)");
    }
    EXPECT_THROW(GetItemClassId(nullptr), EItemClass);
    TTestItem base;
    EXPECT_EQ(GetItemClassId(&base), TestItemId);
}

TEST_F(UArrays, ItemsOfClassIdZeroCannotBeStored)
{
    TIdZeroItem zero;
    TMemoryStream m;
    try {
        StoreItem(m, &zero);
        FAIL();
    } catch (const EItemClass& e) {
        EXPECT_STREQ(e.what(), "Saving class was not registered 'TIdZeroItem'");
    }
    EXPECT_EQ(m.Size(), 0);
}

TEST_F(UArrays, CompareOrdersByClassIdThenKey)
{
    TTestItem a(1);
    TIdZeroItem z;
    EXPECT_EQ(a.Compare(&z, &a), -1);
    EXPECT_EQ(a.Compare(&a, &z), 1);
    EXPECT_EQ(a.Compare(&a, &a), 0);
}

TEST_F(UArrays, OpenArraysStartWithAtLeast32Bytes)
{
    struct Case {
        int32_t ItemSize, Capacity;
    };
    for (Case c : {Case{4, 8}, Case{16, 2}, Case{48, 1}, Case{1, 32}}) {
        TOpenArray a(nullptr, c.ItemSize);
        EXPECT_EQ(a.Capacity, c.Capacity) << "item size " << c.ItemSize;
    }
}

TEST_F(UArrays, OpenArrayInsertsDeletesAndReportsFreedRecords)
{
    TOpenArray a(nullptr, 4);
    std::vector<int32_t> freed;
    a.OnFreeItem = [&](void* p) {
        int32_t v;
        std::memcpy(&v, p, 4);
        freed.push_back(v);
    };
    for (int32_t v : {1, 2, 3, 4, 5, 6, 7, 8, 9}) a.Add(&v);
    EXPECT_EQ(a.Count, 9);
    EXPECT_EQ(a.Capacity, 16);
    int32_t zero = 0;
    a.InsertAt(0, &zero);
    EXPECT_EQ(Key(a, 0), 0);
    EXPECT_EQ(Key(a, 9), 9);
    a.DeleteAt(1);
    EXPECT_EQ(freed, std::vector<int32_t>{1});
    a.Clear();
    EXPECT_EQ(freed.size(), 10u);
    EXPECT_EQ(a.Count, 0);
    EXPECT_EQ(a.Capacity, 16);
    try {
        a.Last();
        FAIL();
    } catch (const ETarnError& e) {
        EXPECT_STREQ(e.what(), "Невозможно взять элемент списка, т.к. список пуст");
    }
}

TEST_F(UArrays, IntSortArraySearchIsALowerBound)
{
    TIntSortArray a(nullptr, 4);
    for (int32_t v : {9, 3, 5, 5}) a.Add(&v);
    ASSERT_EQ(a.Count, 4);
    EXPECT_EQ(Key(a, 0), 3);
    EXPECT_EQ(Key(a, 3), 9);

    int32_t index = -1;
    int32_t five = 5, six = 6;
    EXPECT_TRUE(a.Search(&five, index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(a.Search(&six, index));
    EXPECT_EQ(index, 3);
    EXPECT_EQ(a.Add(&five), 1);

    TIntSortArray empty(nullptr, 4);
    EXPECT_FALSE(empty.Search(&five, index));
    EXPECT_EQ(index, 0);

    int32_t negative = -7;
    EXPECT_EQ(a.Add(&negative), 0); // signed, not byte-wise
}

TEST_F(UArrays, SortedArrayComparesBytesUnsigned)
{
    TSortedArray a(nullptr, 2);
    for (const char* r : {"\x80\x00", "\x7F\xFF", "\x7F\x01"}) a.Add(r);
    EXPECT_EQ(std::memcmp(a.ItemPtr(0), "\x7F\x01", 2), 0);
    EXPECT_EQ(std::memcmp(a.ItemPtr(2), "\x80\x00", 2), 0);
}

TEST_F(UArrays, OpenArrayStreamFormRoundTrips)
{
    TIntSortArray a(nullptr, 4);
    for (int32_t v : {2, 1}) a.Add(&v);
    std::string bytes = Store(a);
    // item size, capacity, grow delta, count, records
    EXPECT_TRUE(SameBytes(bytes, Bytes({4, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0})));
    TMemoryStream m(bytes);
    TOpenArray back(m, nullptr);
    EXPECT_EQ(back.ItemSize, 4);
    EXPECT_EQ(back.Count, 2);
    EXPECT_EQ(back.Capacity, 2); // the stored capacity is not used
    EXPECT_EQ(Key(back, 1), 2);
}

TEST_F(UArrays, OpenArrayLoadRefusesBadHeaders)
{
    std::string good = Bytes({4, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0, 0, 1, 0, 0, 0, 7, 0, 0, 0});
    auto load = [](const std::string& b) {
        TMemoryStream m(b);
        TOpenArray a(m, nullptr);
    };
    EXPECT_NO_THROW(load(good));
    // Count 5 with capacity 3: the stored header contradicts itself.
    EXPECT_THROW(load(PatchI32(PatchI32(good, 12, 5), 4, 3)), EFormatError);
    for (int32_t bad : {-1, 0, 65535, 0x7FFFFFFF}) {
        SCOPED_TRACE(bad);
        if (bad != 0) {
            EXPECT_THROW(load(PatchI32(good, 12, bad)), EFormatError); // count
        }
        EXPECT_THROW(load(PatchI32(good, 0, bad == 65535 ? 0x40000000 : bad)), EFormatError); // item size
    }
    // Item size times count beyond 32 bits.
    EXPECT_THROW(load(PatchI32(PatchI32(PatchI32(good, 0, 0x10000), 4, 0x10000), 12, 0x10000)), EFormatError);
    EXPECT_THROW(load(""), EFormatError);
    EXPECT_TRUE(EveryTruncationFails(good, load));
}
