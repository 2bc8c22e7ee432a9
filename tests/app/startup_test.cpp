// SPDX-License-Identifier: MIT
// Start-up of the desktop tool, each case in a process of its own on the offscreen platform.
// The tool runs with ZMR470_UI_LOG=-, so it writes one line per window or message box that it
// shows (and answers the boxes itself); a private XDG_STATE_HOME keeps its single-instance lock
// and its run log away from any other run.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/startup.h"
#include "platform/instance_lock.h"

namespace {

const QString kDriverNotFoundLine =
    QStringLiteral("message\tError\twarning\tWUsbXpIf.dll Not Found\n");
const QString kMainWindowLine = QStringLiteral("window\t102\tTALVERON ZMR470 Update Tool\n");
constexpr int kTimeoutMs = 30000;  // a bound for a broken build, not a pause

class StartupTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() {
    runtime_ = std::make_unique<QTemporaryDir>();
    QVERIFY(runtime_->isValid());
    QFile::setPermissions(runtime_->path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }

  void bindingFailureShowsOnlyTheBox_data() {
    QTest::addColumn<QString>("libraryPath");
    QTest::newRow("library missing") << QString();  // an empty folder
    QTest::newRow("lacking UsbDeviceIoControl") << QStringLiteral(ZMR_LACKING_LIB_DIR);
  }

  void bindingFailureShowsOnlyTheBox() {
    QFETCH(QString, libraryPath);
    QTemporaryDir empty;
    std::unique_ptr<QProcess> tool = Start(libraryPath.isEmpty() ? empty.path() : libraryPath);
    QVERIFY(tool->waitForFinished(kTimeoutMs));
    QCOMPARE(tool->exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool->exitCode(), 0);
    QCOMPARE(QString::fromUtf8(tool->readAllStandardOutput()), kDriverNotFoundLine);
  }

  // A second start while the lock is taken ends at once, shows nothing and leaves the first
  // undisturbed.
  void secondInstanceEndsSilently() {
    std::unique_ptr<QProcess> first = Start(QStringLiteral(ZMR_SIM_LIB_DIR));
    QVERIFY(WaitForLine(*first, kMainWindowLine));

    std::unique_ptr<QProcess> second = Start(QStringLiteral(ZMR_SIM_LIB_DIR));
    QVERIFY(second->waitForFinished(kTimeoutMs));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(second->readAllStandardOutput(), QByteArray());
    QCOMPARE(first->state(), QProcess::Running);

    // Killed, the first gives the name back: the next start shows its window.
    first->kill();
    QVERIFY(first->waitForFinished(kTimeoutMs));
    std::unique_ptr<QProcess> third = Start(QStringLiteral(ZMR_SIM_LIB_DIR));
    QVERIFY(WaitForLine(*third, kMainWindowLine));
    third->kill();
    QVERIFY(third->waitForFinished(kTimeoutMs));
  }

  // The same against a lock that another program of the user holds (here: this test).
  void lockHeldElsewhere() {
    qputenv("XDG_STATE_HOME", runtime_->path().toLocal8Bit());
    const auto lock = zmr::platform::InstanceLock::Acquire(zmr::kInstanceName);
    QVERIFY(lock);
    std::unique_ptr<QProcess> tool = Start(QStringLiteral(ZMR_SIM_LIB_DIR));
    QVERIFY(tool->waitForFinished(kTimeoutMs));
    QCOMPARE(tool->exitCode(), 0);
    QCOMPARE(tool->readAllStandardOutput(), QByteArray());
  }

 private:
  std::unique_ptr<QProcess> Start(const QString& libraryPath) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("ZMR470_UI_LOG"), QStringLiteral("-"));
    env.insert(QStringLiteral("XDG_STATE_HOME"), runtime_->path());
    env.insert(QStringLiteral("LD_LIBRARY_PATH"), libraryPath);
    env.remove(QStringLiteral("ZMR470_SIM"));
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start(QStringLiteral(ZMR_GUI_PROGRAM), {});
    return process;
  }

  // Reads the tool's output until `line` has come (or the tool ended without it).
  static bool WaitForLine(QProcess& process, const QString& line) {
    QByteArray seen;
    while (!QString::fromUtf8(seen).contains(line)) {
      if (!process.waitForReadyRead(kTimeoutMs)) return false;
      seen += process.readAllStandardOutput();
    }
    return true;
  }

  std::unique_ptr<QTemporaryDir> runtime_;
};

}  // namespace

QTEST_GUILESS_MAIN(StartupTest)
#include "startup_test.moc"
