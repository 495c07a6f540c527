#include "ui/DataFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace kestrel::ui {

QString DataDirectoryFor(const QString &executablePath, const QString &buildDir, const QString &buildDataDir)
{
    const QString executableDir = QDir::cleanPath(QFileInfo(executablePath).absolutePath());
    const QString buildRoot = QDir::cleanPath(QFileInfo(buildDir).absoluteFilePath());
    if (!buildRoot.isEmpty() && (executableDir == buildRoot || executableDir.startsWith(buildRoot + QLatin1Char('/'))))
        return buildDataDir;
    // <prefix>/bin/kestrel -> <prefix>/share/kestrel
    return QDir::cleanPath(executableDir + QStringLiteral("/../share/kestrel"));
}

QString DataDirectory()
{
    return DataDirectoryFor(QCoreApplication::applicationFilePath(), QStringLiteral(KESTREL_BINARY_DIR),
                            QStringLiteral(KESTREL_BUILD_DATA_DIR));
}

} // namespace kestrel::ui
