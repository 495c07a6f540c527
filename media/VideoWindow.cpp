#include "media/VideoWindow.h"

#include "media/BinChildren.h"
#include "media/MediaGraph.h"

namespace kestrel::media {

namespace {

class CRendererVideoWindow : public IVideoWindow {
public:
    explicit CRendererVideoWindow(GstRef<GstElement> renderer) : renderer(std::move(renderer)) {}

    void SetOwner(IVideoHost *host) override
    {
        if (host == owner)
            return;
        if (owner)
            owner->AttachRenderer(nullptr);
        owner = host;
        if (!owner)
            return;
        owner->SetVideoRect(x, y, width, height);
        owner->SetVideoVisible(visible);
        owner->AttachRenderer(renderer.get());
    }
    IVideoHost *Owner() const override { return owner; }

    void SetVisible(bool shown) override
    {
        visible = shown;
        if (owner)
            owner->SetVideoVisible(visible);
    }

    void SetWindowPosition(int left, int top, int w, int h) override
    {
        x = left;
        y = top;
        width = w;
        height = h;
        if (owner)
            owner->SetVideoRect(x, y, width, height);
    }

private:
    GstRef<GstElement> renderer;
    IVideoHost *owner = nullptr;
    bool visible = true;
    int x = 0, y = 0, width = 0, height = 0;
};

} // namespace

std::unique_ptr<IVideoWindow> QueryVideoWindow(const CMediaGraph &graph, const std::string &rendererName)
{
    for (auto &child : ChildrenOf(graph.Bin())) {
        GstElementFactory *factory = gst_element_get_factory(child.get());
        const char *longName =
            factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME) : nullptr;
        if (longName && rendererName == longName)
            return std::make_unique<CRendererVideoWindow>(std::move(child));
    }
    return nullptr;
}

} // namespace kestrel::media
