#pragma once
// Line numbers for places in a JSON text. Qt's JSON classes give the offset of a syntax error but
// no positions for values, and a fault in a document is only useful with its line.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

// The line (from 1) of a byte offset; offsets outside the text count as its ends.
int LineAt(const QByteArray& text, qsizetype offset);

// The line on which each wanted value of a JSON text starts, found by its path: the keys and
// item indices from the top, joined by '/' ("zones/6/tasks/2/time"; "" is the whole text). Meant
// for text that the JSON parser accepted; any other text, nesting deeper than kMaxDepth, or a
// text that ends early only stop the scan. A path that was not reached is reported at the
// nearest enclosing value that was.
class JsonLines {
  public:
    static constexpr int kMaxDepth = 32;

    // A key given twice in one object: the JSON parser keeps one of the two values and drops
    // the other without a word.
    struct Duplicate {
        QString path;  // the object's
        QString key;
        int firstLine = 0;
        int line = 0;
    };

    JsonLines(const QByteArray& text, const QSet<QString>& wanted);
    int lineOf(QString path) const;
    const QList<Duplicate>& duplicates() const { return duplicates_; }

  private:
    bool More() const { return at_ < text_.size(); }
    char Peek() const { return More() ? text_[at_] : '\0'; }
    void Space();
    bool Value(const QString& path, int depth);
    bool Members(const QString& path, int depth, char close, bool named);
    bool Key(QString* key);
    bool String(QString* out);
    bool Scalar();

    const QByteArray& text_;
    const QSet<QString>& wanted_;
    QHash<QString, int> lines_;
    QList<Duplicate> duplicates_;
    qsizetype at_ = 0;
    int line_ = 1;
};
