// KestrelSetting: edits the overlay settings without starting Kestrel.
#include "overlaysettings/KestrelSettingDialog.h"
#include "platform/store/FileProfileStore.h"
#include "platform/store/StoreLocation.h"
#include "platform/ui/QtMessageBox.h"
#include "platform/ui/Translation.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The same application name as the main program, so both use one profile.
    QApplication::setApplicationName(QStringLiteral("Kestrel"));
    QTranslator translator;
    kestrel::platform::InstallTranslation(translator, QLocale::system(), QStringLiteral(":/i18n/kestrel_setting"));

    kestrel::platform::FileProfileStore store(kestrel::platform::DefaultStoreFile());
    kestrel::platform::QtMessageBox messages;
    kestrel::overlaysettings::KestrelSettingDialog dialog(store, messages);
    dialog.exec(); // the program ends with the dialog, whatever its result
    return 0;
}
