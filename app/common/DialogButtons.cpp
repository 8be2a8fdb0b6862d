#include "DialogButtons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace tarn {

TButtonRow MakeButtonRow(QDialog& dialog, const QString& ok, const QString& cancel)
{
    TButtonRow row;
    row.Panel1 = new QWidget;
    row.Panel1->setObjectName("Panel1");
    auto* bottom = new QHBoxLayout(row.Panel1);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addStretch(1);
    row.Panel2 = new QWidget;
    row.Panel2->setObjectName("Panel2");
    auto* buttons = new QHBoxLayout(row.Panel2);
    buttons->setContentsMargins(6, 6, 6, 6);
    bottom->addWidget(row.Panel2);
    if (!ok.isEmpty()) {
        row.Ok = new QPushButton(ok);
        row.Ok->setObjectName("BitBtn1");
        row.Ok->setDefault(true);
        buttons->addWidget(row.Ok);
        QObject::connect(row.Ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    }
    if (!cancel.isEmpty()) {
        row.Cancel = new QPushButton(cancel);
        row.Cancel->setObjectName(row.Ok ? "BitBtn2" : "BitBtn1");
        row.Cancel->setAutoDefault(false);
        buttons->addWidget(row.Cancel);
        QObject::connect(row.Cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    }
    return row;
}

} // namespace tarn
