#include "platform/ui/QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include <cstdio>

namespace kestrel::platform {

namespace {

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void QtMessageBox::Show(std::string_view text, std::string_view caption, MessageIcon icon)
{
    QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, FromUtf8(caption),
                    FromUtf8(text), QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void StderrMessageBox::Show(std::string_view text, std::string_view caption, MessageIcon)
{
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
}

} // namespace kestrel::platform
