#include "config/json_lines.h"

#include <QByteArrayView>
#include <algorithm>

int LineAt(const QByteArray& text, qsizetype offset) {
    return 1 + int(text.left(std::clamp<qsizetype>(offset, 0, text.size())).count('\n'));
}

JsonLines::JsonLines(const QByteArray& text, const QSet<QString>& wanted)
    : text_(text), wanted_(wanted) {
    Value(QString(), 0);
}

int JsonLines::lineOf(QString path) const {
    for (;;) {
        const auto it = lines_.constFind(path);
        if (it != lines_.constEnd()) {
            return *it;
        }
        const qsizetype cut = path.lastIndexOf(u'/');
        if (cut < 0) {
            return 1;
        }
        path.truncate(cut);
    }
}

void JsonLines::Space() {
    while (More() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\r' || Peek() == '\n')) {
        line_ += Peek() == '\n' ? 1 : 0;
        ++at_;
    }
}

bool JsonLines::Value(const QString& path, int depth) {
    Space();
    if (!More() || depth > kMaxDepth) {
        return false;
    }
    if (wanted_.contains(path)) {
        lines_.insert(path, line_);
    }
    switch (Peek()) {
        case '{':
            return Members(path, depth, '}', true);
        case '[':
            return Members(path, depth, ']', false);
        case '"': {
            QString ignored;
            return String(&ignored);
        }
        default:
            return Scalar();
    }
}

// An object's members or an array's items; an item's path ends in its index.
bool JsonLines::Members(const QString& path, int depth, char close, bool named) {
    ++at_;
    Space();
    if (Peek() == close) {
        ++at_;
        return true;
    }
    for (int index = 0;; ++index) {
        Space();
        QString key = QString::number(index);
        if (named && !Key(&key)) {
            return false;
        }
        if (!Value(path + u'/' + key, depth + 1)) {
            return false;
        }
        Space();
        const char next = Peek();
        ++at_;
        if (next != ',') {
            return next == close;
        }
    }
}

bool JsonLines::Key(QString* key) {
    if (Peek() != '"' || !String(key)) {
        return false;
    }
    Space();
    if (Peek() != ':') {
        return false;
    }
    ++at_;
    return true;
}

// Escapes are dropped, not decoded: the document's own field names have none, and a field
// name that does only loses its line to the object around it.
bool JsonLines::String(QString* out) {
    QByteArray raw;
    for (++at_; More();) {
        const char c = text_[at_++];
        if (c == '"') {
            *out = QString::fromUtf8(raw);
            return true;
        }
        if (c == '\\' && More()) {
            raw.append(text_[at_++]);
        } else {
            raw.append(c);
        }
    }
    return false;
}

bool JsonLines::Scalar() {
    const qsizetype start = at_;
    while (More() && !QByteArrayView(",]} \t\r\n").contains(Peek())) {
        ++at_;
    }
    return at_ > start;
}
