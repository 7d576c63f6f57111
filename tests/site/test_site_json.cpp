// The site document: export then import gives back the task file byte for byte, every fault is
// named with its line, and a refused document leaves the task file as it was.
#include "config/taskfile.h"
#include "site/site_files.h"
#include "site/site_json.h"
#include "support/bytes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <algorithm>
#include <random>

namespace {

// Bytes near the ends of the window's lists are drawn most often: 0, the last item, the first
// value past it, 255.
uint8_t Edgy(std::mt19937& rng) {
    static constexpr uint8_t kEdges[] = {0, 1, 24, 25, 30, 31, 60, 61, 254, 255};
    return rng() % 2 ? kEdges[rng() % std::size(kEdges)] : uint8_t(rng());
}

// Remarks as the window leaves them and as files written elsewhere hold them.
QString AnyRemark(std::mt19937& rng) {
    switch (rng() % 8) {
        case 0:
            return QString();
        case 1:
            return QStringLiteral("大厅 \"A\"\\%1");
        case 2:
            return QStringLiteral("exactly twenty units");
        case 3:
            return QStringLiteral("A") + QChar(0) + QStringLiteral("B");  // text after U+0000
        case 4:
            return QString(19, u'x') + QChar(0xD83D) + QChar(0xDE00);  // pair cut at unit 20
        case 5:
            return QString(QChar(0xDC00)) + QStringLiteral("lone");
        case 6:
            return QStringLiteral("\t\x01 control");
        default:
            return QString(int(rng() % 21), QChar(char16_t(0x4E00 + rng() % 500)));
    }
}

ConfigTables RandomConfig(unsigned seed) {
    std::mt19937 rng(seed);
    ConfigTables c;
    for (int m = 1; m <= kMachines; ++m) {
        c.MachineIp[m] = Edgy(rng);
    }
    for (int z = 1; z <= kZones; ++z) {
        c.ZoneRemark[z] = AnyRemark(rng);
        for (int t = 1; t <= kSlots; ++t) {
            c.TaskHour[z][t] = Edgy(rng);
            c.TaskMinute[z][t] = Edgy(rng);
            c.TaskScene[z][t] = Edgy(rng);
        }
        for (int m = 1; m <= kMachines; ++m) {
            c.ZoneUsesMachine[z][m] = rng() % 3 ? uint8_t(rng() % 2) : Edgy(rng);
        }
    }
    for (int t = 1; t <= kSlots; ++t) {
        c.TaskRemark[t] = AnyRemark(rng);
    }
    return c;
}

class SiteRoundTrip : public testing::TestWithParam<unsigned> {};

// Both as edited in the window and as loaded from a file (remarks padded with U+0000).
TEST_P(SiteRoundTrip, ExportThenImportGivesTheSameTaskFile) {
    const ConfigTables edited = RandomConfig(GetParam());
    const QByteArray image = BuildTaskImage(edited);
    ConfigTables loaded;
    ASSERT_EQ(LoadTaskImage(loaded, image), LoadStatus::Loaded);
    for (const ConfigTables& c : {edited, loaded}) {
        const QByteArray json = SiteJson(c);
        const CheckedConfig back = ParseSiteJson(json);
        ASSERT_TRUE(back.ok) << back.errors.join(u'\n').toStdString();
        EXPECT_EQ(BuildTaskImage(back.config), image);
        EXPECT_EQ(SiteJson(back.config), SiteJson(loaded));
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, SiteRoundTrip, testing::Range(1u, 41u));

TEST(SiteJson, ValuesInTheListsReadAsTheOperatorReadsThem) {
    ConfigTables c;
    c.MachineIp[12] = 42;
    c.TaskHour[7][3] = 8, c.TaskMinute[7][3] = 31, c.TaskScene[7][3] = 5;
    c.TaskHour[7][4] = 8;
    c.TaskMinute[7][5] = 31, c.TaskScene[7][5] = 2;
    c.ZoneUsesMachine[7][9] = 1;
    const QJsonObject root = QJsonDocument::fromJson(SiteJson(c)).object();
    EXPECT_EQ(root["machines"][11]["address"].toInt(), 42);
    EXPECT_TRUE(root["machines"][10]["address"].isNull());
    const QJsonValue zone = root["zones"][6];
    EXPECT_EQ(zone["machines"].toArray(), QJsonArray{9});
    EXPECT_EQ(zone["tasks"][2]["time"].toString(), QStringLiteral("07:30"));
    EXPECT_EQ(zone["tasks"][2]["scene"].toInt(), 5);
    EXPECT_EQ(zone["tasks"][3]["time"].toString(), QStringLiteral("07:--"));
    EXPECT_TRUE(zone["tasks"][3]["scene"].isNull());
    EXPECT_EQ(zone["tasks"][4]["time"].toString(), QStringLiteral("--:30"));
    EXPECT_TRUE(zone["tasks"][0].isNull());
}

// A sample whose texts below occur once, so each row can change one field.
ConfigTables Sample() {
    ConfigTables c;
    c.MachineIp[12] = 42;
    c.ZoneRemark[2] = QStringLiteral("大厅");
    c.TaskHour[7][3] = 8, c.TaskMinute[7][3] = 31, c.TaskScene[7][3] = 5;
    c.ZoneUsesMachine[4][9] = 1;
    c.TaskRemark[3] = QStringLiteral("开灯");
    return c;
}

enum class LineOf { Change, NextLine, EnclosingObject };

struct FaultRow {
    const char* name;
    const char* from;  // replaced once in the sample's document
    const char* to;
    const char* fault;
    LineOf line;
};

class SiteImportFault : public testing::TestWithParam<FaultRow> {};

TEST_P(SiteImportFault, IsNamedWithItsLineAndChangesNothing) {
    const FaultRow& row = GetParam();
    QByteArray doc = SiteJson(Sample());
    const qsizetype at = doc.indexOf(row.from);
    ASSERT_GE(at, 0) << row.from;
    doc.replace(at, qsizetype(qstrlen(row.from)), row.to);
    const qsizetype end = at + qsizetype(qstrlen(row.to)) - 1;  // the change's last byte
    const int line = row.line == LineOf::Change ? int(doc.left(end).count('\n')) + 1
                     : row.line == LineOf::NextLine
                         ? int(doc.left(end).count('\n')) + 2
                         : int(doc.left(doc.lastIndexOf('{', at)).count('\n')) + 1;

    QTemporaryDir dir;
    const QString json = dir.filePath(QStringLiteral("site.json"));
    const QString task = TaskFilePath(dir.path());
    ASSERT_TRUE(WriteFileBytes(json, doc));
    ASSERT_TRUE(SaveTaskFile(ConfigTables{}, task).ok);
    const SiteImport r = ImportSiteJson(json, task);
    EXPECT_EQ(r.status, SiteImport::Status::Refused);
    const QString expected = QStringLiteral("line %1: ").arg(line) + QString::fromUtf8(row.fault);
    EXPECT_TRUE(std::any_of(
        r.errors.begin(), r.errors.end(),
        [&](const QString& e) { return e.startsWith(json + QStringLiteral(": ") + expected); }))
        << "wanted: " << expected.toStdString() << "\ngot: " << r.errors.join(u'\n').toStdString();
    EXPECT_EQ(ReadFileBytes(task), BuildTaskImage(ConfigTables{}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);  // no copy, no temporary
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SiteImportFault,
    testing::Values(
        FaultRow{"MalformedJson", "\"m4500-site\",", "\"m4500-site\"", "not valid JSON",
                 LineOf::NextLine},
        FaultRow{"MissingField", "\"scene\": 5,", "", "zone 7, task 3: missing field \"scene\"",
                 LineOf::EnclosingObject},
        FaultRow{"HourOutOfRange", "\"07:30\"", "\"24:00\"",
                 "zone 7, task 3: hour 24:00 is not a time", LineOf::Change},
        FaultRow{"MinuteOutOfRange", "\"07:30\"", "\"07:60\"",
                 "zone 7, task 3: minute 07:60 is not a time", LineOf::Change},
        FaultRow{"TimeNotATime", "\"07:30\"", "730", "zone 7, task 3: time 730 is not a time",
                 LineOf::Change},
        FaultRow{"Scene31", "\"scene\": 5", "\"scene\": 31",
                 "zone 7, task 3: scene 31 is not in the list 01..30", LineOf::Change},
        FaultRow{"Machine65", "\"machines\": [\n                9", "\"machines\": [\n    65",
                 "zone 4: machine 65 is not a machine (1..64)", LineOf::Change},
        FaultRow{"Address255", "\"address\": 42", "\"address\": 255",
                 "machine 12: address 255 is not in the list", LineOf::Change},
        FaultRow{"RemarkOver20Units", "\"大厅\"", "\"大厅大厅大厅大厅大厅大厅大厅大厅大厅大厅大\"",
                 "zone 2: remark \"大厅大厅", LineOf::Change},
        FaultRow{"KeyGivenTwice", "\"address\": 42", "\"address\": 21, \"addr\\u0065ss\": 42",
                 "machine 12: \"address\" is given twice", LineOf::Change},
        FaultRow{"MisspeltField", "\"scene\": 5", "\"scnee\": 5",
                 "zone 7, task 3: unknown field \"scnee\"", LineOf::Change},
        FaultRow{"EntryOutOfOrder", "\"zone\": 3\n", "\"zone\": 4\n",
                 "zone 3: \"zone\" is 4 at the place of \"zone\" 3", LineOf::Change},
        FaultRow{"BadStoredRemark", "\"remark\": \"开灯\"", "\"stored_remark\": \"0041\"",
                 "task 3 remark: \"stored_remark\" must be 20 groups", LineOf::Change}),
    [](const testing::TestParamInfo<FaultRow>& info) { return std::string(info.param.name); });

class SiteImportFile : public testing::Test {
  protected:
    void Write(const QString& path, const QByteArray& bytes) {
        ASSERT_TRUE(WriteFileBytes(path, bytes));
    }
    static QByteArray Read(const QString& path) { return ReadFileBytes(path, "<missing>"); }
    QTemporaryDir dir;
    const QString json = dir.filePath(QStringLiteral("site.json"));
    const QString task = TaskFilePath(dir.path());
};

TEST_F(SiteImportFile, TenMegabytesAreRefusedUnreadAndTheTaskFileIsUntouched) {
    const QByteArray before = BuildTaskImage(Sample());
    Write(task, before);
    Write(json, "{" + QByteArray(10 << 20, ' ') + "}");
    QElapsedTimer clock;
    clock.start();
    const SiteImport r = ImportSiteJson(json, task);
    EXPECT_LT(clock.elapsed(), 500);  // a parse of 10 MB takes far longer than a size check
    EXPECT_EQ(r.status, SiteImport::Status::Refused);
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_TRUE(r.errors[0].contains(QStringLiteral("larger than 1048576 bytes")));
    EXPECT_EQ(Read(task), before);
}

TEST_F(SiteImportFile, DamagedTaskFileIsKeptAsideBeforeItIsReplaced) {
    const struct {
        QByteArray damaged;
        bool irregular;
    } rows[] = {
        {QByteArray::fromHex("19101201") + QByteArray(200, 'x'), false},  // header check fails
        {BuildTaskImage(ConfigTables{}).left(200), true},                 // cut short
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.irregular);
        QFile::remove(task + QStringLiteral(".bad"));
        Write(task, row.damaged);
        Write(json, SiteJson(Sample()));
        const SiteImport r = ImportSiteJson(json, task);
        ASSERT_EQ(r.status, SiteImport::Status::Saved) << r.errors.join(u' ').toStdString();
        EXPECT_EQ(r.keptCopy, task + QStringLiteral(".bad"));
        EXPECT_EQ(r.irregular, row.irregular);
        EXPECT_EQ(Read(r.keptCopy), row.damaged);
        EXPECT_EQ(Read(task), BuildTaskImage(Sample()));
    }
}

TEST_F(SiteImportFile, SourceIsToldByContent) {
    Write(json, SiteJson(Sample()));
    Write(task, BuildTaskImage(Sample()));
    const QString other = dir.filePath(QStringLiteral("notes.txt"));
    Write(other, "site notes");
    for (const QString& path : {json, task}) {
        const CheckedConfig s = ReadSiteSource(path);
        ASSERT_TRUE(s.ok) << s.errors.join(u' ').toStdString();
        EXPECT_EQ(BuildTaskImage(s.config), BuildTaskImage(Sample()));
    }
    EXPECT_FALSE(ReadSiteSource(other).ok);
    EXPECT_FALSE(ReadSiteSource(dir.filePath(QStringLiteral("absent"))).ok);
}

}  // namespace
