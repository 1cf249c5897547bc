#pragma once

// Names shared by the clients of the desktop's portal service.

#include <QDBusConnection>
#include <QString>

namespace zarvex {

inline const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString kPortalObject = QStringLiteral("/org/freedesktop/portal/desktop");
inline const QString kPortalRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// Where the portal puts the Request object of a call made on `bus` with the
// handle token `token`: the caller's unique name without its ':' and with
// '_' for '.'.
inline QString portalRequestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService();
    sender.remove(0, sender.startsWith(QLatin1Char(':')) ? 1 : 0);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPortalObject + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

}  // namespace zarvex
