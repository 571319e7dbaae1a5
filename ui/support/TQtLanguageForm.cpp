#include "TQtLanguageForm.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QStackedWidget>
#include <QTabWidget>

namespace {

const char* const KHintProperty = "kovaHint";

// Qt's own helper objects (a combo box's edit, a tab widget's stack) carry "qt_" names.
bool IsComponent(const QObject* object)
{
    const QString name = object->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_")) &&
           !qobject_cast<const QLayout*>(object);
}

// A tab sheet is the page of a tab widget: its caption is the tab's text.
QTabWidget* TabWidgetOf(QWidget* page, int* index)
{
    auto* stack = qobject_cast<QStackedWidget*>(page->parentWidget());
    auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
    if (!tabs)
        return nullptr;
    *index = tabs->indexOf(page);
    return *index >= 0 ? tabs : nullptr;
}

QLabel* BuddyLabelOf(QWidget* edit, QWidget* form)
{
    const QList<QLabel*> labels = form->findChildren<QLabel*>();
    for (QLabel* label : labels) {
        if (label->buddy() == edit)
            return label;
    }
    return nullptr;
}

} // namespace

TQtLanguageForm::TQtLanguageForm(QWidget* form)
    : FForm(form)
{}

QString TQtLanguageForm::FormName() const
{
    return FForm ? FForm->objectName() : QString();
}

void TQtLanguageForm::SetFormCaption(const QString& text)
{
    if (FForm)
        FForm->setWindowTitle(text);
}

QList<TLanguageComponent> TQtLanguageForm::Components() const
{
    QList<TLanguageComponent> components;
    if (!FForm)
        return components;
    const QList<QObject*> objects = FForm->findChildren<QObject*>();
    for (const QObject* object : objects) {
        if (!IsComponent(object))
            continue;
        const auto* widget = qobject_cast<const QWidget*>(object);
        TLanguageComponent component;
        component.Name = object->objectName();
        component.Visual = widget && !qobject_cast<const QMenu*>(widget);
        component.Edit = qobject_cast<const QLineEdit*>(object) != nullptr;
        components << component;
    }
    return components;
}

QObject* TQtLanguageForm::Find(const QString& name) const
{
    if (!FForm || name.isEmpty())
        return nullptr;
    return FForm->findChild<QObject*>(name);
}

void TQtLanguageForm::SetComponentCaption(const QString& name, const QString& text)
{
    QObject* object = Find(name);
    if (!object)
        return;
    if (auto* action = qobject_cast<QAction*>(object)) {
        action->setText(text);
    } else if (auto* menu = qobject_cast<QMenu*>(object)) {
        menu->setTitle(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(object)) {
        label->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(object)) {
        group->setTitle(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(object)) {
        if (QLabel* label = BuddyLabelOf(edit, FForm))
            label->setText(text);
    } else if (auto* widget = qobject_cast<QWidget*>(object)) {
        int index = -1;
        if (QTabWidget* tabs = TabWidgetOf(widget, &index))
            tabs->setTabText(index, text);
    }
}

void TQtLanguageForm::SetComponentHint(const QString& name, const QString& text)
{
    QObject* object = Find(name);
    if (auto* widget = qobject_cast<QWidget*>(object)) {
        widget->setProperty(KHintProperty, text);
        widget->setToolTip(text);
    } else if (auto* action = qobject_cast<QAction*>(object)) {
        // A tool-bar button shows its action's tip.
        action->setToolTip(text);
    }
}

void TQtLanguageForm::SetComponentCueBanner(const QString& name, const QString& text)
{
    if (auto* edit = qobject_cast<QLineEdit*>(Find(name)))
        edit->setPlaceholderText(text);
}

QString TQtLanguageForm::HintOf(const QWidget* widget)
{
    return widget ? widget->property(KHintProperty).toString() : QString();
}
