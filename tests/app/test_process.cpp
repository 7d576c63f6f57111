// The real executable, copied into a private application directory (its task file, settings
// file and instance lock are its own): a second copy ends at once, and a request to end from
// the operating system saves the configuration exactly once before the process ends.

#include "app/single_instance.h"
#include "config/taskfile.h"
#include "support/bytes.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

namespace {

bool WriteTask(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Counts completed writes of one file name in a directory (a replace by rename included).
class WriteCounter {
  public:
    WriteCounter(const QString& dir, QByteArray name) : name_(std::move(name)) {
        fd_ = inotify_init1(IN_NONBLOCK);
        inotify_add_watch(fd_, QFile::encodeName(dir).constData(), IN_CLOSE_WRITE | IN_MOVED_TO);
    }
    ~WriteCounter() { close(fd_); }
    int count() {
        alignas(inotify_event) char buffer[8192];
        ssize_t n;
        while ((n = read(fd_, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                auto* e = reinterpret_cast<inotify_event*>(p);
                if (e->len > 0 && name_ == e->name) {
                    ++count_;
                }
                p += sizeof(inotify_event) + e->len;
            }
        }
        return count_;
    }

  private:
    int fd_ = -1;
    QByteArray name_;
    int count_ = 0;
};

// A copy of the window in a private folder, or laid out as the package installs it
// (<root>/usr/bin beside <root>/usr/share/m4500-config) with a HOME of its own.
struct AppCopy {
    explicit AppCopy(bool installed = false) {
        const QString bin = installed ? dir.filePath("usr/bin") : dir.path();
        ok = QDir().mkpath(bin);
        exe = QDir(bin).filePath("m4500-config");
        ok = ok && QFile::copy(QStringLiteral(M45_BIN_DIR "/m4500-config"), exe);
        QFile::setPermissions(exe, QFile::permissions(exe) | QFileDevice::ExeOwner);
        env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        dataDir = dir.path();
        if (installed) {
            ok = ok && QDir().mkpath(dir.filePath("usr/share/m4500-config"));
            env.insert("HOME", dir.filePath("home"));
            env.remove("XDG_DATA_HOME");
            dataDir = dir.filePath("home/.local/share/m4500-config");
        }
    }
    // Offscreen, or on the X display `display` (":7") when one is given.
    void start(QProcess& p, const QString& display = {}, const QStringList& arguments = {}) {
        if (!display.isEmpty()) {
            env.insert("QT_QPA_PLATFORM", "xcb");
            env.insert("DISPLAY", display);
        }
        p.setProcessEnvironment(env);
        p.setProgram(exe);
        p.setArguments(arguments);
        p.start();
    }
    // The lock is taken after the handler for requests to end is in place.
    bool waitForLock(int timeoutMs) { return WaitForFile(InstanceLockPath(dataDir), timeoutMs); }
    static bool WaitForFile(const QString& path, int timeoutMs) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            if (QFile::exists(path)) {
                return true;
            }
            QThread::msleep(20);
        }
        return false;
    }
    QTemporaryDir dir;
    QString exe;
    QString dataDir;  // where its task file, settings file and lock key are
    QProcessEnvironment env;
    bool ok = false;
};

// A virtual X server of the test's own; its display is ":N".
class XServer {
  public:
    XServer() {
        server_.start(QStringLiteral("Xvfb"),
                      {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                       QStringLiteral("0"), QStringLiteral("1280x800x24")});
        if (server_.waitForStarted(10000) && server_.waitForReadyRead(10000)) {
            display_ = QStringLiteral(":") + QString::fromLatin1(server_.readLine().trimmed());
        }
    }
    ~XServer() { kill(); }
    QString display() const { return display_; }
    void kill() {
        server_.kill();
        server_.waitForFinished(5000);
    }
    // Runs xdotool on this display; true when it succeeded.
    bool xdotool(const QStringList& args) const {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display_);
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral("xdotool"), args);
        return tool.waitForFinished(20000) && tool.exitCode() == 0;
    }
    // What xdotool printed on this display, or "" when it failed or took more than 20 s.
    QString xdotoolOutput(const QStringList& args) const {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display_);
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral("xdotool"), args);
        if (!tool.waitForFinished(20000) || tool.exitCode() != 0) {
            tool.kill();
            tool.waitForFinished(5000);
            return QString();
        }
        return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
    }

  private:
    QProcess server_;
    QString display_;
};

}  // namespace

