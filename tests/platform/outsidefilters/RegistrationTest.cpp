#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "OutsideFiltersTestSupport.h"
#include "platform/outsidefilters/OutsideFilters.h"

using namespace kestrel::outsidefilters;
using namespace kestrel::outsidefilters::test;

namespace {

struct ExpectedPad {
  const char* name;
  GstPadDirection direction;
};

struct ExpectedElement {
  const char* longName;
  const char* factory;
  std::vector<ExpectedPad> pads;
};

const std::vector<ExpectedElement> kElements = {
    {kH263EncodeLongName, kH263EncodeFactory, {{"sink", GST_PAD_SINK}, {"src", GST_PAD_SRC}}},
    {kH263DecodeLongName, kH263DecodeFactory, {{"sink", GST_PAD_SINK}, {"src", GST_PAD_SRC}}},
    {kTrueSpeechLongName, kTrueSpeechFactory, {{"sink", GST_PAD_SINK}, {"src", GST_PAD_SRC}}},
    {kAcmWrapperLongName, kAcmWrapperFactory, {{"sink", GST_PAD_SINK}, {"src", GST_PAD_SRC}}},
    {kSmartTeeLongName,
     kSmartTeeFactory,
     {{kSmartTeeInputPad, GST_PAD_SINK}, {kSmartTeeCapturePad, GST_PAD_SRC}, {kSmartTeePreviewPad, GST_PAD_SRC}}},
    {kVideoRendererLongName, kVideoRendererFactory, {{"sink", GST_PAD_SINK}}},
    {kVideo3DRendererLongName, kVideo3DRendererFactory, {{kRendererInputPad, GST_PAD_SINK}}},
};

GstMiniRef<GstCaps> TemplateCaps(const char* factoryName, const char* pad) {
  GstRef<GstElementFactory> factory(gst_element_factory_find(factoryName));
  if (!factory) return nullptr;
  for (const GList* t = gst_element_factory_get_static_pad_templates(factory.get()); t != nullptr; t = t->next) {
    auto* templ = static_cast<GstStaticPadTemplate*>(t->data);
    if (std::string(templ->name_template) == pad) return GstMiniRef<GstCaps>(gst_static_pad_template_get_caps(templ));
  }
  return nullptr;
}

}  // namespace

TEST(OutsideFilterRegistration, EachIsFoundByItsLongNameWithRankNoneAndItsPadNames) {
  for (const auto& expected : kElements) {
    SCOPED_TRACE(expected.longName);
    auto factory = FactoryByLongName(expected.longName);
    ASSERT_TRUE(factory) << "not registered once under its long name";
    EXPECT_STREQ(GST_OBJECT_NAME(factory.get()), expected.factory);
    EXPECT_EQ(gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(factory.get())), guint(GST_RANK_NONE));
    GstRef<GstPlugin> plugin(gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(factory.get())));
    ASSERT_TRUE(plugin);
    EXPECT_STREQ(gst_plugin_get_filename(plugin.get()), std::getenv("KESTREL_OUTSIDE_PLUGIN"));

    auto element = MakeByLongName(expected.longName);
    ASSERT_TRUE(element);
    int pads = 0;
    for (GList* p = GST_ELEMENT(element.get())->pads; p != nullptr; p = p->next) ++pads;
    EXPECT_EQ(pads, int(expected.pads.size()));
    for (const auto& pad : expected.pads) {
      GstRef<GstPad> found(gst_element_get_static_pad(element.get(), pad.name));
      ASSERT_TRUE(found) << pad.name;
      EXPECT_EQ(GST_PAD_DIRECTION(found.get()), pad.direction) << pad.name;
    }
  }
}

TEST(OutsideFilterRegistration, OnlyTheEncoderNamesAPropertyPage) {
  for (const auto& expected : kElements) {
    auto factory = FactoryByLongName(expected.longName);
    ASSERT_TRUE(factory);
    const char* page = gst_element_factory_get_metadata(factory.get(), kPropertyPageMetadataKey);
    if (expected.factory == std::string(kH263EncodeFactory)) {
      EXPECT_STREQ(page, kH263EncodePageId);
    } else {
      EXPECT_EQ(page, nullptr) << expected.longName;
    }
  }
}

// What one side may send, the other takes: the codecs against the RTP
// elements of the Tideline plugin, which sits in the same plugin folder.
TEST(OutsideFilterRegistration, CodecsTakeAndGiveWhatTheRtpElementsGiveAndTake) {
  InitGstreamer();
  struct Link {
    const char* fromFactory;
    const char* fromPad;
    const char* toFactory;
    const char* toPad;
  };
  for (const Link& link : {Link{"tidelinertpsrc", "Video Transport", kH263DecodeFactory, "sink"},
                           Link{"tidelinertpsrc", "Audio Transport", kAcmWrapperFactory, "sink"},
                           Link{kH263EncodeFactory, "src", "tidelinertprender", "Video Transport"},
                           Link{kTrueSpeechFactory, "src", "tidelinertprender", "Audio Transport"},
                           Link{kH263DecodeFactory, "src", kVideo3DRendererFactory, kRendererInputPad}}) {
    SCOPED_TRACE(std::string(link.fromFactory) + " " + link.fromPad + " -> " + link.toFactory + " " + link.toPad);
    auto from = TemplateCaps(link.fromFactory, link.fromPad);
    auto to = TemplateCaps(link.toFactory, link.toPad);
    ASSERT_TRUE(from && to);
    EXPECT_TRUE(gst_caps_is_subset(from.get(), to.get()));
  }
}
