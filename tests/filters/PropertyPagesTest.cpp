#include "GstTestSupport.h"
#include "filters/pages/PropertyPage.h"
#include "tideline/rtpconfig.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace kestrel::filters::pages;
using namespace kestrel::filters::test;
using ApplyResult = CPropertyPage::ApplyResult;

namespace {

class PropertyPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitGstreamerWithBuildTreePlugin();
        static int argc = 1;
        static char name[] = "pages";
        static char *argv[] = {name, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv);
    }

    // The page an element names in its factory metadata, connected to it.
    std::unique_ptr<CPropertyPage> PageFor(GstElement *element)
    {
        const char *pageId = gst_element_class_get_metadata(GST_ELEMENT_GET_CLASS(element),
                                                            TIDELINE_METADATA_PROPERTY_PAGE);
        auto page = CreatePropertyPage(QString::fromLatin1(pageId));
        if (page && page->Connect(G_OBJECT(element)))
            page->Activate();
        return page;
    }
};

GstRef<GstElement> Make(const char *factory)
{
    GstElement *element = gst_element_factory_make(factory, nullptr);
    gst_object_ref_sink(element);
    return GstRef<GstElement>(element);
}

QLineEdit *Control(CPropertyPage &page, const char *id)
{
    return page.findChild<QLineEdit *>(QString::fromLatin1(id));
}

bool HasLabel(CPropertyPage &page, const QString &text)
{
    for (QLabel *label : page.findChildren<QLabel *>())
        if (label->text() == text)
            return true;
    return false;
}

} // namespace

TEST_F(PropertyPages, SourcePageShowsAndStoresThePortAndMarksItselfDirtyOnEdit)
{
    auto source = Make(TIDELINE_RTP_SOURCE_FACTORY);
    auto page = PageFor(source.get());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->Title(), "Rcv Prop Title");
    EXPECT_TRUE(HasLabel(*page, "Listen Port:"));
    QLineEdit *port = Control(*page, "1000");
    ASSERT_TRUE(port);
    EXPECT_EQ(port->text(), "6060");

    QSignalSpy dirty(page.get(), &CPropertyPage::DirtyChanged);
    port->selectAll();
    QTest::keyClicks(port, "7000");
    EXPECT_TRUE(page->IsDirty());
    EXPECT_EQ(dirty.count(), 1);
    EXPECT_EQ(page->Apply(), ApplyResult::Applied);
    EXPECT_FALSE(page->IsDirty());
    int stored = 0;
    tideline_rtp_source_config_get_port(source.get(), &stored);
    EXPECT_EQ(stored, 7000);
}

TEST_F(PropertyPages, SourcePageStoresPortZeroForAnEmptyFieldAndSaysSo)
{
    auto source = Make(TIDELINE_RTP_SOURCE_FACTORY);
    auto page = PageFor(source.get());
    Control(*page, "1000")->clear();
    EXPECT_EQ(page->Apply(), ApplyResult::NotApplied);
    int stored = -1;
    tideline_rtp_source_config_get_port(source.get(), &stored);
    EXPECT_EQ(stored, 0);
}

TEST_F(PropertyPages, RenderPageAppliesNothingWithoutANumberOrAnAddress)
{
    auto render = Make(TIDELINE_RTP_RENDER_FACTORY);
    auto page = PageFor(render.get());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->Title(), "Send Prop Title");
    EXPECT_TRUE(HasLabel(*page, "Connect ip:"));
    EXPECT_TRUE(HasLabel(*page, "Connect Port:"));
    QLineEdit *address = Control(*page, "1001");
    QLineEdit *port = Control(*page, "1000");
    ASSERT_TRUE(address && port);
    EXPECT_EQ(address->text(), "127.0.0.1");
    EXPECT_EQ(port->text(), "6060");

    address->setText("127.1.5.9");
    port->clear();
    EXPECT_EQ(page->Apply(), ApplyResult::NotApplied);
    address->clear();
    port->setText("7000");
    EXPECT_EQ(page->Apply(), ApplyResult::NotApplied);
    gchar *stored = nullptr;
    int storedPort = 0;
    tideline_rtp_render_config_get_destination(render.get(), &stored, &storedPort);
    EXPECT_STREQ(stored, "127.0.0.1");
    EXPECT_EQ(storedPort, 6060);
    g_free(stored);

    address->setText("127.1.5.9");
    EXPECT_EQ(page->Apply(), ApplyResult::Applied);
    tideline_rtp_render_config_get_destination(render.get(), &stored, &storedPort);
    EXPECT_STREQ(stored, "127.1.5.9");
    EXPECT_EQ(storedPort, 7000);
    g_free(stored);
}

TEST_F(PropertyPages, RenderPageFieldsRefuseWhatIsNotAnAddressOrADigit)
{
    auto render = Make(TIDELINE_RTP_RENDER_FACTORY);
    auto page = PageFor(render.get());
    QLineEdit *address = Control(*page, "1001");
    QLineEdit *port = Control(*page, "1000");
    address->clear();
    QTest::keyClicks(address, "10.x0.300.1");
    EXPECT_EQ(address->text(), "10.0.30.1");
    port->clear();
    QTest::keyClicks(port, "6a0-6");
    EXPECT_EQ(port->text(), "606");
}

TEST_F(PropertyPages, PagesRefuseObjectsWithoutTheirInterfaceAndUnknownIdentifiers)
{
    EXPECT_EQ(CreatePropertyPage("{00000000-0000-0000-0000-000000000000}"), nullptr);
    auto source = Make(TIDELINE_RTP_SOURCE_FACTORY);
    auto render = Make(TIDELINE_RTP_RENDER_FACTORY);
    auto renderPage = CreatePropertyPage(TIDELINE_RTP_RENDER_PAGE_ID);
    auto sourcePage = CreatePropertyPage(TIDELINE_RTP_SOURCE_PAGE_ID);
    EXPECT_FALSE(renderPage->Connect(G_OBJECT(source.get())));
    EXPECT_FALSE(sourcePage->Connect(G_OBJECT(render.get())));
    EXPECT_EQ(sourcePage->Apply(), ApplyResult::NotApplied) << "a page without an object applies nothing";
}
