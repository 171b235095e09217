#include "shell/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>

#include "link/platform/host.h"

namespace mirrox {
namespace {

constexpr QByteArrayView kCloseRequest = "close\n";
constexpr int kIpcTimeoutMs = 2000;

// Where the system has them, an abstract socket: no file that TMPDIR places or a crash leaves
// behind; it goes with its process.
QLocalServer::SocketOptions serverOptions() {
  return platform::abstractLocalSockets() ? QLocalServer::AbstractNamespaceOption : QLocalServer::NoOptions;
}
QLocalSocket::SocketOptions clientOptions() {
  return platform::abstractLocalSockets() ? QLocalSocket::AbstractNamespaceOption : QLocalSocket::NoOptions;
}

// The name plus a digest of the installation directory's canonical path: one name per
// installation, however its directory was reached, and short enough for any socket name.
QString socketNameFor(const QString& name, const QString& installDir) {
  QString dir = QFileInfo(installDir).canonicalFilePath();
  if (dir.isEmpty()) dir = QFileInfo(installDir).absoluteFilePath();
  const QByteArray digest =
      QCryptographicHash::hash(dir.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
  return name + QLatin1Char('-') + QString::fromLatin1(digest);
}

}  // namespace

SingleInstance::SingleInstance(const QString& name, const QString& installDir, QObject* parent)
    : QObject(parent),
      lockPath_(QDir(installDir).filePath(name + ".lock")),
      socketName_(socketNameFor(name, installDir)),
      lock_(std::make_unique<QLockFile>(lockPath_)) {
  // A lock left by a crashed instance is taken over once its process is gone.
  lock_->setStaleLockTime(0);
  server_.setSocketOptions(serverOptions());
  connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

SingleInstance::~SingleInstance() {
  server_.close();
  lock_->unlock();
}

SingleInstance::Lock SingleInstance::acquire() {
  if (lock_->tryLock(0)) return Lock::Acquired;
  return lock_->error() == QLockFile::LockFailedError ? Lock::HeldByAnother : Lock::Failed;
}

QString SingleInstance::lockError() const {
  const QString reason = lock_->error() == QLockFile::PermissionError
                             ? QStringLiteral("нет права на запись в каталог программы")
                             : QStringLiteral("ошибка файловой системы");
  return QStringLiteral("Невозможно создать файл блокировки ") + lockPath_ + QStringLiteral(": ") + reason;
}

void SingleInstance::listen() {
  // A socket file left by a crashed instance would make listen() fail.
  if (!platform::abstractLocalSockets()) QLocalServer::removeServer(socketName_);
  server_.listen(socketName_);
}

bool SingleInstance::sendClose() const {
  QLocalSocket socket;
  socket.setSocketOptions(clientOptions());
  socket.connectToServer(socketName_);
  if (!socket.waitForConnected(kIpcTimeoutMs)) return false;
  socket.write(kCloseRequest.data(), kCloseRequest.size());
  const bool sent = socket.waitForBytesWritten(kIpcTimeoutMs);
  socket.disconnectFromServer();
  return sent;
}

void SingleInstance::onNewConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      bool close = false;
      while (socket->canReadLine()) close = close || socket->readLine() == kCloseRequest;
      // Emitted from the event loop: the close runs nested event processing, during which this
      // socket may go away.
      if (close) QMetaObject::invokeMethod(this, &SingleInstance::closeRequested, Qt::QueuedConnection);
    });
  }
}

}  // namespace mirrox
