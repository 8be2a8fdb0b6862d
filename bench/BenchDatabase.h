#pragma once
// Folders of object database files written through the database writer,
// for the benchmarks that read or place them; removed afterwards. The
// usual "tarn.dat" has 50 000 records under 8 groups and 40 subgroups, a
// 600-byte text card every tenth record.
#include "platform/Cp1251.h"
#include "tools/CityData.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

namespace tarn::bench {

using TShape = std::function<void(int32_t, city::TDataRecord&)>;

struct TDatabaseFolder {
    TDatabaseFolder()
    {
        char pattern[] = "/tmp/tarn-bench-db-XXXXXX";
        Dir = mkdtemp(pattern);
    }
    // `shape` fills each record's name, groups, key and the like from its number.
    explicit TDatabaseFolder(const TShape& shape) : TDatabaseFolder() { Write("tarn.dat", Groups(), 50000, shape); }
    ~TDatabaseFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    TDatabaseFolder(const TDatabaseFolder&) = delete;
    TDatabaseFolder& operator=(const TDatabaseFolder&) = delete;

    // Groups 1 to 8 and subgroups 101 to 140.
    static std::vector<city::TDataGroup> Groups()
    {
        std::vector<city::TDataGroup> groups;
        for (int32_t g = 1; g <= 8; ++g) groups.push_back({g, Utf8ToCp1251("Группа ") + std::to_string(g), 0});
        for (int32_t s = 101; s <= 140; ++s) groups.push_back({s, Utf8ToCp1251("Подгруппа ") + std::to_string(s), 1});
        return groups;
    }

    // A file of `count` records in the folder.
    void Write(const std::string& name, const std::vector<city::TDataGroup>& groups, int32_t count,
               const TShape& shape) const
    {
        city::TDataFileWriter w(groups);
        const std::string card(600, 'x');
        for (int32_t i = 0; i < count; ++i) {
            city::TDataRecord r;
            shape(i, r);
            if (i % 10 == 0) {
                r.FileType = "TXT";
                r.Data = card;
            } else {
                r.FileType = city::NoData;
                r.DataPresent = false;
            }
            w.Add(r);
        }
        w.Save(Dir + "/" + name);
    }

    std::string Dir;
};

} // namespace tarn::bench
