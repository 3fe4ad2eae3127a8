#include "ui/instance_channel.h"

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "platform/private_folder.h"

namespace instance_channel {

namespace {

constexpr const char* kSocketName = "termovel.socket";
constexpr int kSelectionLimit = 256;
constexpr int kRetryPauseMs = 100;

struct TKindName {
    TInstanceRequest::TKind kind;
    const char* name;
    bool takesArgument;
};

constexpr TKindName kKinds[] = {
    {TInstanceRequest::TKind::Show, "show", false},
    {TInstanceRequest::TKind::Lookup, "lookup", true},
    {TInstanceRequest::TKind::Selection, "selection", false},
    {TInstanceRequest::TKind::Open, "open", true},
};

const TKindName& kindName(TInstanceRequest::TKind kind) {
    for (const TKindName& entry : kKinds) {
        if (entry.kind == kind)
            return entry;
    }
    return kKinds[0];
}

}  // namespace

std::string privateFolder(const std::string& base) {
    const std::string folder = base + "/termovel-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    // lstat, not stat: a link planted by someone else must not lead the socket elsewhere. Unlike
    // private_folder::make, a folder others may as much as look into is refused, not closed.
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid() || (info.st_mode & 077) != 0)
        return {};
    return folder;
}

std::string socketPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return std::string(runtime) + "/" + kSocketName;
    const std::string folder = privateFolder(private_folder::temporaryBase());
    return folder.empty() ? std::string() : folder + "/" + kSocketName;
}

QByteArray encode(const TInstanceRequest& request) {
    return QByteArray(kindName(request.kind).name) + '\n' + request.argument.toUtf8();
}

std::optional<TInstanceRequest> decode(const QByteArray& bytes) {
    if (bytes.size() > kMaxRequest || bytes.contains('\0'))
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return std::nullopt;
    const qsizetype lineEnd = text.indexOf(u'\n');
    if (lineEnd < 0)
        return std::nullopt;
    const QString kind = text.left(lineEnd);
    const QString argument = text.mid(lineEnd + 1);
    for (const TKindName& entry : kKinds) {
        if (kind != QLatin1String(entry.name))
            continue;
        if (entry.takesArgument == argument.isEmpty())
            return std::nullopt;
        if (entry.kind == TInstanceRequest::TKind::Open && !QDir::isAbsolutePath(argument))
            return std::nullopt;
        return TInstanceRequest{entry.kind, argument};
    }
    return std::nullopt;
}

std::vector<TInstanceRequest> parseCommandLine(const QStringList& arguments,
                                               const QString& currentFolder, QString& error) {
    std::vector<TInstanceRequest> requests;
    error.clear();
    const QDir here(currentFolder);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--lookup")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].trimmed().isEmpty()) {
                error = QStringLiteral("--lookup needs a word: termovel --lookup WORD");
                return {};
            }
            requests.push_back({TInstanceRequest::TKind::Lookup, arguments[++i].trimmed()});
        } else if (argument == QLatin1String("--selection")) {
            requests.push_back({TInstanceRequest::TKind::Selection, {}});
        } else if (argument.startsWith(u'-') && argument.size() > 1) {
            error = QStringLiteral(
                        "unknown option %1; usage: termovel [--lookup WORD | "
                        "--selection | FILE.dic ...]")
                        .arg(argument);
            return {};
        } else if (!argument.isEmpty()) {
            requests.push_back(
                {TInstanceRequest::TKind::Open, QDir::cleanPath(here.absoluteFilePath(argument))});
        }
    }
    if (requests.empty())
        requests.push_back({TInstanceRequest::TKind::Show, {}});
    return requests;
}

bool send(const std::string& path, const std::vector<TInstanceRequest>& requests, int waitMs) {
    if (path.empty())
        return false;
    QElapsedTimer waited;
    waited.start();
    for (const TInstanceRequest& request : requests) {
        QLocalSocket socket;
        for (;;) {
            socket.connectToServer(QString::fromStdString(path));
            if (socket.waitForConnected(kReadTimeoutMs))
                break;
            // The running copy may still be building its window: it listens once it has one.
            if (waited.elapsed() >= waitMs)
                return false;
            QThread::msleep(kRetryPauseMs);
        }
        socket.write(encode(request));
        if (!socket.waitForBytesWritten(kReadTimeoutMs))
            return false;
        socket.disconnectFromServer();
        if (socket.state() != QLocalSocket::UnconnectedState)
            socket.waitForDisconnected(kReadTimeoutMs);
    }
    return true;
}

