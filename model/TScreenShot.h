#pragma once

#include "TResult.h"

#include <QString>

// One screenshot file of the game.
class TScreenShot final
{
public:
    explicit TScreenShot(const QString& fileName);

    // Sends the file to the trash through the shell's delete, which asks the user. Succeeds when
    // the file is gone (or was not there); fails with ecDeclined when the user kept it, or when
    // the trash refused.
    TResult<void> Delete();

    // Copies or moves the screenshot to Dest: into that folder under its own name when Dest is
    // an existing folder, else to the file Dest. The shell asks before replacing a file (No:
    // ecDeclined, nothing written), unless AskReplace is false: the caller has asked.
    // With AsJpeg the bitmap is converted at Quality (1 to 100, else ecInvalid) and written
    // under the target name with its extension replaced by ".jpg"; the JPEG is complete before
    // it takes the target's place, and a move sends the bitmap to the trash only after that,
    // without a question (a failure there leaves the JPEG written and the bitmap in place). A
    // conversion that fails writes no target file and leaves the bitmap where it is. Errors are
    // not shown: the result carries them.
    TResult<void> CopyTo(const QString& dest, bool asJpeg, int quality, bool askReplace = true);
    TResult<void> MoveTo(const QString& dest, bool asJpeg, int quality, bool askReplace = true);

    // The file that CopyTo and MoveTo write for Dest.
    QString TargetFor(const QString& dest, bool asJpeg) const;

    QString FileName; // full path

private:
    TResult<void> Transfer(const QString& dest, bool asJpeg, int quality, bool move,
                           bool askReplace);
    TResult<void> TransferAsJpeg(const QString& target, int quality, bool move, quint16 flags);
};
