#pragma once
// A folder with a "tarn.dat" of 50 000 records written through the database
// writer (8 groups, 40 subgroups, a 600-byte text card every tenth record),
// for the benchmarks that read or place it; removed afterwards.
#include "platform/Cp1251.h"
#include "tools/CityData.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

namespace tarn::bench {

struct TDatabaseFolder {
    // `shape` fills each record's name, groups, key and the like from its number.
    explicit TDatabaseFolder(const std::function<void(int32_t, city::TDataRecord&)>& shape)
    {
        char pattern[] = "/tmp/tarn-bench-db-XXXXXX";
        Dir = mkdtemp(pattern);
        std::vector<city::TDataGroup> groups;
        for (int32_t g = 1; g <= 8; ++g) groups.push_back({g, Utf8ToCp1251("Группа ") + std::to_string(g), 0});
        for (int32_t s = 101; s <= 140; ++s) groups.push_back({s, Utf8ToCp1251("Подгруппа ") + std::to_string(s), 1});
        city::TDataFileWriter w(groups);
        const std::string card(600, 'x');
        for (int32_t i = 0; i < 50000; ++i) {
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
        w.Save(Dir + "/tarn.dat");
    }
    ~TDatabaseFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    TDatabaseFolder(const TDatabaseFolder&) = delete;
    TDatabaseFolder& operator=(const TDatabaseFolder&) = delete;

    std::string Dir;
};

} // namespace tarn::bench