bool handOver(const std::string& path, const std::vector<TInstanceRequest>& requests) {
    return send(path, requests) &&
           std::ranges::none_of(requests, [](const TInstanceRequest& request) {
               return request.kind == TInstanceRequest::TKind::Show;
           });
}

QString selectedWord() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    // Bytes that were not UTF-8 arrive as replacement characters: they belong to no word.
    const auto textOf = [clipboard](QClipboard::Mode mode) {
        return clipboard->text(mode).remove(QChar::ReplacementCharacter).trimmed();
    };
    QString text = textOf(QClipboard::Selection);
    if (text.isEmpty())
        text = textOf(QClipboard::Clipboard);
    const qsizetype lineEnd = text.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    if (lineEnd >= 0)
        text = text.left(lineEnd).trimmed();
    return text.left(kSelectionLimit);
}

}  // namespace instance_channel

// One connection being read: the bytes so far and the time it has left. A child of its socket,
// so it goes with it.
class TPendingRequest : public QObject {
public:
    explicit TPendingRequest(QLocalSocket* socket) : QObject(socket) { timer.setSingleShot(true); }

    QByteArray bytes;
    QTimer timer;
    bool done = false;
};

TInstanceServer::TInstanceServer(const std::string& path, THandler handler, QObject* parent)
    : QObject(parent), server_(new QLocalServer(this)), handler_(std::move(handler)) {
    if (path.empty())
        return;
    // The caller holds the single-instance lock: a socket already there was left by a copy
    // that ended without removing it.
    QLocalServer::removeServer(QString::fromStdString(path));
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Without the socket the program runs as before: later starts only warn.
    if (!server_->listen(QString::fromStdString(path)))
        return;
    ::chmod(path.c_str(), 0600);
    connect(server_, &QLocalServer::newConnection, this, &TInstanceServer::accept);
}

TInstanceServer::~TInstanceServer() {
    server_->close();
}

bool TInstanceServer::isListening() const {
    return server_->isListening();
}

void TInstanceServer::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        // Only the user's own programs may ask anything, whatever the socket's mode.
        struct ucred peer {};
        socklen_t size = sizeof peer;
        if (::getsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED,
                         &peer, &size) != 0 ||
            peer.uid != ::getuid()) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto* pending = new TPendingRequest(socket);
        // A request that has not arrived whole in time is dropped, so a stalled writer cannot
        // hold a connection open.
        connect(&pending->timer, &QTimer::timeout, socket, [socket, pending] {
            pending->done = true;
            socket->abort();
            socket->deleteLater();
        });
        connect(socket, &QLocalSocket::readyRead, this,
                [this, socket, pending] { read(socket, pending, false); });
        connect(socket, &QLocalSocket::disconnected, this,
                [this, socket, pending] { read(socket, pending, true); });
        pending->timer.start(instance_channel::kReadTimeoutMs);
        // The writer may have sent everything and gone before the connection was taken.
        const bool gone = socket->state() == QLocalSocket::UnconnectedState;
        if (socket->bytesAvailable() > 0 || gone)
            read(socket, pending, gone);
    }
}

void TInstanceServer::read(QLocalSocket* socket, TPendingRequest* pending, bool finished) {
    if (pending->done)
        return;
    pending->bytes.append(socket->read(instance_channel::kMaxRequest + 1 - pending->bytes.size()));
    const bool tooLong = pending->bytes.size() > instance_channel::kMaxRequest;
    if (!tooLong && !finished)
        return;
    pending->done = true;
    // The request ends when the writer closes the connection.
    std::optional<TInstanceRequest> request;
    if (!tooLong)
        request = instance_channel::decode(pending->bytes);
    if (socket->state() != QLocalSocket::UnconnectedState)
        socket->abort();
    socket->deleteLater();
    if (request) {
        // Carried out from the event loop, after this connection's handling is over: the
        // request may show a message box.
        QTimer::singleShot(0, this, [this, r = *request] { handler_(r); });
    }
}
