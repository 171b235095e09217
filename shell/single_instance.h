#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace mirrox {

// One running instance per user session: a named lock file held until exit, and a local socket
// of the same name through which a second instance started with "close" asks the first to close.
// Both live in the system's temporary directory (TMPDIR), which is also what lets tests run
// separate instances side by side.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit SingleInstance(const QString& name, QObject* parent = nullptr);
  ~SingleInstance() override;

  // True when this process now holds the lock; false when another instance holds it.
  bool acquire();

  // Starts listening for requests from later instances. REQUIRES: acquire() returned true.
  void listen();

  // Asks the running instance to close. Returns false when none could be reached.
  bool sendClose() const;

 signals:
  void closeRequested();

 private:
  void onNewConnection();

  QString name_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer server_;
};

}  // namespace mirrox
