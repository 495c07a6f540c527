#pragma once

#include <QString>

namespace kestrel::ui {

// Identifiers of the program's string table. Menus, prompts, tooltips and
// messages are looked up by these numbers, in English or Traditional Chinese.
enum StringId : int {
    IDS_SOCKETS_INIT_FAILED = 104,
    IDS_TIP_PLAY = 129,
    IDS_TIP_OPTIONS = 130,
    IDS_TIP_NEW_CALL = 131,
    IDS_TIP_END_CALL = 132,
    IDS_TIP_CALL_HISTORY = 133,
    IDS_CONNECT_SELF = 177,
    IDS_CONNECTION_FAILED = 178,
    IDS_NETWORK_INIT_FAILED = 179,
    IDS_UNKNOWN_HOST = 180,
    IDS_CAPTURE_GRAPH_ERROR = 181,
    IDS_RENDER_GRAPH_ERROR = 182,
    IDS_OPTIONS = 32776,
    IDS_PROMPT_PLAY = 32778,
    IDS_PROMPT_NEW_CALL = 32780,
    IDS_PROMPT_END_CALL = 32781,
    IDS_PROMPT_ENCODER = 32782,
    IDS_PROMPT_INFO = 32783,
    IDS_INCOMING_CALL = 32785,
    IDS_README = 32786,
    IDS_LOCAL_INFO = 32787,
    IDS_APP_NAME = 57344,
    IDS_READY = 57345,
    IDS_PROMPT_EXIT = 57665,
};

// The text of string `id` in the program's language; empty for an id the
// table does not hold. printf-style texts keep their "%s" for the caller.
QString LoadString(int id);

} // namespace kestrel::ui
