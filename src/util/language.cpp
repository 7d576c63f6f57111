// MZ_alluse: which language the operator asked for, and its translation, which is compiled into
// the executable so that nothing has to travel beside it.

#include "util/language.h"

#include "util/keyvalue.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <optional>

namespace {

const QString kLanguageKey = QStringLiteral("Language");
const QString kOption = QStringLiteral("--lang");
const QString kEnglishTranslation = QStringLiteral(":/i18n/m4500-config_en.qm");

std::optional<Language> LanguageNamed(const QString& name) {
    if (name == QLatin1String("en")) {
        return Language::English;
    }
    if (name == QLatin1String("zh")) {
        return Language::Chinese;
    }
    return std::nullopt;
}

// The last known value of the option; an unknown one does not undo an earlier one.
std::optional<Language> FromArguments(const QStringList& arguments) {
    std::optional<Language> chosen;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString value;
        if (arguments[i] == kOption && i + 1 < arguments.size()) {
            value = arguments[++i];
        } else if (arguments[i].startsWith(kOption + '=')) {
            value = arguments[i].mid(kOption.size() + 1);
        } else {
            continue;
        }
        if (const std::optional<Language> named = LanguageNamed(value)) {
            chosen = named;
        }
    }
    return chosen;
}

}  // namespace

Language ChosenLanguage(const QStringList& arguments, const QString& settingsPath) {
    if (const std::optional<Language> asked = FromArguments(arguments)) {
        return *asked;
    }
    return LanguageNamed(ReadKeyValue(settingsPath, kLanguageKey)).value_or(Language::Chinese);
}

std::unique_ptr<QTranslator> InstallTranslation(Language language) {
    if (language == Language::Chinese) {
        return nullptr;
    }
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(kEnglishTranslation) ||
        !QCoreApplication::installTranslator(translator.get())) {
        std::fprintf(stderr,
                     "m4500-config: the English translation could not be loaded; the "
                     "texts stay Chinese\n");
        return nullptr;
    }
    return translator;
}

std::unique_ptr<QTranslator> InstallQtTranslation(Language language) {
    if (language != Language::Chinese) {
        return nullptr;
    }
    auto translator = std::make_unique<QTranslator>();
    const QString folders[] = {
        QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
        QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const QString& folder : folders) {
        if (translator->load(QStringLiteral("qtbase_zh_CN"), folder)) {
            return QCoreApplication::installTranslator(translator.get()) ? std::move(translator)
                                                                         : nullptr;
        }
    }
    return nullptr;
}
