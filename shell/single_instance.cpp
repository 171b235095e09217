#include "shell/single_instance.h"

#include <QDir>
#include <QLocalSocket>

namespace mirrox {
namespace {

constexpr QByteArrayView kCloseRequest = "close\n";
constexpr int kIpcTimeoutMs = 2000;

}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), name_(name), lock_(std::make_unique<QLockFile>(QDir::temp().filePath(name + ".lock"))) {
  // A lock left by a crashed instance is taken over once its process is gone.
  lock_->setStaleLockTime(0);
  connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

SingleInstance::~SingleInstance() {
  server_.close();
  lock_->unlock();
}

bool SingleInstance::acquire() { return lock_->tryLock(0); }

void SingleInstance::listen() {
  // A socket file left by a crashed instance would make listen() fail.
  QLocalServer::removeServer(name_);
  server_.listen(name_);
}

bool SingleInstance::sendClose() const {
  QLocalSocket socket;
  socket.connectToServer(name_);
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
