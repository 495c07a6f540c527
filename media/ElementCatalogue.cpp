#include "media/ElementCatalogue.h"

#include <algorithm>
#include <cstring>

namespace kestrel::media {

namespace {

CElementCatalogue::FactoryList AllFactories()
{
    CElementCatalogue::FactoryList factories;
    GList *features = gst_registry_get_feature_list(gst_registry_get(), GST_TYPE_ELEMENT_FACTORY);
    for (GList *item = features; item; item = item->next)
        factories.emplace_back(GST_ELEMENT_FACTORY(item->data)); // takes the list's reference
    g_list_free(features);
    std::sort(factories.begin(), factories.end(), [](const auto &a, const auto &b) {
        return gst_plugin_feature_rank_compare_func(a.get(), b.get()) < 0;
    });
    return factories;
}

struct TemplateCounts {
    int alwaysSink = 0;
    int alwaysSrc = 0;
    int other = 0; // sometimes or request pads
    int src = 0;
};

TemplateCounts CountTemplates(GstElementFactory *factory)
{
    TemplateCounts counts;
    for (const GList *item = gst_element_factory_get_static_pad_templates(factory); item; item = item->next) {
        const auto *pad = static_cast<const GstStaticPadTemplate *>(item->data);
        if (pad->direction == GST_PAD_SRC)
            ++counts.src;
        if (pad->presence != GST_PAD_ALWAYS)
            ++counts.other;
        else if (pad->direction == GST_PAD_SINK)
            ++counts.alwaysSink;
        else if (pad->direction == GST_PAD_SRC)
            ++counts.alwaysSrc;
    }
    return counts;
}

bool Ranked(GstElementFactory *factory)
{
    return gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(factory)) >= GST_RANK_MARGINAL;
}

} // namespace

bool CElementCatalogue::KlassHas(GstElementFactory *factory, const char *word)
{
    const char *klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
    if (!klass)
        return false;
    // Klass is a '/'-separated list of words: match whole words only.
    const std::size_t length = std::strlen(word);
    for (const char *part = klass; *part;) {
        const char *end = std::strchr(part, '/');
        const std::size_t size = end ? static_cast<std::size_t>(end - part) : std::strlen(part);
        if (size == length && std::strncmp(part, word, length) == 0)
            return true;
        if (!end)
            break;
        part = end + 1;
    }
    return false;
}

GstRef<GstElementFactory> CElementCatalogue::FindByLongName(const std::string &longName)
{
    for (auto &factory : AllFactories()) {
        const char *name = gst_element_factory_get_metadata(factory.get(), GST_ELEMENT_METADATA_LONGNAME);
        if (name && longName == name)
            return std::move(factory);
    }
    return nullptr;
}

CElementCatalogue::FactoryList CElementCatalogue::Intermediates()
{
    FactoryList chosen;
    for (auto &factory : AllFactories()) {
        if (!Ranked(factory.get()))
            continue;
        GstElementFactory *f = factory.get();
        if (!KlassHas(f, "Decoder") && !KlassHas(f, "Parser") && !KlassHas(f, "Converter"))
            continue;
        if (KlassHas(f, "Sink") || KlassHas(f, "Source"))
            continue;
        const TemplateCounts counts = CountTemplates(f);
        if (counts.alwaysSink == 1 && counts.alwaysSrc == 1 && counts.other == 0)
            chosen.push_back(std::move(factory));
    }
    return chosen;
}

CElementCatalogue::FactoryList CElementCatalogue::Renderers(MediaKind kind)
{
    const char *medium = kind == MediaKind::Video ? "Video" : kind == MediaKind::Audio ? "Audio" : nullptr;
    FactoryList chosen;
    if (!medium)
        return chosen;
    for (auto &factory : AllFactories()) {
        GstElementFactory *f = factory.get();
        if (Ranked(f) && KlassHas(f, "Sink") && KlassHas(f, medium) && CountTemplates(f).src == 0)
            chosen.push_back(std::move(factory));
    }
    return chosen;
}

} // namespace kestrel::media
