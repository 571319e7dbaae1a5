#pragma once

#include "FileOperation.h"

#include <QString>

#include <stdexcept>

// A JPEG conversion that failed: the bitmap could not be read, the encoder stopped, or the JPEG
// could not be written. The message names the file and the reason.
class EScreenShotError : public std::runtime_error
{
public:
    explicit EScreenShotError(const QString& message);
};

// One screenshot file of the game.
class TScreenShot final
{
public:
    explicit TScreenShot(const QString& fileName);

    // Sends the file to the trash through the shell's delete, which asks the user. True when the
    // file is gone (or was not there); false when it stays (declined, or the trash refused),
    // Result then saying why.
    bool Delete(TFileOpResult* result = nullptr);

    // Copies or moves the screenshot to Dest: into that folder under its own name when Dest is
    // an existing folder, else to the file Dest. The shell asks before replacing a file.
    // With AsJpeg the bitmap is converted at Quality (1 to 100) and written under the target name
    // with its extension replaced by ".jpg"; the JPEG is complete before it takes the target's
    // place, and a move sends the bitmap to the trash only after that. The result has one item
    // for the copy (or the JPEG), and for a JPEG move a second for the bitmap's delete.
    // Raises EScreenShotError when the conversion failed (an invalid Quality included); no
    // target file is then written and the bitmap stays where it is.
    TFileOpResult CopyTo(const QString& dest, bool asJpeg, int quality);
    TFileOpResult MoveTo(const QString& dest, bool asJpeg, int quality);

    // The file that CopyTo and MoveTo write for Dest.
    QString TargetFor(const QString& dest, bool asJpeg) const;

    QString FileName; // full path

private:
    TFileOpResult Transfer(const QString& dest, bool asJpeg, int quality, bool move);
    TFileOpResult TransferAsJpeg(const QString& target, int quality, bool move);
};
