#pragma once

#include <QDialog>
#include <QIcon>

namespace kestrel::ui {

// "About Kestrel": the program icon, "ORVA Kestrel Beta 002" and OK (dialog 100).
class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(const QIcon &icon, QWidget *parent = nullptr);
};

} // namespace kestrel::ui
