#include "framework/ui/uistrings.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace {
StringLoader& Loader()
{
    static StringLoader loader;
    return loader;
}
}

void AfxSetStringLoader(StringLoader loader)
{
    Loader() = std::move(loader);
}

CString AfxLoadString(UINT id)
{
    const auto& loader = Loader();
    return loader ? loader(id) : CString();
}

CString AfxGetAppName()
{
    constexpr UINT kAppTitle = 57344;
    const CString name = AfxLoadString(kAppTitle);
    return name.isEmpty() ? QCoreApplication::applicationName() : name;
}

bool AfxLoadQtTranslations(const QLocale& locale)
{
    static std::unique_ptr<QTranslator> loaded;
    if (loaded) {
        QCoreApplication::removeTranslator(loaded.get());
        loaded.reset();
    }
    if (locale.language() == QLocale::English || locale.language() == QLocale::C)
        return true;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    loaded = std::move(translator);
    return true;
}
