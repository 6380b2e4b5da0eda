#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace wendlow::test {

// A test server written in Python, run by the system's interpreter. It prints "PORT <n>" when it
// accepts connections; the process is killed when this object goes.
class PythonServer {
  public:
    PythonServer() = default;
    PythonServer(const PythonServer&) = delete;
    PythonServer& operator=(const PythonServer&) = delete;
    ~PythonServer() { stop(); }

    // Starts the script and waits for its port. False (see output()) when it did not come up.
    bool start(const QString& script, const QStringList& arguments) {
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start(QStringLiteral("/usr/bin/python3"), QStringList{script} + arguments);
        if (!process_.waitForStarted(10000)) {
            return false;
        }
        QByteArray line;
        while (!line.endsWith('\n')) {
            if (!process_.waitForReadyRead(30000)) {
                return false;
            }
            line += process_.readLine();
        }
        if (!line.startsWith("PORT ")) {
            return false;
        }
        port_ = line.mid(5).trimmed().toInt();
        return port_ > 0;
    }

    void stop() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    int port() const { return port_; }
    QByteArray output() {
        return process_.readAllStandardOutput() + process_.readAllStandardError();
    }

  private:
    QProcess process_;
    int port_ = 0;
};

// The test servers are on this machine: a proxy set in the environment must not carry the
// requests elsewhere.
inline void clearProxyEnvironment() {
    for (const char* name :
         {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
        qunsetenv(name);
    }
}

// A port on 127.0.0.1 that nothing listens on: bound for a moment to get a free one, then let go.
inline int closedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

} // namespace wendlow::test
