#pragma once
// The records that tie a project to outside information sources (clients,
// aliases, connections, tables, fields, procedures, dictionaries, layer
// identifiers). They are only carried: read in either form and written back
// unchanged, reserved bytes included.
//
// Nested records are owned and always present; in the stream form they get
// their containing record as owner. Collections hold items of any project
// class.
#include "cObjects.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace tarn {

// The family's root: a filer writer of its own beside the stream Store.
class TLinkRecord : public TAbstractItem {
public:
    TLinkRecord() : TAbstractItem(nullptr) {}
    TLinkRecord(TStream& stream, TAbstractItem* owner) : TAbstractItem(stream, owner) {}
    explicit TLinkRecord(TReader&) : TAbstractItem(nullptr) {}
    virtual void WriteFiler(TWriter&) const {}
};

// Declares the three forms every record of the family has.
#define TARN_LINK_RECORD_FORMS(T)                                                                                     \
    T() = default;                                                                                                    \
    T(TStream& stream, TAbstractItem* owner);                                                                         \
    explicit T(TReader& reader);                                                                                      \
    void Store(TStream& stream) const override;                                                                       \
    void WriteFiler(TWriter& writer) const override;

class TClientInfo : public TLinkRecord { // class id 119, type code 1206
public:
    TARN_LINK_RECORD_FORMS(TClientInfo)
    std::string FirstName;
    std::string SecondName;
    std::unique_ptr<TCollection> Items = std::make_unique<TCollection>();
    int32_t Number = 0;
    std::array<uint8_t, 8> Reserved{};
};

class TAlias : public TLinkRecord { // class id 120, type code 1207
public:
    TARN_LINK_RECORD_FORMS(TAlias)
    std::unique_ptr<TClientInfo> Client = std::make_unique<TClientInfo>();
    std::array<uint8_t, 12> Reserved{};
};

class TFieldTable : public TLinkRecord { // class id 121, type code 1208
public:
    TARN_LINK_RECORD_FORMS(TFieldTable)
    std::string FieldName;
    uint8_t FieldType = 0;
    std::array<uint8_t, 12> Reserved{};
};

class TFieldProc : public TLinkRecord { // class id 122, type code 1209
public:
    TARN_LINK_RECORD_FORMS(TFieldProc)
    std::string FieldName;
    std::string ProcName;
    uint8_t Kind = 0;
    std::array<uint8_t, 12> Reserved{};
};

class TProcInfoNoPar : public TLinkRecord { // class id 123, type code 1210
public:
    TARN_LINK_RECORD_FORMS(TProcInfoNoPar)
    std::string FirstName;
    std::string SecondName;
    std::string ThirdName;
    int32_t Number = 0;
    std::array<uint8_t, 12> Reserved{};
};

class TProcInfoPar : public TProcInfoNoPar { // class id 125, type code 1212
public:
    TARN_LINK_RECORD_FORMS(TProcInfoPar)
    std::unique_ptr<TCollection> Params = std::make_unique<TCollection>();
    std::array<uint8_t, 12> Reserved2{};
};

class TProcInfoGraphObj : public TProcInfoPar { // class id 124, type code 1211
public:
    TARN_LINK_RECORD_FORMS(TProcInfoGraphObj)
    std::string ObjectName;
    int32_t ObjectNumber = 0; // tagged in the filer form
    std::array<uint8_t, 12> Reserved3{};
};

class TVoc : public TLinkRecord { // class id 126, type code 1213
public:
    TARN_LINK_RECORD_FORMS(TVoc)
    std::string FirstName;
    std::string SecondName;
    std::unique_ptr<TFieldTable> KeyField = std::make_unique<TFieldTable>();
    std::unique_ptr<TFieldTable> TextField = std::make_unique<TFieldTable>();
    std::string ThirdName;
    std::array<uint8_t, 12> Reserved{};
};

class TFieldEx : public TLinkRecord { // class id 127, type code 1214
public:
    TARN_LINK_RECORD_FORMS(TFieldEx)
    std::unique_ptr<TFieldTable> Field = std::make_unique<TFieldTable>();
    std::string Caption;
    int32_t FieldType = 0; // tagged in the filer form
    std::unique_ptr<TVoc> Dictionary = std::make_unique<TVoc>();
    int32_t Number = 0;
    std::array<uint8_t, 8> Reserved{};
};

class TDBConnect : public TLinkRecord { // class id 128, type code 1216
public:
    TARN_LINK_RECORD_FORMS(TDBConnect)
    std::unique_ptr<TClientInfo> Client = std::make_unique<TClientInfo>();
    std::unique_ptr<TCollection> Items = std::make_unique<TCollection>();
    std::array<uint8_t, 12> Reserved{};
};

class TLayerID : public TLinkRecord { // class id 129, type code 1215
public:
    TARN_LINK_RECORD_FORMS(TLayerID)
    std::string LayerName;
    int32_t LayerID = 0;
};

#undef TARN_LINK_RECORD_FORMS

} // namespace tarn
