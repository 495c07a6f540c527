#pragma once

#include "overlaysettings/HotKey.h"

#include <QLineEdit>

namespace kestrel::overlaysettings {

// A hot-key control: shows one key combination ("Ctrl+Alt+V", or "None") and
// takes the next combination the user presses while it has the focus.
// Backspace or Delete alone clears it; Tab, Enter and Esc alone keep their
// usual meaning in the dialog.
class HotKeyEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit HotKeyEdit(QWidget *parent = nullptr);

    HotKey Value() const { return value_; }
    void SetValue(HotKey value);

signals:
    void ValueChanged(kestrel::overlaysettings::HotKey value);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void ShowValue();

    HotKey value_;
};

} // namespace kestrel::overlaysettings
