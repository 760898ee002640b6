#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include "support/TestSupport.h"

#ifdef TRAVIK_GUI
// Runs the real travik binary offscreen with its own home folder (so its settings are
// its own); the exit status, or -1 when it crashed or ran longer than 30 s.
inline int RunTravik(const TempDir& home, const QStringList& args, QString* err = nullptr) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", QString::fromStdString(home.Path()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(home.File(".config")));
    process.setProcessEnvironment(env);
    process.start(TRAVIK_GUI, args);
    if (!process.waitForFinished(30000)) return -1;
    if (err) *err = QString::fromLocal8Bit(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
#endif
