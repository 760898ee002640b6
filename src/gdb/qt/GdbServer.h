#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <memory>

class CTravikDoc;
class GdbStub;

// The window's GDB server: a TCP port on which one debugger at a time drives a
// document's debug session through a GdbStub. A second client while one is attached is
// told so and let go. Lives no longer than the document.
class GdbServer final : public QObject {
    Q_OBJECT

  public:
    // `cursorOffset` gives the listing cursor's item when a client connects: an emulation
    // that is not open yet starts there.
    GdbServer(CTravikDoc& doc, std::function<uint32_t()> cursorOffset, QObject* parent = nullptr);
    ~GdbServer() override;

    // Listens on 127.0.0.1:port (0: any free port); false with the reason in `error`.
    bool Listen(quint16 port, QString& error);
    // Lets the client go (its run is broken off) and stops listening.
    void Close();
    bool IsListening() const { return server_.isListening(); }
    quint16 Port() const { return server_.serverPort(); }
    bool IsAttached() const { return stub_ != nullptr; }
    CTravikDoc& Document() const { return doc_; }
    // What the status bar says now: "GDB: listening on 127.0.0.1:N", "GDB: connected
    // from ADDR:PORT", or empty when the server is closed.
    QString Status() const { return status_; }

  signals:
    // The status changed (listening, a client came or went, the server closed).
    void statusChanged(const QString& status);

  private:
    void OnNewConnection();
    void OnReadyRead();
    void OnDisconnected();
    // Ends the stub of the attached client and closes its connection.
    void DropClient(bool connectionLost);
    void SetStatus(const QString& status);
    QString ListeningText() const;

    CTravikDoc& doc_;
    std::function<uint32_t()> cursorOffset_;
    QTcpServer server_;
    QPointer<QTcpSocket> client_;
    std::unique_ptr<GdbStub> stub_;
    QString status_;
};
