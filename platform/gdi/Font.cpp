// Fonts: a font request resolved to a sized face of the font system, with
// the glyph and integer advance of every code page 1251 byte looked up once.
#include "platform/gdi/Font.h"
#include "platform/Cp1251.h"

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>

#include <cmath>
#include <cstring>
#include <unordered_map>

namespace tarn {

void EnsureGuiApplication()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    if (QCoreApplication::instance()) return;  // a non-GUI application: leave it alone
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tarn";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // lives as long as the process
}

namespace {

struct TFaceKey {
    char Face[32];
    int32_t Height, Width, Weight;
    uint8_t Italic;
    bool operator==(const TFaceKey& o) const
    {
        return Height == o.Height && Width == o.Width && Weight == o.Weight && Italic == o.Italic &&
               std::memcmp(Face, o.Face, sizeof Face) == 0;
    }
};

struct TFaceKeyHash {
    std::size_t operator()(const TFaceKey& k) const
    {
        uint64_t h = 1469598103934665603ull;
        auto mixIn = [&](const void* p, std::size_t n) {
            auto* b = static_cast<const uint8_t*>(p);
            for (std::size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ull;
        };
        mixIn(k.Face, sizeof k.Face);
        mixIn(&k.Height, 12);
        mixIn(&k.Italic, 1);
        return std::size_t(h);
    }
};

TFaceKey KeyOf(const TLogFont& lf)
{
    TFaceKey k{};
    std::size_t n = strnlen(lf.FaceName, sizeof lf.FaceName);
    std::memcpy(k.Face, lf.FaceName, n);
    k.Height = lf.Height;
    k.Width = lf.Width;
    k.Weight = lf.Weight;
    k.Italic = lf.Italic ? 1 : 0;
    return k;
}

QString FamilyOf(const TFaceKey& k)
{
    std::string_view bytes(k.Face, strnlen(k.Face, sizeof k.Face));
    QString name;
    for (char c : bytes) name += QChar(Cp1251ToUnicode(uint8_t(c)));
    name = name.trimmed();
    if (!name.isEmpty() && QFontDatabase::hasFamily(name)) return name;
    return QStringLiteral("DejaVu Sans");
}

QRawFont RawAt(const QString& family, int pixelSize, int weight, bool italic,
              QFont::HintingPreference hinting = QFont::PreferFullHinting)
{
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Weight(weight));
    f.setItalic(italic);
    f.setKerning(false);
    // Greyscale antialiasing: labels read cleanly at every angle, and the
    // colours stay those of the text over any background (no colour fringes).
    f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    f.setHintingPreference(hinting);
    return QRawFont::fromFont(f);
}

std::shared_ptr<const TFontFace> MakeFace(const TFaceKey& k)
{
    EnsureGuiApplication();
    auto face = std::make_shared<TFontFace>();
    const QString family = FamilyOf(k);
    const int weight = k.Weight <= 0 ? 400 : std::min(k.Weight, 1000);
    const bool italic = k.Italic != 0;

    int pixelSize;
    if (k.Height < 0) {
        pixelSize = k.Height == INT32_MIN ? 10000 : -k.Height;
    } else {
        // The largest character height whose cell does not exceed the request.
        const int cell = k.Height == 0 ? 16 : k.Height;
        QRawFont probe = RawAt(family, 100, weight, italic);
        double ra = probe.ascent() / 100.0, rd = probe.descent() / 100.0;
        if (!(ra > 0) || !(rd >= 0)) ra = 0.93, rd = 0.24;
        auto cellOf = [&](int p) { return int(std::ceil(p * ra - 1e-6) + std::ceil(p * rd - 1e-6)); };
        pixelSize = std::max(1, int(std::lround(cell / (ra + rd))));
        while (pixelSize > 1 && cellOf(pixelSize) > cell) --pixelSize;
        while (cellOf(pixelSize + 1) <= cell) ++pixelSize;
    }
    pixelSize = std::clamp(pixelSize, 1, 10000);
    face->Raw = RawAt(family, pixelSize, weight, italic);
    face->Turned = RawAt(family, pixelSize, weight, italic, QFont::PreferNoHinting);
    face->PixelSize = pixelSize;
    face->Ascent = int32_t(std::ceil(face->Raw.ascent() - 1e-6));
    face->Descent = int32_t(std::ceil(face->Raw.descent() - 1e-6));
    face->CellHeight = face->Ascent + face->Descent;

    char16_t chars[256];
    for (int i = 0; i < 256; ++i) chars[i] = Cp1251ToUnicode(uint8_t(i));
    int count = 256;
    face->Raw.glyphIndexesForChars(reinterpret_cast<const QChar*>(chars), 256, face->Glyph, &count);
    QPointF adv[256];
    face->Raw.advancesForGlyphIndexes(face->Glyph, adv, 256);
    double avg = face->Raw.averageCharWidth();
    face->AvgCharWidth = std::max(1, int(std::lround(avg)));
    if (k.Width != 0 && avg > 0) {
        int64_t w = k.Width < 0 ? -int64_t(k.Width) : k.Width;
        face->XScale = std::clamp(double(w) / avg, 0.01, 100.0);
        face->AvgCharWidth = int32_t(std::min<int64_t>(w, 1000000));
    }
    for (int i = 0; i < 256; ++i) face->Advance[i] = int32_t(std::lround(adv[i].x() * face->XScale));
    return face;
}

// Faces in use stay alive through their fonts; the cache only speeds up
// making the next font of the same face and size.
struct TFaceCache {
    std::unordered_map<TFaceKey, std::shared_ptr<const TFontFace>, TFaceKeyHash> Map;
    TFaceKey LastKey{};
    std::shared_ptr<const TFontFace> Last;

    std::shared_ptr<const TFontFace> Get(const TLogFont& lf)
    {
        TFaceKey k = KeyOf(lf);
        if (Last && k == LastKey) return Last;
        auto it = Map.find(k);
        if (it == Map.end()) {
            if (Map.size() >= 256) Map.clear();
            it = Map.emplace(k, MakeFace(k)).first;
        }
        LastKey = k;
        Last = it->second;
        return Last;
    }
};

TFaceCache& Cache()
{
    static auto* c = new TFaceCache();
    return *c;
}

} // namespace

TFont::TFont(const TLogFont& font, std::shared_ptr<const TFontFace> face)
    : TGdiObject(TGdiKind::Font), Log(font), FaceData(std::move(face))
{
}

TGdiRef<TFont> TFont::Create(const TLogFont& font)
{
    return TGdiRef<TFont>(new TFont(font, Cache().Get(font)));
}

int32_t TFont::Height() const { return FaceData->CellHeight; }
int32_t TFont::Ascent() const { return FaceData->Ascent; }

} // namespace tarn
