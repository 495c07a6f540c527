#include "overlaysettings/HotKeyEdit.h"

#include "overlaysettings/HotKeyConversion.h"

#include <QKeyEvent>

namespace kestrel::overlaysettings {

HotKeyEdit::HotKeyEdit(QWidget *parent) : QLineEdit(parent)
{
    setReadOnly(true); // typed text must not land in the field; key presses are read below
    setContextMenuPolicy(Qt::NoContextMenu);
    ShowValue();
}

void HotKeyEdit::SetValue(HotKey value)
{
    if (value == value_)
        return;
    value_ = value;
    ShowValue();
    emit ValueChanged(value_);
}

void HotKeyEdit::ShowValue()
{
    if (value_.IsEmpty()) {
        setText(tr("None"));
        return;
    }
    const QKeySequence sequence = KeySequenceFromHotKey(value_);
    if (!sequence.isEmpty()) {
        setText(sequence.toString(QKeySequence::NativeText));
        return;
    }
    // A key code typed on another system that we cannot name: show its number.
    const QKeySequence modifiersOnly = KeySequenceFromHotKey({'A', value_.modifiers});
    QString text = modifiersOnly.toString(QKeySequence::NativeText);
    text.chop(1);
    setText(text + QStringLiteral("0x%1").arg(value_.virtualKey, 2, 16, QLatin1Char('0')));
}

void HotKeyEdit::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier |
                                                                 Qt::AltModifier | Qt::MetaModifier);
    const bool alone = modifiers == Qt::NoModifier;
    if (alone && (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
        SetValue({});
        event->accept();
        return;
    }
    if (alone && (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return ||
                  key == Qt::Key_Enter || key == Qt::Key_Escape)) {
        event->ignore(); // the dialog moves the focus, accepts or cancels
        return;
    }
    if (const auto hotKey = HotKeyFromQt(key, event->modifiers()))
        SetValue(*hotKey);
    event->accept();
}

} // namespace kestrel::overlaysettings
