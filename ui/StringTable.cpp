#include "ui/StringTable.h"

#include <QCoreApplication>

namespace kestrel::ui {

QString LoadString(int id)
{
    switch (id) {
    case IDS_SOCKETS_INIT_FAILED: return QCoreApplication::translate("StringTable", "Windows sockets initialization failed.");
    case IDS_TIP_PLAY: return QCoreApplication::translate("StringTable", "Play/Stop");
    case IDS_TIP_OPTIONS: return QCoreApplication::translate("StringTable", "Options");
    case IDS_TIP_NEW_CALL: return QCoreApplication::translate("StringTable", "Make a Call");
    case IDS_TIP_END_CALL: return QCoreApplication::translate("StringTable", "End the Call");
    case IDS_TIP_CALL_HISTORY: return QCoreApplication::translate("StringTable", "Call History");
    case IDS_CONNECT_SELF: return QCoreApplication::translate("StringTable", "Can't connect to self");
    case IDS_CONNECTION_FAILED: return QCoreApplication::translate("StringTable", "Connection Failed!!");
    case IDS_NETWORK_INIT_FAILED: return QCoreApplication::translate("StringTable", "Network initialize Failed");
    case IDS_UNKNOWN_HOST: return QCoreApplication::translate("StringTable", "Can't find the computer %s");
    case IDS_CAPTURE_GRAPH_ERROR: return QCoreApplication::translate("StringTable", "Create Capture Graph Error!");
    case IDS_RENDER_GRAPH_ERROR: return QCoreApplication::translate("StringTable", "Create Render Graph Error!");
    case IDS_OPTIONS: return QCoreApplication::translate("StringTable", "Kestrel Options");
    case IDS_PROMPT_PLAY: return QCoreApplication::translate("StringTable", "Local Play/Stop");
    case IDS_PROMPT_NEW_CALL: return QCoreApplication::translate("StringTable", "Make a new call to remote computer");
    case IDS_PROMPT_END_CALL: return QCoreApplication::translate("StringTable", "Terminate the current call");
    case IDS_PROMPT_ENCODER: return QCoreApplication::translate("StringTable", "Runtime Encoder Setting");
    case IDS_PROMPT_INFO: return QCoreApplication::translate("StringTable", "Local Information");
    case IDS_INCOMING_CALL: return QCoreApplication::translate("StringTable", "There is a call from %s\n Accept call?");
    case IDS_README: return QCoreApplication::translate("StringTable", "explorer readme_e.htm");
    case IDS_LOCAL_INFO: return QCoreApplication::translate("StringTable", "hostname: %s, hostip: %s\n");
    case IDS_APP_NAME: return QCoreApplication::translate("StringTable", "Kestrel");
    case IDS_READY: return QCoreApplication::translate("StringTable", "Ready");
    case IDS_PROMPT_EXIT: return QCoreApplication::translate("StringTable", "Exit Kestrel");
    default: return {};
    }
}

} // namespace kestrel::ui
