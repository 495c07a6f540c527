#pragma once

#include "overlaysettings/HotKey.h"

#include <QKeySequence>
#include <Qt>
#include <optional>

namespace kestrel::overlaysettings {

// A key press as Qt reports it, turned into a hot key: the Windows virtual-key
// code of the key on a US layout, Shift/Ctrl/Alt as modifier flags, and the
// extended flag for the keys that have it (arrows, Insert, Delete, Home, End,
// Page Up/Down, keypad /, Num Lock...). Shifted symbols count as their key
// ('%' with Shift is Shift+5). Empty for keys without a virtual-key code and
// for a lone modifier key. The Meta key has no flag and is dropped.
std::optional<HotKey> HotKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers);

// The hot key as a Qt key sequence, for showing it; empty when the hot key is
// empty or its key has no Qt counterpart.
QKeySequence KeySequenceFromHotKey(HotKey hotKey);

} // namespace kestrel::overlaysettings
