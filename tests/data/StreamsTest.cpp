#include "TestSupport.h"
#include "data/Filer.h"
#include "data/Streams.h"
#include "platform/SafeFile.h"

#include <filesystem>
#include <sys/stat.h>
#include <fstream>

using namespace tarn;
using namespace tarn::test;

namespace {

std::string Tagged(int32_t v)
{
    TMemoryStream m;
    TWriter w(m);
    w.WriteInteger(v);
    return m.Bytes();
}

int32_t ReadTagged(const std::string& bytes)
{
    TMemoryStream m(bytes);
    TReader r(m);
    int32_t v = r.ReadInteger("value");
    EXPECT_EQ(m.Remaining(), 0);
    return v;
}

struct TaggedCase {
    int32_t Value;
    std::string Bytes;
};

} // namespace

TEST(Filer, WritesTaggedIntegersInTheShortestForm)
{
    const TaggedCase cases[] = {
        {-128, Bytes({0x02, 0x80})},
        {127, Bytes({0x02, 0x7F})},
        {128, Bytes({0x03, 0x80, 0x00})},
        {-129, Bytes({0x03, 0x7F, 0xFF})},
        {32767, Bytes({0x03, 0xFF, 0x7F})},
        {32768, Bytes({0x04, 0x00, 0x80, 0x00, 0x00})},
        {-32769, Bytes({0x04, 0xFF, 0x7F, 0xFF, 0xFF})},
        {16, Bytes({0x02, 0x10})},
        {200, Bytes({0x03, 0xC8, 0x00})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Value);
        EXPECT_TRUE(SameBytes(Tagged(c.Value), c.Bytes));
        EXPECT_EQ(ReadTagged(c.Bytes), c.Value);
    }
}

TEST(Filer, ReadsAnyTagWhateverTheValue)
{
    EXPECT_EQ(ReadTagged(Bytes({0x04, 0x05, 0x00, 0x00, 0x00})), 5);
    EXPECT_EQ(ReadTagged(Bytes({0x03, 0xFF, 0xFF})), -1);
}

TEST(Filer, RejectsUnknownTagsAndShortIntegers)
{
    for (int tag : {0, 1, 5, 0xFF}) {
        TMemoryStream m(Bytes({tag, 0, 0, 0, 0}));
        TReader r(m);
        try {
            r.ReadInteger("count");
            FAIL() << "tag " << tag << " was accepted";
        } catch (const EFormatError& e) {
            EXPECT_NE(std::string(e.what()).find("offset 0x0"), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("count"), std::string::npos) << e.what();
        }
    }
    EXPECT_TRUE(EveryTruncationFails(Bytes({0x04, 0xFF, 0x7F, 0xFF, 0xFF}), [](const std::string& b) {
        TMemoryStream m(b);
        TReader r(m);
        r.ReadInteger();
    }));
}

TEST(Filer, StringsAreLengthPrefixedWithoutTerminator)
{
    TMemoryStream m;
    TWriter w(m);
    WritePStr(w, "abc");
    WritePStr(w, "");
    WritePStr(w, "\xB8"); // cp1251 small yo
    EXPECT_TRUE(SameBytes(m.Bytes(), Bytes({0x03, 0x00, 0x61, 0x62, 0x63, 0x00, 0x00, 0x01, 0x00, 0xB8})));

    m.Seek(0);
    TReader r(m);
    EXPECT_EQ(ReadPStr(r), "abc");
    EXPECT_EQ(ReadPStr(r), "");
    EXPECT_EQ(ReadPStr(r), "\xB8");
}

TEST(Filer, RefusesStringsLongerThan65535BytesBeforeWriting)
{
    TMemoryStream m;
    TWriter w(m);
    EXPECT_THROW(WritePStr(w, std::string(65536, 'x')), EWriteError);
    EXPECT_EQ(m.Size(), 0);
    WritePStr(w, std::string(65535, 'x'));
    EXPECT_EQ(m.Size(), 65537);
}

TEST(Filer, StringLengthBeyondTheDataIsAFormatError)
{
    TMemoryStream m(Bytes({0xFF, 0xFF, 0x41}));
    EXPECT_THROW(ReadPStrStream(m), EFormatError);
}

TEST(Streams, ReadsLittleEndianAndReportsOverrunWithOffsetAndField)
{
    TMemoryStream m(Bytes({0x01, 0x02, 0x03, 0x04, 0xFE, 0xFF}));
    m.SetName("a.map");
    EXPECT_EQ(m.readI32LE(), 0x04030201);
    EXPECT_EQ(m.readI16LE(), -2);
    try {
        m.readU8("Flags");
        FAIL();
    } catch (const EFormatError& e) {
        EXPECT_STREQ(e.what(), "a.map, offset 0x6, Flags: unexpected end of data (1 bytes needed, 0 left)");
    }
}

