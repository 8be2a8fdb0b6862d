// The command line of mkcity.
#include "City.h"

#include "CityPlan.h"

#include <cerrno>
#include <cstdlib>
#include <ostream>

namespace tarn::city {

namespace {

constexpr const char* Usage =
    "usage: mkcity [--objects N] [--seed S] [--force] OUT\n"
    "  writes the demo city's program folder into OUT\n"
    "  --objects N  about N map objects (10000 to 1000000, default 20000)\n"
    "  --seed S     another city (0 to 4294967295, default 1)\n"
    "  --force      also replace the user's files (tarn.ini, the user-sign sheet)\n";

bool ParseNumber(const std::string& text, long long lo, long long hi, long long& value)
{
    if (text.empty() || text.size() > 12) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    errno = 0;
    value = std::strtoll(text.c_str(), nullptr, 10);
    return errno == 0 && value >= lo && value <= hi;
}

} // namespace

int RunMkCity(const std::vector<std::string>& args, const std::string& symbolLibrary, std::ostream& out,
              std::ostream& err)
{
    TCityOptions o;
    o.SymbolLibrary = symbolLibrary;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            out << Usage;
            return 0;
        }
        if (a == "--force") {
            o.Force = true;
        } else if (a == "--objects" || a == "--seed") {
            if (i + 1 >= args.size()) {
                err << "mkcity: " << a << " needs a value\n" << Usage;
                return 2;
            }
            long long v = 0;
            const std::string& text = args[++i];
            if (a == "--objects") {
                if (!ParseNumber(text, MinObjects, MaxObjects, v)) {
                    err << "mkcity: --objects needs a whole number from " << MinObjects << " to " << MaxObjects
                        << ", not '" << text << "'\n";
                    return 2;
                }
                o.Objects = int32_t(v);
            } else {
                if (!ParseNumber(text, 0, 4294967295LL, v)) {
                    err << "mkcity: --seed needs a whole number from 0 to 4294967295, not '" << text << "'\n";
                    return 2;
                }
                o.Seed = uint32_t(v);
            }
        } else if (!a.empty() && a[0] == '-') {
            err << "mkcity: unknown option " << a << "\n" << Usage;
            return 2;
        } else if (o.OutDir.empty()) {
            o.OutDir = a;
        } else {
            err << "mkcity: one output folder only (" << o.OutDir << ", " << a << ")\n" << Usage;
            return 2;
        }
    }
    if (o.OutDir.empty()) {
        err << "mkcity: no output folder given\n" << Usage;
        return 2;
    }
    try {
        const TCityReport r = MakeCity(o);
        out << "mkcity: wrote " << o.OutDir << ": " << r.Objects << " map objects, " << r.Streets
            << " named streets and squares, " << r.TownStreets << " in " << "Вербинск, " << r.Districts
            << " districts, " << r.DetailSheets << " detail sheets; object database: " << r.KeyRecords
            << " key records and " << r.Cards << " cards, " << r.SupplementRecords << " records in tarn.d05, "
            << r.Banners << " banners\n";
        for (const std::string& k : r.Kept) out << "mkcity: kept the user's " << k << " (--force replaces it)\n";
        return 0;
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return 1;
    }
}

} // namespace tarn::city
