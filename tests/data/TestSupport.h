#pragma once
// Shared helpers for the data tests: byte literals, readable byte diffs,
// and small registered item classes.
#include "data/UArrays.h"
#include "data/cObjects.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

namespace tarn::test {

std::string Bytes(std::initializer_list<int> bytes);
std::string Hex(const std::string& bytes, std::size_t from = 0, std::size_t count = 32);

// Equal byte strings, or the first differing offset in hex with context.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);

// Runs `parse` on every proper prefix of `bytes`; each must end in an
// ETarnError (never a crash, another exception type or success).
::testing::AssertionResult EveryTruncationFails(const std::string& bytes,
                                                const std::function<void(const std::string&)>& parse);

// A 32-bit value as its 4 little-endian bytes.
std::string I32(int32_t value);

// Overwrites 4 (or 2) bytes at `offset` little-endian.
std::string PatchI32(std::string bytes, std::size_t offset, int32_t value);
std::string PatchU16(std::string bytes, std::size_t offset, uint16_t value);

// A registered item with one 32-bit value; counts live instances.
class TTestItem : public TAbstractItem {
public:
    explicit TTestItem(int32_t value = 0, TAbstractItem* owner = nullptr) : TAbstractItem(owner), Value(value)
    {
        ++Live;
    }
    TTestItem(TStream& s, TAbstractItem* owner) : TAbstractItem(s, owner), Value(s.readI32LE("test value"))
    {
        ++Live;
    }
    explicit TTestItem(TReader& r) : TAbstractItem(nullptr), Value(r.ReadInteger("test value")) { ++Live; }
    ~TTestItem() override { --Live; }
    void Store(TStream& s) const override { s.writeI32LE(Value); }
    void WriteFiler(TWriter& w) const { w.WriteInteger(Value); }

    int32_t Value;
    static int Live;
};

// Registered under stream id 0 (cannot be stored); no type code.
class TIdZeroItem : public TAbstractItem {
public:
    TIdZeroItem() : TAbstractItem(nullptr) {}
    TIdZeroItem(TStream& s, TAbstractItem* owner) : TAbstractItem(s, owner) {}
};

// Never registered.
class TUnregisteredItem : public TAbstractItem {
public:
    TUnregisteredItem() : TAbstractItem(nullptr) {}
};

constexpr int TestItemId = 10;
constexpr uint16_t TestItemMapCode = 60001;     // both forms
constexpr uint16_t TestItemProjectOnlyCode = 60002;

// A second test class readable only in the project form.
class TProjectOnlyItem : public TTestItem {
public:
    using TTestItem::TTestItem;
};

// Registers the test classes once per process.
void RegisterTestClasses();

// A private temporary folder, removed with everything in it.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::string& Path() const { return Dir; }
    std::string File(const std::string& name) const { return Dir + "/" + name; }

private:
    std::string Dir;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

} // namespace tarn::test
