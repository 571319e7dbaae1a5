#pragma once

#include "TResult.h"

#include <QByteArray>
#include <QString>

// Where the update server is and how long a check may take. The host is the build's
// (KOVA_UPDATE_HOST, set at configure time); tests give their own.
struct TUpdateServer
{
    QString Host = DefaultHost(); // scheme and host, no trailing "/"
    int ConnectTimeoutMs = 10000; // to reach the server
    int TimeoutMs = 30000;        // for the whole request
    static QString DefaultHost();
};

// The update server's three pages for one project and version.
struct TUpdateAddresses
{
    QString CheckUpdate; // answers whether a newer version exists
    QString Download;    // the download page
    QString Project;     // the project's home page
};

// Asks the update server whether a newer version of the program exists: one HTTP GET, blocking
// until the server answers or a time-out passes. No widgets, so it runs anywhere.
class TUpdateCheck final
{
public:
    explicit TUpdateCheck(TUpdateServer server = {});

    void SetServer(const TUpdateServer& server) { FServer = server; }

    // The three addresses for this project id and version number.
    TUpdateAddresses Addresses(int projectId, int versionNumber) const;
    // Sends the check for this project id and version number: true when the server says a
    // newer version exists. Never throws: a check that got no answer (no connection, an HTTP
    // error status, a time-out) is an error that says why.
    TResult<bool> Check(int projectId, int versionNumber) const;

    // What a server's answer body means: "error" anywhere (case-sensitive) is no newer version;
    // otherwise, trimmed, a number other than 0 or "true" in any letter case is a newer one, and
    // anything else none.
    static bool ReadAnswer(const QByteArray& body);
    // "KOVA/" and the version text.
    static QString UserAgent();

private:
    TUpdateServer FServer;
};
