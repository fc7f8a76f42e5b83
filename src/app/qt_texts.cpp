#include "app/qt_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace app {

namespace {
// The language called `name` in its own words or in English; C when Qt knows none.
QLocale LocaleNamed(const QString& name) {
    if (name.isEmpty()) return QLocale::c();
    for (int l = QLocale::C + 1; l <= QLocale::LastLanguage; ++l) {
        const auto language = static_cast<QLocale::Language>(l);
        const QLocale locale(language);
        if (locale.language() != language) continue;  // no locale data for it
        if (name.compare(locale.nativeLanguageName(), Qt::CaseInsensitive) == 0 ||
            name.compare(QLocale::languageToString(language), Qt::CaseInsensitive) == 0)
            return locale;
    }
    return QLocale::c();
}
}  // namespace

void UseQtTextsFor(const std::string& language) {
    // One translation at a time: the previous language's must go even when the new one
    // has none, or its buttons would stay.
    static QPointer<QTranslator> installed;
    delete installed.data();

    const QLocale locale = LocaleNamed(QString::fromStdString(language));
    if (locale.language() == QLocale::C || locale.language() == QLocale::English) return;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
}

}  // namespace app
