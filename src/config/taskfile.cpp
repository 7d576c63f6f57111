#include "config/taskfile.h"

#include "util/hexconv.h"
#include "util/savefile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <climits>

namespace {

constexpr uint8_t kSectionMarker = 0xA0;
constexpr int kRemarkBytes = 2 * kRemarkUnits;  // 40
constexpr int kReservedPerTask = 17;

bool InBuffer(const std::vector<uint8_t>& buf, int64_t position) {
    return position >= 0 && position < int64_t(buf.size());
}

// Moves a cursor past `count` bytes that are not stored anywhere. Saturates instead of
// overflowing: a cursor that far out only reads zeros anyway.
void Skip(int32_t& cursor, int64_t count) {
    cursor = int32_t(std::min<int64_t>(int64_t(cursor) + count, INT32_MAX));
}

// The remark's code units as 40 bytes, high byte first, cut to 20 units and padded with zeros:
// 4 hex digits per unit, 160 "0" appended, the first 80 digits taken in pairs.
void PutRemark(const QString& remark, std::vector<uint8_t>& buf, int32_t& cursor) {
    const QString digits = Fun_TextToHex(remark.left(kRemarkUnits)) + QString(160, u'0');
    for (int i = 0; i < kRemarkBytes; ++i) {
        PutByte(uint8_t(HexDigitsValue(QStringView(digits).mid(qsizetype(i) * 2, 2))), buf, cursor);
    }
}

// Always 20 characters: each byte becomes 2 upper-case digits, the 80 digits are decoded in
// groups of 4, so zero units come back as U+0000.
QString GetRemark(const std::vector<uint8_t>& buf, int32_t& cursor) {
    QString digits;
    digits.reserve(qsizetype(kRemarkBytes) * 2);
    for (int i = 0; i < kRemarkBytes; ++i) {
        AppendHexByte(digits, GetByte(buf, cursor));
    }
    return Fun_HexToText(digits);
}

void PutZoneBlock(const ConfigTables& c, int zone, std::vector<uint8_t>& buf, int32_t& cursor) {
    for (int slot = 1; slot <= kSlots; ++slot) {
        PutByte(c.TaskHour[zone][slot], buf, cursor);
        PutByte(c.TaskMinute[zone][slot], buf, cursor);
        PutByte(c.TaskScene[zone][slot], buf, cursor);
        for (int i = 0; i < kReservedPerTask; ++i) {
            PutByte(0, buf, cursor);
        }
    }
    for (int machine = 1; machine <= kMachines; ++machine) {
        PutByte(c.ZoneUsesMachine[zone][machine], buf, cursor);
    }
}

}  // namespace

QString TaskFilePath(const QString& appDir) {
    return appDir + QStringLiteral("/TASK.M45");
}

void PutByte(uint8_t value, std::vector<uint8_t>& buf, int32_t& cursor) {
    if (InBuffer(buf, cursor)) {
        buf[size_t(cursor)] = value;
    }
    Skip(cursor, 1);
}

void PutLong32At(int32_t value, std::vector<uint8_t>& buf, int32_t position) {
    for (int k = 1; k <= 4; ++k) {
        const int64_t at = int64_t(position) + k - 1;
        if (InBuffer(buf, at)) {
            buf[size_t(at)] = uint8_t(HexNotationValue(Fun_ByteOfLong(value, k)));
        }
    }
}

uint8_t GetByte(const std::vector<uint8_t>& buf, int32_t& cursor) {
    const uint8_t value = InBuffer(buf, cursor) ? buf[size_t(cursor)] : 0;
    Skip(cursor, 1);
    return value;
}

int32_t GetLong32At(const std::vector<uint8_t>& buf, int32_t position) {
    uint8_t b[4];
    for (int k = 0; k < 4; ++k) {
        const int64_t at = int64_t(position) + k;
        b[k] = InBuffer(buf, at) ? buf[size_t(at)] : 0;
    }
    return Fun_BytesToLong(b[0], b[1], b[2], b[3]);
}

