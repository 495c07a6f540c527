#pragma once

#include <QLocale>
#include <QString>

class QTranslator;

namespace kestrel::platform {

// True for Traditional Chinese (Taiwan, Hong Kong, Macau, or zh_Hant), the
// one language besides English that Kestrel's texts exist in.
bool WantsTraditionalChinese(const QLocale &locale);

// Loads "<qmBase>_zh_TW.qm" (a resource path such as ":/i18n/kestrel_setting")
// into `translator` and installs it when `locale` wants Traditional Chinese.
// English needs nothing: the texts in the code are English.
bool InstallTranslation(QTranslator &translator, const QLocale &locale, const QString &qmBase);

} // namespace kestrel::platform
