#pragma once

#include <QIcon>
#include <QPixmap>

namespace kestrel::ui {

// Bitmap resources of the calling program, by resource id. The button
// bitmaps come in sets of normal, pressed, hot and disabled.
enum BitmapId : int {
    IDB_DECORATION = 137,        // 24 x 30, between Local Play/Stop and Options
    IDB_NO_VIDEO = 152,          // 176 x 144, the video control without video
    IDB_OPTIONS_HOT = 153,       // Options, 32 x 30
    IDB_OPTIONS_PRESSED = 154,
    IDB_OPTIONS = 155,
    IDB_PLAY_HOT = 156,          // Local Play/Stop while stopped, 124 x 30
    IDB_PLAY_PRESSED = 157,
    IDB_PLAY = 158,
    IDB_END_CALL_HOT = 159,      // End Call, 89 x 32
    IDB_NEW_CALL_PRESSED = 160,  // New Call, 91 x 32
    IDB_NEW_CALL_HOT = 161,
    IDB_END_CALL = 162,
    IDB_END_CALL_PRESSED = 163,
    IDB_NEW_CALL = 164,
    IDB_STOP_HOT = 167,          // Local Play/Stop while the local picture plays
    IDB_STOP_PRESSED = 168,
    IDB_STOP = 169,
    IDB_NEW_CALL_DISABLED = 170,
    IDB_PLAY_DISABLED = 176,     // Local Play/Stop in either look
    IDB_SPLASH = 178,            // 380 x 240, the start-up picture
};

// The program icon's resource id (also the id of menu and accelerators).
inline constexpr int IDR_MAINFRAME = 128;

// The bitmap `id` from the program's resources; a null pixmap for an id the
// program has no bitmap for. Needs a QGuiApplication.
QPixmap LoadBitmap(int id);

// The program icon (16 to 256 pixels), for the window, the notification
// area and the About box. The same pictures are installed in the hicolor
// theme as "kestrel".
QIcon KestrelIcon();

} // namespace kestrel::ui
