// Banners in Panel1 and the ticker line over the status bar.
#include "MainForm.h"

#include "app/SecretPanel.h"
#include "app/cards/UnCont.h"
#include "app/search/ObjectDb.h"
#include "app/search/SearchObj.h"
#include "platform/Cp1251Qt.h"

#include <QTimer>
#include <QVBoxLayout>

#include <limits>

namespace tarn {

namespace {

// The value of "|" and the digits that open a ticker line, and how many
// characters they take; nullopt when the line opens with no such prefix.
// Digits that are no 32-bit integer give colour 0.
struct TColourPrefix {
    int32_t Colour = 0;
    qsizetype Length = 0;
};

std::optional<TColourPrefix> ColourPrefix(const QString& line)
{
    if (line.size() < 2 || line[0] != QLatin1Char('|')) return std::nullopt;
    qsizetype end = 1;
    int64_t value = 0;
    bool fits = true;
    while (end < line.size() && line[end] >= QLatin1Char('0') && line[end] <= QLatin1Char('9')) {
        value = value * 10 + (line[end].unicode() - '0');
        if (value > std::numeric_limits<int32_t>::max()) {
            fits = false;
            value = 0;
        }
        ++end;
    }
    if (end == 1) return std::nullopt;
    return TColourPrefix{fits ? int32_t(value) : 0, end};
}

} // namespace

// The banner viewer fills Panel1; a click on the picture runs the banner's
// object action.
void TMainForm::CreateBannerViewer()
{
    BannerViewer = TOwned<TUniversalContainer>::Make(Services, Panel1);
    BannerViewer->setObjectName("BannerViewer");
    auto* l = new QVBoxLayout(Panel1);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(BannerViewer.get());
    BannerViewer->SetStretch(true);
    BannerViewer->SetTransparent(true);
    BannerViewer->setAutoFillBackground(true);
    QPalette white = BannerViewer->palette();
    white.setColor(QPalette::Window, Qt::white);
    BannerViewer->setPalette(white);
    BannerViewer->setCursor(Qt::PointingHandCursor);
    BannerViewer->OnClick = [this](QWidget*) { BannerClick(); };
}

// "banners.dat" opened for the program's life and its banners listed.
void TMainForm::LoadBanners() { LoadBannerFile(ProgramDirName + "banners.dat", BannerList); }

// The next banner (every 60 s, and once when the window shows). An index
// kept from a run with more banners starts again at the first; with no
// banners nothing is shown.
void TMainForm::Timer1Timer()
{
    Timer1->stop();
    const int32_t count = int32_t(BannerList.Records.size());
    if (count > 0 && BannerViewer && BannerList.Stream) {
        if (BannerIndex < 0 || BannerIndex >= count) BannerIndex = 0;
        ++BannerIndex;
        const TTarnData& banner = BannerList.Records[std::size_t(BannerIndex - 1)];
        const QString name = Cp1251ToQString(banner.Name);
        BannerViewer->setToolTip(PlainToolTip(name));
        BannerViewer->setStatusTip(name);
        try {
            // A record without data has no picture, and its offset and size
            // mean nothing: the viewer stays as it was.
            if (!banner.HasNoData() && banner.DataSize >= 1) {
                const std::string bytes = ReadDataBytes(*BannerList.Stream, banner.DataOffset, banner.DataSize, banner.Name);
                if (BannerViewer->LoadFromMemory(bytes, banner.FileType) == TUniversalContainer::Loaded)
                    BannerViewer->ShowContainer();
            }
        } catch (const std::exception& e) {
            // The file changed under the program, or the banner is larger
            // than any may be: it is said once and dropped, the others go on.
            BannerList.Records.erase(BannerList.Records.begin() + (BannerIndex - 1));
            --BannerIndex;
            Services.ShowError(e.what());
        }
    }
    Timer1->start();
}

// The action of the banner's object: its card, as a click on the map would.
void TMainForm::BannerClick()
{
    if (!SearchObject || BannerIndex < 1 || BannerIndex > int32_t(BannerList.Records.size())) return;
    const TObjectKey& k = BannerList.Records[std::size_t(BannerIndex - 1)].Key;
    SearchObject->ExecuteObjectAction(TObjectKey{0, 1, k.LayerID, PlacesSheetID, k.Code});
}

// TickerLines from the text of the ticker object (1, 9999, 5, 99), one a
// text line, then their colours.
void TMainForm::PrepareTicker()
{
    TickerLines.clear();
    QString text = SearchObject ? SearchObject->GetObjectText(TickerKey) : QString();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    // A final line break ends the last line; it opens no empty one.
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    for (const QString& line : lines) TickerLines.push_back({line.toStdString(), std::nullopt});
    PrepareTickerLines();
}

// "|" and digits open a line of that colour and are not shown; a plain
// line has colour 0; a "|" without digits stays in the text and the line
// has no colour of its own.
void TMainForm::PrepareTickerLines()
{
    for (TTickerLine& line : TickerLines) {
        const QString text = QString::fromStdString(line.Text);
        if (!text.startsWith(QLatin1Char('|'))) {
            line.Object = TNObj{0};
        } else if (const std::optional<TColourPrefix> prefix = ColourPrefix(text)) {
            line.Text = text.mid(prefix->Length).toStdString();
            line.Object = TNObj{prefix->Colour};
        } else {
            line.Object.reset();
        }
    }
}

// The next ticker line (every 90 s once the last one has scrolled through).
// An index kept from a longer text starts again at the first line.
void TMainForm::Timer2Timer()
{
    Timer2->stop();
    if (TickerLines.empty()) {
        // Nothing to scroll: the ticker waits as it would between lines.
        Timer2->start();
        return;
    }
    if (TickerIndex < 0 || TickerIndex >= int32_t(TickerLines.size())) TickerIndex = 0;
    const TTickerLine& line = TickerLines[std::size_t(TickerIndex)];
    SecretPanel1->ClearLines();
    SecretPanel1->AddLine(QString::fromStdString(line.Text));
    SecretPanel1->SetFontColor(TColorRef(line.Object ? line.Object->Colour : 0));
    SecretPanel1->show();
    SecretPanel1->raise();
    SecretPanel1->Play();
}

// The line has scrolled through: the panel hides until the next tick.
void TMainForm::SecretPanel1StopPlay()
{
    Timer2->start();
    SecretPanel1->hide();
    ++TickerIndex;
    if (TickerIndex < 0 || TickerIndex >= int32_t(TickerLines.size())) TickerIndex = 0;
}

} // namespace tarn
