#pragma once

#include "TKOVASettings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <memory>

// The shipped "settings.xml" in a folder of its own, pointed at a game folder, loaded. Replace
// holds pairs of texts to change in the file first (a folder, the demo extension).
class TShippedSettings final
{
public:
    explicit TShippedSettings(const QString& gameRoot,
                              const QList<QPair<QByteArray, QByteArray>>& replace = {})
    {
        QFile shipped(QStringLiteral(KOVA_SOURCE_DIR "/data/settings.xml"));
        QByteArray bytes = shipped.open(QIODevice::ReadOnly) ? shipped.readAll() : QByteArray();
        bytes.replace("<utdir></utdir>", "<utdir>" + gameRoot.toUtf8() + "</utdir>");
        for (const auto& [from, to] : replace)
            bytes.replace(from, to);
        const QString path = FDir.filePath(QStringLiteral("settings.xml"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        file.close();
        FSettings = std::make_unique<TKOVASettings>(FDir.path(), path);
        if (const TResult<void> loaded = FSettings->LoadFromFile(); !loaded)
            ADD_FAILURE() << loaded.Error().Message.toStdString();
    }

    TKOVASettings* Get() const { return FSettings.get(); }
    TKOVASettings* operator->() const { return FSettings.get(); }
    QString AppDir() const { return FDir.path(); }

private:
    QTemporaryDir FDir;
    std::unique_ptr<TKOVASettings> FSettings;
};