// The X server goes away under the window (killed, or a logout that sends no signal first):
// Qt ends the process at once, and the operator's typing must be in the task file all the same,
// written exactly once.
TEST(Process, EditsAreSavedOnceWhenTheDisplayDies) {
    AppCopy app;
    ASSERT_TRUE(app.ok);
    const QString taskFile = TaskFilePath(app.dir.path());
    ASSERT_TRUE(SaveTaskFile(ConfigTables{}, taskFile).ok);
    XServer x;
    ASSERT_FALSE(x.display().isEmpty()) << "Xvfb did not start";
    QProcess window;
    app.start(window, x.display());
    ASSERT_TRUE(app.waitForLock(20000));
    // Into the zone remark box and type: its centre is (944, 220) in the client area, which lies
    // below the menu bar (20 pixels under Xvfb; the box is hit for any height from 10 to 34).
    ASSERT_TRUE(x.xdotool({"search", "--sync", "--onlyvisible", "--name", "M-4500", "windowfocus",
                           "--sync", "mousemove", "--window", "%1", "944", "242", "click", "1"}));
    ASSERT_TRUE(x.xdotool({"type", "--delay", "20", "Hall"}));
    QThread::msleep(500);

    WriteCounter writes(app.dir.path(), "TASK.M45");
    x.kill();
    ASSERT_TRUE(window.waitForFinished(20000)) << "still running without its display";
    ConfigTables saved;
    ASSERT_EQ(LoadTaskFile(saved, taskFile).status, LoadStatus::Loaded);
    EXPECT_EQ(saved.ZoneRemark[1].left(4), QStringLiteral("Hall"));
    EXPECT_EQ(writes.count(), 1);
}

