#include "output.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace {

QString g_outputFailure;

}  // namespace

void Print(FILE* stream, const QByteArray& bytes) {
    errno = 0;
    const size_t written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    const bool flushed = std::fflush(stream) == 0;
    if ((written != size_t(bytes.size()) || !flushed) && stream == stdout &&
        g_outputFailure.isEmpty()) {
        g_outputFailure = errno != 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                     : QStringLiteral("write error");
    }
}

void Print(FILE* stream, const QString& text) {
    Print(stream, text.toUtf8());
}

void Error(const QString& text) {
    Print(stderr, QStringLiteral("m4500ctl: ") + text + u'\n');
}

QString TakeOutputFailure() {
    return std::exchange(g_outputFailure, QString());
}
