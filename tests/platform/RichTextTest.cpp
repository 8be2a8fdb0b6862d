// Rich text read into a document: the text each construct gives, the
// formats it carries, tables, links, and what is refused.
#include "platform/RichText.h"
#include "platform/gdi/Gdi.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <gtest/gtest.h>

#include <tuple>

namespace tarn {
namespace {

QString Text(const std::string& rtf)
{
    EnsureGuiApplication();
    QTextDocument doc;
    ReadRichText(rtf, doc, "test.rtf");
    return doc.toPlainText();
}

// The format of the first character of `what` in the document.
QTextCharFormat FormatOf(QTextDocument& doc, const QString& what)
{
    const QTextCursor found = doc.find(what);
    EXPECT_FALSE(found.isNull()) << what.toStdString();
    QTextCursor at(&doc);
    at.setPosition(found.selectionStart() + 1);
    return at.charFormat();
}

TEST(RichText, GivesTheTextOfEachConstruct)
{
    const struct {
        const char* Rtf;
        const char* Text;  // UTF-8
    } cases[] = {
        {"{\\rtf1 Hello}", "Hello"},
        {"{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}", "Привет"},
        {"{\\rtf1\\ansi\\ansicpg1252 caf\\'e9}", "café"},
        // A font's charset decides over the document's code page.
        {"{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Arial;}}\\f1 \\'c4\\'e0}", "Да"},
        {"{\\rtf1\\ansi{\\fonttbl{\\f1\\fcharset204 A;}{\\f1\\fcharset0 B;}{\\f2 C;}}\\f1 \\'c4{\\f2\\'e0}}", "Дà"},
        {"{\\rtf1 \\u1025?\\u-3913?x}", "Ё\xEF\x82\xB7x"},  // a negative \u counts from 65536
        {"{\\rtf1\\uc2 \\u1046\\'3f\\'3fz}", "Жz"},
        {"{\\rtf1\\uc0 \\u1046 z}", "Жz"},
        // (plain text gives line breaks as new lines and fixed spaces as spaces)
        {"{\\rtf1 a\\par b\\line c\\tab d}", "a\nb\nc\td"},
        {"{\\rtf1 \\{\\}\\\\ \\~x\\_y\\-z}", "{}\\  x-yz"},
        {"{\\rtf1 \\lquote q\\rquote  \\ldblquote w\\rdblquote \\endash\\emdash\\bullet}", "‘q’ “w”–—•"},
        {"{\\rtf1 {\\*\\unknown hidden}{\\info{\\title t}}{\\pict 0102}{\\stylesheet{s}}shown}", "shown"},
        {"{\\rtf1 {\\header top}{\\footnote note}body}", "body"},
        {"{\\rtf1 a\r\nb}", "ab"},
        {"{\\rtf1 x}trailing", "x"},
        {"  {\\rtf1 lead}", "lead"},
        {"{\\rtf1 \\fs99999999999999 big}", "big"},
        {"{\\rtf1 unclosed {\\b group", "unclosed group"},
    };
    for (const auto& c : cases) EXPECT_EQ(Text(c.Rtf).toStdString(), c.Text) << c.Rtf;
}

TEST(RichText, CarriesCharacterAndParagraphFormats)
{
    EnsureGuiApplication();
    QTextDocument doc;
    ReadRichText("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}"
                 "\\qc\\b Bold\\b0  {\\i Ital} {\\ul Under}\\ulnone  {\\strike Gone} {\\fs40 Large} "
                 "{\\cf1 Red}{\\cf2 Green}{\\cf9 Auto} plain\\par\\pard\\qr Right\\par\\pard Left}",
                 doc, "test.rtf");
    EXPECT_EQ(FormatOf(doc, "Bold").fontWeight(), QFont::Bold);
    EXPECT_EQ(FormatOf(doc, "plain").fontWeight(), QFont::Normal);
    EXPECT_TRUE(FormatOf(doc, "Ital").fontItalic());
    EXPECT_FALSE(FormatOf(doc, "plain").fontItalic());
    EXPECT_TRUE(FormatOf(doc, "Under").fontUnderline());
    EXPECT_TRUE(FormatOf(doc, "Gone").fontStrikeOut());
    EXPECT_DOUBLE_EQ(FormatOf(doc, "Large").fontPointSize(), 20.0);
    EXPECT_DOUBLE_EQ(FormatOf(doc, "plain").fontPointSize(), 12.0);
    EXPECT_EQ(FormatOf(doc, "Red").foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(FormatOf(doc, "Green").foreground().color(), QColor(0, 128, 0));
    EXPECT_EQ(FormatOf(doc, "Auto").foreground().style(), Qt::NoBrush) << "a colour the table lacks";
    EXPECT_EQ(doc.findBlockByNumber(0).blockFormat().alignment(), Qt::AlignHCenter);
    EXPECT_EQ(doc.findBlockByNumber(1).blockFormat().alignment(), Qt::AlignRight);
    EXPECT_EQ(doc.findBlockByNumber(2).blockFormat().alignment(), Qt::AlignLeft);

    // Indents in twips, 15 to a pixel; \pard drops them.
    ReadRichText("{\\rtf1\\li720\\ri360\\fi-360 Hanging\\par\\pard Flat}", doc, "test.rtf");
    const QTextBlockFormat hanging = doc.findBlockByNumber(0).blockFormat(), flat = doc.findBlockByNumber(1).blockFormat();
    EXPECT_EQ(std::tuple(hanging.leftMargin(), hanging.rightMargin(), hanging.textIndent()), std::tuple(48.0, 24.0, -24.0));
    EXPECT_EQ(std::tuple(flat.leftMargin(), flat.rightMargin(), flat.textIndent()), std::tuple(0.0, 0.0, 0.0));
}

TEST(RichText, ReadsTablesOfRowsAndCells)
{
    EnsureGuiApplication();
    QTextDocument doc;
    ReadRichText("{\\rtf1 Before\\par"
                 "\\trowd\\cellx1000\\cellx2000\\pard\\intbl {\\b A1}\\cell\\pard\\intbl A2\\par more\\cell\\row"
                 "\\trowd\\cellx1000\\cellx2000\\cellx3000\\pard\\intbl B1\\cell B2\\cell B3\\cell\\row"
                 "\\pard After}",
                 doc, "test.rtf");
    QTextTable* table = nullptr;
    for (QTextFrame* f : doc.rootFrame()->childFrames())
        if (auto* t = qobject_cast<QTextTable*>(f)) table = t;
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rows(), 2);
    EXPECT_EQ(table->columns(), 3);
    const auto cell = [table](int r, int c) {
        QTextCursor a = table->cellAt(r, c).firstCursorPosition(), b = table->cellAt(r, c).lastCursorPosition();
        a.setPosition(b.position(), QTextCursor::KeepAnchor);
        return a.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('|'));
    };
    EXPECT_EQ(cell(0, 0), QLatin1String("A1"));
    EXPECT_EQ(cell(0, 1), QLatin1String("A2|more"));
    EXPECT_EQ(cell(0, 2), QString());
    EXPECT_EQ(cell(1, 2), QLatin1String("B3"));
    EXPECT_EQ(FormatOf(doc, "A1").fontWeight(), QFont::Bold);
    const QString text = doc.toPlainText();
    EXPECT_TRUE(text.startsWith(QLatin1String("Before"))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QLatin1String("After"))) << text.toStdString();

