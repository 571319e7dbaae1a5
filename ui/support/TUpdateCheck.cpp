#include "TUpdateCheck.h"

#include "KOVAVersion.h"

#include <QLocale>
#include <QRegularExpression>

#include <curl/curl.h>

#include <memory>

namespace {

// An answer is a word or a number; anything longer is not one.
constexpr qsizetype KMaxBody = 64 * 1024;

struct TCurlDeleter
{
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

size_t AppendBody(char* data, size_t size, size_t count, void* target)
{
    auto* body = static_cast<QByteArray*>(target);
    const size_t bytes = size * count;
    if (body->size() + static_cast<qsizetype>(bytes) > KMaxBody)
        return 0; // ends the transfer with a write error
    body->append(data, static_cast<qsizetype>(bytes));
    return bytes;
}

TError Failed(const QString& reason)
{
    return TError{TErrorCode::ecFailed, reason, QString()};
}

} // namespace

QString TUpdateServer::DefaultHost()
{
    return QStringLiteral(KOVA_UPDATE_HOST);
}

TUpdateCheck::TUpdateCheck(TUpdateServer server)
    : FServer(std::move(server))
{}

TUpdateAddresses TUpdateCheck::Addresses(int projectId, int versionNumber) const
{
    QString host = FServer.Host;
    while (host.endsWith(QLatin1Char('/')))
        host.chop(1);
    const QString pid = QString::number(projectId);
    return {host + QStringLiteral("/checkupdate.php?pid=%1&update=%2").arg(pid).arg(versionNumber),
            host + QStringLiteral("/load.php?get=download.php&pid=") + pid,
            host + QStringLiteral("/load.php?get=project.php&pid=") + pid};
}

TResult<bool> TUpdateCheck::Check(int projectId, int versionNumber) const
{
    const std::unique_ptr<CURL, TCurlDeleter> curl(curl_easy_init());
    if (!curl)
        return Failed(QStringLiteral("The network library could not start."));
    CURL* handle = curl.get();
    const QByteArray url = Addresses(projectId, versionNumber).CheckUpdate.toUtf8();
    const QByteArray agent = UserAgent().toUtf8();
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: text/html");
    headers = curl_slist_append(headers, "Accept: text/html, */*");
    const std::unique_ptr<curl_slist, TCurlDeleter> headerList(headers);
    QByteArray body;
    char error[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(handle, CURLOPT_URL, url.constData());
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headerList.get());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, agent.constData());
    curl_easy_setopt(handle, CURLOPT_COOKIEFILE, ""); // cookies kept in memory for this request
    curl_easy_setopt(handle, CURLOPT_PROXY, "");      // no proxy, whatever the environment says
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    // Without this, a name look-up's time-out raises SIGALRM in a program with threads.
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(FServer.ConnectTimeoutMs));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(FServer.TimeoutMs));
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
#endif
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &AppendBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);

    const CURLcode code = curl_easy_perform(handle);
    if (code != CURLE_OK) {
        const QString reason = QString::fromUtf8(error[0] ? error : curl_easy_strerror(code));
        return Failed(reason);
    }
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299)
        return Failed(QStringLiteral("The server answered with HTTP status %1.").arg(status));
    return ReadAnswer(body);
}

bool TUpdateCheck::ReadAnswer(const QByteArray& body)
{
    if (body.contains("error"))
        return false;
    const QString text = QString::fromUtf8(body).trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)([eE][+-]?\\d+)?$"));
    return number.match(text).hasMatch() && QLocale::c().toDouble(text) != 0;
}

QString TUpdateCheck::UserAgent()
{
    return QStringLiteral("KOVA/") + GetFileVersionText();
}