QByteArray BuildTaskImage(const ConfigTables& c) {
    std::vector<uint8_t> buf(kTaskBufferSize, 0);
    int32_t cursor = 0;
    for (uint8_t b : kTaskFileHeader) {
        PutByte(b, buf, cursor);
    }
    cursor = 100;

    PutLong32At(cursor, buf, 4);
    PutByte(kSectionMarker, buf, cursor);
    PutByte(kMachines, buf, cursor);
    for (int machine = 1; machine <= kMachines; ++machine) {
        PutByte(c.MachineIp[machine], buf, cursor);
    }

    PutLong32At(cursor, buf, 8);
    PutByte(kSectionMarker, buf, cursor);
    PutByte(kZones, buf, cursor);
    PutByte(kSlots, buf, cursor);
    for (int zone = 1; zone <= kZones; ++zone) {
        PutZoneBlock(c, zone, buf, cursor);
    }

    PutLong32At(cursor, buf, 12);
    PutByte(kSectionMarker, buf, cursor);
    PutByte(kRemarkBytes, buf, cursor);
    for (int zone = 1; zone <= kZones; ++zone) {
        PutRemark(c.ZoneRemark[zone], buf, cursor);
    }

    PutLong32At(cursor, buf, 16);
    PutByte(kSectionMarker, buf, cursor);
    PutByte(kRemarkBytes, buf, cursor);
    for (int slot = 1; slot <= kSlots; ++slot) {
        PutRemark(c.TaskRemark[slot], buf, cursor);
    }

    // The image ends at the cursor; the file adds one 0x00 end byte.
    PutByte(0, buf, cursor);
    return QByteArray(reinterpret_cast<const char*>(buf.data()), cursor);
}

FileResult SaveTaskFile(const ConfigTables& config, const QString& path) {
    return WriteFileAtomically(path, BuildTaskImage(config));
}

namespace {

// Counts read from the file bound the later loops. Elements past the tables' ends are not
// stored, but their bytes are still passed over as the counts say, so every later byte is read
// from where the file layout puts it.
struct SectionCounts {
    int machines = 0;
    int zones = 0;
    int taskSlots = 0;
};

void ReadMachines(ConfigTables& c, const std::vector<uint8_t>& buf, SectionCounts& n) {
    int32_t cursor = GetLong32At(buf, 4);
    const uint8_t marker = GetByte(buf, cursor);
    n.machines = GetByte(buf, cursor);
    if (marker != kSectionMarker) {
        return;
    }
    for (int machine = 1; machine <= std::min(n.machines, kMachines); ++machine) {
        c.MachineIp[machine] = GetByte(buf, cursor);
    }
}

void ReadZoneBlock(ConfigTables& c, int zone, const std::vector<uint8_t>& buf, int32_t& cursor,
                   const SectionCounts& n) {
    for (int slot = 1; slot <= std::min(n.taskSlots, kSlots); ++slot) {
        c.TaskHour[zone][slot] = GetByte(buf, cursor);
        c.TaskMinute[zone][slot] = GetByte(buf, cursor);
        c.TaskScene[zone][slot] = GetByte(buf, cursor);
        Skip(cursor, kReservedPerTask);
    }
    Skip(cursor, int64_t(std::max(n.taskSlots - kSlots, 0)) * (3 + kReservedPerTask));
    for (int machine = 1; machine <= std::min(n.machines, kMachines); ++machine) {
        c.ZoneUsesMachine[zone][machine] = GetByte(buf, cursor);
    }
    Skip(cursor, std::max(n.machines - kMachines, 0));
}

void ReadTasks(ConfigTables& c, const std::vector<uint8_t>& buf, SectionCounts& n) {
    int32_t cursor = GetLong32At(buf, 8);
    const uint8_t marker = GetByte(buf, cursor);
    n.zones = GetByte(buf, cursor);
    n.taskSlots = GetByte(buf, cursor);
    if (marker != kSectionMarker) {
        return;
    }
    // Zones past the table hold nothing that is kept, and nothing is read after them.
    for (int zone = 1; zone <= std::min(n.zones, kZones); ++zone) {
        ReadZoneBlock(c, zone, buf, cursor, n);
    }
}

template <size_t N>
void ReadRemarks(std::array<QString, N>& remarks, int count, const std::vector<uint8_t>& buf,
                 int32_t position) {
    int32_t cursor = GetLong32At(buf, position);
    const uint8_t marker = GetByte(buf, cursor);
    GetByte(buf, cursor);  // the width byte: every field is 40 bytes whatever it says
    if (marker != kSectionMarker) {
        return;
    }
    for (int i = 1; i <= std::min(count, int(N) - 1); ++i) {
        remarks[size_t(i)] = GetRemark(buf, cursor);
    }
}

}  // namespace

