#include "Group_f.h"

#include "app/common/AppServices.h"
#include "app/common/ControlHooks.h"
#include "app/common/Info_mdl.h"
#include "app/search/SearchT.h"
#include "platform/Cp1251Qt.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QShowEvent>
#include <QToolButton>
#include <QValidator>
#include <QVBoxLayout>

#include <algorithm>

namespace tarn {

namespace {

constexpr int FormWidth = 320;
constexpr int FormHeight = 420;
constexpr int Panel1Height = 33;
constexpr int ShowBtnSize = 23;

// Whatever is typed or pasted is upper case.
class TUpperCase : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

} // namespace

TGroupForm::TGroupForm(TInfoModule& info, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      Info(info), IniFile(info.PositionFile)
{
    setObjectName("GroupForm");
    setAttribute(Qt::WA_DeleteOnClose);
    resize(FormWidth, FormHeight);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedHeight(Panel1Height);
    auto* row = new QHBoxLayout(Panel1);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(4);
    Edit1 = new QLineEdit(Panel1);
    Edit1->setObjectName("Edit1");
    Edit1->setValidator(new TUpperCase(Edit1));
    Edit1->setFocusPolicy(Qt::ClickFocus);
    ShowBtn = new QToolButton(Panel1);
    ShowBtn->setObjectName("ShowBtn");
    ShowBtn->setFixedSize(ShowBtnSize, ShowBtnSize);
    ShowBtn->setText(QString::fromUtf8("»"));
    ShowBtn->setToolTip(QString::fromUtf8("Показать на карте"));
    ShowBtn->setStatusTip(ShowBtn->toolTip());
    ShowBtn->setFocusPolicy(Qt::NoFocus);
    row->addWidget(Edit1, 1);
    row->addWidget(ShowBtn);
    column->addWidget(Panel1);

    Panel2 = new QFrame(this);
    Panel2->setObjectName("Panel2");
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* inner = new QVBoxLayout(Panel2);
    inner->setContentsMargins(1, 1, 1, 1);
    ListBox1 = new QListWidget(Panel2);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setFrameShape(QFrame::NoFrame);
    QPalette face = ListBox1->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    ListBox1->setPalette(face);
    ListBox1->viewport()->setMouseTracking(true);
    inner->addWidget(ListBox1);
    column->addWidget(Panel2, 1);

    Hooks.push_back(TControlHooks::Of(ListBox1).OnMouseMove.Install(
        [this](const THook<uint32_t, int32_t, int32_t>::TNext& next, uint32_t s, int32_t x, int32_t y) {
            ListBox1MouseMove(x, y);
            next(s, x, y);
        }));

    RestoreWindowPlacement(*this, *IniFile, GroupFormSection);
}

TGroupForm::~TGroupForm() = default;

void TGroupForm::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void TGroupForm::FormShow()
{
    const std::shared_ptr<TSearchText> list = SearchList.lock();
    if (!list || list->ListBox() == ListBox1) return;
    list->SetListBox(ListBox1);
    list->SetEdit(Edit1);
    list->SetButton(ShowBtn);
}

void TGroupForm::closeEvent(QCloseEvent* e)
{
    try {
        SaveWindowPlacement(*this, *IniFile, GroupFormSection);
    } catch (const std::exception& error) {
        Info.Services.ShowError(error.what());
    }
    e->accept();
}

void TGroupForm::ListBox1MouseMove(int32_t x, int32_t y)
{
    const QListWidgetItem* item = ListBox1->itemAt(x, y);
    ListBox1->setToolTip(item ? PlainToolTip(item->text()) : QString());
}

TGroupForm* OpenGroupWindow(TInfoModule& info, const std::shared_ptr<TSearchText>& list, const QListWidget* styleFrom)
{
    auto& forms = info.GroupForms;
    forms.erase(std::remove_if(forms.begin(), forms.end(), [](const QPointer<QWidget>& g) { return g.isNull(); }),
                forms.end());
    for (const QPointer<QWidget>& held : forms)
        if (auto* open = static_cast<TGroupForm*>(held.data()); open->SearchList.lock() == list) {
            open->setWindowState(open->windowState() & ~Qt::WindowMinimized);
            open->show();
            open->raise();
            open->activateWindow();
            return open;
        }
    auto* form = new TGroupForm(info);
    if (styleFrom) SetOwnerDrawn(form->ListBox1, IsOwnerDrawn(styleFrom));
    form->setWindowTitle(Cp1251ToQString(list->Name));
    form->SearchList = list;
    info.GroupForms.emplace_back(form);
    form->show();
    return form;
}

} // namespace tarn
