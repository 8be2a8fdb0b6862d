#include "TestSupport.h"
#include "../support/Allocations.h"
#include "data/FlatFile.h"

#include <filesystem>
#include <map>
#include <random>

using namespace tarn;
using namespace tarn::test;

namespace {

std::string I32s(std::initializer_list<int32_t> values)
{
    std::string s;
    for (int32_t v : values) s += I32(v);
    return s;
}

const std::string Ten = "0123456789";

// The new file after one 10-byte write to handle 10000, worked out by hand:
// the block goes from 258 to 259 (its byte at 258 joins block 3's gap, which
// then joins block 1's when the map moves), the tail to 270, the map is
// written at 270 into a block of 1024 data bytes, and the tail ends at 1295.
std::string WorkedExample()
{
    std::string header = "FM00" + I32(270) + std::string(248, '\0');
    std::string body = std::string(3, '\0') + Ten + std::string(1, '\0');
    std::string map;
    map += I32s({16, 4, 2, 4});                   // records: item size, capacity, grow delta, count
    map += I32s({1, 256, 1, 2});                  // record 0: the fixed first block
    map += I32s({3, 270, 1025, 0});               // record 1: the block map itself
    map += I32s({2, 1295, 0, 0x7FFFFFFF});        // record 2: the tail
    map += I32s({10000, 259, 11, 0});             // record 3: the written block
    map += I32(3);                                // three indexes
    map += "\x06TIndex" + I32s({4, 8, 8, 4, 0, 2, 1, 3, 0});  // by handle: 1, 2, 3, 10000
    map += "\x06TIndex" + I32s({4, 8, 8, 4, 0, 3, 1, 2, 4});  // by offset: 256, 259, 270, 1295
    map += "\x06TIndex" + I32s({4, 8, 8, 4, 1, 3, 0, 2, 12}); // by gap: 0, 0, 2, max
    map += I32s({4, 8, 8, 0});                    // no free records
    return header + body + map;
}

std::unique_ptr<TFlatFile> FromBytes(const std::string& bytes, TFlatFile::TOpenMode mode = TFlatFile::TOpenMode::Read)
{
    auto m = std::make_unique<TMemoryStream>(bytes);
    m->SetName("test.mts");
    return std::make_unique<TFlatFile>(std::move(m), mode);
}

void Write(TFlatFile& f, int32_t handle, const std::string& data)
{
    auto s = f.OpenObject(handle, true);
    s->Write(data.data(), data.size());
    s->Commit();
}

std::string ErrorOf(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const ETarnError& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(FlatFile, WorkedExampleByteForByte)
{
    TTempDir dir;
    std::string path = dir.File("a.mts");
    auto f = TFlatFile::OpenForWriting(path);
    {
        auto s = f->OpenObject(10000, true);
        EXPECT_EQ(f->BlockOf(10000).Offset, 258);
        EXPECT_EQ(f->BlockOf(10000).Size, 1);
        EXPECT_EQ(f->BlockOf(TFlatFile::TailHandle).Offset, 259);
        s->Write(Ten.data(), Ten.size());
        s->Commit();
    }
    f->Commit();
    EXPECT_TRUE(SameBytes(ReadFileBytes(path), WorkedExample()));

    Write(*f, 10000, "abcdefghij");
    EXPECT_EQ(f->BlockOf(10000).Offset, 1295);
    f->Commit();
    std::string second = ReadFileBytes(path);
    EXPECT_EQ(second.size(), 1535u);
    EXPECT_TRUE(SameBytes(second.substr(0, 8), "FM00" + I32(1306)));
    EXPECT_EQ(second.substr(1295, 10), "abcdefghij");

    auto back = TFlatFile::OpenForReading(path);
    EXPECT_TRUE(back->CheckMap());
    EXPECT_EQ(back->ReadObject(10000), "abcdefghij");
}

TEST(FlatFile, NothingIsWrittenWithoutWrites)
{
    TTempDir dir;
    auto f = TFlatFile::OpenForWriting(dir.File("new.mts"));
    f->Commit();
    EXPECT_FALSE(std::filesystem::exists(dir.File("new.mts")));

    // A stream-backed file left without writes leaves its empty file empty.
    WriteFileBytes(dir.File("empty.mts"), "");
    {
        TFlatFile g(std::unique_ptr<TStream>(OpenOrCreateFileStream(dir.File("empty.mts"))),
                    TFlatFile::TOpenMode::ReadWrite);
        EXPECT_TRUE(g.CheckMap());
    }
    EXPECT_EQ(std::filesystem::file_size(dir.File("empty.mts")), 0u);
}

TEST(FlatFile, SameLengthRewritesMoveToTheSmallestFit)
{
    // Offsets worked out by hand, the block map moving with every write.
    auto f = FromBytes("", TFlatFile::TOpenMode::ReadWrite);
    Write(*f, 10000, Ten);
    EXPECT_EQ(f->BlockOf(10000).Offset, 259);
    Write(*f, 10000, "12345"); // no gap of 6 but the tail's
    EXPECT_EQ(f->BlockOf(10000).Offset, 1295);
    Write(*f, 20, std::string(500, 'x')); // into block 1's gap of 1038
    EXPECT_EQ(f->BlockOf(20).Offset, 257);
    EXPECT_EQ(f->BlockOf(20).Gap, 537);
    Write(*f, 20, std::string(500, 'y')); // its own gap is the smallest fit: end of its room
    EXPECT_EQ(f->BlockOf(20).Offset, 794);
    Write(*f, 10000, "54321"); // the gap of 537 before block 20 is the smallest fit
    EXPECT_EQ(f->BlockOf(10000).Offset, 257);
    EXPECT_TRUE(f->CheckMap());
    EXPECT_EQ(f->ReadObject(20), std::string(500, 'y'));
    EXPECT_EQ(f->ReadObject(10000), "54321");
}

TEST(FlatFile, HandlesAndStreams)
{
    auto f = FromBytes("", TFlatFile::TOpenMode::ReadWrite);
    EXPECT_EQ(f->NewObject(3), 10); // in use: max(10, largest + 1)
    EXPECT_EQ(f->NewObject(10), 11);
    EXPECT_EQ(f->NewObject(0), 12);
    EXPECT_EQ(f->NewObject(5), 5);
    EXPECT_THROW(f->OpenObject(77, false), EInvalidObjectHandle);
    EXPECT_NE(ErrorOf([&] { f->OpenObject(77, false); }).find("Invalid Object Handle."), std::string::npos);
    EXPECT_THROW(f->OpenObject(0, true), ETarnError);
    for (int32_t reserved : {1, 2, 3}) {
        EXPECT_THROW(f->WriteObject(reserved, "x", 1), EInvalidObjectHandle);
        EXPECT_THROW(f->OpenObject(reserved, false), EInvalidObjectHandle);
    }
    // The destructor of a written stream writes it back; Commit reports.
    {
        auto s = f->OpenObject(11, true);
        s->Write("abc", 3);
    }
    EXPECT_EQ(f->ReadObject(11), "abc");
    auto orphan = f->OpenObject(12, true);
    orphan->Write("z", 1);
    f.reset();
    EXPECT_THROW(orphan->Commit(), ETarnError);
}

TEST(FlatFile, RandomWritesKeepTheMapAndTheData)
{
    TTempDir dir;
    std::string path = dir.File("random.mts");
    std::mt19937 rng(12345);
    std::map<int32_t, std::string> expected;
    auto f = TFlatFile::OpenForWriting(path);
    for (int op = 0; op < 600; ++op) {
        int32_t handle;
        if (expected.empty() || rng() % 8 == 0) {
            handle = f->NewObject(0);
            expected[handle] = "";
        } else {
            auto it = expected.begin();
            std::advance(it, rng() % expected.size());
            handle = it->first;
        }
        // Mostly small blocks, some large, some emptied.
        std::size_t length = rng() % 10 == 0 ? 0 : rng() % 4 == 0 ? rng() % 20000 : rng() % 300;
        std::string data(length, '\0');
        for (char& c : data) c = static_cast<char>(rng());
        f->WriteObject(handle, data.data(), static_cast<int32_t>(data.size()));
        expected[handle] = data;
        ASSERT_TRUE(f->CheckMap()) << "after operation " << op;
        if (op % 150 == 149) {
            f->Commit();
            f = TFlatFile::OpenForWriting(path);
        }
    }
    f->Commit();
    f.reset();
    auto back = TFlatFile::OpenForReading(path);
    EXPECT_TRUE(back->CheckMap());
    for (const auto& [handle, data] : expected) {
        ASSERT_TRUE(back->ObjectExists(handle));
        ASSERT_EQ(back->ReadObject(handle), data) << "handle " << handle;
    }
}

TEST(FlatFile, InPlaceStreamKeepsItsBlocks)
{
    TTempDir dir;
    std::string path = dir.File("inplace.mts");
    {
        TFlatFile f(std::unique_ptr<TStream>(OpenOrCreateFileStream(path)), TFlatFile::TOpenMode::ReadWrite);
        Write(f, 10000, "project");
        Write(f, 10006, "header");
        Write(f, 10000, "project, longer");
    }
    auto back = TFlatFile::OpenForReading(path);
    EXPECT_EQ(back->ReadObject(10000), "project, longer");
    EXPECT_EQ(back->ReadObject(10006), "header");
    EXPECT_THROW(back->WriteObject(10000, "x", 1), ETarnError); // opened for reading
}

TEST(FlatFile, ForeignFiles)
{
    std::string foreign = "MZ" + std::string(298, '\x07');
    EXPECT_NE(ErrorOf([&] { FromBytes(foreign); }).find("does not begin with \"FM00\""), std::string::npos);
    EXPECT_THROW(FromBytes("MZ"), EFormatError);
    EXPECT_EQ(FromBytes("")->Count, 3); // an empty file holds no blocks

    // Written over, a foreign file keeps its header bytes 8 to 255.
    TTempDir dir;
    std::string path = dir.File("foreign.mts");
    WriteFileBytes(path, foreign);
    auto f = TFlatFile::OpenForWriting(path);
    Write(*f, 10000, Ten);
    f->Commit();
    std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes.substr(0, 4), "FM00");
    EXPECT_TRUE(SameBytes(bytes.substr(8, 248), foreign.substr(8, 248)));
}

// A block is stated without its bytes ever being written: the file has a
// hole there. A small one is a file like any other; one of gigabytes would
// be copied whole by the next save, so it is refused where it is opened.
TEST(FlatFile, BlocksOverAHoleOfTheFileAreRefusedWhenLarge)
{
    const struct {
        int32_t Stated;
        bool Refused;
    } cases[] = {{int32_t(TFlatFile::MaxHoleBytes / 2), false}, {2000000000, true}};
    for (const auto& t : cases) {
        SCOPED_TRACE(t.Stated);
        TTempDir dir;
        const std::string path = dir.File("holed.mts");
        {
            TFlatFile f(std::unique_ptr<TStream>(OpenOrCreateFileStream(path)), TFlatFile::TOpenMode::ReadWrite);
            Write(f, 10000, "project");
            f.NewObject(20000);
            f.ResizeBlock(20000, t.Stated);
        }
        {
            TFileStream probe(path, TFileStream::Mode::Read);
            int64_t first = -1;
            if (probe.HoleBytes(0, probe.Size(), first) == 0) GTEST_SKIP() << "the file system keeps no holes";
        }
        std::size_t largest = 0;
        for (bool forWriting : {false, true}) {
            TAllocationWatch watch;
            try {
                auto f = forWriting ? TFlatFile::OpenForWriting(path) : TFlatFile::OpenForReading(path);
                EXPECT_FALSE(t.Refused) << "opened";
                EXPECT_EQ(f->ReadObject(10000), "project");
            } catch (const EFormatError& e) {
                EXPECT_TRUE(t.Refused) << e.what();
                const std::string m = e.what();
                EXPECT_EQ(m.rfind(path + ", offset 0x", 0), 0u) << m;
                EXPECT_NE(m.find(", block data: block 20000 "), std::string::npos) << m;
            }
            largest = std::max(largest, watch.Largest());
        }
        EXPECT_LE(largest, std::size_t(TFlatFile::MaxHoleBytes) + (std::size_t(1) << 20)) << "copied the hole";
    }
}

TEST(FlatFile, EveryTruncationIsRefused)
{
    std::string good = WorkedExample();
    ASSERT_EQ(FromBytes(good)->ReadObject(10000), Ten);
    for (std::size_t n = 1; n < good.size(); ++n)
        EXPECT_THROW(FromBytes(good.substr(0, n)), EFormatError) << "a prefix of " << n << " bytes";
}

TEST(FlatFile, DamagedMapsAreRefused)
{
    const std::string good = WorkedExample();
    // Offsets inside the worked example: records from 286 (16 each), the
    // index count at 350, the handle index's name at 354 and entries from 377,
    // the offset index's entries from 420, the gap index's from 463.
    struct Case {
        const char* What;
        std::string Bytes;
        const char* Message;
    } cases[] = {
        {"map offset before the blocks", PatchI32(good, 4, 100), "outside the file"},
        {"map offset negative", PatchI32(good, 4, -5), "outside the file"},
        {"map offset past the end", PatchI32(good, 4, 5000), "outside the file"},
        {"map offset at the data", PatchI32(good, 4, 259), "damaged block map"},
        {"record count huge", PatchI32(PatchI32(good, 274, 1000000), 282, 1000000), "Параметры массива"},
        {"index count huge", PatchI32(good, 350, 100000), "index count"},
        {"unknown index class", [&] { std::string b = good; b[355] = 'X'; return b; }(), "Class XIndex not found"},
        {"index entry out of range", PatchI32(good, 377, 7), "names record 7"},
        {"index entries out of order", PatchI32(PatchI32(good, 377, 2), 381, 0), "out of order"},
        {"handle twice", PatchI32(good, 334, 3), "appears twice"},
        {"overlapping blocks", PatchI32(good, 342, 500), "does not end where"},
        // Block 10000 one byte longer with a gap of -1, its gap index entry moved first.
        {"negative gap", PatchI32(PatchI32(PatchI32(PatchI32(good, 342, 12), 346, -1), 463, 3), 467, 1),
         "impossible size or gap"},
        {"tail gap changed", PatchI32(good, 330, 77), "tail"},
        // Chained, but block 10000 placed after the map, past the end of the file.
        {"data past the end",
         PatchI32(PatchI32(PatchI32(PatchI32(PatchI32(PatchI32(good, 298, 13), 310, 230), 322, 511), 338, 500),
                           424, 1),
                  428, 3),
         "beyond the end of the file"},
    };
    for (const Case& c : cases) {
        std::string message = ErrorOf([&] { FromBytes(c.Bytes); });
        EXPECT_NE(message.find(c.Message), std::string::npos) << c.What << ": " << message;
        EXPECT_THROW(FromBytes(c.Bytes, TFlatFile::TOpenMode::ReadWrite), EFormatError) << c.What;
    }
}

TEST(FlatFile, AnyByteDamageIsRefusedOrHarmless)
{
    const std::string good = WorkedExample();
    int refused = 0;
    for (std::size_t at = 0; at < good.size(); ++at) {
        for (int value : {0x00, 0xFF, 0x80, 0x01}) {
            std::string bad = good;
            bad[at] = static_cast<char>(value);
            try {
                auto f = FromBytes(bad);
                // Opened: then the map is sound and the block readable.
                ASSERT_TRUE(f->CheckMap()) << "byte " << at;
                f->ReadObject(10000);
            } catch (const ETarnError&) {
                ++refused;
            }
        }
    }
    EXPECT_GT(refused, 500);
}

TEST(FlatFile, BrokenMapIsNeverWrittenThrough)
{
    TTempDir dir;
    std::string path = dir.File("b.mts");
    WriteFileBytes(path, WorkedExample());
    auto f = TFlatFile::OpenForWriting(path);
    TFlatFileBlock first = f->BlockOf(TFlatFile::FirstHandle);
    first.Gap += 5; // no longer ends where the next block begins
    f->PutBlock(f->RecordOf(TFlatFile::FirstHandle), first);
    EXPECT_THROW(Write(*f, 10000, "new data"), ETarnError);
    EXPECT_THROW(f->Commit(), ETarnError);
    EXPECT_THROW(f->WriteObject(10000, "x", 1), ETarnError);
    EXPECT_TRUE(SameBytes(ReadFileBytes(path), WorkedExample()));

    // Written in place, not a byte of data or map reaches the file.
    {
        TFlatFile g(std::unique_ptr<TStream>(OpenOrCreateFileStream(path)), TFlatFile::TOpenMode::ReadWrite);
        g.PutBlock(g.RecordOf(TFlatFile::FirstHandle), first);
        EXPECT_THROW(g.WriteObject(10000, "new data", 8), ETarnError);
    }
    EXPECT_TRUE(SameBytes(ReadFileBytes(path), WorkedExample()));
}

TEST(IndexedArray, FindsUpdatesAndReusesRecords)
{
    TIndexedArray a(nullptr, {0, 4}, 8);
    auto rec = [](int32_t k0, int32_t k1) { return I32(k0) + I32(k1); };
    EXPECT_EQ(a.AppendRecord(rec(5, 50).data()), 0);
    EXPECT_EQ(a.AppendRecord(rec(3, 70).data()), 1);
    EXPECT_EQ(a.AppendRecord(rec(9, 60).data()), 2);
    int32_t r;
    EXPECT_TRUE(a.FindRecord(0, 3, r));
    EXPECT_EQ(r, 1);
    EXPECT_FALSE(a.FindRecord(0, 4, r)); // lower bound: the record of key 5
    EXPECT_EQ(r, 0);
    EXPECT_FALSE(a.FindRecord(0, 10, r)); // above every key: no record
    EXPECT_EQ(r, -1);
    a.UpdateRecord(1, rec(3, 55).data()); // second key 70 -> 55: between 50 and 60
    EXPECT_EQ(a.RecordAt(1, 0), 0);
    EXPECT_EQ(a.RecordAt(1, 1), 1);
    EXPECT_EQ(a.RecordAt(1, 2), 2);
    a.UpdateRecord(0, rec(12, 50).data());
    EXPECT_EQ(a.RecordAt(0, 2), 0);
    // A free record is taken again before the array grows.
    uint8_t freed[4] = {2, 0, 0, 0};
    a.Indexes[0]->DeleteAt(1);
    a.Indexes[1]->DeleteAt(2);
    a.FreeRecords->Add(freed);
    EXPECT_EQ(a.AppendRecord(rec(1, 1).data()), 2);
    EXPECT_EQ(a.Count, 3);
    EXPECT_EQ(a.RecordAt(0, 0), 2);
}
