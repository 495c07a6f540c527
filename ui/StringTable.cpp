#include "ui/StringTable.h"

#include <QCoreApplication>

namespace kestrel::ui {

namespace {

QString Text(const char *english)
{
    return QCoreApplication::translate("StringTable", english);
}

} // namespace

QString LoadString(int id)
{
    switch (id) {
    case IDS_SOCKETS_INIT_FAILED: return Text("Windows sockets initialization failed.");
    case IDS_TIP_PLAY: return Text("Play/Stop");
    case IDS_TIP_OPTIONS: return Text("Options");
    case IDS_TIP_NEW_CALL: return Text("Make a Call");
    case IDS_TIP_END_CALL: return Text("End the Call");
    case IDS_TIP_CALL_HISTORY: return Text("Call History");
    case IDS_CONNECT_SELF: return Text("Can't connect to self");
    case IDS_CONNECTION_FAILED: return Text("Connection Failed!!");
    case IDS_NETWORK_INIT_FAILED: return Text("Network initialize Failed");
    case IDS_UNKNOWN_HOST: return Text("Can't find the computer %s");
    case IDS_CAPTURE_GRAPH_ERROR: return Text("Create Capture Graph Error!");
    case IDS_RENDER_GRAPH_ERROR: return Text("Create Render Graph Error!");
    case IDS_OPTIONS: return Text("Kestrel Options");
    case IDS_PROMPT_PLAY: return Text("Local Play/Stop");
    case IDS_PROMPT_NEW_CALL: return Text("Make a new call to remote computer");
    case IDS_PROMPT_END_CALL: return Text("Terminate the current call");
    case IDS_PROMPT_ENCODER: return Text("Runtime Encoder Setting");
    case IDS_PROMPT_INFO: return Text("Local Information");
    case IDS_INCOMING_CALL: return Text("There is a call from %s\n Accept call?");
    case IDS_README: return Text("explorer readme_e.htm");
    case IDS_LOCAL_INFO: return Text("hostname: %s, hostip: %s\n");
    case IDS_APP_NAME: return Text("Kestrel");
    case IDS_READY: return Text("Ready");
    case IDS_PROMPT_EXIT: return Text("Exit Kestrel");
    default: return {};
    }
}

} // namespace kestrel::ui
