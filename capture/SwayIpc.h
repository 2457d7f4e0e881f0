// The IPC of sway and other wlroots desktops that speak it (i3's protocol over the socket named
// by SWAYSOCK): the window tree, which tells where the focused window is, and commands.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QRect>
#include <QString>
#include <optional>

namespace quiblo {

class SwayIpc {
public:
    enum Message : quint32 { RunCommand = 0, GetTree = 4 };

    // The socket at `socketPath`; an empty path is no IPC.
    explicit SwayIpc(QString socketPath) : socketPath_(std::move(socketPath)) {}
    // The socket the desktop names in SWAYSOCK.
    static SwayIpc fromEnvironment();

    bool present() const { return !socketPath_.isEmpty(); }
    // The payload of the reply to one message; nothing when the whole exchange is not over within
    // two seconds, however the desktop trickles its answer.
    std::optional<QByteArray> request(Message type, const QByteArray& payload = {}) const;
    // The whole window tree; nothing when the desktop does not answer.
    std::optional<QJsonObject> tree() const;
    // Runs desktop commands ("[title=x] focus"); true when every one succeeded.
    bool command(const QString& commands) const;

private:
    QString socketPath_;
};

// The frame of the focused window, in the desktop's layout pixels: the node's rectangle grown
// upward by its title bar. Windows of process `ownPid` are passed over for the window focused
// before them; windows on hidden workspaces never count. Nothing when no such window is shown.
std::optional<QRect> focusedWindowFrame(const QJsonObject& tree, qint64 ownPid);

}  // namespace quiblo
