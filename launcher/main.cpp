// KestrelInst: runs the installer beside it and waits for it.
#include "launcher/PosixLauncherSystem.h"
#include "launcher/SetupLauncher.h"
#include "platform/store/FileProfileStore.h"
#include "platform/store/StoreLocation.h"
#include "platform/ui/QtMessageBox.h"
#include "platform/ui/Translation.h"

#include <QApplication>
#include <QTranslator>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

bool HasDisplay()
{
    const char *x11 = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

// The launcher's own path, as Windows gives it at the start of the command
// line; argv[0] when the kernel cannot tell.
std::string OwnPath(const char *argv0)
{
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(argv0 ? argv0 : "") : path.string();
}

} // namespace

int main(int argc, char **argv)
{
    const bool display = HasDisplay();
    std::unique_ptr<QCoreApplication> app = display ? std::make_unique<QApplication>(argc, argv)
                                                    : std::make_unique<QCoreApplication>(argc, argv);
    QTranslator translator;
    kestrel::platform::InstallTranslation(translator, QLocale::system(), QStringLiteral(":/i18n/kestrel_inst"));

    kestrel::platform::QtMessageBox messageBox;
    kestrel::platform::StderrMessageBox standardError;
    kestrel::platform::IMessageBox &messages = display ? static_cast<kestrel::platform::IMessageBox &>(messageBox)
                                                       : standardError;
    kestrel::platform::FileProfileStore store(kestrel::platform::DefaultStoreFile());
    kestrel::launcher::PosixWorkingDirectory directory;
    kestrel::launcher::LinuxOsVersionSource osVersion;
    kestrel::launcher::PosixProcessRunner processes;
    kestrel::launcher::MessageRestartPrompt restart(messages);
    return kestrel::launcher::RunSetupLauncher(OwnPath(argc > 0 ? argv[0] : nullptr),
                                               {directory, osVersion, processes, restart, messages, store});
}
