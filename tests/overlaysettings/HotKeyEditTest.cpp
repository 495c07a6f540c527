#include "overlaysettings/HotKeyEdit.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace kestrel::overlaysettings;

namespace {

TEST(HotKeyEdit, TypedCombinationReplacesTheValueAndBackspaceClearsIt)
{
    HotKeyEdit edit;
    edit.SetValue({'V', kHotKeyControl | kHotKeyAlt});
    EXPECT_EQ(edit.text(), QKeySequence(QStringLiteral("Ctrl+Alt+V")).toString(QKeySequence::NativeText));
    QTest::keyClick(&edit, Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_EQ(edit.Value(), (HotKey{0x74, kHotKeyShift}));
    QTest::keyClick(&edit, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(edit.Value(), (HotKey{0x74, kHotKeyShift})) << "a lone modifier press must not change the value";
    QTest::keyClick(&edit, Qt::Key_X);
    EXPECT_EQ(edit.text(), QStringLiteral("X")) << "typed characters must not be inserted as text";
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_TRUE(edit.Value().IsEmpty());
    EXPECT_EQ(edit.text(), QStringLiteral("None"));
}

TEST(HotKeyEdit, UnnamedKeyCodeFromAnotherSystemIsShownByNumber)
{
    HotKeyEdit edit;
    QSignalSpy changes(&edit, &HotKeyEdit::ValueChanged);
    edit.SetValue({0xFF, kHotKeyControl});
    EXPECT_TRUE(edit.text().endsWith(QStringLiteral("0xff"))) << edit.text().toStdString();
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(edit.Value(), (HotKey{0xFF, kHotKeyControl})) << "an unknown key is kept, not dropped";
}

} // namespace
