#include "line.h"

#include <QSerialPort>

namespace {

class DeviceLine : public Line {
  public:
    explicit DeviceLine(const QString& path) : path_(path) { port_.setPortName(path); }

    bool open(QString* error) {
        const bool ok = port_.open(QIODevice::ReadWrite) && port_.setBaudRate(115200) &&
                        port_.setDataBits(QSerialPort::Data8) &&
                        port_.setParity(QSerialPort::NoParity) &&
                        port_.setStopBits(QSerialPort::OneStop) &&
                        port_.setFlowControl(QSerialPort::NoFlowControl);
        if (!ok) {
            if (error)
                *error = path_ + QStringLiteral(": ") + port_.errorString();
            return false;
        }
        QObject::connect(&port_, &QSerialPort::readyRead, [this] {
            const QByteArray bytes = port_.readAll();
            if (!bytes.isEmpty() && received)
                received(bytes);
        });
        return true;
    }

    QString path() const override { return path_; }
    qint64 write(const QByteArray& bytes) override { return port_.write(bytes); }
    void hangUp() override { port_.close(); }

  private:
    QString path_;
    QSerialPort port_;
};

}  // namespace

std::unique_ptr<Line> OpenSerialDevice(const QString& path, QString* error) {
    auto line = std::make_unique<DeviceLine>(path);
    if (!line->open(error))
        return nullptr;
    return line;
}
