#pragma once
// Rich text (".RTF") read into a QTextDocument for a read-only viewer: code
// pages (\ansicpg, \fcharset, \'xx) and \u with its fallback, bold,
// italic, underline, strike-out, font sizes, colours, alignment, indents,
// paragraphs and line breaks, simple tables (\trowd ... \cell ... \row),
// HYPERLINK fields as links; pictures, objects, headers and other
// destinations are skipped. What the text says is kept even where the
// layout is not: past 20 000 cells in a document, tables are written as
// lines. Time and memory grow in step with the text.
#include "platform/Error.h"

#include <string>
#include <string_view>

class QTextDocument;

namespace tarn {

// Not rich text, or nested past what any writer nests.
class ERichTextError : public ETarnError {
public:
    using ETarnError::ETarnError;
};

// Replaces the document's contents with the rich text; `source` names the
// file in messages. Web and mail addresses written out in the text become
// links too.
void ReadRichText(std::string_view rtf, QTextDocument& document, const std::string& source);

// Marks "http://", "https://", "www." and "mailto:" addresses in the text
// as links, except those already inside one; a closing stop, comma or
// bracket stays outside the address.
void MarkWebAddresses(QTextDocument& document);

} // namespace tarn
