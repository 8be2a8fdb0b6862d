#include "RichText.h"

#include "platform/Cp1251.h"

#include <QColor>
#include <QRegularExpression>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <algorithm>
#include <cctype>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tarn {

namespace {

// Deeper nesting than any writer makes; a hostile file stops here.
constexpr std::size_t MaxDepth = 512;
// Past this many cells in the document, tables are written as lines of
// tab-separated cells.
constexpr std::size_t MaxTableCells = 20000;
constexpr int MaxColumns = 64;

enum class TDest : uint8_t { Text, Skip, FontTable, ColourTable, FieldInstruction };

struct TState {
    TDest Dest = TDest::Text;
    bool Bold = false, Italic = false, Underline = false, Strike = false;
    int32_t HalfPoints = 24;
    int32_t Colour = 0;  // index into the colour table; 0 the default
    int32_t Font = -1;
    int32_t Uc = 1;      // fallback characters after \u
    int32_t Align = 0;   // 0 left, 1 centre, 2 right, 3 justified
    int32_t Left = 0, Right = 0, First = 0;  // indents in twips
    bool InTable = false;
    int32_t Field = -1;  // the field whose result this is, -1 none
};

struct TRun {
    QString Text;
    QTextCharFormat Format;
    bool Break = false;  // a paragraph break inside a cell
};

using TCell = std::vector<TRun>;

const std::unordered_set<std::string_view>& SkippedDestinations()
{
    static const std::unordered_set<std::string_view> names = {
        "stylesheet", "info", "pict", "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr",
        "footerf", "footnote", "object", "themedata", "colorschememapping", "latentstyles", "datastore",
        "xmlnstbl", "listtable", "listoverridetable", "rsidtbl", "generator", "pgdsctbl", "filetbl", "revtbl",
        "nonshppict", "shppict", "fldtype", "bkmkstart", "bkmkend", "xe", "tc", "txe", "comment", "annotation",
        "atnid", "atnauthor", "private", "userprops", "docvar", "template", "mmathPr", "wgrffmtfilter"};
    return names;
}

class TReader {
public:
    TReader(std::string_view rtf, QTextDocument& doc, const std::string& source)
        : In(rtf), Doc(doc), Source(source), Cursor(&doc)
    {
    }

    void Run();

private:
    [[noreturn]] void Fail(const char* what) const
    {
        throw ERichTextError(Source + ", offset " + std::to_string(At) + ": " + what);
    }
    TState& S() { return Stack.back(); }

    void ControlWord(std::string_view word, bool hasParam, int32_t param);
    void ControlSymbol(char c);
    void Byte(uint8_t b);
    void Char(QChar c);
    void Paragraph();
    void Cell();
    void Row();
    void EndTable();
    void Flush();
    QTextCharFormat Format() const;
    QTextBlockFormat BlockFormat() const;
    int CodePage() const;
    void FieldInstruction(QChar c);

    std::string_view In;
    QTextDocument& Doc;
    const std::string& Source;
    std::size_t At = 0;
    QTextCursor Cursor;
    std::vector<TState> Stack;
    int32_t AnsiCodePage = 1252;
    // Charset by font number, the first entry of a number counting; looked
    // up for every byte past ASCII, so not searched through.
    std::unordered_map<int32_t, int32_t> FontCharsets;
    std::optional<int32_t> TableFont;  // the font table's entry being read
    std::vector<QColor> Colours;
    int Red = 0, Green = 0, Blue = 0;
    bool ColourSeen = false;
    int32_t Skip = 0;  // fallback characters still to drop after \u
    bool StarPending = false;
    std::vector<QString> Fields;  // href of each field met, empty when it is no link
    QString Instruction;

    QString Pending;
    QTextCharFormat PendingFormat;
    TState PendingLook;
    bool PendingInCell = false;

