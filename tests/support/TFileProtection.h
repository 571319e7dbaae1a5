#pragma once

#include <QString>

// Makes file protection hold for the life of the object, so that a test can make a folder or a
// file read-only and see writes fail as they do for a user. Root ignores file protection, so
// when the tests run as root the effective user becomes "nobody" meanwhile, after every folder
// and file under Root (a test's own temporary folder) has been opened to all for reading; set
// the protection under test before, and put it back after the object is gone.
class TFileProtection final
{
public:
    explicit TFileProtection(const QString& root);
    ~TFileProtection();
    TFileProtection(const TFileProtection&) = delete;
    TFileProtection& operator=(const TFileProtection&) = delete;

private:
    bool FDroppedRoot = false;
};

// Sets the permissions of a file or folder in the octal form of chmod (0555, 0444, 0755).
bool SetMode(const QString& path, unsigned mode);

// Makes the freedesktop trash under DataHome ($XDG_DATA_HOME) refuse every file for the life of
// the object, as a trash that cannot be written to does, and opens it again after.
class TRefusingTrash final
{
public:
    explicit TRefusingTrash(const QString& dataHome);
    ~TRefusingTrash();
    TRefusingTrash(const TRefusingTrash&) = delete;
    TRefusingTrash& operator=(const TRefusingTrash&) = delete;

private:
    QString FTrash;
};
