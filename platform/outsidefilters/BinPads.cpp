#include "platform/outsidefilters/BinPads.h"

#include "platform/gst/GstRef.h"

using kestrel::platform::GstRef;

namespace kestrel::outsidefilters {

GstElement* MakeElement(const char* factory, const char* name) {
  GstElement* element = gst_element_factory_make(factory, name);
  if (element == nullptr) g_warning("GStreamer element %s is not installed", factory);
  return element;
}

GstPad* AddGhostPad(GstBin* bin, GstElement* inner, const char* innerPad, GstStaticPadTemplate* outerTemplate) {
  GstRef<GstPadTemplate> templ(gst_static_pad_template_get(outerTemplate));
  GstPad* ghost = nullptr;
  GstRef<GstPad> target(inner != nullptr ? gst_element_get_static_pad(inner, innerPad) : nullptr);
  if (target) {
    ghost = gst_ghost_pad_new_from_template(outerTemplate->name_template, target.get(), templ.get());
  } else {
    ghost = gst_ghost_pad_new_no_target_from_template(outerTemplate->name_template, templ.get());
  }
  gst_element_add_pad(GST_ELEMENT(bin), ghost);
  return ghost;
}

bool AddAndLink(GstBin* bin, std::initializer_list<GstElement*> chain) {
  bool complete = true;
  for (GstElement* element : chain) {
    if (element == nullptr) {
      complete = false;
    } else {
      gst_bin_add(bin, element);
    }
  }
  if (!complete) return false;
  GstElement* previous = nullptr;
  for (GstElement* element : chain) {
    if (previous != nullptr && !gst_element_link(previous, element)) return false;
    previous = element;
  }
  return true;
}

}  // namespace kestrel::outsidefilters
