#pragma once
// Window Form主窗体: the operator's changes to the configuration, step by step, to be undone and
// redone. A step keeps only the cells it changed (before and after), not a copy of the tables, and
// the history is bounded in steps and in bytes: the oldest steps go first.

#include "config/config.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

// The cells in which two configurations differ. Byte cells are numbered through MachineIp,
// TaskHour, TaskMinute, TaskScene and ZoneUsesMachine in that order (index 0 of each dimension
// included); remarks are zone remarks 0..32, then task remarks 0..18.
struct ConfigDelta {
    struct Cell {
        uint16_t index;
        uint8_t before, after;
    };
    struct Remark {
        uint8_t index;
        QString before, after;
    };
    std::vector<Cell> cells;
    std::vector<Remark> remarks;

    bool empty() const { return cells.empty() && remarks.empty(); }
    // What the delta holds in memory: itself, its vectors' storage and its texts.
    std::size_t bytes() const;
};

ConfigDelta DiffConfig(const ConfigTables& before, const ConfigTables& after);
// Sets the delta's cells to their values before (or after) it.
void ApplyBefore(ConfigTables& config, const ConfigDelta& delta);
void ApplyAfter(ConfigTables& config, const ConfigDelta& delta);
// `older` followed by `newer` as one delta; cells that end as they began drop out.
void MergeDelta(ConfigDelta& older, const ConfigDelta& newer);

// Where the window stood when a step was made: undoing or redoing it shows that zone and task.
struct EditPlace {
    int32_t zone = 1;
    int32_t task = 1;
};

// How much the history keeps: the oldest steps go when either is passed.
struct UndoLimits {
    std::size_t steps = 1000;
    std::size_t bytes = std::size_t(2) << 20;  // 2 MiB
};

class UndoHistory {
  public:
    using Limits = UndoLimits;
    explicit UndoHistory(const ConfigTables& start, Limits limits = {});
    // A whole new starting point (nothing to undo or redo).
    void reset(const ConfigTables& start);

    // The tables after one action of the operator: what differs from the tables as last recorded
    // becomes one step, and the steps undone are forgotten. A step with a non-zero `group` takes
    // in the next changes of the same group (the keystrokes typed into one box in a row) until
    // seal(). False when nothing changed.
    bool record(const ConfigTables& now, EditPlace where, int group = 0);
    // The last step takes in nothing more.
    void seal();

    bool canUndo() const { return !done_.empty(); }
    bool canRedo() const { return !undone_.empty(); }
    // Undoes (redoes) one step in `config`, which must be the tables as last recorded (record
    // first); where it was made, or nothing when there is no step.
    std::optional<EditPlace> undo(ConfigTables& config);
    std::optional<EditPlace> redo(ConfigTables& config);

    std::size_t undoSteps() const { return done_.size(); }
    std::size_t redoSteps() const { return undone_.size(); }
    // Bytes held by the steps (the deltas, their texts and the step records).
    std::size_t bytes() const { return bytes_; }
    const Limits& limits() const { return limits_; }

  private:
    struct Step {
        ConfigDelta delta;
        EditPlace place;
        int group = 0;
        bool open = false;
        std::size_t bytes() const;
    };
    void trim();

    Limits limits_;
    ConfigTables recorded_;  // the tables as of the last step (or undo, redo)
    std::deque<Step> done_;
    std::vector<Step> undone_;
    std::size_t bytes_ = 0;
};
