#include "PgCluster.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

namespace {

// A TCP port nobody listens on now. Another process could take it before the
// server does; the server then fails to start and the test says so.
int FreeLocalPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

QString FindServerBin() {
    const QString fromEnv = qEnvironmentVariable("PG_BIN");
    if (!fromEnv.isEmpty())
        return fromEnv;
    const QDir root(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    // The newest version installed.
    std::sort(versions.begin(), versions.end(),
              [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
    for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
        const QString bin = root.filePath(*it + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")))
            return bin;
    }
    return {};
}

} // namespace

PgCluster::PgCluster(const QString& password) : password_(password), binDir_(FindServerBin()) {
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder: ") + dir_.errorString();
        return;
    }
    if (binDir_.isEmpty()) {
        error_ = QStringLiteral("no PostgreSQL server programs under /usr/lib/postgresql");
        return;
    }
    // The server refuses to run as root: hand the folder to an unprivileged
    // account and run every server program as that account.
    if (::geteuid() == 0) {
        const passwd* pw = ::getpwnam("postgres");
        runAsUid_ = pw ? int(pw->pw_uid) : 65534;
        runAsGid_ = pw ? int(pw->pw_gid) : 65534;
        std::error_code ec;
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(dir_.path().toStdString(), ec))
            (void)::chown(entry.path().c_str(), runAsUid_, runAsGid_);
        if (::chown(QFile::encodeName(dir_.path()).constData(), runAsUid_, runAsGid_) != 0) {
            error_ = QStringLiteral("cannot hand the cluster folder to the server's account");
            return;
        }
    }
    const QString pwFile = dir_.filePath(QStringLiteral("pwfile"));
    {
        QFile f(pwFile);
        if (!f.open(QIODevice::WriteOnly) || f.write(password_.toUtf8() + '\n') < 0) {
            error_ = QStringLiteral("cannot write the password file");
            return;
        }
    }
    if (runAsUid_ >= 0)
        (void)::chown(QFile::encodeName(pwFile).constData(), runAsUid_, runAsGid_);
    QString out;
    if (!Run(Bin(QStringLiteral("initdb")),
             {QStringLiteral("-D"), DataDir(), QStringLiteral("-U"), QString::fromLatin1(kUser),
              QStringLiteral("--pwfile=") + pwFile, QStringLiteral("-A"),
              QStringLiteral("scram-sha-256"), QStringLiteral("-E"), QStringLiteral("UTF8"),
              QStringLiteral("--locale=C"), QStringLiteral("--no-sync")},
             &out)) {
        error_ = QStringLiteral("initdb failed: ") + out;
        return;
    }
    QFile::remove(pwFile);
    port_ = FreeLocalPort();
    created_ = port_ != 0;
    if (!created_)
        error_ = QStringLiteral("no free TCP port on 127.0.0.1");
}

PgCluster::~PgCluster() {
    if (IsRunning())
        Stop();
}

QString PgCluster::Bin(const QString& name) const {
    return binDir_ + QLatin1Char('/') + name;
}

QString PgCluster::DataDir() const {
    return dir_.filePath(QStringLiteral("data"));
}

bool PgCluster::Run(const QString& program, const QStringList& args, QString* output,
                    int timeoutMs) {
    QProcess p;
    p.setWorkingDirectory(dir_.path());
    p.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), password_);
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    p.setProcessEnvironment(env);
    const int uid = runAsUid_;
    const int gid = runAsGid_;
    if (uid >= 0) {
        p.setChildProcessModifier([uid, gid] {
            // Only async-signal-safe calls here: this runs between fork and exec.
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid_t(gid)) != 0 ||
                ::setuid(uid_t(uid)) != 0)
                ::_exit(126);
        });
    }
    p.start(program, args);
    const bool finished = p.waitForFinished(timeoutMs);
    if (!finished) {
        p.kill();
        p.waitForFinished(2000);
    }
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool PgCluster::Start() {
    if (!created_)
        return false;
    const QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 "
                                           "-c fsync=off -c max_connections=40")
                                .arg(port_)
                                .arg(dir_.path());
    QString out;
    if (!Run(Bin(QStringLiteral("pg_ctl")),
             {QStringLiteral("-D"), DataDir(), QStringLiteral("-l"),
              dir_.filePath(QStringLiteral("server.log")), QStringLiteral("-w"),
              QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-o"), options,
              QStringLiteral("start")},
             &out, 70000)) {
        error_ = QStringLiteral("the server did not start: ") + out;
        return false;
    }
    return true;
}

bool PgCluster::Stop() {
    return Run(Bin(QStringLiteral("pg_ctl")),
               {QStringLiteral("-D"), DataDir(), QStringLiteral("-m"), QStringLiteral("fast"),
                QStringLiteral("-w"), QStringLiteral("stop")});
}

bool PgCluster::IsRunning() const {
    QFile pidFile(DataDir() + QStringLiteral("/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return false;
    const pid_t pid = pid_t(pidFile.readLine().trimmed().toInt());
    return pid > 0 && ::kill(pid, 0) == 0;
}

void PgCluster::Kill() {
    QFile pidFile(DataDir() + QStringLiteral("/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return;
    const pid_t pid = pid_t(pidFile.readLine().trimmed().toInt());
    if (pid <= 0)
        return;
    ::kill(pid, SIGKILL);
    // The backends notice their postmaster is gone and end; wait for the
    // port to be free so a later Start() can take it again.
    for (int i = 0; i < 100 && ::kill(pid, 0) == 0; ++i)
        ::usleep(20000);
    Run(Bin(QStringLiteral("pg_ctl")),
        {QStringLiteral("-D"), DataDir(), QStringLiteral("-m"), QStringLiteral("immediate"),
         QStringLiteral("-w"), QStringLiteral("stop")});
}

QString PgCluster::Uri(const QString& dbName, bool withPassword) const {
    const QString auth = withPassword
                             ? QStringLiteral("%1:%2").arg(QString::fromLatin1(kUser), password_)
                             : QString::fromLatin1(kUser);
    return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3").arg(auth).arg(port_).arg(dbName);
}

bool PgCluster::CreateDatabase(const QString& name) {
    return !Query(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE \"%1\"").arg(name))
                .isNull();
}

QString PgCluster::Query(const QString& dbName, const QString& sql) {
    QString out;
    if (!Run(Bin(QStringLiteral("psql")),
             {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"),
              QStringLiteral("-t"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
              QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
              QString::number(port_), QStringLiteral("-U"), QString::fromLatin1(kUser),
              QStringLiteral("-d"), dbName, QStringLiteral("-c"), sql},
             &out))
        return {};
    return out.trimmed().isNull() ? QStringLiteral("") : out.trimmed();
}
