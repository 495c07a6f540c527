#pragma once

namespace kestrel::call {

// Command identifiers shared by the menu, its accelerators and the panel
// buttons; the document's handlers are chosen by these numbers.
enum CommandId : int {
    ID_WINDOW_SIZE_100 = 32772,
    ID_WINDOW_SIZE_200 = 32773,
    ID_WINDOW_SIZE_300 = 32774,
    ID_WINDOW_SIZE_400 = 32775,
    ID_OPTION = 32776,
    ID_README = 32777,
    ID_LOCAL_PLAY = 32778,
    ID_NEW_CALL = 32780,
    ID_END_CALL = 32781,
    ID_ENCODER = 32782,
    ID_INFO = 32783,
    ID_FILE_MRU_FIRST = 57616, // first entry of the recent-call list; ten in all
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_VIEW_STATUS_BAR = 59393,
};

// Controls of the main view.
enum ControlId : int {
    IDC_VIDEO = 1000,        // the video control hosting the video window
    IDC_CALL_HISTORY = 1001, // the call-history box
    IDC_DECORATION = 1012,   // the picture between Local Play/Stop and Options
};

} // namespace kestrel::call
