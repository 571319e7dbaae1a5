#pragma once

#include "ILanguageForm.h"
#include "TDialogType.h"
#include "TResult.h"

#include <QString>

#include <functional>

class TLanguage;

// Raised after a language dressed its forms; the sender is that language.
using TLanguageLoadedEvent = std::function<void(TLanguage* sender)>;

// One language file ("Lang." followed by the language code): its description, the texts it puts
// on the forms, and its messages. The file is read again at every use, so a change on disk shows
// at the next message lookup and at the next apply. GUI thread only.
class TLanguage final
{
public:
    // Reads the description of section "Language". A missing file leaves "(UNKNOWN)" as name
    // and author and empty read-me and change-log names; it never raises. With Apply, dresses
    // the forms at once.
    TLanguage(TLanguageForms forms, const QString& fileName, bool apply);
    TLanguage(const TLanguage&) = delete;
    TLanguage& operator=(const TLanguage&) = delete;

    const TLanguageForms& Forms() const { return FForms; }
    const QString& FileName() const { return FFileName; }
    const QString& LanguageName() const { return FLanguageName; }
    const QString& Author() const { return FAuthor; }
    const QString& Readme() const { return FReadme; }
    const QString& Changelog() const { return FChangelog; }

    const TLanguageLoadedEvent& OnLanguageLoaded() const { return FOnLanguageLoaded; }
    void SetOnLanguageLoaded(TLanguageLoadedEvent event) { FOnLanguageLoaded = std::move(event); }

    // Whether the file is one the program can show: text holding the language's name (section
    // "Language") and its messages (section "Dialogs"). The error names the file and says what
    // is wrong with it. A file without some messages passes: those show as empty texts.
    TResult<void> Check() const;

    // The message of Index from section "Dialogs", read from the file now; empty when the file,
    // the section or the key is missing or the value is empty.
    QString GetDialogString(TDialogType index) const;

    // Dresses every form of Forms with the texts of FileName, then raises OnLanguageLoaded. An
    // empty or missing text leaves its component as it was. A missing file changes nothing (the
    // event is still raised); a null form in the list is a programming error: it is logged and
    // the run stops there, without the event.
    void ApplyToForms(const QString& fileName);
    // ApplyToForms with the language's own file.
    void Apply();

private:
    TLanguageForms FForms;
    QString FFileName;
    QString FLanguageName;
    QString FAuthor;
    QString FReadme;
    QString FChangelog;
    TLanguageLoadedEvent FOnLanguageLoaded;
};
