#include "site/json_lines.h"

#include <QByteArrayView>
#include <algorithm>
#include <cstring>

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
    QHash<QString, int> seen;  // the keys of this object, with the line each was first given on
    for (int index = 0;; ++index) {
        Space();
        QString key = QString::number(index);
        const int keyLine = line_;
        if (named && !Key(&key)) {
            return false;
        }
        if (named) {
            const auto it = seen.constFind(key);
            if (it == seen.constEnd()) {
                seen.insert(key, keyLine);
            } else {
                duplicates_.append(Duplicate{path, key, it.value(), keyLine});
            }
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

// Decoded as the JSON parser decodes it, so that two spellings of one key are one key.
bool JsonLines::String(QString* out) {
    QString text;
    QByteArray run;  // plain bytes, decoded as UTF-8 together
    const auto flush = [&] {
        text += QString::fromUtf8(run);
        run.clear();
    };
    for (++at_; More();) {
        const char c = text_[at_++];
        if (c == '"') {
            flush();
            *out = text;
            return true;
        }
        if (c != '\\') {
            run.append(c);
            continue;
        }
        if (!More()) {
            return false;
        }
        flush();
        const char e = text_[at_++];
        if (e == 'u') {
            bool ok = false;
            const ushort unit = text_.mid(at_, 4).toUShort(&ok, 16);
            if (!ok || at_ + 4 > text_.size()) {
                return false;
            }
            at_ += 4;
            text += QChar(unit);
            continue;
        }
        const char* const from = "bfnrt";
        const char* const to = "\b\f\n\r\t";
        const char* const hit = e == '\0' ? nullptr : std::strchr(from, e);
        text += QChar::fromLatin1(hit != nullptr ? to[hit - from] : e);
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
