// A veltra-cli run as a child process: its exit status and both outputs.
#pragma once

#include <QProcess>

#include <string>

struct CliRun {
    int status = -1; // the exit code, -1 when the program crashed or was killed
    std::string out;
    std::string err;
};

// Waits for a started program with its input closed; one that has not ended after timeoutMs is
// killed, so a hanging run fails its test instead of the whole suite.
inline CliRun finishCliProcess(QProcess& process, int timeoutMs) {
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    CliRun r;
    r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = process.readAllStandardOutput().toStdString();
    r.err = process.readAllStandardError().toStdString();
    return r;
}
