#include "ProjectLinks.h"
#include "Errors.h"

namespace tarn {

namespace {

// Each record lists its fields once, in file order (the XxxFields templates
// below); these four visitors read or write them in the stream or the filer
// form. The forms differ in collections (list form with class ids, or
// collection form with type codes) and in the fields marked Tagged.

struct TStreamLoad {
    TStream& S;
    TAbstractItem* Owner;
    void Str(std::string& v, const char* field) { v = ReadPStrStream(S, field); }
    void Int(int32_t& v, const char* field) { v = S.readI32LE(field); }
    void Tagged(int32_t& v, const char* field) { v = S.readI32LE(field); }
    void Byte(uint8_t& v, const char* field) { v = S.readU8(field); }
    template <std::size_t N>
    void Raw(std::array<uint8_t, N>& a, const char* field) { S.ReadBuffer(a.data(), N, field); }
    void List(std::unique_ptr<TCollection>& c, const char*) { c = std::make_unique<TCollection>(S, Owner); }
    template <class T>
    void Nested(std::unique_ptr<T>& p, const char*) { p = std::make_unique<T>(S, Owner); }
};

struct TStreamStore {
    TStream& S;
    void Str(const std::string& v, const char* field)
    {
        CheckPStr(v, field);
        WritePStrStream(S, v);
    }
    void Int(int32_t v, const char*) { S.writeI32LE(v); }
    void Tagged(int32_t v, const char*) { S.writeI32LE(v); }
    void Byte(uint8_t v, const char*) { S.writeU8(v); }
    template <std::size_t N>
    void Raw(const std::array<uint8_t, N>& a, const char*) { S.Write(a.data(), N); }
    void List(const std::unique_ptr<TCollection>& c, const char*) { c ? c->Store(S) : TCollection().Store(S); }
    template <class T>
    void Nested(const std::unique_ptr<T>& p, const char*) { p ? p->Store(S) : T().Store(S); }
};

struct TFilerLoad {
    TReader& R;
    void Str(std::string& v, const char* field) { v = ReadPStr(R, field); }
    void Int(int32_t& v, const char* field) { v = R.ReadI32LE(field); }
    void Tagged(int32_t& v, const char* field) { v = R.ReadInteger(field); }
    void Byte(uint8_t& v, const char* field) { v = R.ReadU8(field); }
    template <std::size_t N>
    void Raw(std::array<uint8_t, N>& a, const char* field) { R.Read(a.data(), N, field); }
    void List(std::unique_ptr<TCollection>& c, const char*)
    {
        c = std::make_unique<TCollection>(R, TCollection::FromProject{});
    }
    template <class T>
    void Nested(std::unique_ptr<T>& p, const char*) { p = std::make_unique<T>(R); }
};

struct TFilerStore {
    TWriter& W;
    void Str(const std::string& v, const char* field)
    {
        CheckPStr(v, field);
        WritePStr(W, v);
    }
    void Int(int32_t v, const char*) { W.WriteI32LE(v); }
    void Tagged(int32_t v, const char*) { W.WriteInteger(v); }
    void Byte(uint8_t v, const char*) { W.WriteU8(v); }
    template <std::size_t N>
    void Raw(const std::array<uint8_t, N>& a, const char*) { W.Write(a.data(), N); }
    void List(const std::unique_ptr<TCollection>& c, const char*)
    {
        c ? c->WriteFiler(W) : TCollection().WriteFiler(W);
    }
    template <class T>
    void Nested(const std::unique_ptr<T>& p, const char*) { p ? p->WriteFiler(W) : T().WriteFiler(W); }
};

template <class Io, class R>
void TClientInfoFields(Io& io, R& r)
{
    io.Str(r.FirstName, "client first name");
    io.Str(r.SecondName, "client second name");
    io.List(r.Items, "client items");
    io.Int(r.Number, "client number");
    io.Raw(r.Reserved, "client reserved bytes");
}

template <class Io, class R>
void TAliasFields(Io& io, R& r)
{
    io.Nested(r.Client, "alias client");
    io.Raw(r.Reserved, "alias reserved bytes");
}

template <class Io, class R>
void TFieldTableFields(Io& io, R& r)
{
    io.Str(r.FieldName, "table field name");
    io.Byte(r.FieldType, "table field type");
    io.Raw(r.Reserved, "table field reserved bytes");
}

template <class Io, class R>
void TFieldProcFields(Io& io, R& r)
{
    io.Str(r.FieldName, "procedure field name");
    io.Str(r.ProcName, "procedure name");
    io.Byte(r.Kind, "procedure kind");
    io.Raw(r.Reserved, "procedure field reserved bytes");
}

template <class Io, class R>
void TProcInfoNoParFields(Io& io, R& r)
{
    io.Str(r.FirstName, "procedure first name");
    io.Str(r.SecondName, "procedure second name");
    io.Str(r.ThirdName, "procedure third name");
    io.Int(r.Number, "procedure number");
    io.Raw(r.Reserved, "procedure reserved bytes");
}

template <class Io, class R>
void TProcInfoParFields(Io& io, R& r)
{
    io.List(r.Params, "procedure parameters");
    io.Raw(r.Reserved2, "procedure parameter reserved bytes");
}

template <class Io, class R>
void TProcInfoGraphObjFields(Io& io, R& r)
{
    io.Str(r.ObjectName, "graphic object name");
    io.Tagged(r.ObjectNumber, "graphic object number");
    io.Raw(r.Reserved3, "graphic object reserved bytes");
}

template <class Io, class R>
void TVocFields(Io& io, R& r)
{
    io.Str(r.FirstName, "dictionary first name");
    io.Str(r.SecondName, "dictionary second name");
    io.Nested(r.KeyField, "dictionary key field");
    io.Nested(r.TextField, "dictionary text field");
    io.Str(r.ThirdName, "dictionary third name");
    io.Raw(r.Reserved, "dictionary reserved bytes");
}

template <class Io, class R>
void TFieldExFields(Io& io, R& r)
{
    io.Nested(r.Field, "extended field");
    io.Str(r.Caption, "extended field caption");
    io.Tagged(r.FieldType, "extended field type");
    io.Nested(r.Dictionary, "extended field dictionary");
    io.Int(r.Number, "extended field number");
    io.Raw(r.Reserved, "extended field reserved bytes");
}

template <class Io, class R>
void TDBConnectFields(Io& io, R& r)
{
    io.Nested(r.Client, "connection client");
    io.List(r.Items, "connection items");
    io.Raw(r.Reserved, "connection reserved bytes");
}

template <class Io, class R>
void TLayerIDFields(Io& io, R& r)
{
    io.Str(r.LayerName, "layer name");
    io.Int(r.LayerID, "layer identifier");
}

} // namespace

// The four form functions of a record: its base's part first, then its own fields.
#define TARN_LINK_RECORD_FORMS(T, Base)                                                                              \
    T::T(TStream& stream, TAbstractItem* owner) : Base(stream, owner)                                                \
    {                                                                                                                \
        TStreamLoad io{stream, this};                                                                                \
        T##Fields(io, *this);                                                                                        \
    }                                                                                                                \
    T::T(TReader& reader) : Base(reader)                                                                             \
    {                                                                                                                \
        TFilerLoad io{reader};                                                                                       \
        T##Fields(io, *this);                                                                                        \
    }                                                                                                                \
    void T::Store(TStream& stream) const                                                                             \
    {                                                                                                                \
        Base::Store(stream);                                                                                         \
        TStreamStore io{stream};                                                                                     \
        T##Fields(io, *this);                                                                                        \
    }                                                                                                                \
    void T::WriteFiler(TWriter& writer) const                                                                        \
    {                                                                                                                \
        Base::WriteFiler(writer);                                                                                    \
        TFilerStore io{writer};                                                                                      \
        T##Fields(io, *this);                                                                                        \
    }

TARN_LINK_RECORD_FORMS(TClientInfo, TLinkRecord)
TARN_LINK_RECORD_FORMS(TAlias, TLinkRecord)
TARN_LINK_RECORD_FORMS(TFieldTable, TLinkRecord)
TARN_LINK_RECORD_FORMS(TFieldProc, TLinkRecord)
TARN_LINK_RECORD_FORMS(TProcInfoNoPar, TLinkRecord)
TARN_LINK_RECORD_FORMS(TProcInfoPar, TProcInfoNoPar)
TARN_LINK_RECORD_FORMS(TProcInfoGraphObj, TProcInfoPar)
TARN_LINK_RECORD_FORMS(TVoc, TLinkRecord)
TARN_LINK_RECORD_FORMS(TFieldEx, TLinkRecord)
TARN_LINK_RECORD_FORMS(TDBConnect, TLinkRecord)
TARN_LINK_RECORD_FORMS(TLayerID, TLinkRecord)

#undef TARN_LINK_RECORD_FORMS

} // namespace tarn
