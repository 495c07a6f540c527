// The program's side of the floating picture: the command line and the
// General page's note for desktops without a global hot key.
#include "platform/store/MemoryProfileStore.h"
#include "platform/ui/RecordingMessageBox.h"
#include "ui/CommandLine.h"
#include "ui/GeneralDlg.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace kestrel::ui {
namespace {

TEST(ToggleOverlayCommandLine, TheOptionAloneOrWithTheAddressOfOneProgram)
{
    auto alone = ParseCommandLine({"--toggle-overlay"});
    ASSERT_TRUE(alone.line);
    EXPECT_TRUE(alone.line->toggleOverlay);
    EXPECT_FALSE(alone.line->bindAddressGiven); // any one program, not the one on 0.0.0.0
    auto bound = ParseCommandLine({"--toggle-overlay", "--bind", "127.0.0.7"});
    ASSERT_TRUE(bound.line);
    EXPECT_TRUE(bound.line->bindAddressGiven);
    EXPECT_EQ(bound.line->bindAddress, "127.0.0.7");
    EXPECT_FALSE(ParseCommandLine({}).line->toggleOverlay);
    EXPECT_NE(UsageText().find("--toggle-overlay"), std::string::npos);
}

TEST(GeneralPageNote, ShownOnlyWhereTheDesktopNeedsAShortcutAndNamesTheCommand)
{
    platform::MemoryProfileStore store;
    platform::RecordingMessageBox messages;
    CGeneralDlg page(store, messages);
    page.OnInitDialog();
    auto *note = page.findChild<QLabel *>(QStringLiteral("desktopShortcutNote"));
    ASSERT_NE(note, nullptr);
    EXPECT_FALSE(note->isVisibleTo(&page));
    page.ShowDesktopShortcutNote(true, QStringLiteral("kestrel --toggle-overlay --bind 127.0.0.7"));
    EXPECT_TRUE(note->isVisibleTo(&page));
    EXPECT_TRUE(note->text().endsWith(QStringLiteral("\nkestrel --toggle-overlay --bind 127.0.0.7")));
    page.ShowDesktopShortcutNote(false, QStringLiteral("kestrel --toggle-overlay"));
    EXPECT_FALSE(note->isVisibleTo(&page));
}

} // namespace
} // namespace kestrel::ui
