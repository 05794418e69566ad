#include "results/DesktopShell.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QMimeData>

#include "platform/NativeName.h"
#include "platform/PathRules.h"

namespace {

constexpr int kBusTimeoutMs = 2000;

bool DefaultOpenUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

bool DefaultCallBus(const QDBusMessage& message)
{
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, kBusTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

CDesktopShell::UrlOpener& Opener()
{
    static CDesktopShell::UrlOpener opener = DefaultOpenUrl;
    return opener;
}

CDesktopShell::BusCaller& Caller()
{
    static CDesktopShell::BusCaller caller = DefaultCallBus;
    return caller;
}

}  // namespace

void CDesktopShell::SetUrlOpener(UrlOpener opener)
{
    Opener() = opener ? std::move(opener) : UrlOpener(DefaultOpenUrl);
}

void CDesktopShell::SetBusCaller(BusCaller caller)
{
    Caller() = caller ? std::move(caller) : BusCaller(DefaultCallBus);
}

QString CDesktopShell::FileUrlText(std::u16string_view path)
{
    if (path.empty() || path.front() != u'/')
        return QString();
    const std::string bytes = EncodeNativeName(path);
    const QByteArray encoded = QByteArray::fromStdString(bytes).toPercentEncoding("/");
    return QStringLiteral("file://") + QString::fromLatin1(encoded);
}

QUrl CDesktopShell::FileUrl(std::u16string_view path)
{
    const QString text = FileUrlText(path);
    return text.isEmpty() ? QUrl() : QUrl(text, QUrl::StrictMode);
}

bool CDesktopShell::Open(std::u16string_view path)
{
    const QUrl url = FileUrl(path);
    return url.isValid() && Opener()(url);
}

bool CDesktopShell::ShowInFolder(const std::vector<std::u16string_view>& paths)
{
    if (paths.empty())
        return false;
    QStringList uris;
    for (std::u16string_view path : paths) {
        if (const QString uri = FileUrlText(path); !uri.isEmpty())
            uris.push_back(uri);
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    if (!uris.isEmpty() && Caller()(call))
        return true;
    const std::u16string_view folder = FolderViewOfPath(paths.front());
    const QUrl url = FileUrl(folder);
    return url.isValid() && Opener()(url);
}

QMimeData* CDesktopShell::PathsMimeData(const std::vector<std::u16string_view>& paths)
{
    QString text;
    QByteArray uris;
    for (std::u16string_view path : paths) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += QString::fromUtf16(path.data(), static_cast<qsizetype>(path.size()));
        uris += FileUrlText(path).toLatin1() + "\r\n";
    }
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(QStringLiteral("text/uri-list"), uris);
    return data;
}