TEST(Streams, DoublesRoundTripBitForBit)
{
    TMemoryStream m;
    m.writeF64LE(1.0);
    EXPECT_TRUE(SameBytes(m.Bytes(), Bytes({0, 0, 0, 0, 0, 0, 0xF0, 0x3F})));
    m.Seek(0);
    EXPECT_EQ(m.readF64LE(), 1.0);
}

TEST(Streams, ContextAddsToTheMessage)
{
    try {
        try {
            TMemoryStream m;
            m.readI32LE("Count");
        } catch (ETarnError& e) {
            e.AddContext("layer \"Roads\"");
            throw;
        }
    } catch (const ETarnError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("layer \"Roads\": ", 0), 0u) << e.what();
    }
}

class FileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = std::filesystem::temp_directory_path() /
              ("tarn-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
               std::to_string(::getpid()));
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
    }
    void TearDown() override { std::filesystem::remove_all(Dir); }
    static std::string ReadAll(const std::filesystem::path& p)
    {
        std::ifstream f(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    std::filesystem::path Dir;
};

TEST_F(FileTest, OpenOrCreateCreatesAMissingFileEmpty)
{
    auto path = (Dir / "new.dat").string();
    std::unique_ptr<TFileStream> f(OpenOrCreateFileStream(path));
    EXPECT_EQ(f->Size(), 0);
    f->writeI32LE(7);
    f->Flush();
    EXPECT_EQ(ReadAll(path), Bytes({7, 0, 0, 0}));
}

TEST_F(FileTest, OpenOrCreateNeverTruncatesAnExistingFile)
{
    auto path = (Dir / "old.dat").string();
    std::ofstream(path, std::ios::binary) << "keep me";
    {
        std::unique_ptr<TFileStream> f(OpenOrCreateFileStream(path));
        EXPECT_EQ(f->Size(), 7);
        EXPECT_EQ(f->readBytes(4), "keep");
        f->writeBytes("!"); // read then write on one stream
    }
    EXPECT_EQ(ReadAll(path), "keep!me");
}

TEST_F(FileTest, OpenOrCreateReportsWhatItCannotOpenAndLeavesItAlone)
{
    auto path = Dir / "folder";
    std::filesystem::create_directory(path);
    std::ofstream(path / "inside") << "x";
    EXPECT_THROW(OpenOrCreateFileStream(path.string()), EFileError);
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(ReadAll(path / "inside"), "x");
}

TEST_F(FileTest, AtomicWriteReplacesContentAndLeavesNoTemporaryFile)
{
    auto path = (Dir / "a.map").string();
    std::ofstream(path) << "old content";
    WriteFileAtomically(path, "new");
    EXPECT_EQ(ReadAll(path), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir), {}), 1);
}

TEST_F(FileTest, FailedAtomicWriteKeepsTheOldFile)
{
    auto path = Dir / "a.map";
    std::ofstream(path) << "old content";
    {
        TSafeFileWriter w(path.string());
        w.Write("partial", 7);
        // Not committed: the writer is abandoned, as after an exception.
    }
    EXPECT_EQ(ReadAll(path), "old content");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir), {}), 1);
    EXPECT_THROW(WriteFileAtomically((Dir / "missing" / "x.map").string(), "data"), EFileError);
}

TEST_F(FileTest, AFileReaderReadsAcrossItsBufferAndSeeksAnywhere)
{
    std::string bytes;
    for (int i = 0; i < 5000; ++i) bytes += char(i * 7 + i / 256);
    auto path = (Dir / "data.bin").string();
    std::ofstream(path, std::ios::binary) << bytes;
    TFileReader r(path, 64);  // a buffer smaller than most reads below
    std::string got;
    // Small fields, a read of several buffers, seeks back into and out of the buffer.
    struct TStep {
        int64_t SeekTo;  // -1: read on
        std::size_t Count;
    } steps[] = {{-1, 1}, {-1, 2}, {-1, 4}, {-1, 300}, {10, 5}, {4990, 10}, {60, 10}, {-1, 70}};
    for (const TStep& s : steps) {
        if (s.SeekTo >= 0) r.Seek(s.SeekTo);
        const int64_t at = r.Position();
        std::string part(s.Count, '\0');
        r.ReadBuffer(part.data(), part.size(), "part");
        EXPECT_EQ(part, bytes.substr(std::size_t(at), s.Count)) << "at " << at;
        EXPECT_EQ(r.Position(), at + int64_t(s.Count));
    }
    EXPECT_EQ(r.readU16LE(), uint16_t(uint8_t(bytes[140]) | uint8_t(bytes[141]) << 8));
    r.Seek(4999);
    EXPECT_THROW(r.readU16LE("tail field"), EFormatError);
    EXPECT_THROW(r.Write("x", 1), EFileError);
}

TEST_F(FileTest, ReadersRefuseWhatIsNoRegularFile)
{
    auto fifo = (Dir / "pipe.map").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero")}) {
        EXPECT_THROW(TFileReader r(path), EFileError) << path;
        EXPECT_THROW(TFileStream s(path, TFileStream::Mode::Read), EFileError) << path;
    }
}
