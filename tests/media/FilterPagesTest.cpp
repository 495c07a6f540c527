#include "MediaTestSupport.h"
#include "QtWait.h"
#include "media/qt/FilterPages.h"
#include "tideline/rtpconfig.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kestrel::media;
using namespace kestrel::media::test;
using namespace std::chrono_literals;

namespace {

// A page any element accepts, for the frame's own behaviour.
class CNamedPage : public CPropertyPage {
public:
    CNamedPage(QString title, QWidget *parent) : CPropertyPage(parent), title(std::move(title)) {}
    QString Title() const override { return title; }
    void Activate() override {}
    void Edit() { MarkDirty(); }

protected:
    bool Accepts(GObject *) const override { return true; }
    ApplyResult ApplyChanges() override { return ApplyResult::Applied; }

private:
    QString title;
};

class FilterPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitGstreamerForMediaTests();
        source = MakeElement(TIDELINE_RTP_SOURCE_FACTORY);
        ASSERT_NE(source, nullptr);
        factory.Register(QString::fromLatin1(kTestPageA).toLower(),
                         [](QWidget *parent) { return std::make_unique<CNamedPage>("Page A", parent); });
        factory.Register(kTestPageB, [](QWidget *parent) { return std::make_unique<CNamedPage>("Page B", parent); });
    }

    static int Port(GstElement *element)
    {
        int port = 0;
        tideline_rtp_source_config_get_port(element, &port);
        return port;
    }

    // Runs `check` on the modal frame once it is up, then closes it with `button`.
    static void WhenFrameShows(std::function<void(CFilterPropertyFrame &)> check, bool *seen)
    {
        QTimer::singleShot(0, [check, seen] {
            auto *frame = qobject_cast<CFilterPropertyFrame *>(QApplication::activeModalWidget());
            *seen = frame != nullptr;
            if (!frame) {
                ADD_FAILURE() << "no modal property frame";
                return;
            }
            check(*frame);
            if (frame->isVisible())
                frame->reject();
        });
    }

    GstRef<GstElement> source;
    CPropertyPageFactory factory;
};

} // namespace

TEST_F(FilterPages, PageIdentifiersComeFromTheElementsMetadataKeysInOrder)
{
    EXPECT_EQ(PageIdsOf(source.get()), QStringList{TIDELINE_RTP_SOURCE_PAGE_ID});
    GstRef<GstElement> renderer = MakeElement(kTestRendererFactory);
    EXPECT_EQ(PageIdsOf(renderer.get()), (QStringList{kTestPageA, kTestPageB}));
    EXPECT_TRUE(PageIdsOf(renderer.get(), {"tideline-property-page"}).isEmpty());
    GstRef<GstElement> plain = MakeElement("fakesink");
    EXPECT_TRUE(PageIdsOf(plain.get()).isEmpty());
}

TEST_F(FilterPages, TheFrameAppliesAnEditedTidelinePageAndCancelKeepsTheElementAsItWas)
{
    std::vector<std::unique_ptr<CPropertyPage>> pages;
    pages.push_back(CPropertyPageFactory::Default().Create(TIDELINE_RTP_SOURCE_PAGE_ID));
    ASSERT_NE(pages.back(), nullptr);
    CFilterPropertyFrame frame(source.get(), "Source", std::move(pages));
    ASSERT_EQ(frame.PageCount(), 1);
    EXPECT_EQ(frame.Page(0)->Title(), "Rcv Prop Title");
    EXPECT_FALSE(frame.ApplyButton()->isEnabled());

    auto *port = frame.findChild<QLineEdit *>("1000");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->text(), "6060");
    port->selectAll();
    QTest::keyClicks(port, "7010");
    EXPECT_TRUE(frame.ApplyButton()->isEnabled());
    QTest::mouseClick(frame.ApplyButton(), Qt::LeftButton);
    EXPECT_EQ(Port(source.get()), 7010);
    EXPECT_FALSE(frame.ApplyButton()->isEnabled());

    port->selectAll();
    QTest::keyClicks(port, "7020");
    frame.reject();
    EXPECT_EQ(Port(source.get()), 7010) << "Cancel applies nothing";
}

TEST_F(FilterPages, ShowFilterPagesShowsTheTidelinePageModallyAndOkAppliesIt)
{
    QWidget owner;
    owner.move(40, 30);
    owner.show();
    bool seen = false;
    WhenFrameShows(
        [&](CFilterPropertyFrame &frame) {
            EXPECT_EQ(frame.windowTitle(), "Source Settings");
            EXPECT_EQ(frame.parentWidget(), &owner);
            auto *port = frame.findChild<QLineEdit *>("1000");
            ASSERT_NE(port, nullptr);
            port->selectAll();
            QTest::keyClicks(port, "6200");
            frame.accept();
        },
        &seen);
    ShowFilterPages(source.get(), "Source Settings", 0, &owner);
    EXPECT_TRUE(seen);
    EXPECT_EQ(Port(source.get()), 6200);
}

TEST_F(FilterPages, OkKeepsTheFrameOpenWhileAPageRefusesItsValues)
{
    std::vector<std::unique_ptr<CPropertyPage>> pages;
    pages.push_back(CPropertyPageFactory::Default().Create(TIDELINE_RTP_SOURCE_PAGE_ID));
    CFilterPropertyFrame frame(source.get(), "Source", std::move(pages));
    frame.show();
    auto *port = frame.findChild<QLineEdit *>("1000");
    ASSERT_NE(port, nullptr);
    port->selectAll();
    QTest::keyClicks(port, "not a port");
    frame.accept();
    EXPECT_TRUE(frame.isVisible());
    EXPECT_EQ(frame.result(), QDialog::Rejected);
}

TEST_F(FilterPages, ThePageLimitShortensTheListAndNeverLengthensIt)
{
    GstRef<GstElement> renderer = MakeElement(kTestRendererFactory);
    auto titlesShown = [&](int limit) {
        QStringList titles;
        bool seen = false;
        WhenFrameShows(
            [&](CFilterPropertyFrame &frame) {
                for (int i = 0; i < frame.PageCount(); ++i)
                    titles.append(frame.Page(i)->Title());
            },
            &seen);
        ShowFilterPages(renderer.get(), "Encoder", limit, nullptr, factory);
        EXPECT_TRUE(seen);
        return titles;
    };
    EXPECT_EQ(titlesShown(1), QStringList{"Page A"});
    EXPECT_EQ(titlesShown(0), (QStringList{"Page A", "Page B"}));
    EXPECT_EQ(titlesShown(5), (QStringList{"Page A", "Page B"}));
}

TEST_F(FilterPages, AnElementWithoutKnownPagesShowsNothing)
{
    GstRef<GstElement> plain = MakeElement("fakesink");
    ShowFilterPages(plain.get(), "Nothing", 0, nullptr, factory); // would block in exec() if a frame opened
    GstRef<GstElement> renderer = MakeElement(kTestRendererFactory);
    ShowFilterPages(renderer.get(), "Unknown pages", 0); // the default factory knows neither test page
    SUCCEED();
}
