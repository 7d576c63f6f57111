// Window Form主窗体: the undo history, as deltas of the configuration tables.

#include "ui/undo_history.h"

#include <algorithm>

namespace {

constexpr int kZoneRows = kZones + 1;
constexpr int kMachineCells = kMachines + 1;
constexpr int kSlotCells = kZoneRows * (kSlots + 1);
constexpr int kUseCells = kZoneRows * (kMachines + 1);
constexpr int kByteCells = kMachineCells + 3 * kSlotCells + kUseCells;  // 4091
static_assert(kByteCells <= 65536, "a cell's number fits 16 bits");
constexpr int kRemarkCells = (kZones + 1) + (kSlots + 1);

// Byte cell n of the tables, numbered as ConfigDelta says.
uint8_t& ByteCell(ConfigTables& c, int n) {
    if (n < kMachineCells) {
        return c.MachineIp[size_t(n)];
    }
    n -= kMachineCells;
    for (ConfigTables::PerZone<kSlots>* table : {&c.TaskHour, &c.TaskMinute, &c.TaskScene}) {
        if (n < kSlotCells) {
            return (*table)[size_t(n / (kSlots + 1))][size_t(n % (kSlots + 1))];
        }
        n -= kSlotCells;
    }
    return c.ZoneUsesMachine[size_t(n / (kMachines + 1))][size_t(n % (kMachines + 1))];
}

uint8_t ByteCell(const ConfigTables& c, int n) {
    return ByteCell(const_cast<ConfigTables&>(c), n);
}

QString& RemarkCell(ConfigTables& c, int n) {
    return n <= kZones ? c.ZoneRemark[size_t(n)] : c.TaskRemark[size_t(n - (kZones + 1))];
}

const QString& RemarkCell(const ConfigTables& c, int n) {
    return RemarkCell(const_cast<ConfigTables&>(c), n);
}

// A text's own storage, counted as if no one shared it.
std::size_t TextBytes(const QString& text) {
    return text.isNull() ? 0 : 16 + (std::size_t(text.capacity()) + 1) * sizeof(QChar);
}

template <typename Entry, typename Key>
void MergeEntries(std::vector<Entry>& older, const std::vector<Entry>& newer, Key key) {
    for (const Entry& entry : newer) {
        const auto same = std::find_if(older.begin(), older.end(),
                                       [&](const Entry& e) { return key(e) == key(entry); });
        if (same == older.end()) {
            older.push_back(entry);
        } else if (same->before == entry.after) {
            older.erase(same);  // back where it began
        } else {
            same->after = entry.after;
        }
    }
}

}  // namespace

std::size_t ConfigDelta::bytes() const {
    std::size_t n =
        sizeof(ConfigDelta) + cells.capacity() * sizeof(Cell) + remarks.capacity() * sizeof(Remark);
    for (const Remark& r : remarks) {
        n += TextBytes(r.before) + TextBytes(r.after);
    }
    return n;
}

ConfigDelta DiffConfig(const ConfigTables& before, const ConfigTables& after) {
    ConfigDelta d;
    for (int n = 0; n < kByteCells; ++n) {
        const uint8_t a = ByteCell(before, n);
        const uint8_t b = ByteCell(after, n);
        if (a != b) {
            d.cells.push_back({uint16_t(n), a, b});
        }
    }
    for (int n = 0; n < kRemarkCells; ++n) {
        const QString& a = RemarkCell(before, n);
        const QString& b = RemarkCell(after, n);
        if (a != b) {
            d.remarks.push_back({uint8_t(n), a, b});
        }
    }
    d.cells.shrink_to_fit();
    d.remarks.shrink_to_fit();
    return d;
}

void ApplyBefore(ConfigTables& config, const ConfigDelta& delta) {
    for (const ConfigDelta::Cell& c : delta.cells) {
        ByteCell(config, c.index) = c.before;
    }
    for (const ConfigDelta::Remark& r : delta.remarks) {
        RemarkCell(config, r.index) = r.before;
    }
}

void ApplyAfter(ConfigTables& config, const ConfigDelta& delta) {
    for (const ConfigDelta::Cell& c : delta.cells) {
        ByteCell(config, c.index) = c.after;
    }
    for (const ConfigDelta::Remark& r : delta.remarks) {
        RemarkCell(config, r.index) = r.after;
    }
}

void MergeDelta(ConfigDelta& older, const ConfigDelta& newer) {
    MergeEntries(older.cells, newer.cells, [](const ConfigDelta::Cell& c) { return c.index; });
    MergeEntries(older.remarks, newer.remarks,
                 [](const ConfigDelta::Remark& r) { return r.index; });
}

std::size_t UndoHistory::Step::bytes() const {
    return sizeof(Step) - sizeof(ConfigDelta) + delta.bytes();
}

UndoHistory::UndoHistory(const ConfigTables& start, Limits limits)
    : limits_(limits), recorded_(start) {}

void UndoHistory::reset(const ConfigTables& start) {
    recorded_ = start;
    done_.clear();
    undone_.clear();
    bytes_ = 0;
}

bool UndoHistory::record(const ConfigTables& now, EditPlace where, int group) {
    ConfigDelta delta = DiffConfig(recorded_, now);
    if (delta.empty()) {
        return false;
    }
    recorded_ = now;
    for (const Step& s : undone_) {
        bytes_ -= s.bytes();
    }
    undone_.clear();
    if (group != 0 && !done_.empty() && done_.back().open && done_.back().group == group) {
        Step& last = done_.back();
        bytes_ -= last.bytes();
        MergeDelta(last.delta, delta);
        last.place = where;
        if (last.delta.empty()) {  // typed and taken back: no change is left to undo
            done_.pop_back();
        } else {
            bytes_ += last.bytes();
        }
        trim();
        return true;
    }
    seal();
    done_.push_back(Step{std::move(delta), where, group, group != 0});
    bytes_ += done_.back().bytes();
    trim();
    return true;
}

void UndoHistory::seal() {
    if (!done_.empty()) {
        done_.back().open = false;
    }
}

// The oldest steps go until the history is within its limits; the newest step always stays.
void UndoHistory::trim() {
    while (done_.size() > 1 && (done_.size() > limits_.steps || bytes_ > limits_.bytes)) {
        bytes_ -= done_.front().bytes();
        done_.pop_front();
    }
}

std::optional<EditPlace> UndoHistory::undo(ConfigTables& config) {
    if (done_.empty()) {
        return std::nullopt;
    }
    Step step = std::move(done_.back());
    done_.pop_back();
    step.open = false;
    ApplyBefore(config, step.delta);
    ApplyBefore(recorded_, step.delta);
    const EditPlace place = step.place;
    undone_.push_back(std::move(step));
    return place;
}

std::optional<EditPlace> UndoHistory::redo(ConfigTables& config) {
    if (undone_.empty()) {
        return std::nullopt;
    }
    Step step = std::move(undone_.back());
    undone_.pop_back();
    ApplyAfter(config, step.delta);
    ApplyAfter(recorded_, step.delta);
    const EditPlace place = step.place;
    done_.push_back(std::move(step));
    return place;
}
