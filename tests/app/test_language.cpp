// The language of the window, as start-up chooses it from the command line and the settings file.

#include "support/bytes.h"
#include "util/language.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>

TEST(Language, ChosenOnlyOnRequest) {
    const struct {
        const char* what;
        QStringList arguments;  // after the program's name
        QByteArray settings;    // "" = no settings file
        Language chosen;
    } rows[] = {
        {"nothing asked", {}, "", Language::Chinese},
        {"--lang en", {"--lang", "en"}, "", Language::English},
        {"--lang=en", {"-platform", "offscreen", "--lang=en"}, "", Language::English},
        {"Language=en", {}, "COM1=/dev/pts/4\r\nLanguage=en\r\n", Language::English},
        {"the command line over the settings",
         {"--lang", "zh"},
         "Language=en\r\n",
         Language::Chinese},
        {"unknown value in the settings", {}, "Language=fr\r\n", Language::Chinese},
        {"keys are exact", {}, "language=en\r\nLanguage =en\r\n", Language::Chinese},
        {"an unknown value is as if absent",
         {"--lang", "xx"},
         "Language=en\r\n",
         Language::English},
        {"no value after --lang", {"--lang"}, "", Language::Chinese},
    };
    for (const auto& row : rows) {
        QTemporaryDir dir;
        const QString settings = QDir(dir.path()).filePath("system.ini");
        if (!row.settings.isEmpty()) {
            ASSERT_TRUE(WriteFileBytes(settings, row.settings));
        }
        EXPECT_EQ(ChosenLanguage(QStringList{"m4500-config"} + row.arguments, settings), row.chosen)
            << row.what;
    }
}
