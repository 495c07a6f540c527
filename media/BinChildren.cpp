#include "media/BinChildren.h"

#include <algorithm>
#include <cstdio>

namespace kestrel::media {

std::vector<GstRef<GstElement>> ChildrenOf(GstBin *bin)
{
    std::vector<GstRef<GstElement>> children;
    if (!bin)
        return children;
    GST_OBJECT_LOCK(bin);
    // The bin keeps its newest child first.
    for (GList *item = bin->children; item; item = item->next)
        children.emplace_back(GST_ELEMENT(gst_object_ref(item->data)));
    GST_OBJECT_UNLOCK(bin);
    std::reverse(children.begin(), children.end());
    return children;
}

std::string UniqueChildName(GstBin *bin, const std::string &base)
{
    // Only the bin's own children count: gst_bin_add refuses those names.
    const auto children = ChildrenOf(bin);
    auto taken = [&children](const std::string &name) {
        return std::any_of(children.begin(), children.end(), [&name](const GstRef<GstElement> &child) {
            return name == GST_OBJECT_NAME(child.get());
        });
    };
    if (!taken(base))
        return base;
    for (unsigned number = 1;; ++number) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, " %04u", number);
        const std::string name = base + suffix;
        if (!taken(name))
            return name;
    }
}

std::vector<GstRef<GstPad>> PadsOf(GstElement *element, GstPadDirection direction)
{
    std::vector<GstRef<GstPad>> pads;
    if (!element)
        return pads;
    GST_OBJECT_LOCK(element);
    GList *list = direction == GST_PAD_SRC ? element->srcpads : element->sinkpads;
    for (GList *item = list; item; item = item->next)
        pads.emplace_back(GST_PAD(gst_object_ref(item->data)));
    GST_OBJECT_UNLOCK(element);
    return pads;
}

} // namespace kestrel::media