LoadStatus LoadTaskImage(ConfigTables& config, const QByteArray& bytes) {
    std::vector<uint8_t> buf(kTaskBufferSize, 0);
    std::copy_n(bytes.constData(), std::min<qsizetype>(bytes.size(), kTaskBufferSize), buf.begin());
    if (!std::equal(std::begin(kTaskFileHeader), std::end(kTaskFileHeader), buf.begin())) {
        return LoadStatus::HeaderMismatch;
    }
    SectionCounts n;
    ReadMachines(config, buf, n);
    ReadTasks(config, buf, n);
    ReadRemarks(config.ZoneRemark, n.zones, buf, 12);
    ReadRemarks(config.TaskRemark, n.taskSlots, buf, 16);
    return LoadStatus::Loaded;
}

bool IsWholeTaskImage(const QByteArray& bytes) {
    ConfigTables config;
    return bytes.size() == kTaskFileSize && LoadTaskImage(config, bytes) == LoadStatus::Loaded &&
           BuildTaskImage(config) == bytes;
}

namespace {

constexpr int kMaxKeptCopies = 1000;

bool SameContent(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.size() == bytes.size() && file.open(QIODevice::ReadOnly) &&
           file.read(bytes.size() + 1) == bytes;
}

// The first name of "TASK.M45.bad", "TASK.M45.bad1", ... beside the file that is free or already
// holds these very bytes (a damaged file met again is not copied again); "" if none.
QString KeepName(const QString& path, const QByteArray& bytes) {
    for (int i = 0; i < kMaxKeptCopies; ++i) {
        QString name = path + QStringLiteral(".bad") + (i == 0 ? QString() : QString::number(i));
        if (!QFileInfo::exists(name) || SameContent(name, bytes)) {
            return name;
        }
    }
    return QString();
}

// The whole file, however long.
FileResult ReadWhole(const QString& path, QByteArray& bytes) {
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        return FileResult{false, source.errorString()};
    }
    bytes = source.readAll();
    return FileResult{true, QString()};
}

// Copies the file aside before a save can replace it, written atomically: a failed copy leaves
// no partial file and gives the system's reason (QFile::copy reports a failed write as a failed
// create). When no copy can be made the caller must say so: the file is then unprotected.
void KeepAside(const QString& path, LoadResult& result) {
    QByteArray bytes;
    if (const FileResult read = ReadWhole(path, bytes); !read.ok) {
        result.keepError = read.error;
        return;
    }
    const QString keep = KeepName(path, bytes);
    if (keep.isEmpty()) {
        result.keepError = QStringLiteral("no free name for a copy: %1.bad to %1.bad%2 all exist")
                               .arg(QFileInfo(path).fileName())
                               .arg(kMaxKeptCopies - 1);
        return;
    }
    // The same bytes met before are already kept under this name.
    const FileResult copied =
        QFileInfo::exists(keep) ? FileResult{true, QString()} : WriteFileAtomically(keep, bytes);
    if (copied.ok) {
        result.keptCopy = keep;
    } else {
        result.keepError = copied.error;
    }
}

}  // namespace

LoadResult LoadTaskFile(ConfigTables& config, const QString& path) {
    LoadResult result;
    QFile file(path);
    if (!QFileInfo::exists(path)) {
        // Created empty, as the reader always did: the first start shows the message once and
        // the first save fills the file.
        if (file.open(QIODevice::WriteOnly)) {
            file.close();
        }
        result.status = LoadStatus::HeaderMismatch;
        return result;
    }
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly)) {
        bytes = file.read(kTaskBufferSize);
        file.close();
    }
    result.status = LoadTaskImage(config, bytes);
    // A file this tool wrote is exactly the image of what it holds; anything else would be
    // replaced by the next save without a trace of what was there.
    result.irregular = result.status == LoadStatus::Loaded && bytes != BuildTaskImage(config);
    const bool damaged = result.status == LoadStatus::HeaderMismatch && QFileInfo(path).size() > 0;
    if (damaged || result.irregular) {
        KeepAside(path, result);
    }
    return result;
}
