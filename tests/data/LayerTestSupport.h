#pragma once
// Helpers for the layer and map tests: little-endian pieces of records,
// reading an item from bytes in a chosen form and file version, and writing
// one back.
#include "TestSupport.h"
#include "data/Layers.h"

#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

namespace tarn::test {

inline std::string U16(int v) { return Bytes({v & 0xFF, (v >> 8) & 0xFF}); }
inline std::string I16(int v) { return U16(v & 0xFFFF); }
// The u16-length string of every form.
inline std::string Str(const std::string& s) { return U16(static_cast<int>(s.size())) + s; }
// A char[n] field.
inline std::string Fixed(const std::string& s, std::size_t n) { return s + std::string(n - s.size(), '\0'); }
inline std::string F64(double v)
{
    char b[8];
    std::memcpy(b, &v, 8);
    return std::string(b, 8);
}

// A font record from its fields.
inline TLogFont Font(int32_t height, int32_t width, int32_t escapement, int32_t weight, uint8_t charSet,
                     const char* face)
{
    TLogFont f{};
    f.Height = height;
    f.Width = width;
    f.Escapement = escapement;
    f.Weight = weight;
    f.CharSet = charSet;
    f.Quality = 1;
    f.PitchAndFamily = 34;
    std::strncpy(f.FaceName, face, sizeof f.FaceName);
    return f;
}

// The eight byte fields and the 32-byte face name of a font.
inline std::string FontTail(const TLogFont& f)
{
    return Bytes({f.Italic, f.Underline, f.StrikeOut, f.CharSet, f.OutPrecision, f.ClipPrecision, f.Quality,
                  f.PitchAndFamily}) +
           std::string(f.FaceName, sizeof f.FaceName);
}
inline std::string Font60(const TLogFont& f)
{
    return I32(f.Height) + I32(f.Width) + I32(f.Escapement) + I32(f.Orientation) + I32(f.Weight) + FontTail(f);
}
inline std::string Font50(const TLogFont& f)
{
    return I16(f.Height) + I16(f.Width) + I16(f.Escapement) + I16(f.Orientation) + I16(f.Weight) + FontTail(f);
}

inline bool SameFont(const TLogFont& a, const TLogFont& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Empty object lists in each form.
inline const std::string EmptyList = I32(0) + I32(8);
inline const std::string EmptyCollection = Bytes({2, 0, 2, 0, 2, 0x10});
inline const std::string EmptyCollection16 = Bytes({0, 0, 0, 0, 0x10, 0});

inline TGapLayer* AddGroup(TCollection& parent, const std::string& name, uint32_t flags = 0)
{
    auto* g = new TGapLayer;
    g->Name = name;
    g->Flags = flags;
    parent.Insert(g);
    return g;
}

enum class TForm { Stream, Project, Sheet };

struct TFormIo {
    int32_t Version = 102;

    template <class T>
    std::unique_ptr<T> Read(const std::string& bytes, TForm form, TFileContext* out = nullptr) const
    {
        TMemoryStream m(bytes);
        TFileContext context;
        context.FileVersion = Version;
        m.SetContext(context);
        TReader r(m);
        std::unique_ptr<T> item;
        if (form == TForm::Stream) item = std::make_unique<T>(m, nullptr);
        else if (form == TForm::Project) item = std::make_unique<T>(r);
        else if constexpr (std::is_constructible_v<T, TReader&, TLayer::FromMap16>)
            item = std::make_unique<T>(r, TLayer::FromMap16{});
        else
            ADD_FAILURE() << "no sheet reader";
        EXPECT_EQ(m.Remaining(), 0) << "bytes left over";
        if (out) *out = context;
        return item;
    }

    template <class T>
    std::string Write(const T& item, TForm form, double mapScale = 0) const
    {
        TMemoryStream m;
        TFileContext context;
        context.FileVersion = Version;
        context.MapScale = mapScale;
        m.SetContext(context);
        TWriter w(m);
        if (form == TForm::Stream) item.Store(m);
        else if (form == TForm::Project) item.WriteFiler(w);
        else item.WriteFiler16(w);
        return m.Bytes();
    }
};

} // namespace tarn::test
