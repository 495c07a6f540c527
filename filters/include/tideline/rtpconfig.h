/* Configuration interfaces of the Tideline RTP elements.
 *
 * A host includes this header without linking the plugin: the interface
 * types are registered by the plugin when GStreamer loads it, and the
 * functions below look them up by name at run time. Create the elements from
 * their factories (found by long name or by factory name) before calling
 * these; each function returns FALSE when the object does not implement the
 * interface (for example when the plugin was not loaded). */
#ifndef TIDELINE_RTPCONFIG_H
#define TIDELINE_RTPCONFIG_H

#include <glib-object.h>

G_BEGIN_DECLS

/* Long names of the two element factories. */
#define TIDELINE_RTP_SOURCE_LONG_NAME "ORVA RTP Source Filter"
#define TIDELINE_RTP_RENDER_LONG_NAME "ORVA RTP Render Filter"
/* Factory names, for gst-launch-1.0 and gst_element_factory_make(). */
#define TIDELINE_RTP_SOURCE_FACTORY "tidelinertpsrc"
#define TIDELINE_RTP_RENDER_FACTORY "tidelinertprender"

/* Element metadata keys: the class identifier and the identifier of the
 * element's property page (see gst_element_factory_get_metadata()). */
#define TIDELINE_METADATA_CLASS_ID "tideline-class-id"
#define TIDELINE_METADATA_PROPERTY_PAGE "tideline-property-page"

#define TIDELINE_RTP_SOURCE_CLASS_ID "{737B4897-63C2-4E79-9DFB-8781B5C8E883}"
#define TIDELINE_RTP_SOURCE_PAGE_ID "{40ACC4D5-F25C-41F5-86D8-A3773894637C}"
#define TIDELINE_RTP_RENDER_CLASS_ID "{28D2E7C6-71A9-4A0B-B5D4-EA618A416B8F}"
#define TIDELINE_RTP_RENDER_PAGE_ID "{B035EB35-153B-4A60-A11D-3C4B1FB10F79}"

/* Interface identifiers and the GType names they are registered under. */
#define TIDELINE_RTP_SOURCE_CONFIG_IID "{3CB14E3E-31FA-491D-B55A-F1FA103DC2EA}"
#define TIDELINE_RTP_RENDER_CONFIG_IID "{995D9D6A-490C-422A-8EDA-114363B4DE34}"
#define TIDELINE_RTP_SOURCE_CONFIG_TYPE_NAME "TidelineRtpSourceConfig"
#define TIDELINE_RTP_SOURCE_PEER_CONFIG_TYPE_NAME "TidelineRtpSourcePeerConfig"
#define TIDELINE_RTP_RENDER_CONFIG_TYPE_NAME "TidelineRtpRenderConfig"

typedef struct _TidelineRtpSourceConfig TidelineRtpSourceConfig; /* an element implementing it */
typedef struct _TidelineRtpRenderConfig TidelineRtpRenderConfig;

/* IRtpSourceConfig: the port the source listens on (video on the port,
 * audio two below), read when the element starts streaming. */
typedef struct _TidelineRtpSourceConfigInterface {
  GTypeInterface parent_iface;
  void (*set_port) (TidelineRtpSourceConfig *self, gint port);
  gint (*get_port) (TidelineRtpSourceConfig *self);
} TidelineRtpSourceConfigInterface;

/* The sender a source takes media from: dotted IPv4, or empty (or NULL) for
 * anyone; read when the element starts streaming. get_peer_address returns
 * a newly allocated string for the caller to g_free(). An interface of its
 * own beside IRtpSourceConfig, whose layout stays as it was, so hosts and
 * plugins of either age work together: with a plugin that predates it the
 * functions below report FALSE. */
typedef struct _TidelineRtpSourcePeerConfig TidelineRtpSourcePeerConfig;
typedef struct _TidelineRtpSourcePeerConfigInterface {
  GTypeInterface parent_iface;
  void (*set_peer_address) (TidelineRtpSourcePeerConfig *self, const gchar *address);
  gchar *(*get_peer_address) (TidelineRtpSourcePeerConfig *self);
} TidelineRtpSourcePeerConfigInterface;

