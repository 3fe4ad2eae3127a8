// The hand-over between copies of the program: the command line, the request's bytes, and the
// running copy's socket with what it refuses.
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <vector>

#include "ui/instance_channel.h"

using TKind = TInstanceRequest::TKind;
Q_DECLARE_METATYPE(TInstanceRequest)

namespace {

QString describe(const std::vector<TInstanceRequest>& requests) {
    QStringList out;
    for (const TInstanceRequest& request : requests)
        out << QString::fromUtf8(instance_channel::encode(request)).replace('\n', ':');
    return out.join(' ');
}

// A server over a socket in a fresh folder, recording what it is asked.
struct TServerRig {
    QTemporaryDir dir;
    std::string path = (dir.path() + "/termovel.socket").toStdString();
    std::vector<TInstanceRequest> received;
    std::unique_ptr<TInstanceServer> server;

    void start() {
        server = std::make_unique<TInstanceServer>(
            path, [this](const TInstanceRequest& request) { received.push_back(request); });
    }
};

}  // namespace

class TestInstanceChannel : public QObject {
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void decodeRefusesBadRequests_data();
    void decodeRefusesBadRequests();
    void serverReplacesStaleSocketAndCarriesOutEachKind();
    void serverDropsBadConnections_data();
    void serverDropsBadConnections();
    void privateFolderRefusesOthers_data();
    void privateFolderRefusesOthers();
};

void TestInstanceChannel::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("requests");
    QTest::addColumn<bool>("usageError");

    QTest::newRow("lookup") << QStringList{"--lookup", " cat "} << "lookup:cat" << false;
    QTest::newRow("files, relative and absolute")
        << QStringList{"a.dic", "../b.dic", "/x/c.dic"}
        << "open:/home/u/a.dic open:/home/b.dic open:/x/c.dic" << false;
    QTest::newRow("lookup without word") << QStringList{"--lookup"} << "" << true;
    QTest::newRow("unknown option") << QStringList{"--bogus"} << "" << true;
}

void TestInstanceChannel::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, requests);
    QFETCH(bool, usageError);
    QString error;
    QCOMPARE(describe(instance_channel::parseCommandLine(arguments, "/home/u", error)), requests);
    QCOMPARE(!error.isEmpty(), usageError);
}

void TestInstanceChannel::decodeRefusesBadRequests_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("lookup, Cyrillic") << QByteArray("lookup\n\xd0\xba\xd0\xbe\xd1\x82") << true;
    QTest::newRow("at the limit") << QByteArray("lookup\n") + QByteArray(64 * 1024 - 7, 'a')
                                  << true;
    QTest::newRow("over the limit")
        << QByteArray("lookup\n") + QByteArray(64 * 1024 - 6, 'a') << false;
    QTest::newRow("not UTF-8") << QByteArray("lookup\n\xff\xfe") << false;
    QTest::newRow("zero byte") << QByteArray("lookup\nca\0t", 10) << false;
    QTest::newRow("unknown kind") << QByteArray("delete\n/home") << false;
    QTest::newRow("lookup without word") << QByteArray("lookup\n") << false;
    QTest::newRow("open, relative") << QByteArray("open\na.dic") << false;
}

void TestInstanceChannel::decodeRefusesBadRequests() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, accepted);
    const auto request = instance_channel::decode(bytes);
    QCOMPARE(request.has_value(), accepted);
    if (request)
        QCOMPARE(instance_channel::encode(*request), bytes);
}

void TestInstanceChannel::serverReplacesStaleSocketAndCarriesOutEachKind() {
    TServerRig rig;
    // A socket file whose owner ended without removing it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", rig.path.c_str());
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    QVERIFY(!instance_channel::send(rig.path, {{TKind::Show, {}}}, 0));
    rig.start();
    const std::vector<TInstanceRequest> sent = {
        {TKind::Show, {}}, {TKind::Lookup, "кот"}, {TKind::Selection, {}}, {TKind::Open, "/x.dic"}};
    QVERIFY(instance_channel::send(rig.path, sent, 0));
    QTRY_COMPARE(describe(rig.received), describe(sent));
}

void TestInstanceChannel::serverDropsBadConnections_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("slow");

    QTest::newRow("oversize") << QByteArray("lookup\n") + QByteArray(70 * 1024, 'a') << false;
    QTest::newRow("malformed") << QByteArray("GET / HTTP/1.0\r\n\r\n") << false;
    QTest::newRow("slow: whole but never closed") << QByteArray("lookup\ncat") << true;
}

void TestInstanceChannel::serverDropsBadConnections() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, slow);
    TServerRig rig;
    rig.start();
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(rig.path));
    QVERIFY(socket.waitForConnected(1000));
    socket.write(bytes);
    QVERIFY(socket.waitForBytesWritten(1000));
    if (!slow) {
        socket.disconnectFromServer();
    } else {
        // The server closes the connection once its time is up, having carried out nothing.
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QLocalSocket::UnconnectedState,
                                  instance_channel::kReadTimeoutMs + 2000);
    }
    QTest::qWait(200);
    QCOMPARE(describe(rig.received), QString());
    // The server goes on serving.
    QVERIFY(instance_channel::send(rig.path, {{TKind::Lookup, "dog"}}, 0));
    QTRY_COMPARE(describe(rig.received), QString("lookup:dog"));
}

void TestInstanceChannel::privateFolderRefusesOthers_data() {
    QTest::addColumn<QString>("prepare");
    QTest::addColumn<bool>("usable");

    QTest::newRow("missing: made 0700") << "" << true;
    QTest::newRow("open to others") << "chmod 755" << false;
    QTest::newRow("a link") << "link" << false;
    QTest::newRow("another user's") << "chown" << false;
}

void TestInstanceChannel::privateFolderRefusesOthers() {
    QFETCH(QString, prepare);
    QFETCH(bool, usable);
    QTemporaryDir base;
    const std::string folder = base.path().toStdString() + "/termovel-" + std::to_string(getuid());
    if (prepare == "chmod 755") {
        QCOMPARE(::mkdir(folder.c_str(), 0755), 0);
        QCOMPARE(::chmod(folder.c_str(), 0755), 0);
    } else if (prepare == "link") {
        QCOMPARE(::mkdir((folder + ".real").c_str(), 0700), 0);
        QCOMPARE(::symlink((folder + ".real").c_str(), folder.c_str()), 0);
    } else if (prepare == "chown") {
        if (getuid() != 0)
            QSKIP("only root can give a folder to another user");
        QCOMPARE(::mkdir(folder.c_str(), 0700), 0);
        QCOMPARE(::chown(folder.c_str(), 65534, 65534), 0);
    }
    const std::string got = instance_channel::privateFolder(base.path().toStdString());
    QCOMPARE(QString::fromStdString(got), usable ? QString::fromStdString(folder) : QString());
    if (usable) {
        struct stat info {};
        QCOMPARE(::lstat(folder.c_str(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);
    }
}

QTEST_MAIN(TestInstanceChannel)
#include "tst_instance_channel.moc"
