#include "launcher/SetupLauncher.h"

#include "launcher/LauncherCommandLine.h"
#include "platform/store/RegistryKey.h"
#include "platform/ui/IMessageBox.h"

#include <QCoreApplication>

namespace kestrel::launcher {

namespace {

void ActOnRestartRequest(LauncherServices &services)
{
    auto key = platform::RegistryKey::Open(services.store, kRestartRequestKeyPath);
    if (!key || key->QueryDword(kRestartRequestValue) != 1u)
        return;
    key->SetDword(kRestartRequestValue, 0);
    services.restart.Prompt();
}

} // namespace

int RunSetupLauncher(std::string_view commandLine, LauncherServices services)
{
    const DirectoryText directory = DirectoryFromCommandLine(commandLine, kPathSeparator);
    // A cut command line names some other directory, perhaps one holding an
    // unrelated "setup"; stay where we are then. A failed change is ignored.
    if (!directory.cut)
        services.directory.Change(directory.text);

    const OsVersion version = services.osVersion.Read();
    if (!services.processes.RunAndWait(std::string(kInstallerName))) {
        services.messages.Show(
            QCoreApplication::translate("KestrelInst", "Can not load ORVA Kestrel Setup program").toStdString(),
            QCoreApplication::translate("KestrelInst", "Error").toStdString(), platform::MessageIcon::None);
        return 0;
    }
    if (version.IsWindows2000())
        ActOnRestartRequest(services);
    return 0;
}

} // namespace kestrel::launcher
