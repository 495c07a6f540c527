#pragma once
// Helpers for the elements that are bins of GStreamer's own elements.

#include <gst/gst.h>

#include <initializer_list>

namespace kestrel::outsidefilters {

// Makes an element of `factory` named `name`; null, with a warning naming
// what is missing, when the factory is not installed.
GstElement* MakeElement(const char* factory, const char* name);

// Adds to `bin` an always ghost pad from `outerTemplate` (its name is the
// template's) targeting `inner`'s static pad `innerPad`; null target when
// `inner` is null. Returns the ghost pad (borrowed: the bin owns it).
GstPad* AddGhostPad(GstBin* bin, GstElement* inner, const char* innerPad, GstStaticPadTemplate* outerTemplate);

// Adds each element to `bin` and links them in order; false when one is
// missing or a link fails. Elements given here belong to the bin afterwards,
// even on failure.
bool AddAndLink(GstBin* bin, std::initializer_list<GstElement*> chain);

}  // namespace kestrel::outsidefilters