/* IRtpRenderConfig: where the renderer sends (video to the port, audio two
 * below), used at the next change from stopped to paused. get_destination
 * returns a newly allocated address for the caller to g_free(). */
typedef struct _TidelineRtpRenderConfigInterface {
  GTypeInterface parent_iface;
  void (*set_destination) (TidelineRtpRenderConfig *self, const gchar *address, gint port);
  void (*get_destination) (TidelineRtpRenderConfig *self, gchar **address, gint *port);
} TidelineRtpRenderConfigInterface;

static inline gpointer
tideline_rtp_config_peek_ (gpointer object, const gchar *type_name)
{
  GType type = g_type_from_name (type_name);
  if (type == 0 || object == NULL || !G_TYPE_CHECK_INSTANCE_TYPE (object, type))
    return NULL;
  return g_type_interface_peek (G_OBJECT_GET_CLASS (object), type);
}

static inline gboolean
tideline_rtp_source_config_set_port (gpointer object, gint port)
{
  TidelineRtpSourceConfigInterface *iface = (TidelineRtpSourceConfigInterface *)
      tideline_rtp_config_peek_ (object, TIDELINE_RTP_SOURCE_CONFIG_TYPE_NAME);
  if (iface == NULL)
    return FALSE;
  iface->set_port ((TidelineRtpSourceConfig *) object, port);
  return TRUE;
}

static inline gboolean
tideline_rtp_source_config_get_port (gpointer object, gint *port)
{
  TidelineRtpSourceConfigInterface *iface = (TidelineRtpSourceConfigInterface *)
      tideline_rtp_config_peek_ (object, TIDELINE_RTP_SOURCE_CONFIG_TYPE_NAME);
  if (iface == NULL || port == NULL)
    return FALSE;
  *port = iface->get_port ((TidelineRtpSourceConfig *) object);
  return TRUE;
}

static inline gboolean
tideline_rtp_source_config_set_peer_address (gpointer object, const gchar *address)
{
  TidelineRtpSourcePeerConfigInterface *iface = (TidelineRtpSourcePeerConfigInterface *)
      tideline_rtp_config_peek_ (object, TIDELINE_RTP_SOURCE_PEER_CONFIG_TYPE_NAME);
  if (iface == NULL)
    return FALSE;
  iface->set_peer_address ((TidelineRtpSourcePeerConfig *) object, address ? address : "");
  return TRUE;
}

static inline gboolean
tideline_rtp_source_config_get_peer_address (gpointer object, gchar **address)
{
  TidelineRtpSourcePeerConfigInterface *iface = (TidelineRtpSourcePeerConfigInterface *)
      tideline_rtp_config_peek_ (object, TIDELINE_RTP_SOURCE_PEER_CONFIG_TYPE_NAME);
  if (iface == NULL || address == NULL)
    return FALSE;
  *address = iface->get_peer_address ((TidelineRtpSourcePeerConfig *) object);
  return TRUE;
}

static inline gboolean
tideline_rtp_render_config_set_destination (gpointer object, const gchar *address, gint port)
{
  TidelineRtpRenderConfigInterface *iface = (TidelineRtpRenderConfigInterface *)
      tideline_rtp_config_peek_ (object, TIDELINE_RTP_RENDER_CONFIG_TYPE_NAME);
  if (iface == NULL)
    return FALSE;
  iface->set_destination ((TidelineRtpRenderConfig *) object, address ? address : "", port);
  return TRUE;
}

static inline gboolean
tideline_rtp_render_config_get_destination (gpointer object, gchar **address, gint *port)
{
  TidelineRtpRenderConfigInterface *iface = (TidelineRtpRenderConfigInterface *)
      tideline_rtp_config_peek_ (object, TIDELINE_RTP_RENDER_CONFIG_TYPE_NAME);
  if (iface == NULL || address == NULL || port == NULL)
    return FALSE;
  iface->get_destination ((TidelineRtpRenderConfig *) object, address, port);
  return TRUE;
}

G_END_DECLS

#endif /* TIDELINE_RTPCONFIG_H */
