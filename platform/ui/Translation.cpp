#include "platform/ui/Translation.h"

#include <QCoreApplication>
#include <QTranslator>

namespace kestrel::platform {

bool WantsTraditionalChinese(const QLocale &locale)
{
    if (locale.language() != QLocale::Chinese)
        return false;
    if (locale.script() == QLocale::TraditionalChineseScript)
        return true;
    const QLocale::Territory territory = locale.territory();
    return territory == QLocale::Taiwan || territory == QLocale::HongKong || territory == QLocale::Macao;
}

bool InstallTranslation(QTranslator &translator, const QLocale &locale, const QString &qmBase)
{
    if (!WantsTraditionalChinese(locale))
        return false;
    if (!translator.load(qmBase + QStringLiteral("_zh_TW")))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

} // namespace kestrel::platform