TEST(Process, SecondCopyEndsAtOnceAndTerminationSavesOnce) {
    AppCopy app;
    ASSERT_TRUE(app.ok);
    // A valid task file with trailing bytes: it loads, and the save rewrites it as 15742 bytes.
    ConfigTables c;
    c.MachineIp[3] = 33;
    c.ZoneRemark[2] = QStringLiteral("走廊");
    const QByteArray image = BuildTaskImage(c);
    const QString taskFile = TaskFilePath(app.dir.path());
    {
        QFile f(taskFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(image + QByteArray(10, '\x5A'));
    }

    QProcess first;
    app.start(first);
    ASSERT_TRUE(first.waitForStarted(10000));
    ASSERT_TRUE(app.waitForLock(20000));
    QThread::msleep(300);  // let it reach its main loop

    QProcess second;
    app.start(second);
    ASSERT_TRUE(second.waitForFinished(20000)) << "the second copy kept running";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(ReadFileBytes(taskFile).size(), kTaskFileSize + 10);  // nothing saved so far

    WriteCounter writes(app.dir.path(), "TASK.M45");
    ::kill(pid_t(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(20000)) << "still running after SIGTERM";
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(ReadFileBytes(taskFile), image);
    EXPECT_EQ(writes.count(), 1);
    EXPECT_FALSE(QFile::exists(InstanceLockPath(app.dir.path())));
}

// --help and --version answer and end as command-line programs do, with no display at all,
// and touch no file.
TEST(Process, HelpAndVersionNeedNoDisplay) {
    AppCopy app;
    ASSERT_TRUE(app.ok);
    app.env.remove("DISPLAY");
    app.env.remove("WAYLAND_DISPLAY");
    app.env.insert("QT_QPA_PLATFORM", "xcb");  // would abort without a display
    const struct {
        const char* argument;
        const char* starts;
    } rows[] = {{"--version", "m4500-config "}, {"--help", "Usage: m4500-config"}};
    for (const auto& row : rows) {
        QProcess p;
        app.start(p, {}, {QString::fromLatin1(row.argument)});
        ASSERT_TRUE(p.waitForFinished(10000)) << row.argument << " opened the window";
        EXPECT_EQ(p.exitCode(), 0) << row.argument;
        EXPECT_TRUE(p.readAllStandardOutput().startsWith(row.starts)) << row.argument;
    }
    EXPECT_EQ(QDir(app.dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("m4500-config")});
}

// An installed copy keeps its files in the user's data folder and keys its lock on it, so it runs
// beside a build tree's copy; its first start there is a first start like anywhere else.
TEST(SingleInstance, InstalledCopyUsesTheDataFolderBesideABuildTreeCopy) {
    AppCopy installed(true), tree;
    ASSERT_TRUE(installed.ok && tree.ok);
    ASSERT_TRUE(WriteTask(TaskFilePath(tree.dir.path()), BuildTaskImage(ConfigTables{})));

    QProcess a, b;
    installed.start(a);
    ASSERT_TRUE(a.waitForStarted(10000));
    ASSERT_TRUE(installed.waitForLock(20000));
    // Made empty by the reader just before "文件错误！" waits for the operator.
    ASSERT_TRUE(AppCopy::WaitForFile(TaskFilePath(installed.dataDir), 20000));
    tree.start(b);
    ASSERT_TRUE(b.waitForStarted(10000));
    ASSERT_TRUE(tree.waitForLock(20000)) << "the installed copy blocked the build tree's";
    EXPECT_EQ(a.state(), QProcess::Running);

    for (QProcess* p : {&a, &b}) {
        ::kill(pid_t(p->processId()), SIGTERM);
        EXPECT_TRUE(p->waitForFinished(20000)) << "still running after SIGTERM";
    }
    EXPECT_EQ(ReadFileBytes(TaskFilePath(installed.dataDir)), BuildTaskImage(ConfigTables{}));
    EXPECT_EQ(QDir(QFileInfo(installed.exe).path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"m4500-config"})
        << "the installed copy wrote beside its executable";
}

// The real window in English only on request: its title under an English locale, with the
// option, with the settings file's line, and with a value it does not know.
TEST(Process, WindowIsEnglishOnlyOnRequest) {
    XServer x;
    ASSERT_FALSE(x.display().isEmpty()) << "Xvfb did not start";
    const QString chinese = QStringLiteral("M-4500 设置C30");
    const QString english = QStringLiteral("M-4500 Setup C30");
    const struct {
        const char* what;
        QStringList arguments;
        QByteArray settings;  // "" = no settings file
        QString title;
    } rows[] = {
        {"English locale, nothing asked", {}, "", chinese},
        {"--lang en", {"--lang", "en"}, "", english},
        {"Language=en", {}, "Language=en\r\n", english},
        {"--lang fr", {"--lang", "fr"}, "", chinese},
    };
    for (const auto& row : rows) {
        AppCopy app;
        ASSERT_TRUE(app.ok);
        // A task file that loads, so no box comes before the window.
        ASSERT_TRUE(SaveTaskFile(ConfigTables{}, TaskFilePath(app.dir.path())).ok);
        if (!row.settings.isEmpty()) {
            ASSERT_TRUE(WriteTask(QDir(app.dir.path()).filePath("system.ini"), row.settings));
        }
        app.env.insert("LANG", "en_US.UTF-8");
        app.env.insert("LC_ALL", "en_US.UTF-8");
        app.env.insert("LANGUAGE", "en");
        QProcess window;
        app.start(window, x.display(), row.arguments);
        const QString title = x.xdotoolOutput(
            {"search", "--sync", "--onlyvisible", "--name", "M-4500", "getwindowname"});
        EXPECT_EQ(title.toStdString(), row.title.toStdString()) << row.what;
        ::kill(pid_t(window.processId()), SIGTERM);
        EXPECT_TRUE(window.waitForFinished(20000)) << row.what << ": still running after SIGTERM";
    }
}
