// Debug > GDB Server...: a debugger on the port drives the document's session, the
// listing follows it, and the window's own run commands wait until it detaches.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>

#include "UiTestHelpers.h"
#include "app/CGdbServerDlg.h"
#include "gdb/GdbPacket.h"
#include "gdb/qt/GdbServer.h"

namespace {

quint16 FreePort() {
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    return probe.serverPort();
}

// Sends a packet and returns the reply's payload (the window answers from its event loop).
std::string Exchange(QTcpSocket& client, std::string_view payload) {
    client.write(QByteArray::fromStdString(FramePacket(payload)));
    GdbPacketReader reader;
    for (int i = 0; i < 500; ++i) {
        QApplication::processEvents();
        client.waitForReadyRead(10);
        for (const GdbPacketReader::Event& event : reader.Feed(client.readAll().toStdString())) {
            if (event.kind == GdbPacketReader::Kind::kPacket) {
                client.write("+");
                return event.payload;
            }
        }
    }
    ADD_FAILURE() << "no reply to " << payload;
    return {};
}

TEST(GdbServerWindow, ADebuggerDrivesTheListingAndHoldsTheRunCommands) {
    // MOV R0,#5; MOV R1,#6; B .
    Window w(0x100, {0x2005, 0x2106, 0xE7FE});
    w.GoTo(2);
    w.Run(cmd::kDebugGdbServer);
    CGdbServerDlg* dialog = w.frame().GdbServerDialog();
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_EQ(dialog->StatusLabel()->text(), "GDB: not listening");
    const quint16 port = FreePort();
    dialog->PortField()->setValue(port);
    dialog->StartButton()->click();
    const QString listening = QStringLiteral("GDB: listening on 127.0.0.1:%1").arg(port);
    EXPECT_EQ(w.frame().StatusPane()->text(), listening);
    EXPECT_EQ(dialog->StatusLabel()->text(), listening);
    EXPECT_FALSE(dialog->StartButton()->isEnabled());

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(client.waitForConnected(2000));
    // The emulation opens at the cursor, and only the debugger runs it now.
    EXPECT_EQ(Exchange(client, "?"), "T050f:00200002;thread:1;");
    EXPECT_TRUE(w.frame().StatusPane()->text().startsWith("GDB: connected from 127.0.0.1:"));
    EXPECT_EQ(w.doc().Session().Emulator().CurrentInstruction(), 0x200002u);
    w.frame().UpdateCommandUi();
    EXPECT_FALSE(w.Enabled(cmd::kDebugStepInto));
    EXPECT_FALSE(w.Enabled(cmd::kDebugRun));
    EXPECT_TRUE(w.Enabled(cmd::kDebugToggleBreakpoint));

    EXPECT_EQ(Exchange(client, "s").substr(0, 3), "T05");
    EXPECT_EQ(w.view().State().cursorOffset, 4u);
    // A run of the debugger's shows its progress, then the server's status again.
    EXPECT_EQ(Exchange(client, "Z0,200004,2"), "OK");
    EXPECT_EQ(Exchange(client, "c"), "T050f:00200004;swbreak:;thread:1;");
    EXPECT_TRUE(w.frame().StatusPane()->text().startsWith("GDB: connected from 127.0.0.1:"));
    EXPECT_EQ(Exchange(client, "p1"), "00000006");

    // A second debugger hears that the session is taken; the first goes on.
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(second.waitForConnected(2000));
    EXPECT_EQ(Exchange(second, "?"), "E.another debugger is attached to this flash file");
    EXPECT_EQ(Exchange(client, "p1"), "00000006");

    EXPECT_EQ(Exchange(client, "D"), "OK");
    for (int i = 0; i < 50 && w.frame().GdbServerOf()->IsAttached(); ++i) {
        QApplication::processEvents();
    }
    EXPECT_EQ(w.frame().StatusPane()->text(), listening);
    w.frame().UpdateCommandUi();
    EXPECT_TRUE(w.Enabled(cmd::kDebugStepInto));

    dialog->StopButton()->click();
    EXPECT_EQ(w.frame().GdbServerOf(), nullptr);
    EXPECT_EQ(w.frame().StatusPane()->text(), "Ready");
    EXPECT_TRUE(dialog->StartButton()->isEnabled());
}

}  // namespace
