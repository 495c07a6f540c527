#pragma once

#include <QString>

namespace kestrel::ui {

// Where the program's data files (the ring, the readmes) are: in the build
// tree when the program runs from there, otherwise in share/kestrel under
// the prefix it was installed to.
QString DataDirectory();

// The data directory for a program at `executablePath`, given the build
// tree's folders (exposed for tests).
QString DataDirectoryFor(const QString &executablePath, const QString &buildDir, const QString &buildDataDir);

} // namespace kestrel::ui
