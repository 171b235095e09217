#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace mirrox {

// One running instance per installation: a lock file in the installation directory (the directory
// of the executable), held until exit, and a local socket named after that directory, through
// which a second instance started with "close" asks the first to close. Neither depends on the
// environment or the account, so a service and a desktop session that start one installation meet
// the same lock, while a copy of the program in another directory is an installation of its own.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  enum class Lock { Acquired, HeldByAnother, Failed };

  SingleInstance(const QString& name, const QString& installDir, QObject* parent = nullptr);
  ~SingleInstance() override;

  // Acquired when this process now holds the lock; HeldByAnother when a running instance holds it;
  // Failed when the lock file cannot be made (lockError() says why).
  Lock acquire();
  QString lockError() const;

  // Starts listening for requests from later instances. REQUIRES: acquire() returned true.
  void listen();

  // Asks the running instance to close. Returns false when none could be reached.
  bool sendClose() const;

 signals:
  void closeRequested();

 private:
  void onNewConnection();

  QString lockPath_;
  QString socketName_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer server_;
};

}  // namespace mirrox
