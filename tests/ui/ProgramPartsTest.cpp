#include "ui/CommandLine.h"
#include "ui/DataFiles.h"
#include "ui/RunningInstance.h"
#include "ui/SplashDlg.h"
#include "tests/ui/XvfbServer.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace kestrel::ui {
namespace {

class FakeWindows final : public IWindowList {
public:
    std::vector<Window> TopLevelWindows() override { return windows; }
    void BringToTop(std::uint32_t id) override { raised.push_back(id); }
    std::vector<Window> windows;
    std::vector<std::uint32_t> raised;
};

TEST(RunningInstance, OnlyACorvidTitleCountsAndItIsBroughtToTheTop)
{
    FakeWindows desktop;
    desktop.windows = {{1, "ORVA - Kestrel"}, {2, "Terminal"}, {3, "ORVA - Corvid"}, {4, "x - Corvid"}};
    EXPECT_EQ(FindRunningInstance(desktop), std::optional<std::uint32_t>(3));
    EXPECT_EQ(desktop.raised, std::vector<std::uint32_t>{3});

    FakeWindows kestrels;
    kestrels.windows = {{1, "ORVA - Kestrel"}, {2, "ORVA - Kestrel"}};
    EXPECT_FALSE(FindRunningInstance(kestrels)) << "another Kestrel is not a running instance";
    EXPECT_TRUE(kestrels.raised.empty());
}

TEST(RunningInstance, TheMarkCountsOnlyInTheFirst254Characters)
{
    FakeWindows desktop;
    desktop.windows = {{5, std::string(246, 'a') + "- Corvid"}, {6, std::string(247, 'a') + "- Corvid"}};
    EXPECT_EQ(FindRunningInstance(desktop), std::optional<std::uint32_t>(5));
    desktop.windows.erase(desktop.windows.begin());
    EXPECT_FALSE(FindRunningInstance(desktop));
}

TEST(RunningInstance, FindsAnX11WindowByItsTitle)
{
    test::XvfbServer server;
    ASSERT_TRUE(server.Running()) << "Xvfb did not start";
    xcb_connection_t *connection = xcb_connect(server.Display().c_str(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(connection));
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 100, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    const char *title = "Notes - Corvid";
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(std::strlen(title)), title);
    xcb_map_window(connection, window);
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)); // a round trip: all done

    const std::string saved = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    setenv("DISPLAY", server.Display().c_str(), 1);
    auto windows = OpenX11WindowList();
    if (saved.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", saved.c_str(), 1);
    ASSERT_NE(windows, nullptr);
    EXPECT_EQ(FindRunningInstance(*windows), std::optional<std::uint32_t>(window));
    xcb_disconnect(connection);
}

TEST(RunningInstance, NoDisplayMeansNoList)
{
    const std::string saved = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    unsetenv("DISPLAY");
    EXPECT_EQ(OpenX11WindowList(), nullptr);
    if (!saved.empty())
        setenv("DISPLAY", saved.c_str(), 1);
}

TEST(CommandLine, AddressesAndAnswers)
{
    auto result = ParseCommandLine({"--bind", "127.0.0.3", "--auto-answer=yes", "127.0.0.2"});
    ASSERT_TRUE(result.line) << result.error;
    EXPECT_EQ(result.line->bindAddress, "127.0.0.3");
    EXPECT_EQ(result.line->autoAnswer, call::AutoAnswer::Yes);
    EXPECT_EQ(result.line->dialAddress, std::optional<std::string>("127.0.0.2"));

    result = ParseCommandLine({});
    ASSERT_TRUE(result.line);
    EXPECT_EQ(result.line->bindAddress, "0.0.0.0");
    EXPECT_EQ(result.line->autoAnswer, call::AutoAnswer::Ask);
    EXPECT_FALSE(result.line->dialAddress);

    EXPECT_EQ(ParseCommandLine({"--auto-answer", "no"}).line->autoAnswer, call::AutoAnswer::No);
    EXPECT_TRUE(ParseCommandLine({"--help"}).line->showHelp);
    EXPECT_TRUE(ParseCommandLine({"--version"}).line->showVersion);
    EXPECT_NE(VersionText().find("ORVA Kestrel Beta 002"), std::string::npos);
}

TEST(CommandLine, MistakesAreReported)
{
    for (const auto &arguments : std::vector<std::vector<std::string>>{
             {"--bind"}, {"--bind", "gamer-pc"}, {"--bind=300.1.1.1"}, {"--auto-answer", "maybe"}, {"--frobnicate"},
             {"127.0.0.2", "127.0.0.3"}}) {
        const auto result = ParseCommandLine(arguments);
        EXPECT_FALSE(result.line) << arguments[0];
        EXPECT_FALSE(result.error.empty());
    }
}

TEST(Splash, SitsInTheMiddleOfTheDesktop)
{
    EXPECT_EQ(CSplashDlg::Position({1024, 768}), QPoint(322, 264));
    EXPECT_EQ(CSplashDlg::Position({1281, 1025}), QPoint(450, 392)); // integer halves
}

TEST(DataFiles, BuildTreeOrInstallPrefix)
{
    QTemporaryDir build;
    QDir(build.path()).mkpath(QStringLiteral("ui"));
    QDir(build.path()).mkpath(QStringLiteral("share/kestrel"));
    const QString data = build.filePath(QStringLiteral("share/kestrel"));
    EXPECT_EQ(DataDirectoryFor(build.filePath(QStringLiteral("ui/kestrel")), build.path(), data).toStdString(),
              data.toStdString());

    QTemporaryDir prefix;
    EXPECT_EQ(DataDirectoryFor(prefix.filePath(QStringLiteral("bin/kestrel")), build.path(), data).toStdString(),
              (prefix.path() + QStringLiteral("/share/kestrel")).toStdString());
}

} // namespace
} // namespace kestrel::ui
