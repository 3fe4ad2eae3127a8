#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;
class TPendingRequest;

// What a later start of the program asks of the copy that already runs.
struct TInstanceRequest {
    enum class TKind {
        Show,       // a bare start: the running copy comes forward
        Lookup,     // --lookup WORD
        Selection,  // --selection: the desktop's selected text is looked up
        Open,       // FILE.dic: the file opens in a new tab
    };
    TKind kind = TKind::Show;
    QString argument;  // the word (Lookup) or the file's absolute path (Open); else empty

    bool operator==(const TInstanceRequest&) const = default;
};

// The hand-over between copies: a local socket that only the user can reach, over which a later
// start passes its request to the running copy. Each connection carries one request: its kind
// on the first line, the argument after it, UTF-8, at most kMaxRequest bytes, sent whole within
// kReadTimeoutMs; anything else is dropped unread. Nothing a request asks writes a file.
namespace instance_channel {

inline constexpr qsizetype kMaxRequest = 64 * 1024;
inline constexpr int kReadTimeoutMs = 2000;
// How long a later start keeps trying to reach a copy that holds the lock but is still
// starting (splash, dictionaries) before it gives up.
inline constexpr int kConnectWaitMs = 10000;

// The socket's path: termovel.socket in $XDG_RUNTIME_DIR; when that variable is missing, in
// privateFolder(<temporary folder>). Empty when no such folder can be had.
std::string socketPath();

// The folder termovel-<uid> inside base, made with mode 0700 when missing. Empty when it is not
// a real folder (a link, a file), belongs to another user or is open to others, so a socket
// there could be reached or replaced by someone else.
std::string privateFolder(const std::string& base);

// The request's bytes on the socket.
QByteArray encode(const TInstanceRequest& request);
// The request those bytes hold; nullopt for more than kMaxRequest bytes, text that is not
// UTF-8, an unknown kind, a missing or surplus argument, or a zero byte.
std::optional<TInstanceRequest> decode(const QByteArray& bytes);

// The requests of a command line (the arguments after the program's name): none is Show;
// "--lookup WORD", "--selection" and file names (made absolute against currentFolder) may
// follow each other. On bad usage the result is empty and error says why, in one line.
std::vector<TInstanceRequest> parseCommandLine(const QStringList& arguments,
                                               const QString& currentFolder, QString& error);

// Passes each request to the copy listening at path, one connection each, trying for up to
// waitMs while it cannot be reached. True when every request was delivered.
bool send(const std::string& path, const std::vector<TInstanceRequest>& requests,
          int waitMs = kConnectWaitMs);

// The hand-over of a later start: sends the requests to the running copy (send). True when
// they were delivered and none is a bare start, which still warns that the program runs.
bool handOver(const std::string& path, const std::vector<TInstanceRequest>& requests);

// The desktop's selected text as a word to look up: the primary selection, or the clipboard
// when the selection is empty; bytes that were not UTF-8 dropped, trimmed, its first line, at
// most 256 characters.
QString selectedWord();

}  // namespace instance_channel

// The running copy's end of the hand-over: listens at a path, replacing a socket left by a
// copy that crashed (the caller holds the single-instance lock, so no live copy owns it), with
// mode 0600, and hands each well-formed request to handler from the event loop. Connections of
// other users are refused.
class TInstanceServer : public QObject {
    Q_OBJECT

public:
    using THandler = std::function<void(const TInstanceRequest&)>;

    TInstanceServer(const std::string& path, THandler handler, QObject* parent = nullptr);
    ~TInstanceServer() override;
    TInstanceServer(const TInstanceServer&) = delete;
    TInstanceServer& operator=(const TInstanceServer&) = delete;

    // True when the socket is there and takes connections.
    bool isListening() const;

private:
    void accept();
    void read(QLocalSocket* socket, TPendingRequest* pending, bool finished);

    QLocalServer* server_;
    THandler handler_;
};
