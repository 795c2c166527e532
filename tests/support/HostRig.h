#pragma once

// What a test needs from the machine it runs on: loopback ports, and the
// machine's own programs (Debian's mosquitto, its clients, openssl) started,
// read, stopped and waited for.
//
// On Linux those programs are QProcesses of the test. A Windows test under
// Wine cannot do that with a Linux program: Wine starts one, but gives back
// no handle to wait for, no exit status and no way to stop it. There
// tests/windows/host-programs.sh starts host_runner.py beside the test and
// names it in ZOLT_HOST_RUNNER ("PORT TOKEN"); each request here is one
// connection to it on loopback. Paths handed to those programs are the
// machine's own (hostPath).

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace hostrig {

#ifdef Q_OS_WIN
using Socket = SOCKET;
#else
using Socket = int;
#endif
// A TCP socket (Winsock started on first use); invalid on failure.
Socket tcpSocket();
void closeSocket(Socket s);
sockaddr_in loopback(int port);

// A loopback port nobody listens on now (the kernel's choice).
int freeLoopbackPort();
// Whether something accepts connections on the loopback port.
bool accepts(int port);

// A path of this test as the machine's programs see it: the same on Linux,
// the Unix path behind a Windows one under Wine; empty if there is none.
QString hostPath(const QString& path);

struct RunResult {
    bool finished = false;   // within the time given
    int exitCode = -1;
    QByteArray output;       // standard output
    QByteArray errors;       // standard error
    bool ok() const { return finished && exitCode == 0; }
};
// Runs a program of the machine to its end (or for timeoutMs), in dir.
RunResult run(const QString& program, const QStringList& args, const QString& dir = {}, int timeoutMs = 30000);

// A program of the machine that runs beside the test until stopped.
class HostProgram {
public:
    HostProgram();
    ~HostProgram();   // stops it
    HostProgram(const HostProgram&) = delete;
    HostProgram& operator=(const HostProgram&) = delete;

    // Started and running; its standard error goes to the test's when
    // forwardErrors, else nowhere.
    bool start(const QString& program, const QStringList& args, bool forwardErrors);
    // Standard output since the last call.
    QByteArray readOutput();
    // SIGTERM, up to 5 s for it to end, then SIGKILL.
    void stop();
    qint64 pid() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace hostrig
