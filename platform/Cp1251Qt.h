#pragma once
// QString at the edge of code page 1251 data.
#include "platform/Cp1251.h"

#include <QString>

namespace tarn {

inline QString Cp1251ToQString(std::string_view cp1251)
{
    QString s(qsizetype(cp1251.size()), Qt::Uninitialized);
    QChar* out = s.data();
    for (std::size_t i = 0; i < cp1251.size(); ++i) out[i] = QChar(Cp1251ToUnicode(uint8_t(cp1251[i])));
    return s;
}

inline std::string QStringToCp1251(const QString& s, char replacement = '?')
{
    return Utf16ToCp1251(std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()), std::size_t(s.size())),
                         replacement);
}

} // namespace tarn
