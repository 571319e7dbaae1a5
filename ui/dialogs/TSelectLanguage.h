#pragma once

#include <memory>

#include <QDialog>

class TKOVALanguage;

namespace Ui {
class TSelectLanguage;
}

// The first-run choice of the interface language. It is shown before any language is loaded,
// so it shows its own texts.
class TSelectLanguage final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSelectLanguage)

public:
    // The index of the chosen language in the manager's order: the highlighted row (selected,
    // else under the list's cursor) when the dialog closes, by OK or otherwise; -1 for no
    // manager or when no row is highlighted.
    static int Execute(TKOVALanguage* languages);

    explicit TSelectLanguage(QWidget* parent = nullptr);
    ~TSelectLanguage() override;

    void lbLanguagesClick();

private:
    std::unique_ptr<Ui::TSelectLanguage> FUi;
};
