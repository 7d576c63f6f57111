// key=value files: matching rules of reader and writer, CR LF on disk, the system code page, and
// no line lost however long the file.
#include "util/keyvalue.h"

#include <gtest/gtest.h>
#include <optional>

#include <QDir>
#include <QFile>
#include <QStringConverter>
#include <QTemporaryDir>

#include "support/not_on_windows.h"
#ifndef Q_OS_WIN
#include "support/file_size_limit.h"

#include <cerrno>
#include <cstring>
#endif

namespace {

class KeyValueFile : public testing::Test {
  protected:
    QString path() const { return dir_.filePath(QStringLiteral("system.ini")); }
    void writeBytes(const QByteArray& bytes) const {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readBytes() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

  private:
    QTemporaryDir dir_;
};

struct ReadRow {
    const char* content;
    const char* key;
    const char* expected;
};
void PrintTo(const ReadRow& r, std::ostream* os) {
    *os << testing::PrintToString(r.content);
}

class ReadKeyValueRows : public KeyValueFile, public testing::WithParamInterface<ReadRow> {};

TEST_P(ReadKeyValueRows, MatchesKeyFollowedByEqualsLastWins) {
    writeBytes(GetParam().content);
    EXPECT_EQ(ReadKeyValue(path(), QString::fromLatin1(GetParam().key)),
              QString::fromLatin1(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ReadKeyValueRows,
    testing::Values(ReadRow{"A=1\r\nA=2\r\n", "A", "2"},  // last match wins
                    ReadRow{"A=1\r\nA\r\n", "A", "1"},    // key alone is no match
                    ReadRow{"A=\r\n", "A", ""},           // empty value
                    ReadRow{"A=7\r\nA=\r\n", "A", ""},    // empty value also wins when last
                    ReadRow{"AB=5\r\n", "A", ""},         // longer key is another key
                    ReadRow{"a=5\r\n", "A", ""},          // case matters
                    ReadRow{" A=5\r\n", "A", ""},         // nothing trimmed
                    ReadRow{"A =5\r\n", "A", ""},         //
                    ReadRow{"A= 5 \r\n", "A", " 5 "},     //
                    ReadRow{"A=x=y\r\n", "A", "x=y"},     // value is the rest of the line
                    ReadRow{"B=1\r\nA=3", "A", "3"},      // last line without line end
                    ReadRow{"B=1\nA=4\n", "A", "4"},      // bare LF ends lines too
                    ReadRow{"A=6\rB=1\r", "A", "6"},      // ...and bare CR
                    // A leading byte-order mark (an editor's UTF-8) does not hide the first key.
                    ReadRow{"\xEF\xBB\xBF\x41=5\r\n", "A", "5"},
                    ReadRow{"\xEF\xBB\xBF\x41=5\r\nA=8\r\n", "A", "8"},  // last still wins
                    ReadRow{"\xEF\xBB\xBF\x41\r\n", "A", ""},            // key alone after it
                    ReadRow{"B=1\r\n\xEF\xBB\xBF\x41=5\r\n", "A", ""},   // a mark mid-file is text
                    ReadRow{"\xEF\xBB\xBF", "A", ""},                    // the mark alone
                    ReadRow{"", "A", ""}));

TEST_F(KeyValueFile, ReadOfMissingFileGivesNothingAndCreatesNothing) {
    EXPECT_EQ(ReadKeyValue(path(), QStringLiteral("A")), QString());
    EXPECT_FALSE(QFile::exists(path()));
}

struct WriteRow {
    const char* before;
    const char* key;
    const char* value;
    const char* after;
};
void PrintTo(const WriteRow& r, std::ostream* os) {
    *os << testing::PrintToString(r.before);
}

class WriteKeyValueRows : public KeyValueFile, public testing::WithParamInterface<WriteRow> {};

TEST_P(WriteKeyValueRows, ReplacesEveryLineStartingWithKeyElseAppends) {
    writeBytes(GetParam().before);
    const FileResult written = WriteKeyValue(path(), QString::fromLatin1(GetParam().key),
                                             QString::fromLatin1(GetParam().value));
    ASSERT_TRUE(written.ok) << written.error.toStdString();
    EXPECT_EQ(readBytes(), QByteArray(GetParam().after));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, WriteKeyValueRows,
    testing::Values(
        WriteRow{"", "A", "3", "A=3\r\n"},          // empty file
        WriteRow{"AB=5\r\n", "A", "3", "A=3\r\n"},  // prefix is enough here
        WriteRow{"X=1\r\nA=1\r\nY=2\r\nA=2\r\nZ=3\r\n", "A", "9",
                 "X=1\r\nA=9\r\nY=2\r\nA=9\r\nZ=3\r\n"},                  // both replaced, 5 lines
        WriteRow{"X=1\r\nY=2", "A", "1", "X=1\r\nY=2\r\nA=1\r\n"},        // line end added
        WriteRow{"X=1\nY=2\n", "Y", "", "X=1\r\nY=\r\n"},                 // CR LF on rewrite
        WriteRow{"\r\nX=1\r\n\r\n", "A", "1", "\r\nX=1\r\n\r\nA=1\r\n"},  // blanks kept
        WriteRow{"A=1\r\n", "A", "1", "A=1\r\n"},
        WriteRow{"A\r\nB=1\r\n", "A", "3", "A=3\r\nB=1\r\n"},  // bare key replaced
        WriteRow{"A\r\nB=1\r\n", "B", "2", "A\r\nB=2\r\n"},    // ...kept for others
        // Lines that are not text in this code page (GBK bytes of the Windows
        // version, stray bytes) go back byte for byte when another key is written.
        WriteRow{"\xB4\xAE\xBF\xDA=3\r\nA=1\r\n", "A", "2", "\xB4\xAE\xBF\xDA=3\r\nA=2\r\n"},
        WriteRow{"X=\xFF\xFE\x80\nA=1", "A", "2", "X=\xFF\xFE\x80\r\nA=2\r\n"},
        // A leading byte-order mark stays byte for byte; the key behind it is replaced.
        WriteRow{"\xEF\xBB\xBF\x42=1\r\n", "B", "2", "\xEF\xBB\xBF\x42=2\r\n"},
        WriteRow{"\xEF\xBB\xBF\x42=1\r\nA=1\r\n", "A", "3", "\xEF\xBB\xBF\x42=1\r\nA=3\r\n"},
        WriteRow{"X=1\r\n\xEF\xBB\xBF\x42=1\r\n", "B", "2",  // only at the start
                 "X=1\r\n\xEF\xBB\xBF\x42=1\r\nB=2\r\n"},
        WriteRow{"\xEF\xBB\xBF\r\nA=1\r\n", "A", "2", "\xEF\xBB\xBF\r\nA=2\r\n"}));

TEST_F(KeyValueFile, WriteCreatesAMissingFileWithOneLine) {
    ASSERT_TRUE(WriteKeyValue(path(), QStringLiteral("A"), QStringLiteral("12")));
    EXPECT_EQ(readBytes(), QByteArray("A=12\r\n"));
}

TEST_F(KeyValueFile, MoreThanFiveHundredLinesAreAllKept) {
    QByteArray before;
    for (int i = 1; i <= 750; ++i) {
        before += "K" + QByteArray::number(i) + "=" + QByteArray::number(i * 7) + "\r\n";
    }
    writeBytes(before);
    ASSERT_TRUE(WriteKeyValue(path(), QStringLiteral("K600"), QStringLiteral("x")));
    QByteArray expected = before;
    expected.replace("\r\nK600=4200\r\n", "\r\nK600=x\r\n");
    EXPECT_EQ(readBytes(), expected);
    ASSERT_TRUE(WriteKeyValue(path(), QStringLiteral("NEW"), QStringLiteral("1")));
    EXPECT_EQ(readBytes(), expected + "NEW=1\r\n");
    EXPECT_EQ(ReadKeyValue(path(), QStringLiteral("K750")), QStringLiteral("5250"));
}

// On a UTF-8 system the key is the six bytes E4 B8 B2 E5 8F A3.
TEST_F(KeyValueFile, SerialPortKeyInTheSystemCodePage) {
    if (QStringDecoder(QStringConverter::System)("\xE4\xB8\xB2") != QStringLiteral("串")) {
        GTEST_SKIP() << "the system code page is not UTF-8";
    }
    const QString key = QStringLiteral("串口");
    ASSERT_TRUE(WriteKeyValue(path(), key, QStringLiteral("3")));
    EXPECT_EQ(readBytes(), QByteArray("\xE4\xB8\xB2\xE5\x8F\xA3=3\r\n"));
    EXPECT_EQ(ReadKeyValue(path(), key), QStringLiteral("3"));
    ASSERT_TRUE(WriteKeyValue(path(), key, QStringLiteral("12")));
    EXPECT_EQ(readBytes(), QByteArray("\xE4\xB8\xB2\xE5\x8F\xA3=12\r\n"));
    EXPECT_EQ(ReadKeyValue(path(), QStringLiteral("串")), QString());

    // The value comes back decoded; a line cut off inside the bytes of 口 is another key.
    writeBytes("\xE4\xB8\xB2\xE5=1\r\n\xE4\xB8\xB2\xE5\x8F\xA3=\xE4\xB8\xB2\r\n");
    EXPECT_EQ(ReadKeyValue(path(), key), QStringLiteral("串"));
}

// The file's own encoding wins over the system's code page: a file saved as UTF-8 (with or
// without a byte-order mark) is read as UTF-8 and written back as UTF-8; a file in the code page
// stays in it; a plain ASCII file takes text that the code page cannot hold as UTF-8. Some rows
// hold only with a system code page of GBK (Windows with a Chinese locale), some only without.
enum class CodePage { Any, Gbk, NotGbk };
struct EncodingRow {
    const char* name;
    CodePage codePage;
    const char* before;  // nullptr: no file yet
    const char* value;   // "串口" read before the write
    const char* after;   // bytes after writing 串口=3
};

class KeyValueEncoding : public KeyValueFile, public testing::WithParamInterface<EncodingRow> {};

TEST_P(KeyValueEncoding, SerialPortKeyFoundAndWrittenInTheFilesEncoding) {
    const EncodingRow& row = GetParam();
    const QByteArray han = QStringEncoder(QStringConverter::System)(QStringLiteral("串"));
    const bool gbk = han == QByteArray("\xB4\xAE");
    if ((row.codePage == CodePage::Gbk && !gbk) || (row.codePage == CodePage::NotGbk && gbk)) {
        GTEST_SKIP() << "for another system code page";
    }
    if (row.before != nullptr) {
        writeBytes(row.before);
    }
    const QString key = QStringLiteral("串口");
    EXPECT_EQ(ReadKeyValue(path(), key), QString::fromUtf8(row.value));
    ASSERT_TRUE(WriteKeyValue(path(), key, QStringLiteral("3")));
    EXPECT_EQ(readBytes(), QByteArray(row.after));
    EXPECT_EQ(ReadKeyValue(path(), key), QStringLiteral("3"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, KeyValueEncoding,
    testing::Values(
        EncodingRow{"Utf8", CodePage::Any, "A=1\r\n\xE4\xB8\xB2\xE5\x8F\xA3=5\r\n", "5",
                    "A=1\r\n\xE4\xB8\xB2\xE5\x8F\xA3=3\r\n"},
        EncodingRow{"Utf8MarkAsciiOnly", CodePage::Any, "\xEF\xBB\xBF" "A=1\n", "",
                    "\xEF\xBB\xBF" "A=1\r\n\xE4\xB8\xB2\xE5\x8F\xA3=3\r\n"},
        EncodingRow{"Utf8LoneCarriageReturns", CodePage::Any, "\xE4\xB8\xB2\xE5\x8F\xA3=7\rB=\xE4\xB8\xB2", "7",
                    "\xE4\xB8\xB2\xE5\x8F\xA3=3\r\nB=\xE4\xB8\xB2\r\n"},
        EncodingRow{"AsciiTakesWhatTheCodePageCannotHold", CodePage::NotGbk, "COM5=x\r\n", "",
                    "COM5=x\r\n\xE4\xB8\xB2\xE5\x8F\xA3=3\r\n"},
        EncodingRow{"GbkNew", CodePage::Gbk, nullptr, "", "\xB4\xAE\xBF\xDA=3\r\n"},
        EncodingRow{"GbkEditedWithCrLf", CodePage::Gbk, "\xB4\xAE\xBF\xDA=12\r\nLanguage=en\r\n", "12",
                    "\xB4\xAE\xBF\xDA=3\r\nLanguage=en\r\n"}),
    [](const testing::TestParamInfo<EncodingRow>& info) { return info.param.name; });

TEST_F(KeyValueFile, UnwritableTargetReportsFailureWithReason) {
    // A directory where the file should be: the write fails also for root.
    ASSERT_TRUE(QDir().mkpath(path()));
    FileResult written = WriteKeyValue(path(), QStringLiteral("A"), QStringLiteral("1"));
    EXPECT_FALSE(written.ok);
    EXPECT_FALSE(written.error.isEmpty());
    const QString missingDir = path() + QStringLiteral("/no/such/dir/system.ini");
    written = WriteKeyValue(missingDir, QStringLiteral("A"), QStringLiteral("1"));
    EXPECT_FALSE(written.ok);
    EXPECT_FALSE(written.error.isEmpty());
}

#ifndef Q_OS_WIN
// The disk fills up while the file is rewritten (a file size limit, which binds root too): the
// old file stays complete and the system's reason comes back.
TEST_F(KeyValueFile, WriteFailingHalfwayKeepsTheOldFile) {
    QByteArray before;
    for (int i = 0; i < 40; ++i) {
        before += "LINE" + QByteArray::number(i) + "=value\r\n";
    }
    writeBytes(before);
    std::optional<FileSizeLimit> limit(std::in_place, 100);
    ASSERT_TRUE(limit->ok());
    const FileResult written = WriteKeyValue(path(), QStringLiteral("A"), QStringLiteral("1"));
    limit.reset();
    EXPECT_FALSE(written.ok);
    EXPECT_EQ(written.error, QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_EQ(readBytes(), before);
}
#else
M45_SKIPPED_ON_WINDOWS(TEST_F, KeyValueFile, WriteFailingHalfwayKeepsTheOldFile, "a file size limit (setrlimit) makes the write fail halfway")
#endif

}  // namespace
