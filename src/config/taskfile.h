#pragma once
// M_项目使用 (project data module): the task file "TASK.M45", a fixed 15742-byte image of the
// configuration that is also the controller's parameter image. Every byte is placed explicitly,
// most significant byte first.

#include "config/config.h"
#include "util/savefile.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

inline constexpr int kTaskFileSize = 15742;
// The format identifier, the file's first four bytes.
inline constexpr uint8_t kTaskFileHeader[4] = {0x19, 0x10, 0x12, 0x00};
inline constexpr int kTaskBufferSize = 65537;  // working buffer, positions 0..65536

// appDir + "/TASK.M45"
QString TaskFilePath(const QString& appDir);

// Buffer operations shared by the writer and the reader. They never touch memory outside
// `buf`: a write past its end is dropped and a read past its end gives 0 (the cursor still moves).
void PutByte(uint8_t value, std::vector<uint8_t>& buf, int32_t& cursor);       // byte at cursor, +1
void PutLong32At(int32_t value, std::vector<uint8_t>& buf, int32_t position);  // 4 bytes, MSB first
uint8_t GetByte(const std::vector<uint8_t>& buf, int32_t& cursor);             // byte at cursor, +1
int32_t GetLong32At(const std::vector<uint8_t>& buf, int32_t position);        // 4 bytes, MSB first

// The 15742 bytes that SaveTaskFile writes for `config`.
QByteArray BuildTaskImage(const ConfigTables& config);

// SaveTaskFile: save the configuration. Writes the image atomically (temporary file in the same
// directory, then replace): an interrupted save leaves the previous file intact.
FileResult SaveTaskFile(const ConfigTables& config, const QString& path);

enum class LoadStatus { Loaded, HeaderMismatch };
struct LoadResult {
    LoadStatus status = LoadStatus::Loaded;
    // Loaded, but the file is not the image a save writes for what was read from it: cut short,
    // longer, random bytes behind a good header, other offsets, counts, markers or reserved
    // bytes. What could be read is in the tables; the file itself was kept aside first.
    bool irregular = false;
    // A non-empty file that failed its header check, or an irregular one, was copied here first.
    QString keptCopy;
    // Why such a file could NOT be copied (no free name, or the copy failed); "" otherwise. When
    // set, the damaged file is still the only copy and the next save overwrites it.
    QString keepError;
};
// LoadTaskFile: load the configuration. Fills the tables from the file. A missing file is created
// empty and reported as a header mismatch; a bad non-empty file, or one that loads but is
// irregular, is first kept beside it under another name, so the next save cannot destroy it. The
// caller shows "文件错误！" on HeaderMismatch and names the copy.
LoadResult LoadTaskFile(ConfigTables& config, const QString& path);
// The reader proper, on bytes already in memory (at most 65537 are used). Bounded for any input.
LoadStatus LoadTaskImage(ConfigTables& config, const QByteArray& bytes);
// True for exactly the bytes a save writes: the image of the configuration read from them.
bool IsWholeTaskImage(const QByteArray& bytes);
