#include "gdb/qt/GdbServer.h"

#include <QHostAddress>

#include "document/CTravikDoc.h"
#include "gdb/GdbStub.h"

GdbServer::GdbServer(CTravikDoc& doc, std::function<uint32_t()> cursorOffset, QObject* parent)
    : QObject(parent), doc_(doc), cursorOffset_(std::move(cursorOffset)) {
    connect(&server_, &QTcpServer::newConnection, this, &GdbServer::OnNewConnection);
}

GdbServer::~GdbServer() {
    // The stub leaves the session before the document can go; the window that owns the
    // server is told nothing more.
    blockSignals(true);
    DropClient(true);
}

bool GdbServer::Listen(quint16 port, QString& error) {
    if (server_.isListening()) return true;
    if (!server_.listen(QHostAddress::LocalHost, port)) {
        error = server_.errorString();
        return false;
    }
    SetStatus(ListeningText());
    return true;
}

void GdbServer::Close() {
    DropClient(true);
    server_.close();
    SetStatus({});
}

QString GdbServer::ListeningText() const {
    return QStringLiteral("GDB: listening on 127.0.0.1:%1").arg(server_.serverPort());
}

void GdbServer::SetStatus(const QString& status) {
    status_ = status;
    emit statusChanged(status);
}

void GdbServer::OnNewConnection() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (stub_) {
            // One debugger drives the session at a time: the next one hears why it cannot.
            socket->write(QByteArray::fromStdString(
                FramePacket("E.another debugger is attached to this flash file")));
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        client_ = socket;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, &GdbServer::OnReadyRead);
        connect(socket, &QTcpSocket::disconnected, this, &GdbServer::OnDisconnected);
        stub_ = std::make_unique<GdbStub>(doc_, cursorOffset_(), [this](std::string_view bytes) {
            if (client_) client_->write(bytes.data(), static_cast<qint64>(bytes.size()));
        });
        SetStatus(QStringLiteral("GDB: connected from %1:%2")
                      .arg(socket->peerAddress().toString())
                      .arg(socket->peerPort()));
    }
}

void GdbServer::OnReadyRead() {
    if (!client_ || !stub_) return;
    const QByteArray bytes = client_->readAll();
    stub_->Receive(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    if (stub_ && stub_->Finished()) {
        client_->flush();
        DropClient(false);
    }
}

void GdbServer::OnDisconnected() {
    DropClient(true);
}

void GdbServer::DropClient(bool connectionLost) {
    if (stub_) {
        if (connectionLost) stub_->ConnectionLost();
        stub_.reset();
    }
    if (client_) {
        QTcpSocket* socket = client_;
        client_ = nullptr;
        socket->disconnect(this);
        socket->disconnectFromHost();
        socket->deleteLater();
    }
    if (server_.isListening()) SetStatus(ListeningText());
}