    std::vector<std::vector<TCell>> Rows;
    std::vector<TCell> CurrentRow;
    TCell CurrentCell;
    bool BlockUsed = false;  // the document's current block holds something
    std::size_t CellsUsed = 0;  // by the tables made so far
};

int CharsetCodePage(int32_t charset, int32_t fallback)
{
    switch (charset) {
    case 204: return 1251;
    case 238: return 1250;
    case 161: return 1253;
    case 162: return 1254;
    case 186: return 1257;
    default: return fallback;
    }
}

void TReader::Run()
{
    std::size_t start = 0;
    while (start < In.size() && std::isspace(uint8_t(In[start]))) ++start;
    if (In.substr(start, 5) != "{\\rtf") Fail("not rich text: it does not begin with {\\rtf");
    Doc.clear();
    // One edit: the document looks over its frames and tells its layout
    // once, not at every insertion (which grows as the square of the text),
    // and keeps nothing to undo.
    struct TOneEdit {
        QTextDocument& Doc;
        bool Undo = Doc.isUndoRedoEnabled();
        QTextCursor Edit{&Doc};
        TOneEdit(QTextDocument& doc) : Doc(doc)
        {
            Doc.setUndoRedoEnabled(false);
            Edit.beginEditBlock();
        }
        ~TOneEdit()
        {
            Edit.endEditBlock();
            Doc.setUndoRedoEnabled(Undo);
        }
    } edit(Doc);
    Cursor = QTextCursor(&Doc);
    Stack.reserve(64);
    Stack.push_back(TState{});
    At = start;
    while (At < In.size()) {
        const char c = In[At];
        if (c == '{') {
            ++At;
            if (Stack.size() >= MaxDepth) Fail("groups nested deeper than 512");
            Stack.push_back(S());
            StarPending = false;
        } else if (c == '}') {
            ++At;
            Skip = 0;
            if (S().Dest == TDest::FieldInstruction && Stack.size() >= 2 &&
                Stack[Stack.size() - 2].Dest != TDest::FieldInstruction) {
                // The instruction is complete: a HYPERLINK gives the field's link.
                static const QRegularExpression link(QStringLiteral("^\\s*HYPERLINK\\s+(?:\"([^\"]*)\"|(\\S+))"));
                const QRegularExpressionMatch m = link.match(Instruction);
                if (!Fields.empty() && m.hasMatch()) Fields.back() = m.captured(1).isEmpty() ? m.captured(2) : m.captured(1);
            }
            if (Stack.size() <= 1) break;
            Stack.pop_back();
            if (Stack.size() == 1) break;  // the document's own group ends
        } else if (c == '\\') {
            ++At;
            if (At >= In.size()) break;
            const char n = In[At];
            if (std::isalpha(uint8_t(n))) {
                const std::size_t w = At;
                while (At < In.size() && std::isalpha(uint8_t(In[At])) && At - w < 32) ++At;
                const std::string_view word = In.substr(w, At - w);
                bool has = false, negative = false;
                int64_t value = 0;
                if (At < In.size() && In[At] == '-' && At + 1 < In.size() && std::isdigit(uint8_t(In[At + 1]))) {
                    negative = true;
                    ++At;
                }
                for (int digits = 0; At < In.size() && std::isdigit(uint8_t(In[At])); ++At, ++digits)
                    if (digits < 10) value = value * 10 + (In[At] - '0'), has = true;
                if (At < In.size() && In[At] == ' ') ++At;  // the delimiter belongs to the word
                value = std::clamp<int64_t>(negative ? -value : value, INT32_MIN, INT32_MAX);
                ControlWord(word, has, int32_t(value));
            } else {
                ++At;
                if (n == '\'') {
                    auto hex = [](char h) { return std::isxdigit(uint8_t(h)) ? (std::isdigit(uint8_t(h)) ? h - '0' : (h | 0x20) - 'a' + 10) : -1; };
                    if (At + 1 < In.size() && hex(In[At]) >= 0 && hex(In[At + 1]) >= 0) {
                        const int v = hex(In[At]) * 16 + hex(In[At + 1]);
                        At += 2;
                        Byte(uint8_t(v));
                    }
                } else {
                    ControlSymbol(n);
                }
            }
        } else if (c == '\r' || c == '\n') {
            ++At;
        } else {
            ++At;
            Byte(uint8_t(c));
        }
    }
    Flush();
    EndTable();
    Cursor.setBlockFormat(BlockFormat());
    MarkWebAddresses(Doc);
}

void TReader::ControlWord(std::string_view w, bool has, int32_t p)
{
    const bool star = std::exchange(StarPending, false);
    TState& s = S();
    if (s.Dest == TDest::Skip) return;
    if (Skip > 0 && w != "u") {
        --Skip;
        return;
    }
    const bool on = !has || p != 0;
    // Destinations first: they decide where the group's text goes.
    if (w == "fonttbl") s.Dest = TDest::FontTable;
    else if (w == "colortbl") {
        s.Dest = TDest::ColourTable;
        Colours.clear();
    }
    else if (w == "fldinst") {
        s.Dest = TDest::FieldInstruction;
        Instruction.clear();
    } else if (w == "field") {
        Fields.emplace_back();
    } else if (w == "fldrslt") {
        s.Dest = TDest::Text;
        s.Field = Fields.empty() ? -1 : int32_t(Fields.size() - 1);
    } else if (star || SkippedDestinations().count(w)) {
        s.Dest = TDest::Skip;
    } else if (s.Dest == TDest::FontTable) {
        if (w == "f" && has) TableFont = FontCharsets.try_emplace(p, 0).second ? std::optional(p) : std::nullopt;
        else if (w == "fcharset" && TableFont) FontCharsets[*TableFont] = p;
    } else if (s.Dest == TDest::ColourTable) {
        const int v = std::clamp(p, 0, 255);
        if (w == "red") Red = v, ColourSeen = true;
        else if (w == "green") Green = v, ColourSeen = true;
        else if (w == "blue") Blue = v, ColourSeen = true;
    } else if (w == "ansicpg") AnsiCodePage = p;
    else if (w == "par" || w == "sect" || w == "page") Paragraph();
    else if (w == "line") Char(QChar(0x2028));
    else if (w == "tab") Char(QChar('\t'));
    else if (w == "pard") s.Align = 0, s.InTable = false, s.Left = s.Right = s.First = 0;
    else if (w == "li") s.Left = p;
    else if (w == "ri") s.Right = p;
    else if (w == "fi") s.First = p;
    else if (w == "plain") s.Bold = s.Italic = s.Underline = s.Strike = false, s.HalfPoints = 24, s.Colour = 0;
    else if (w == "b") s.Bold = on;
    else if (w == "i") s.Italic = on;
    else if (w == "ul" || w == "uld" || w == "uldb" || w == "ulw" || w == "uldash" || w == "ulth") s.Underline = on;
    else if (w == "ulnone") s.Underline = false;
    else if (w == "strike") s.Strike = on;
    else if (w == "fs" && has) s.HalfPoints = std::clamp(p, 2, 400);
    else if (w == "cf") s.Colour = p;
    else if (w == "f" && has) s.Font = p;
    else if (w == "uc") s.Uc = std::clamp(p, 0, 16);
    else if (w == "ql") s.Align = 0;
    else if (w == "qc") s.Align = 1;
    else if (w == "qr") s.Align = 2;
    else if (w == "qj") s.Align = 3;
    else if (w == "intbl") s.InTable = true;
    else if (w == "cell") Cell();
    else if (w == "row") Row();
    else if (w == "u") {
        Char(QChar(char16_t(p < 0 ? p + 65536 : p)));
        Skip = S().Uc;
    } else if (w == "lquote") Char(QChar(0x2018));
    else if (w == "rquote") Char(QChar(0x2019));
    else if (w == "ldblquote") Char(QChar(0x201C));
    else if (w == "rdblquote") Char(QChar(0x201D));
    else if (w == "bullet") Char(QChar(0x2022));
    else if (w == "endash") Char(QChar(0x2013));
    else if (w == "emdash") Char(QChar(0x2014));
    else if (w == "emspace" || w == "enspace") Char(QChar(' '));
}

void TReader::ControlSymbol(char c)
{
    if (c == '*') {
        StarPending = true;
        return;
    }
    if (S().Dest == TDest::Skip) return;
    if (Skip > 0) {
        --Skip;
        return;
    }
    switch (c) {
    case '\\': case '{': case '}': Char(QChar(c)); break;
    case '~': Char(QChar(0x00A0)); break;
    case '_': Char(QChar('-')); break;
    case '\r': case '\n': Paragraph(); break;
    default: break;  // optional hyphens, index marks
    }
}

int TReader::CodePage() const
{
    const auto found = FontCharsets.find(Stack.back().Font);
    return found == FontCharsets.end() ? AnsiCodePage : CharsetCodePage(found->second, AnsiCodePage);
}

void TReader::Byte(uint8_t b)
{
    StarPending = false;
    const TState& s = S();
    if (s.Dest == TDest::Skip) return;
    if (Skip > 0) {
        --Skip;
        return;
    }
    if (s.Dest == TDest::ColourTable) {
        if (b == ';') {
            // An entry with no colour words is the default colour.
            Colours.push_back(ColourSeen ? QColor(Red, Green, Blue) : QColor());
            Red = Green = Blue = 0;
            ColourSeen = false;
        }
        return;
    }
    if (s.Dest == TDest::FontTable) return;
    QChar ch;
    if (b < 0x80) ch = QChar(b);
    else if (CodePage() == 1251) ch = QChar(Cp1251ToUnicode(b));
    else ch = QChar(char16_t(b));  // other code pages read as Latin-1
    Char(ch);
}

void TReader::Char(QChar c)
{
    const TState& s = S();
    if (s.Dest == TDest::FieldInstruction) {
        if (Instruction.size() < 2048) Instruction += c;
        return;
    }
    if (s.Dest != TDest::Text) return;
    if (!s.InTable && !Rows.empty() && CurrentCell.empty() && CurrentRow.empty()) EndTable();
    // A run goes on while the state that makes its look stays the same; the
    // format is built once a run.
    const auto sameLook = [](const TState& a, const TState& b) {
        return a.Bold == b.Bold && a.Italic == b.Italic && a.Underline == b.Underline && a.Strike == b.Strike &&
               a.HalfPoints == b.HalfPoints && a.Colour == b.Colour && a.Field == b.Field && a.InTable == b.InTable;
    };
    if (!Pending.isEmpty() && !sameLook(s, PendingLook)) Flush();
    if (Pending.isEmpty()) {
        PendingLook = s;
        PendingFormat = Format();
        PendingInCell = s.InTable;
    }
    Pending += c;
}

QTextCharFormat TReader::Format() const
{
    const TState& s = Stack.back();
    QTextCharFormat f;
    f.setFontWeight(s.Bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(s.Italic);
    f.setFontUnderline(s.Underline);
    f.setFontStrikeOut(s.Strike);
    f.setFontPointSize(s.HalfPoints / 2.0);
    const bool coloured = s.Colour > 0 && std::size_t(s.Colour) < Colours.size() && Colours[std::size_t(s.Colour)].isValid();
    if (coloured) f.setForeground(Colours[std::size_t(s.Colour)]);
    if (s.Field >= 0 && std::size_t(s.Field) < Fields.size() && !Fields[std::size_t(s.Field)].isEmpty()) {
        f.setAnchor(true);
        f.setAnchorHref(Fields[std::size_t(s.Field)]);
        if (!coloured) f.setForeground(QColor(0, 0, 255));
        f.setFontUnderline(true);
    }
    return f;
}

QTextBlockFormat TReader::BlockFormat() const
{
    static const Qt::Alignment aligns[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight, Qt::AlignJustify};
    const TState& s = Stack.back();
    // Twips to pixels at 96 dots an inch; a page is never wider than this.
    const auto pixels = [](int32_t twips) { return std::clamp(twips, -30000, 30000) / 15.0; };
    QTextBlockFormat b;
    b.setAlignment(aligns[std::clamp(s.Align, 0, 3)]);
    b.setLeftMargin(std::max(0.0, pixels(s.Left)));
    b.setRightMargin(std::max(0.0, pixels(s.Right)));
    b.setTextIndent(pixels(s.First));
    return b;
}

void TReader::Flush()
{
    if (Pending.isEmpty()) return;
    if (PendingInCell) {
        CurrentCell.push_back({Pending, PendingFormat, false});
    } else {
        Cursor.insertText(Pending, PendingFormat);
        BlockUsed = true;
    }
    Pending.clear();
}

void TReader::Paragraph()
{
    if (S().Dest != TDest::Text) return;
    Flush();
    if (S().InTable) {
        CurrentCell.push_back({QString(), QTextCharFormat(), true});
        return;
    }
    EndTable();
    Cursor.setBlockFormat(BlockFormat());
    Cursor.insertBlock();
    BlockUsed = false;
}

void TReader::Cell()
{
    if (S().Dest != TDest::Text) return;
    Flush();
    if (CurrentRow.size() < std::size_t(MaxColumns)) {
        CurrentRow.push_back(std::move(CurrentCell));
    } else {
        for (TRun& r : CurrentCell) CurrentRow.back().push_back(std::move(r));
    }
    CurrentCell.clear();
}

void TReader::Row()
{
    if (S().Dest != TDest::Text) return;
    Flush();
    if (!CurrentCell.empty()) Cell();
    if (!CurrentRow.empty()) Rows.push_back(std::move(CurrentRow));
    CurrentRow.clear();
}

void TReader::EndTable()
{
    if (!CurrentCell.empty()) Cell();
    if (!CurrentRow.empty()) Row();
    if (Rows.empty()) return;
    std::size_t columns = 0;
    for (const auto& r : Rows) columns = std::max(columns, r.size());
    if (BlockUsed) {
        Cursor.insertBlock();
        BlockUsed = false;
    }
    if (Rows.size() * columns <= MaxTableCells - CellsUsed) {
        CellsUsed += Rows.size() * columns;
        QTextTableFormat tf;
        tf.setBorder(1);
        tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        tf.setCellPadding(3);
        tf.setCellSpacing(0);
        QTextTable* table = Cursor.insertTable(int(Rows.size()), int(columns), tf);
        for (std::size_t r = 0; r < Rows.size(); ++r)
            for (std::size_t c = 0; c < Rows[r].size(); ++c) {
                QTextCursor cell = table->cellAt(int(r), int(c)).firstCursorPosition();
                for (const TRun& run : Rows[r][c]) {
                    if (run.Break) cell.insertBlock();
                    else cell.insertText(run.Text, run.Format);
                }
            }
        Cursor = QTextCursor(&Doc);
        Cursor.movePosition(QTextCursor::End);
    } else {
        for (const auto& row : Rows) {
            for (std::size_t c = 0; c < row.size(); ++c) {
                if (c > 0) Cursor.insertText(QStringLiteral("\t"));
                for (const TRun& run : row[c])
                    if (!run.Break) Cursor.insertText(run.Text, run.Format);
            }
            Cursor.insertBlock();
        }
    }
    Rows.clear();
}

} // namespace

void ReadRichText(std::string_view rtf, QTextDocument& document, const std::string& source)
{
    TReader(rtf, document, source).Run();
}

void MarkWebAddresses(QTextDocument& document)
{
    static const QRegularExpression address(
        QStringLiteral("(?:https?://|www\\.|mailto:)[^\\s<>\"\\x{00AB}\\x{00BB}]+"),
        QRegularExpression::CaseInsensitiveOption);
    QTextCursor found = document.find(address, 0);
    while (!found.isNull()) {
        QString text = found.selectedText();
        int end = found.selectionEnd();
        while (!text.isEmpty() && QStringLiteral(".,;:!?)]'").contains(text.back())) {
            text.chop(1);
            --end;
        }
        QTextCursor at(&document);
        at.setPosition(found.selectionStart() + 1);
        const bool inLink = at.charFormat().isAnchor();
        if (!inLink && !text.isEmpty()) {
            QTextCursor mark(&document);
            mark.setPosition(found.selectionStart());
            mark.setPosition(end, QTextCursor::KeepAnchor);
            QTextCharFormat f;
            f.setAnchor(true);
            f.setAnchorHref(text.startsWith(QLatin1String("www."), Qt::CaseInsensitive) ? QStringLiteral("http://") + text : text);
            f.setForeground(QColor(0, 0, 255));
            f.setFontUnderline(true);
            mark.mergeCharFormat(f);
        }
        found = document.find(address, found.selectionEnd());
    }
}

} // namespace tarn
