#pragma once
// What a host needs to find and drive the outside filters of
// libgstkestreloutside.so without linking it: long names (the names the media
// graphs look elements up by in GStreamer's registry), factory names, the
// element metadata key naming a property page, and the names of the elements'
// properties and signals. Header only.

namespace kestrel::outsidefilters {

// Long names (GST_ELEMENT_METADATA_LONGNAME) of the element factories.
inline constexpr char kH263EncodeLongName[] = "H263 Encode Filter";
inline constexpr char kH263DecodeLongName[] = "H263 Decode Filter";
inline constexpr char kTrueSpeechLongName[] = "DSP Group TrueSpeech(TM)";
inline constexpr char kAcmWrapperLongName[] = "ACM Wrapper";
inline constexpr char kSmartTeeLongName[] = "Smart Tee";
inline constexpr char kVideoRendererLongName[] = "Video Renderer";
inline constexpr char kVideo3DRendererLongName[] = "ORVA Video3D Renderer";

// Factory names, for gst_element_factory_make() and gst-launch-1.0.
inline constexpr char kH263EncodeFactory[] = "kestrelh263enc";
inline constexpr char kH263DecodeFactory[] = "kestrelh263dec";
inline constexpr char kTrueSpeechFactory[] = "kestreltruespeech";
inline constexpr char kAcmWrapperFactory[] = "kestrelacmwrapper";
inline constexpr char kSmartTeeFactory[] = "kestrelsmarttee";
inline constexpr char kVideoRendererFactory[] = "kestrelvideorenderer";
inline constexpr char kVideo3DRendererFactory[] = "kestrelvideo3d";

// Element metadata key (gst_element_factory_get_metadata()) whose value
// identifies the element's property page; a Qt library creates the page from
// that identifier (platform/outsidefilters/pages). Only elements with a page
// carry the key.
inline constexpr char kPropertyPageMetadataKey[] = "kestrel-property-page";
inline constexpr char kH263EncodePageId[] = "{2A57AF50-6EA6-4256-B4EB-A268FDB326BD}";

// "H263 Encode Filter": target bit rate in bit/s (guint) and the longest time
// between key frames in milliseconds (guint). Both may change while streaming.
inline constexpr char kBitrateProperty[] = "bitrate";
inline constexpr char kKeyFrameIntervalProperty[] = "keyframe-interval";

// "ACM Wrapper": how late, in milliseconds, a buffer may arrive and still play
// in its place (guint).
inline constexpr char kLatencyProperty[] = "latency";

// "ORVA Video3D Renderer": frames shown since it last went from READY to
// PAUSED (guint64, read-only), and the signal emitted on the streaming thread
// for every frame shown: void handler(GstElement*, GstSample*, gpointer).
inline constexpr char kFramesShownProperty[] = "frames-shown";
inline constexpr char kFrameShownSignal[] = "frame-shown";
// Pad names: the renderer's input, the Smart Tee's input and outputs.
inline constexpr char kRendererInputPad[] = "Input";
inline constexpr char kSmartTeeInputPad[] = "Input";
inline constexpr char kSmartTeeCapturePad[] = "Capture";
inline constexpr char kSmartTeePreviewPad[] = "Preview";

}  // namespace kestrel::outsidefilters