    // 20 000 cells a document: a second table of 12 000 is written as lines.
    std::string rtf = "{\\rtf1 ";
    for (int t = 0; t < 2; ++t) {
        for (int r = 0; r < 6000; ++r) rtf += "\\trowd\\intbl a\\cell b\\cell\\row";
        rtf += "\\pard\\par ";
    }
    ReadRichText(rtf + "}", doc, "test.rtf");
    int tables = 0;
    for (QTextFrame* f : doc.rootFrame()->childFrames()) tables += qobject_cast<QTextTable*>(f) != nullptr;
    EXPECT_EQ(tables, 1);
    EXPECT_EQ(doc.toPlainText().count(QLatin1String("a\tb\n")), 6000);
}

TEST(RichText, LinksFromFieldsAndAddressesWrittenOut)
{
    EnsureGuiApplication();
    const struct {
        const char* Rtf;
        const char* Shown;  // the link's text
        const char* Href;   // "" for none
    } cases[] = {
        {"{\\rtf1 {\\field{\\*\\fldinst{HYPERLINK \"http://a.example/x\"}}{\\fldrslt{Site}}} end}", "Site", "http://a.example/x"},
        {"{\\rtf1 {\\field{\\*\\fldinst HYPERLINK mailto:b@c.example }{\\fldrslt Mail}}}", "Mail", "mailto:b@c.example"},
        {"{\\rtf1 {\\field{\\*\\fldinst PAGE }{\\fldrslt 7}} page}", "7", ""},
        {"{\\rtf1 see https://d.example/p?q=1, then}", "https://d.example/p?q=1", "https://d.example/p?q=1"},
        {"{\\rtf1 at www.e.example.}", "www.e.example", "http://www.e.example"},
        {"{\\rtf1 write mailto:f@g.example}", "mailto:f@g.example", "mailto:f@g.example"},
        {"{\\rtf1 ftp://h.example stays}", "ftp", ""},
    };
    for (const auto& c : cases) {
        QTextDocument doc;
        ReadRichText(c.Rtf, doc, "test.rtf");
        const QTextCharFormat f = FormatOf(doc, QString::fromUtf8(c.Shown));
        EXPECT_EQ(f.isAnchor(), *c.Href != 0) << c.Rtf;
        EXPECT_EQ(f.anchorHref().toStdString(), c.Href) << c.Rtf;
        if (*c.Href) {
            // The whole shown text and nothing after it is the link.
            const QTextCursor found = doc.find(QString::fromUtf8(c.Shown));
            QTextCursor last(&doc), after(&doc);
            last.setPosition(found.selectionEnd());
            EXPECT_TRUE(last.charFormat().isAnchor()) << c.Rtf;
            if (found.selectionEnd() < doc.characterCount() - 1) {
                after.setPosition(found.selectionEnd() + 1);
                EXPECT_FALSE(after.charFormat().isAnchor()) << c.Rtf;
            }
        }
    }
}

TEST(RichText, RefusesWhatIsNoRichTextOrNestsTooDeep)
{
    EnsureGuiApplication();
    const struct {
        std::string Rtf;
        const char* Message;
    } cases[] = {
        {"", "does not begin with {\\rtf"},
        {"Hello", "does not begin with {\\rtf"},
        {"{\\rt", "does not begin with {\\rtf"},
        {"{\\rtf1 " + std::string(600, '{'), "nested deeper than 512"},
    };
    for (const auto& c : cases) {
        QTextDocument doc;
        try {
            ReadRichText(c.Rtf, doc, "card.rtf");
            ADD_FAILURE() << "accepted: " << c.Rtf.substr(0, 20);
        } catch (const ERichTextError& e) {
            EXPECT_NE(std::string(e.what()).find("card.rtf, offset "), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.Message), std::string::npos) << e.what();
        }
    }
    // 511 levels are still read.
    EXPECT_EQ(Text("{\\rtf1 " + std::string(510, '{') + "deep" + std::string(511, '}')).toStdString(), "deep");
}

} // namespace
} // namespace tarn
