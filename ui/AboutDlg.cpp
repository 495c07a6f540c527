#include "ui/AboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kestrel::ui {

CAboutDlg::CAboutDlg(const QIcon &icon, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("100"));
    setWindowTitle(tr("About Kestrel"));
    auto *picture = new QLabel(this);
    picture->setPixmap(icon.pixmap(32, 32));
    auto *text = new QLabel(tr("ORVA Kestrel Beta 002"), this);
    text->setObjectName(QStringLiteral("version"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *row = new QHBoxLayout;
    row->addWidget(picture, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addWidget(text, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace kestrel::ui
