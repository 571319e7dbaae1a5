#pragma once

#include "TLanguage.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// The language manager: every language file of its folders, the active one, and the event raised
// after a language dressed the forms. GUI thread only.
class TKOVALanguage final
{
public:
    // Makes one language (not applied) per file of Dir whose name is Prefix, a dot and a code
    // ("Lang.int"), in the order the folder lists them. A missing folder gives no languages.
    TKOVALanguage(TLanguageForms forms, const QString& dir, const QString& prefix);
    // The same over several folders in turn; a file of a later folder takes the place of the
    // file of the same name (letter case ignored) of an earlier one.
    TKOVALanguage(TLanguageForms forms, const QStringList& dirs, const QString& prefix);
    TKOVALanguage(const TKOVALanguage&) = delete;
    TKOVALanguage& operator=(const TKOVALanguage&) = delete;

    int GetCount() const { return static_cast<int>(FItems.size()); }
    // Raises std::out_of_range for an index outside the list.
    TLanguage* GetLanguage(int index) const;
    // GetLanguage(ItemIndex); raises std::out_of_range when ItemIndex is outside the list.
    TLanguage* GetCurrentLanguage() const;

    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int index) { FItemIndex = index; }

    // Every language's display name in order.
    QStringList ListNames() const;
    QStringList GetNames() const { return ListNames(); }

    // Stores Event and hands it to every language.
    void SetOnLanguageLoaded(const TLanguageLoadedEvent& event);
    // Appends a language; nothing for no object.
    void Add(std::unique_ptr<TLanguage> language);

    // The index of the first language whose file is FileName, without regard to letter case and
    // with "\" read as "/"; -1 when none.
    int IndexOfFile(const QString& fileName) const;

    // The language code of a language file: the text after Prefix and its dot in the file's name
    // ("Lang.pt.br" gives "pt.br"); this is what the settings store. A name without that prefix
    // gives the text after its first dot, or an empty text.
    static QString LanguageCodeOf(const QString& fileName, const QString& prefix);
    // LanguageCodeOf the file of the language at Index; raises std::out_of_range outside the list.
    QString GetLanguageCode(int index) const;
    // The index of the language whose file is named Prefix, a dot and Code (letter case
    // ignored); -1 when none.
    int IndexOfCode(const QString& code) const;

private:
    TLanguageForms FForms;
    QString FPrefix;
    std::vector<std::unique_ptr<TLanguage>> FItems;
    int FItemIndex = 0;
    TLanguageLoadedEvent FOnLanguageLoaded;
};
