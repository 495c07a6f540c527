#include <QApplication>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

#include "OutsideFiltersTestSupport.h"
#include "platform/outsidefilters/OutsideFilters.h"
#include "platform/outsidefilters/pages/OutsidePropertyPages.h"

using namespace kestrel::outsidefilters;
using namespace kestrel::outsidefilters::test;
using kestrel::filters::pages::CPropertyPage;
using ApplyResult = CPropertyPage::ApplyResult;

namespace {

class H263EncodePropertyPage : public ::testing::Test {
 protected:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "pages";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) new QApplication(argc, argv);
    encoder_ = MakeByLongName(kH263EncodeLongName);
    ASSERT_TRUE(encoder_);
  }

  // The page the element names in its factory metadata, connected and shown.
  std::unique_ptr<CPropertyPage> PageFor(GstElement* element) {
    const char* pageId = gst_element_class_get_metadata(GST_ELEMENT_GET_CLASS(element), kPropertyPageMetadataKey);
    auto page = pages::CreateOutsidePropertyPage(QString::fromLatin1(pageId != nullptr ? pageId : ""));
    if (page && page->Connect(G_OBJECT(element))) page->Activate();
    return page;
  }

  guint Property(const char* name) {
    guint value = 0;
    g_object_get(encoder_.get(), name, &value, nullptr);
    return value;
  }

  GstRef<GstElement> encoder_;
};

QSpinBox* Bitrate(CPropertyPage& page) { return page.findChild<QSpinBox*>(QStringLiteral("bitrate")); }
QDoubleSpinBox* Interval(CPropertyPage& page) {
  return page.findChild<QDoubleSpinBox*>(QStringLiteral("keyframeInterval"));
}

void Type(QAbstractSpinBox* edit, const char* text) {
  edit->selectAll();
  QTest::keyClicks(edit, QString::fromLatin1(text));
}

}  // namespace

TEST_F(H263EncodePropertyPage, ShowsTheEncodersSettings) {
  auto page = PageFor(encoder_.get());
  ASSERT_TRUE(page);
  EXPECT_EQ(page->Title(), "H.263 Video");
  ASSERT_TRUE(Bitrate(*page) && Interval(*page));
  EXPECT_EQ(Bitrate(*page)->value(), 128);
  EXPECT_DOUBLE_EQ(Interval(*page)->value(), 1.0);
  EXPECT_FALSE(page->IsDirty()) << "filling the controls is no edit";
}

TEST_F(H263EncodePropertyPage, AnEditMakesItDirtyAndApplySetsTheElement) {
  auto page = PageFor(encoder_.get());
  ASSERT_TRUE(page);
  QSignalSpy dirty(page.get(), &CPropertyPage::DirtyChanged);
  Type(Bitrate(*page), "256");
  Type(Interval(*page), "2.5");
  EXPECT_TRUE(page->IsDirty());
  EXPECT_EQ(dirty.count(), 1);
  EXPECT_EQ(Property(kBitrateProperty), 128000u) << "nothing is set before Apply";

  EXPECT_EQ(page->Apply(), ApplyResult::Applied);
  EXPECT_EQ(Property(kBitrateProperty), 256000u);
  EXPECT_EQ(Property(kKeyFrameIntervalProperty), 2500u);
  EXPECT_FALSE(page->IsDirty());
  // Shown again, it reads the element back.
  page->Activate();
  EXPECT_EQ(Bitrate(*page)->value(), 256);
}

TEST_F(H263EncodePropertyPage, TheControlsOfferOnlyWhatTheElementTakes) {
  auto page = PageFor(encoder_.get());
  ASSERT_TRUE(page);
  EXPECT_EQ(Bitrate(*page)->minimum(), 8);
  EXPECT_EQ(Bitrate(*page)->maximum(), 1000);
  EXPECT_DOUBLE_EQ(Interval(*page)->minimum(), 0.1);
  EXPECT_DOUBLE_EQ(Interval(*page)->maximum(), 60.0);
  Type(Bitrate(*page), "5000");
  EXPECT_EQ(page->Apply(), ApplyResult::Applied);
  EXPECT_LE(Property(kBitrateProperty), 1000000u);
}

TEST_F(H263EncodePropertyPage, AppliedWhileStreamingTheNextPictureIsAKeyFrameAtTheNewRate) {
  Harness harness = MakeHarness(kH263EncodeFactory);
  GstElement* streaming = harness->element;
  gst_harness_set_src_caps_str(harness.get(), "video/x-raw, format=I420, width=176, height=144, framerate=25/1");
  g_object_set(streaming, kKeyFrameIntervalProperty, 60000u, nullptr);
  auto push = [&](int i) {
    EXPECT_EQ(gst_harness_push(harness.get(), BufferOf(MovingI420(176, 144, i), i * 40 * GST_MSECOND)), GST_FLOW_OK);
    GstMiniRef<GstBuffer> out(gst_harness_try_pull(harness.get()));
    return out && !GST_BUFFER_FLAG_IS_SET(out.get(), GST_BUFFER_FLAG_DELTA_UNIT);
  };
  for (int i = 0; i < 40; ++i) push(i);
  auto page = PageFor(streaming);
  ASSERT_TRUE(page);
  Type(Bitrate(*page), "300");
  ASSERT_EQ(page->Apply(), ApplyResult::Applied);
  EXPECT_TRUE(push(40));
  EXPECT_FALSE(push(41));
}

TEST_F(H263EncodePropertyPage, OtherElementsAndIdentifiersGetNoPage) {
  EXPECT_FALSE(pages::CreateOutsidePropertyPage(QStringLiteral("{00000000-0000-0000-0000-000000000000}")));
  auto page = pages::CreateOutsidePropertyPage(QString::fromLatin1(kH263EncodePageId).toLower());
  ASSERT_TRUE(page) << "identifiers compare without case";
  auto renderer = MakeByLongName(kVideo3DRendererLongName);
  EXPECT_FALSE(page->Connect(G_OBJECT(renderer.get())));
}
