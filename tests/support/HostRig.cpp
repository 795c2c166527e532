#include "tests/support/HostRig.h"

#include <QDebug>
#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#else
#include <QProcess>
#include <unistd.h>
#endif

namespace hostrig {

#ifdef Q_OS_WIN
using socklen_t = int;
// Winsock counts its users; one more start than stop is harmless in a test.
Socket tcpSocket()
{
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started ? ::socket(AF_INET, SOCK_STREAM, 0) : INVALID_SOCKET;
}
void closeSocket(Socket s) { ::closesocket(s); }
#else
Socket tcpSocket() { return ::socket(AF_INET, SOCK_STREAM, 0); }
void closeSocket(Socket s) { ::close(s); }
#endif

sockaddr_in loopback(int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    return a;
}

int freeLoopbackPort()
{
    const Socket fd = tcpSocket();
    sockaddr_in a = loopback(0);
    socklen_t size = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), size) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0)
        port = ntohs(a.sin_port);
    closeSocket(fd);
    return port;
}

bool accepts(int port)
{
    const Socket fd = tcpSocket();
    const sockaddr_in a = loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    closeSocket(fd);
    return ok;
}

#ifndef Q_OS_WIN

QString hostPath(const QString& path) { return path; }

RunResult run(const QString& program, const QStringList& args, const QString& dir, int timeoutMs)
{
    QProcess p;
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    p.start(program, args);
    RunResult r;
    r.finished = p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit;
    r.exitCode = p.exitCode();
    r.output = p.readAllStandardOutput();
    r.errors = p.readAllStandardError();
    return r;
}

struct HostProgram::Impl {
    QProcess process;
};

bool HostProgram::start(const QString& program, const QStringList& args, bool forwardErrors)
{
    stop();
    m = std::make_unique<Impl>();
    m->process.setProcessChannelMode(forwardErrors ? QProcess::ForwardedErrorChannel : QProcess::SeparateChannels);
    m->process.start(program, args);
    return m->process.waitForStarted(10000);
}

QByteArray HostProgram::readOutput() { return m ? m->process.readAllStandardOutput() : QByteArray(); }

void HostProgram::stop()
{
    if (!m)
        return;
    m->process.terminate();
    if (!m->process.waitForFinished(5000)) {
        m->process.kill();
        m->process.waitForFinished(5000);
    }
    m.reset();
}

qint64 HostProgram::pid() const { return m ? m->process.processId() : 0; }

#else

namespace {

// Wine's own export: the Unix file behind a Windows path, in a buffer of
// the process heap.
using UnixFileName = char*(__cdecl*)(const wchar_t*);

// One request to the runner, one answer; an answer with "error" when the
// runner cannot be reached or refuses.
QJsonObject ask(QJsonObject request)
{
    const QList<QByteArray> runner = qgetenv("ZOLT_HOST_RUNNER").split(' ');
    if (runner.size() != 2)
        return {{QStringLiteral("error"), QStringLiteral("ZOLT_HOST_RUNNER is not set: start the test with "
                                                         "tests/windows/host-programs.sh")}};
    request.insert(QStringLiteral("token"), QString::fromLatin1(runner.at(1)));
    const QByteArray text = QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n';
    const Socket fd = tcpSocket();
    const sockaddr_in a = loopback(runner.at(0).toInt());
    QByteArray answer;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0
        && ::send(fd, text.constData(), static_cast<int>(text.size()), 0) == text.size()) {
        ::shutdown(fd, SD_SEND);
        char buffer[65536];
        for (int n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
            answer.append(buffer, n);
    }
    closeSocket(fd);
    const QJsonObject reply = QJsonDocument::fromJson(answer).object();
    if (reply.isEmpty())
        return {{QStringLiteral("error"), QStringLiteral("no answer from the runner on port %1")
                                              .arg(QString::fromLatin1(runner.at(0)))}};
    return reply;
}

QJsonArray argv(const QString& program, const QStringList& args)
{
    return QJsonArray::fromStringList(QStringList{program} + args);
}

QByteArray bytes(const QJsonValue& base64) { return QByteArray::fromBase64(base64.toString().toLatin1()); }

bool failed(const QJsonObject& reply)
{
    if (!reply.contains(QStringLiteral("error")))
        return false;
    qWarning() << "host runner:" << reply.value(QStringLiteral("error")).toString();
    return true;
}

} // namespace

QString hostPath(const QString& path)
{
    static const auto unixFileName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (!unixFileName)
        return {};
    const std::wstring windows = QDir::toNativeSeparators(path).toStdWString();
    char* file = unixFileName(windows.c_str());
    if (!file)
        return {};
    const QString result = QFile::decodeName(file);
    ::HeapFree(::GetProcessHeap(), 0, file);
    return result;
}

RunResult run(const QString& program, const QStringList& args, const QString& dir, int timeoutMs)
{
    const QJsonObject reply = ask({{QStringLiteral("op"), QStringLiteral("run")},
                                   {QStringLiteral("argv"), argv(program, args)},
                                   {QStringLiteral("cwd"), dir.isEmpty() ? QString() : hostPath(dir)},
                                   {QStringLiteral("timeout_ms"), timeoutMs}});
    RunResult r;
    if (failed(reply))
        return r;
    r.finished = reply.value(QStringLiteral("finished")).toBool();
    r.exitCode = reply.value(QStringLiteral("exit")).toInt(-1);
    r.output = bytes(reply.value(QStringLiteral("out")));
    r.errors = bytes(reply.value(QStringLiteral("err")));
    return r;
}

struct HostProgram::Impl {
    int id = 0;
    qint64 pid = 0;
};

bool HostProgram::start(const QString& program, const QStringList& args, bool forwardErrors)
{
    stop();
    const QJsonObject reply = ask({{QStringLiteral("op"), QStringLiteral("start")},
                                   {QStringLiteral("argv"), argv(program, args)},
                                   {QStringLiteral("forward_errors"), forwardErrors}});
    if (failed(reply))
        return false;
    m = std::make_unique<Impl>();
    m->id = reply.value(QStringLiteral("id")).toInt();
    m->pid = reply.value(QStringLiteral("pid")).toInteger();
    return true;
}

QByteArray HostProgram::readOutput()
{
    if (!m)
        return {};
    const QJsonObject reply = ask({{QStringLiteral("op"), QStringLiteral("output")}, {QStringLiteral("id"), m->id}});
    return failed(reply) ? QByteArray() : bytes(reply.value(QStringLiteral("out")));
}

void HostProgram::stop()
{
    if (!m)
        return;
    failed(ask({{QStringLiteral("op"), QStringLiteral("stop")}, {QStringLiteral("id"), m->id}}));
    m.reset();
}

qint64 HostProgram::pid() const { return m ? m->pid : 0; }

#endif

HostProgram::HostProgram() = default;
HostProgram::~HostProgram() { stop(); }

} // namespace hostrig
