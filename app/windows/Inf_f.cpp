#include "Inf_f.h"

#include "app/common/FormPlacement.h"
#include "app/common/Info_mdl.h"
#include "app/search/Info_f.h"
#include "model/Models.h"
#include "model/ViewWork.h"
#include "platform/RichText.h"

#include <QPushButton>
#include <QShowEvent>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace tarn {

namespace {

constexpr int FormWidth = 436;
constexpr int FormHeight = 372;

} // namespace

TInformationForm::TInformationForm(TInfoModule& info)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint), Info(info), ProgramDir(info.ProgramDir())
{
    setObjectName("InformationForm");
    // Left open, it does not keep the program running once the main window closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QString::fromUtf8("Информация"));
    resize(FormWidth, FormHeight);

    const TShowPanel top = MakeShowPanel(*this);
    Panel1 = top.Panel1;
    BitBtn1 = top.BitBtn1;

    RichEdit1 = new QTextBrowser(this);
    RichEdit1->setObjectName("RichEdit1");
    RichEdit1->setFrameShape(QFrame::NoFrame);
    RichEdit1->setOpenLinks(false);
    RichEdit1->setOpenExternalLinks(false);
    top.Column->addWidget(RichEdit1, 1);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(RichEdit1, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) { RichEdit1URLClick(url); });
    FormPlacement1 = new TFormPlacement(*this, info, "InformationForm");
}

TInformationForm::~TInformationForm() = default;

void TInformationForm::showEvent(QShowEvent* e)
{
    Panel1->setVisible(HasObject);
    QWidget::showEvent(e);
}

void TInformationForm::LoadRichText(std::string_view rtf, const std::string& source)
{
    try {
        ReadRichText(rtf, *RichEdit1->document(), source);
    } catch (...) {
        RichEdit1->clear();
        throw;
    }
}

void TInformationForm::BitBtn1Click()
{
    TMainMap* main = Info.MainForm;
    if (!HasObject || !main || !main->Model()) return;
    TModel& model = *main->Model();
    TView& view = *main->View();
    model.GetViewState(view);
    // An object the map cannot find leaves the map and its highlight as they were.
    if (!ZoomToObject(model, view, Key)) return;
    main->ClearMapSelection();
    TKeyList one{Key};
    model.HighlightObjects(&view, 1, one);
    model.DrawObjects(view, one);
}

void TInformationForm::RichEdit1URLClick(const QUrl& url)
{
    if (IsWebOrMailAddress(url)) Info.Services.OpenAddress(url.toString(QUrl::FullyEncoded).toStdString());
}

} // namespace tarn
